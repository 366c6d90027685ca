#include "link/LinkEngine.h"

#include <QByteArrayView>
#include <algorithm>
#include <cstring>
#include <vector>

#include "edid/EdidCodec.h"
#include "link/Clock.h"
#include "link/CommandTable.h"
#include "link/LinkView.h"
#include "link/SerialLine.h"

namespace {

// Stands in for the screen until the main window (or a test) sets one.
class NullView : public LinkView {
public:
    void showMessage(const QString&, const QString&) override {}
    void showDevicePresent() override {}
    void showDeviceAbsent() override {}
    void setGauge(int) override {}
    void clearLog() override {}
    void appendLog(const QByteArray&) override {}
    void setPanel0OwnerDrawn() override {}
    void processEventsOnce() override {}
};

NullView nullView;

constexpr quint8 Blank = 0x20;
constexpr quint8 LineFeed = 0x0A;
constexpr quint8 CarriageReturn = 0x0D;
constexpr int ReplyCheckClearBytes = 30;  // CheckReply zeroes this much of the accumulator
constexpr int EdidUploadPauseMs = 5;
constexpr int TableStepPauseMs = 1;

void countTick(quint8& counter) {
    if (counter < 255)
        ++counter;
}

}  // namespace

LinkEngine::LinkEngine(SerialLine& line, Clock& clock)
    : line_(line), clock_(clock), view_(&nullView) {}

void LinkEngine::setView(LinkView* view) {
    view_ = view ? view : &nullView;
}

void LinkEngine::setGauge(int percent) {
    gauge_ = percent;
    view_->setGauge(percent);
}

// ---- Port ----------------------------------------------------------------------------------

bool LinkEngine::OpenPort(quint8 portNumber) {
    // Stored before the attempt so that the next close names this port even if it fails.
    state_.portNumber = portNumber;
    if (line_.open(portNumber) != 0) {
        if (quietOpenError_)
            *quietOpenError_ = QStringLiteral("COM %1 could not be opened: %2")
                                   .arg(portNumber)
                                   .arg(line_.lastErrorDetail(portNumber));
        else
            view_->showMessage(QStringLiteral("Open COM Port %1 fail !!").arg(portNumber),
                               line_.lastErrorDetail(portNumber));
        line_.close(portNumber);
        return false;
    }
    if (!ConfigurePort()) {
        line_.close(portNumber);
        return false;
    }
    return true;
}

bool LinkEngine::ConfigurePort() {
    const quint8 n = state_.portNumber;
    if (line_.setLine(n, 19200, 8, SerialLine::Parity::None, 1) != 0) {
        if (quietOpenError_)
            *quietOpenError_ = QStringLiteral("COM %1 could not be set to 19200 baud, 8N1: %2")
                                   .arg(n)
                                   .arg(line_.lastErrorDetail(n));
        else
            view_->showMessage(QStringLiteral("Error!!"), line_.lastErrorDetail(n));
        return false;
    }
    if (line_.setFlowControl(n, SerialLine::FlowControl::None) != 0) {
        if (quietOpenError_)
            *quietOpenError_ = QStringLiteral("COM %1 could not be set to no flow control: %2")
                                   .arg(n)
                                   .arg(line_.lastErrorDetail(n));
        else
            view_->showMessage(QStringLiteral("Error"), line_.lastErrorDetail(n));
        return false;
    }
    return true;
}

bool LinkEngine::connectPort(quint8 portNumber, LinkHolder* by, QString* why) {
    view_->clearLog();
    if (state_.portOpen) {
        line_.close(state_.portNumber);
        state_.portOpen = 0;
    }
    quietOpenError_ = why;
    const bool opened = OpenPort(portNumber);
    quietOpenError_ = nullptr;
    if (!opened) {
        state_.portOpen = 0;
        return false;
    }
    state_.portOpen = 1;
    // Whatever the device sent while the port was closed (a late answer to an earlier
    // program's question) would pass for the answer to the presence query.
    line_.discardInput(state_.portNumber);
    // The presence query goes out even while another command is outstanding.
    startCommand(Command::Urtcnt, by);
    return true;
}

void LinkEngine::disconnectPort() {
    // Slots stay as they are: an outstanding command is settled after the next connect.
    state_.portOpen = 0;
    state_.devicePresent = 0;
    line_.close(state_.portNumber);
    ShowDeviceAbsent();
}

void LinkEngine::closePort() {
    // The program ends: nothing may be sent or judged on this port any more.
    state_.portOpen = 0;
    line_.close(state_.portNumber);
}

bool LinkEngine::lineUp() const {
    return state_.portOpen == 1 && line_.isUsable(state_.portNumber);
}

void LinkEngine::lineLost() {
    // The device went away while the port was open (adapter pulled, far side hung up): say so
    // now rather than after the outstanding command's time-out, and stop touching the port.
    state_.portOpen = 0;
    line_.close(state_.portNumber);
    std::vector<Command> outstanding;
    for (int i = 0; i < CommandCount; ++i) {
        CommandSlot& s = state_.slot(static_cast<Command>(i));
        if (s != CommandSlot::Idle)
            outstanding.push_back(static_cast<Command>(i));
        s = CommandSlot::Idle;
    }
    ShowDeviceAbsent();
    // One message, however many commands were outstanding (a presence query beside another).
    bool shown = false;
    for (Command c : outstanding) {
        const QString message = shown ? QString() : QStringLiteral("No Response !!");
        shown = true;
        report(c, false, message, QStringLiteral("The serial device went away."));
    }
}

// ---- Wire ----------------------------------------------------------------------------------

void LinkEngine::PaceDelay(quint32 ms) {
    clock_.waitMs(ms);
}

void LinkEngine::SendCommand(const char* keyword, quint8 argument) {
    const quint8 n = state_.portNumber;
    auto put = [&](quint8 b) {
        line_.putByte(n, b);
        PaceDelay(PaceMs);
    };
    for (const char* k = keyword; *k; ++k) put(static_cast<quint8>(*k));
    put(Blank);
    put(argument);
    put(Blank);
    // Line feed before carriage return: the generator expects them in this order.
    put(LineFeed);
    // What came before the generator had the whole frame cannot answer it (text after an
    // earlier answer, say): it goes to the log, not into the reply.
    takeStaleInput();
    put(CarriageReturn);
    state_.firstReplyTicks = 0;
    state_.finalReplyTicks = 0;
    state_.replyLength = 0;
}

void LinkEngine::SendFramedByte(quint8 value) {
    const quint8 n = state_.portNumber;
    for (quint8 b : {Blank, value, Blank}) {
        line_.putByte(n, b);
        PaceDelay(PaceMs);
    }
    state_.firstReplyTicks = 0;
    state_.finalReplyTicks = 0;
    state_.replyLength = 0;
}

void LinkEngine::takeStaleInput() {
    const int n = std::clamp(
        line_.readAvailable(state_.portNumber, state_.readBuffer.data(), LinkState::BufferSize), 0,
        LinkState::BufferSize);
    if (n > 0)
        view_->appendLog(QByteArray(reinterpret_cast<const char*>(state_.readBuffer.data()), n));
}

bool LinkEngine::CheckReply(const char* expected) {
    auto& buf = state_.replyBuffer;
    // Only what arrived since the last reset is the reply: bytes beyond it are left over from
    // earlier replies (the buffer is not cleared on a reset) and must not pass for this one.
    const auto received = buf.begin() + std::clamp(state_.replyLength, 0, LinkState::BufferSize);
    const auto end = std::find(buf.begin(), received, quint8(0));
    const QByteArrayView text(buf.data(), end - buf.begin());
    const bool found = !text.isEmpty() && text.contains(QByteArrayView(expected));
    std::fill_n(buf.begin(), ReplyCheckClearBytes, quint8(0));
    state_.replyLength = 0;
    return found;
}

// ---- Start rule and presence ---------------------------------------------------------------

bool LinkEngine::mayStart(const LinkHolder* by) const {
    return state_.portOpen == 1 && state_.devicePresent == 1 && !AnyCommandBusy() &&
           (holder_ == nullptr || holder_ == by);
}

bool LinkEngine::startCommand(Command c, LinkHolder* by) {
    return start(c, by, &edid_, &edid_);
}

bool LinkEngine::startCommandDespiteAbsence(Command c, LinkHolder* by) {
    if (state_.portOpen != 1 || state_.devicePresent == 1 || holder_ != by || by == nullptr ||
        AnyCommandBusy())
        return startCommand(c, by);
    // Present for the start rule only; a command that is not answered marks it absent again.
    state_.devicePresent = 1;
    const bool started = start(c, by, &edid_, &edid_);
    if (!started)
        state_.devicePresent = 0;
    return started;
}

bool LinkEngine::startEdidUpload(const EdidImage& image, LinkHolder* by) {
    return start(Command::Uedid, by, &image, &edid_);
}

bool LinkEngine::startEdidRead(EdidImage& into, LinkHolder* by) {
    return start(Command::Redid, by, &edid_, &into);
}

bool LinkEngine::cancelEdidUpload(LinkHolder* by) {
    if (startedBy_[static_cast<int>(Command::Uedid)] != by)
        return false;
    switch (state_.uedidSlot) {
        case CommandSlot::AwaitingReply:
        case CommandSlot::ReplyArrived:
            // Nothing of the image has gone out; a generator that still answers waits for data
            // that never comes and takes the next frame as the end of it.
            state_.uedidSlot = CommandSlot::Idle;
            state_.firstReplyTicks = 0;
            report(Command::Uedid, false, QStringLiteral("Upload stopped"),
                   QStringLiteral("before its first byte"));
            return true;
        case CommandSlot::AwaitingFinal:
        case CommandSlot::FinalArrived:
            if (!uploadStoppable_)
                return false;
            // Asked from inside the upload's own yield: the loop ends it before the next byte.
            uploadStopAsked_ = true;
            return true;
        case CommandSlot::Idle:
            break;
    }
    return false;
}

bool LinkEngine::hold(LinkHolder* holder) {
    if (holder_ != nullptr && holder_ != holder)
        return false;
    holder_ = holder;
    return true;
}

void LinkEngine::release(LinkHolder* holder) {
    if (holder_ != holder || holder == nullptr)
        return;
    holder_ = nullptr;
    // What it started may still end; nobody is left to hear of it or to take its image.
    for (LinkHolder*& by : startedBy_) {
        if (by == holder)
            by = nullptr;
    }
    if (readTarget_ != &edid_)
        readTarget_ = &readDiscard_;
}

bool LinkEngine::start(Command c, LinkHolder* by, const EdidImage* uploadSource,
                       EdidImage* readTarget) {
    const CommandRow& row = commandRow(c);
    if (c == Command::Urtcnt) {
        // Exempt from the start rule, but pointless without an open port.
        if (!state_.portOpen)
            return false;
    } else if (!mayStart(by)) {
        return false;
    }
    startedBy_[static_cast<int>(c)] = by;
    if (c != Command::Urtcnt)
        view_->clearLog();
    switch (c) {
        case Command::Redid:
            state_.redidSlot = CommandSlot::AwaitingReply;
            readTarget_ = readTarget;
            setGauge(0);
            break;
        case Command::Uedid:
            state_.uedidSlot = CommandSlot::AwaitingReply;
            uploadStopAsked_ = false;
            setGauge(0);
            // The image the upload sends is the one it started with, whatever changes it later.
            uploadImage_ = *uploadSource;
            break;
        case Command::Tmgs:
        case Command::Ptns:
        case Command::Atrn:
            state_.slot(c) = CommandSlot::AwaitingReply;
            takeUploadCopy(c);
            break;
        case Command::Wedid:
            setGauge(0);
            state_.wedidSlot = CommandSlot::AwaitingReply;
            break;
        default:
            state_.slot(c) = CommandSlot::AwaitingReply;
            break;
    }
    SendCommand(row.keyword, row.argument);
    return true;
}

void LinkEngine::ShowDevicePresent() {
    state_.devicePresent = 1;
    view_->showDevicePresent();
}

void LinkEngine::ShowDeviceAbsent() {
    state_.devicePresent = 0;
    view_->showDeviceAbsent();
    setGauge(0);
}

void LinkEngine::report(Command c, bool ok, const QString& message, const QString& detail) {
    LinkHolder*& by = startedBy_[static_cast<int>(c)];
    LinkHolder* const holder = by;
    by = nullptr;
    if (holder && holder == holder_ && holder->commandEnded(c, ok, message, detail))
        return;
    if (!message.isEmpty())
        view_->showMessage(message, detail);
}

// ---- Receive poll --------------------------------------------------------------------------

void LinkEngine::receivePoll() {
    if (!state_.portOpen)
        return;
    int n = line_.readAvailable(state_.portNumber, state_.readBuffer.data(), LinkState::BufferSize);
    n = std::clamp(n, 0, LinkState::BufferSize);

    bool awaitingReply = false;
    bool awaitingFinal = false;
    for (int i = 0; i < CommandCount; ++i) {
        const Command c = static_cast<Command>(i);
        const CommandSlot s = state_.slot(c);
        if (s == CommandSlot::AwaitingReply)
            awaitingReply = true;
        // The presence query and DFSET have no final reply and are not counted here.
        if (s == CommandSlot::AwaitingFinal && c != Command::Urtcnt && c != Command::Dfset)
            awaitingFinal = true;
    }
    if (awaitingReply)
        countTick(state_.firstReplyTicks);
    if (awaitingFinal)
        countTick(state_.finalReplyTicks);
    if (n <= 0)
        return;

    view_->appendLog(QByteArray(reinterpret_cast<const char*>(state_.readBuffer.data()), n));
    // Bytes beyond a full accumulator are dropped; the log above still shows them.
    for (int i = 0; i < n && state_.replyLength < LinkState::BufferSize; ++i)
        state_.replyBuffer[state_.replyLength++] = state_.readBuffer[i];

    for (int i = 0; i < CommandCount; ++i) {
        CommandSlot& s = state_.slot(static_cast<Command>(i));
        if (s == CommandSlot::AwaitingReply)
            s = CommandSlot::ReplyArrived;
        else if (s == CommandSlot::AwaitingFinal)
            s = CommandSlot::FinalArrived;
    }
}

// ---- Supervision tick ----------------------------------------------------------------------

void LinkEngine::supervisionTick() {
    if (state_.portOpen == 1 && !line_.isUsable(state_.portNumber)) {
        lineLost();
        return;
    }
    for (int i = 0; i < CommandCount; ++i) tickCommand(static_cast<Command>(i));
}

void LinkEngine::tickCommand(Command c) {
    if (c == Command::Redid) {
        tickEdidRead();
        return;
    }
    const CommandRow& row = commandRow(c);
    switch (state_.slot(c)) {
        case CommandSlot::AwaitingReply:
            if (state_.firstReplyTicks > row.firstTimeout)
                timeOut(c, false);
            break;
        case CommandSlot::ReplyArrived:
            if (CheckReply(row.firstExpected))
                acceptFirstReply(c);
            else
                rejectFirst(c);
            break;
        case CommandSlot::AwaitingFinal:
            if (row.finalTimeout != 0 && state_.finalReplyTicks > row.finalTimeout)
                timeOut(c, true);
            break;
        case CommandSlot::FinalArrived:
            finishFinal(c, CheckReply("OK"));
            break;
        case CommandSlot::Idle:
            break;
    }
}

void LinkEngine::timeOut(Command c, bool finalPhase) {
    (finalPhase ? state_.finalReplyTicks : state_.firstReplyTicks) = 0;
    state_.slot(c) = CommandSlot::Idle;
    ShowDeviceAbsent();
    report(c, false, QStringLiteral("No Response !!"));
}

void LinkEngine::acceptFirstReply(Command c) {
    const CommandRow& row = commandRow(c);
    switch (row.dataPhase) {
        case DataPhase::None:
            state_.slot(c) = CommandSlot::Idle;
            ShowDevicePresent();
            report(c, true, QString::fromLatin1(row.successMessage));
            break;
        case DataPhase::IndexByte:
            state_.slot(c) = CommandSlot::AwaitingFinal;
            SendFramedByte(c == Command::Tmix ? data_.SelectedTimingIndex
                                              : data_.SelectedPatternIndex);
            break;
        case DataPhase::TableUpload:
            state_.slot(c) = CommandSlot::AwaitingFinal;
            tableUpload(c);
            break;
        case DataPhase::EdidUpload:
            state_.slot(c) = CommandSlot::AwaitingFinal;
            uploadStoppable_ = true;
            edidUpload();
            uploadStoppable_ = false;
            break;
        case DataPhase::WriteByte:
            state_.slot(c) = CommandSlot::AwaitingFinal;
            setGauge(50);
            SendFramedByte(1);
            break;
        case DataPhase::EdidBlocks:
            break;  // handled by tickEdidRead
    }
}

void LinkEngine::rejectFirst(Command c) {
    const CommandRow& row = commandRow(c);
    state_.slot(c) = CommandSlot::Idle;
    if (row.clearTicksOnFirstReject)
        state_.firstReplyTicks = 0;
    if (row.firstReject == AbsentOnReject::BeforeMessage)
        ShowDeviceAbsent();
    report(c, false, QString::fromLatin1(row.firstRejectMessage));
    if (row.firstReject == AbsentOnReject::AfterMessage)
        ShowDeviceAbsent();
}

void LinkEngine::finishFinal(Command c, bool accepted) {
    const CommandRow& row = commandRow(c);
    if (accepted) {
        if (row.dataPhase == DataPhase::WriteByte)
            setGauge(100);
        state_.slot(c) = CommandSlot::Idle;
        if (row.presentOnSuccess)
            ShowDevicePresent();
        report(c, true, QString::fromLatin1(row.successMessage));
        return;
    }
    state_.slot(c) = CommandSlot::Idle;
    if (row.finalReject == AbsentOnReject::BeforeMessage)
        ShowDeviceAbsent();
    report(c, false, QString::fromLatin1(row.finalRejectMessage));
    if (row.finalReject == AbsentOnReject::AfterMessage)
        ShowDeviceAbsent();
}

void LinkEngine::awaitAnswerToWholeDataPhase(Command c) {
    // Called just before an upload's last byte: bytes that came while it was still going out
    // (polled in its yields) cannot answer the whole of it. That send drops them, and the
    // final answer is what comes from then on.
    if (state_.slot(c) == CommandSlot::FinalArrived)
        state_.slot(c) = CommandSlot::AwaitingFinal;
}

void LinkEngine::takeUploadCopy(Command c) {
    // The upload sends what the operator had when pressing Upload: a dialog closed (and so
    // cleared) or changed before the generator's first answer must not change what goes out,
    // and the bytes sent and the checksum must agree whatever runs during the yields.
    uploadTable_.fill(0);
    if (c == Command::Tmgs) {
        for (int i = 0; i < CommandData::TimingCount; ++i)
            uploadTable_[i] = data_.TimingSelection[i] != 0 ? 1 : 0;
    } else if (c == Command::Ptns) {
        for (int i = 0; i < CommandData::PatternCount; ++i)
            uploadTable_[i] = data_.PatternSelection[i] != 0 ? 1 : 0;
    } else if (c == Command::Atrn) {
        const ProgramColumns& p = data_.ProgramUpload;
        // Interleaved step by step: timing, pattern, unit, show time.
        for (int i = 0; i < ProgramColumns::StepCount; ++i) {
            uploadTable_[4 * i] = p.timing[i];
            uploadTable_[4 * i + 1] = p.pattern[i];
            uploadTable_[4 * i + 2] = p.unit[i];
            uploadTable_[4 * i + 3] = p.showTime[i];
        }
    }
}

void LinkEngine::tableUpload(Command c) {
    const int n = c == Command::Tmgs   ? CommandData::TimingCount
                  : c == Command::Ptns ? CommandData::PatternCount
                                       : ProgramColumns::StepCount;
    const int perEntry = c == Command::Atrn ? 4 : 1;  // bytes sent per entry
    const auto& values = uploadTable_;

    setGauge(0);
    SendFramedByte(static_cast<quint8>(n));
    for (int i = 0; i < n; ++i) {
        // Disconnect, the window closing or a vanished device, seen in a yield: stop sending.
        if (!lineUp())
            return;
        for (int k = 0; k < perEntry; ++k) SendFramedByte(values[perEntry * i + k]);
        const int p = (i * 100 + 100) / n;
        if (p > gauge_) {
            setGauge(p);
            clock_.sleepMs(TableStepPauseMs);
            view_->processEventsOnce();
        }
    }
    if (!lineUp())
        return;
    view_->setPanel0OwnerDrawn();
    unsigned sum = static_cast<unsigned>(n);
    for (int i = 0; i < n * perEntry; ++i) sum += values[i];
    awaitAnswerToWholeDataPhase(c);
    SendFramedByte(static_cast<quint8>((256 - sum % 256) % 256));
}

void LinkEngine::edidUpload() {
    const EdidImage& image = uploadImage_;
    const int last = static_cast<int>(image.size()) - 1;
    for (int i = 0; i <= last; ++i) {
        if (!lineUp())
            return;
        if (uploadStopAsked_) {
            endStoppedUpload(i);
            return;
        }
        setGauge(100 * i / 255);
        if (i == last) {
            // Once the last byte goes, the generator has the whole image: too late to stop.
            uploadStoppable_ = false;
            awaitAnswerToWholeDataPhase(Command::Uedid);
        }
        SendFramedByte(image[i]);
        clock_.sleepMs(EdidUploadPauseMs);
        view_->processEventsOnce();
    }
}

void LinkEngine::endStoppedUpload(int bytesSent) {
    // The data phase ends after a whole framed byte: the generator, waiting for the next one,
    // takes the next frame as the end of it.
    uploadStopAsked_ = false;
    uploadStoppable_ = false;
    state_.uedidSlot = CommandSlot::Idle;
    state_.finalReplyTicks = 0;
    setGauge(0);  // a part-way gauge would read as an upload still going
    report(Command::Uedid, false, QStringLiteral("Upload stopped"),
           QStringLiteral("after %1 of %2 bytes").arg(bytesSent).arg(uploadImage_.size()));
}

// ---- EDID read -----------------------------------------------------------------------------

void LinkEngine::endEdidRead() {
    state_.firstReplyTicks = 0;
    state_.finalReplyTicks = 0;
    state_.redidSlot = CommandSlot::Idle;
}

void LinkEngine::tickEdidRead() {
    const CommandRow& row = commandRow(Command::Redid);
    switch (state_.redidSlot) {
        case CommandSlot::Idle:
            return;
        case CommandSlot::AwaitingReply:
            if (state_.firstReplyTicks > row.firstTimeout)
                timeOut(Command::Redid, false);
            return;
        case CommandSlot::ReplyArrived:
            if (!CheckReply(row.firstExpected)) {
                rejectFirst(Command::Redid);
                return;
            }
            state_.redidSlot = CommandSlot::AwaitingFinal;
            follow(reader_.begin());
            state_.firstReplyTicks = 0;
            return;
        case CommandSlot::AwaitingFinal:
        case CommandSlot::FinalArrived:
            // Bytes or none, the reader judges the blocks, and its own time-outs bound every
            // wait.
            follow(reader_.tick(state_.replyBuffer.data(), state_.replyLength));
            return;
    }
}

void LinkEngine::follow(const EdidBlockReader::Action& action) {
    if (action.discard)
        discardReply();
    switch (action.step) {
        case EdidBlockReader::Step::Wait:
            return;
        case EdidBlockReader::Step::Request:
            SendFramedByte(static_cast<quint8>(action.offset));
            if (action.gauge >= 0)
                setGauge(action.gauge);
            return;
        case EdidBlockReader::Step::Complete:
            completeEdidRead();
            return;
        case EdidBlockReader::Step::Fail:
            failEdidRead();
            return;
    }
}

void LinkEngine::failEdidRead() {
    // The image keeps what it held: the blocks read so far are in the reader only.
    discardReply();
    endEdidRead();
    ShowDeviceAbsent();
    report(Command::Redid, false, QStringLiteral("No Response !!"));
}

void LinkEngine::completeEdidRead() {
    *readTarget_ = reader_.image();
    setGauge(100);
    endEdidRead();
    report(Command::Redid, true, QString::fromLatin1(commandRow(Command::Redid).successMessage));
}

void LinkEngine::discardReply() {
    state_.replyBuffer.fill(0);
    state_.replyLength = 0;
}
