#pragma once

#include <QtGlobal>
#include <array>

#include "link/CommandSlot.h"

// The link's whole state. Fields keep the record's declared order; the two buffers are
// allocated with the record, once, before the first window exists.
struct LinkState {
    static constexpr int BufferSize = 1024;

    quint8 devicePresent = 0;
    quint8 portOpen = 0;
    qint32 replyLength = 0;
    std::array<quint8, BufferSize> readBuffer{};
    std::array<quint8, BufferSize> replyBuffer{};
    CommandSlot urtcntSlot = CommandSlot::Idle;
    CommandSlot tmixSlot = CommandSlot::Idle;
    CommandSlot ptixSlot = CommandSlot::Idle;
    CommandSlot tmgsSlot = CommandSlot::Idle;
    CommandSlot ptnsSlot = CommandSlot::Idle;
    CommandSlot atrnSlot = CommandSlot::Idle;
    CommandSlot dfsetSlot = CommandSlot::Idle;
    quint8 firstReplyTicks = 0;
    quint8 finalReplyTicks = 0;
    CommandSlot redidSlot = CommandSlot::Idle;
    CommandSlot uedidSlot = CommandSlot::Idle;
    CommandSlot wedidSlot = CommandSlot::Idle;
    quint8 portNumber = 0;

    CommandSlot& slot(Command c);
    CommandSlot slot(Command c) const;
    bool anyCommandBusy() const;
};
