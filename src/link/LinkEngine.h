#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>

#include "edid/EdidImage.h"
#include "link/CommandData.h"
#include "link/CommandSlot.h"
#include "link/EdidBlockReader.h"
#include "link/LinkHolder.h"
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
    // A holder that reconnects (a paused run's Retry) hears the presence query's outcome
    // itself, and with why given a port that will not open is not shown but said in why
    // ("COM 3 could not be opened: ...").
    bool connectPort(quint8 portNumber, LinkHolder* by = nullptr, QString* why = nullptr);
    void disconnectPort();
    // The main window closes (or orve1ctl ends): the port is closed and marked closed.
    void closePort();

    // Wire primitives.
    void SendCommand(const char* keyword, quint8 argument);
    void SendFramedByte(quint8 value);
    void PaceDelay(quint32 ms);
    // Reads what has come and nobody has read yet into the log only.
    void takeStaleInput();
    bool CheckReply(const char* expected);

    // Start rule: port open, generator present, nothing outstanding, and the link not held by
    // another than by.
    bool AnyCommandBusy() const { return state_.anyCommandBusy(); }
    bool mayStart(const LinkHolder* by = nullptr) const;
    // Starts c under the start rule; false (and nothing done) when the rule refuses.
    // The presence query ignores the rule, as the port dialog sends it.
    bool startCommand(Command c, LinkHolder* by = nullptr);
    // The same for the holder of the link while the generator is marked absent after it did
    // not answer: the command asks whether it is back, and its success shows it present again.
    bool startCommandDespiteAbsence(Command c, LinkHolder* by);
    // The EDID commands on an image of the caller's own, the program's image left alone: the
    // upload sends image as it is now; the read fills into only when it completes.
    bool startEdidUpload(const EdidImage& image, LinkHolder* by = nullptr);
    bool startEdidRead(EdidImage& into, LinkHolder* by = nullptr);
    // Stops the EDID upload that by started: before its first answer at once, while its bytes
    // go out at the next byte. Nothing more of it is sent, its slot is idle, and it ends as
    // "Upload stopped" with how many bytes went out. False when there is no such upload or its
    // last byte has gone (the generator has the whole image; the upload ends as it would).
    bool cancelEdidUpload(LinkHolder* by = nullptr);

    // While a holder holds the link, only it starts commands (hold is false when another
    // holds it). Releasing it while its read is outstanding sends that read's image nowhere.
    bool hold(LinkHolder* holder);
    void release(LinkHolder* holder);
    LinkHolder* holder() const { return holder_; }

    void ShowDevicePresent();
    void ShowDeviceAbsent();

    // Timer2: the receive poll. Timer1: the supervision tick.
    void receivePoll();
    void supervisionTick();

private:
    bool start(Command c, LinkHolder* by, const EdidImage* uploadSource, EdidImage* readTarget);
    // c has ended: its holder hears of it, else the view shows message (when there is one).
    void report(Command c, bool ok, const QString& message, const QString& detail = QString());
    void tickCommand(Command c);
    void acceptFirstReply(Command c);
    void rejectFirst(Command c);
    void finishFinal(Command c, bool accepted);
    void timeOut(Command c, bool finalPhase);
    void takeUploadCopy(Command c);
    void tableUpload(Command c);
    // The port is open and its device still there.
    bool lineUp() const;
    void lineLost();
    void awaitAnswerToWholeDataPhase(Command c);
    void edidUpload();
    void endStoppedUpload(int bytesSent);
    void tickEdidRead();
    // Does what the block reader says.
    void follow(const EdidBlockReader::Action& action);
    void failEdidRead();
    void completeEdidRead();
    void discardReply();
    void endEdidRead();

    SerialLine& line_;
    Clock& clock_;
    LinkView* view_;
    LinkState state_;
    CommandData data_;
    EdidImage edid_{};
    int gauge_ = 0;
    LinkHolder* holder_ = nullptr;
    // While set, a port that fails to open or set up says why here instead of in a box.
    QString* quietOpenError_ = nullptr;
    // Who started each command's outstanding run (nullptr: the operator's windows).
    std::array<LinkHolder*, CommandCount> startedBy_{};
    EdidImage* readTarget_ = &edid_;  // where the outstanding read's image goes
    EdidImage readDiscard_{};         // ... once its holder has let go of the link
    // What the upload started last sends: the table's bytes in sending order, or the image.
    std::array<quint8, 4 * ProgramColumns::StepCount> uploadTable_{};
    EdidImage uploadImage_{};
    // The EDID upload's bytes are going out (it may be stopped), and it was asked to stop.
    bool uploadStoppable_ = false;
    bool uploadStopAsked_ = false;

    EdidBlockReader reader_;
};
