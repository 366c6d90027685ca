#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>

#include "edid/EdidImage.h"
#include "link/CommandData.h"
#include "link/CommandSlot.h"
#include "link/LinkState.h"

class Clock;
class LinkView;
class SerialLine;

// The device link: frames, pacing, the 100 ms receive poll, the 500 ms supervision tick and
// the port's opening and closing. It owns the link's state, the command data and the EDID
// image, and reaches the screen only through LinkView.
//
// Everything runs in one thread, but the tick may be entered again from inside itself (a
// message box or an upload that lets events run). Each step therefore moves its slot to the
// new state before it sends a data phase or shows a message.
class LinkEngine {
public:
    static constexpr quint32 PaceMs = 35;
    static constexpr int EdidBlockSize = 32;
    static constexpr int EdidBlockRetries = 3;

    LinkEngine(SerialLine& line, Clock& clock);
    // Until a view is set the engine talks to a view that shows nothing.
    void setView(LinkView* view);

    LinkState& state() { return state_; }
    const LinkState& state() const { return state_; }
    CommandData& data() { return data_; }
    EdidImage& edid() { return edid_; }
    const EdidImage& edid() const { return edid_; }
    int gauge() const { return gauge_; }
    void setGauge(int percent);

    // Port handling, as the port dialog's OK, Disconnect and closing the main window do it.
    bool OpenPort(quint8 portNumber);
    bool ConfigurePort();
    // OK of the port dialog: close what is open, open portNumber, send the presence query.
    bool connectPort(quint8 portNumber);
    void disconnectPort();
    void closePort();

    // Wire primitives.
    void SendCommand(const char* keyword, quint8 argument);
    void SendFramedByte(quint8 value);
    void PaceDelay(quint32 ms);
    bool CheckReply(const char* expected);

    // Start rule: port open, generator present, nothing outstanding.
    bool AnyCommandBusy() const { return state_.anyCommandBusy(); }
    bool mayStart() const;
    // Starts c under the start rule; false (and nothing done) when the rule refuses.
    // The presence query ignores the rule, as the port dialog sends it.
    bool startCommand(Command c);

    void ShowDevicePresent();
    void ShowDeviceAbsent();

    // Timer2: the receive poll. Timer1: the supervision tick.
    void receivePoll();
    void supervisionTick();

    // EDID read progress, for tests and the status of a read.
    int readOffset() const { return readOffset_; }

private:
    void tickCommand(Command c);
    void tickEdidRead();
    void acceptFirstReply(Command c);
    void rejectFirst(Command c);
    void finishFinal(Command c, bool accepted);
    void timeOut(Command c, bool finalPhase);
    void tableUpload(Command c);
    void edidUpload();
    void requestEdidBlock(int offset);
    void requestNextEdidBlock();
    void discardReply();
    bool edidBlockComplete() const;
    void endEdidRead();

    SerialLine& line_;
    Clock& clock_;
    LinkView* view_;
    LinkState state_;
    CommandData data_;
    EdidImage edid_{};
    int gauge_ = 0;

    // EDID read: offset of the next block to request, the last-block flag, the blocks taken in
    // so far (written to the image only when all are in), the re-requests of this block, and
    // the pause after a re-requested block in which its second answer is let through and dropped.
    qint32 readOffset_ = 0;
    quint8 lastBlock_ = 0;
    int blockRetries_ = 0;
    bool settling_ = false;
    int settleTicks_ = 0;
    EdidImage edidStaging_{};
};
