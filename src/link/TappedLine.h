#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <deque>
#include <functional>
#include <vector>

#include "link/SerialLine.h"

// A tap on the line: passes every operation through to the real line and records every byte
// put and every chunk read, with the time, in a bounded ring. Recording is a copy into memory,
// so it never slows the pacing; whoever shows the record pulls it when it has time.
class TappedLine : public SerialLine {
public:
    static constexpr int DefaultCapacity = 20000;

    struct Event {
        enum class Kind : quint8 { Put, Read };
        Kind kind;
        double ms;         // monotonic time of the event
        QByteArray bytes;  // the byte put, or the chunk read
    };

    // now gives monotonic milliseconds; by default the system's steady clock.
    explicit TappedLine(SerialLine& inner, int capacity = DefaultCapacity,
                        std::function<double()> now = {});

    // Events from sequence number `from` on (the first event is number 0), as far as the ring
    // still holds them; next is set to the number the following call should ask from.
    std::vector<Event> eventsSince(quint64 from, quint64* next) const;
    // Events recorded in all, and those dropped from the ring because it was full (since the
    // last clear).
    quint64 recorded() const { return first_ + ring_.size(); }
    quint64 dropped() const { return dropped_; }
    // Events the ring holds at most.
    int capacity() const { return capacity_; }
    // Forgets what is recorded and what was dropped; the numbering goes on.
    void clear();

    int open(quint8 port) override;
    int setLine(quint8 port, qint32 baud, quint8 dataBits, Parity parity, quint8 stopBits) override;
    int setFlowControl(quint8 port, FlowControl flow) override;
    void putByte(quint8 port, quint8 value) override;
    int readAvailable(quint8 port, quint8* buffer, int capacity) override;
    void close(quint8 port) override;
    void discardInput(quint8 port) override;
    bool isUsable(quint8 port) const override;
    QString lastErrorDetail(quint8 port) const override;

private:
    void record(Event::Kind kind, QByteArray bytes);

    SerialLine& inner_;
    int capacity_;
    std::function<double()> now_;
    std::deque<Event> ring_;
    quint64 first_ = 0;  // sequence number of ring_.front()
    quint64 dropped_ = 0;
};
