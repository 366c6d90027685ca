#include "plan/PlanRunner.h"

#include <QFileInfo>
#include <QSysInfo>
#include <QUuid>

#include "Version.h"
#include "link/Clock.h"
#include "link/CommandTable.h"
#include "link/LinkEngine.h"
#include "plan/RunJournal.h"
#include "plan/RunReport.h"
#include "production/GoldenEdid.h"
#include "production/ProductionRun.h"

PlanRunner::PlanRunner(LinkEngine& engine, Clock& clock) : engine_(engine), clock_(clock) {}

PlanRunner::~PlanRunner() {
    if (running())
        stop(RunRecord::End::ProgramClosed);
    engine_.release(this);
}

bool PlanRunner::start(const Plan& plan, const RunSetup& setup, QString& why) {
    if (running()) {
        why = QStringLiteral("a run is in progress");
        return false;
    }
    why = plan.problem();
    if (!why.isEmpty())
        return false;
    const LinkState& link = engine_.state();
    retrying_ = asking_ = false;
    if (link.portOpen != 1 || link.devicePresent != 1) {
        why = QStringLiteral(
            "the generator is not connected: Connect, choose its COM port and OK, until the "
            "status bar says Exist");
        return false;
    }
    if (!engine_.hold(this)) {
        why = QStringLiteral("another run holds the link to the generator");
        return false;
    }
    plan_ = plan;
    reportFolder_ = setup.reportFolder;
    record_ = RunRecord();
    record_.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    record_.planText = setup.planText;
    record_.reportFolder = setup.reportFolder;
    planFolder_ = setup.planFolder;
    record_.plan = plan;
    record_.planFile = setup.planFile;
    record_.planDigest = setup.planDigest;
    record_.repeat = setup.repeat;
    record_.stationMode = setup.stationMode;
    record_.serial = setup.serial;
    record_.operatorName = setup.operatorName;
    record_.station = QSysInfo::machineHostName();
    record_.version = QStringLiteral(ORVE1_VERSION);
    record_.port = QStringLiteral("COM %1").arg(link.portNumber);
    record_.started = now();
    record_.steps.resize(plan.steps.size());
    reportPath_.clear();
    reportError_.clear();
    storeError_.clear();
    // The run's row exists before anything is sent, or the run does not start.
    QString error;
    if (journal_ && !journal_->runStarted(record_, error)) {
        engine_.release(this);
        why = error;
        return false;
    }
    // Whatever the generator showed before this run (another unit's last step, a window's
    // command, a generator switched off and on) is not taken on trust: the first step sends both.
    shownTiming_ = shownPattern_ = -1;
    step_ = 0;
    showStep();
    return true;
}

void PlanRunner::showStep() {
    state_ = State::Sending;
    since_ = clock_.tickMs();
    changed();
    sendNext();
}

void PlanRunner::sendNext() {
    waiting_ = false;
    // -1: a "-" step sends nothing, the generator keeps what it shows.
    const int timing = plan_.timingToSend(step_);
    const int pattern = plan_.patternToSend(step_);
    if (timing >= 0 && shownTiming_ != timing) {
        send(Command::Tmix, timing);
        return;
    }
    if (pattern >= 0 && shownPattern_ != pattern) {
        send(Command::Ptix, pattern);
        return;
    }
    shown();
}

bool PlanRunner::send(Command c, int index) {
    CommandData& data = engine_.data();
    quint8& selected = c == Command::Tmix ? data.SelectedTimingIndex : data.SelectedPatternIndex;
    const quint8 before = selected;
    // The engine sends the selected index when the generator accepts the frame.
    selected = quint8(index);
    // After a pause the generator is marked absent: the step's first command asks whether it
    // is back.
    const bool started =
        retrying_ ? engine_.startCommandDespiteAbsence(c, this) : engine_.startCommand(c, this);
    if (started) {
        pending_ = c == Command::Tmix ? Pending::Timing : Pending::Pattern;
        pendingIndex_ = quint8(index);
        windowsIndex_ = before;
        return true;
    }
    selected = before;
    const LinkState& link = engine_.state();
    if (link.portOpen == 1 && (link.devicePresent == 1 || retrying_) && engine_.AnyCommandBusy()) {
        // Someone else's command is still outstanding; poll sends this one once it is over.
        waiting_ = true;
        return false;
    }
    const QString keyword = QLatin1String(commandRow(c).keyword);
    pause(keyword + (link.portOpen == 1 ? QStringLiteral(" not sent: the generator is absent")
                                        : QStringLiteral(" not sent: the port is closed")));
    return false;
}

void PlanRunner::giveBackIndex() {
    if (pending_ == Pending::None)
        return;
    CommandData& data = engine_.data();
    quint8& selected =
        pending_ == Pending::Timing ? data.SelectedTimingIndex : data.SelectedPatternIndex;
    // A window that chose another index meanwhile keeps its own.
    if (selected == pendingIndex_)
        selected = windowsIndex_;
    pending_ = Pending::None;
}

bool PlanRunner::commandEnded(Command c, bool ok, const QString& message, const QString& detail) {
    if (c == Command::Urtcnt && asking_) {
        asking_ = false;
        if (state_ != State::Sending)
            return true;
        if (!ok)
            pause(QStringLiteral("URTCNT: ") +
                  (message.isEmpty() ? QStringLiteral("no answer") : message));
        else
            sendNext();
        return true;
    }
    const Pending which = c == Command::Tmix   ? Pending::Timing
                          : c == Command::Ptix ? Pending::Pattern
                                               : Pending::None;
    if (state_ != State::Sending || which == Pending::None || which != pending_)
        return false;
    CommandData& data = engine_.data();
    const quint8 selected =
        which == Pending::Timing ? data.SelectedTimingIndex : data.SelectedPatternIndex;
    // A window that set the index while the command was outstanding may have had its index
    // sent instead of ours: what the generator shows is then not known.
    const bool overwritten = selected != pendingIndex_;
    const int asked = pendingIndex_;
    giveBackIndex();
    if (!ok) {
        QString failure = QLatin1String(commandRow(c).keyword) + QStringLiteral(": ") + message;
        if (!detail.isEmpty())
            failure += QStringLiteral(" (") + detail + QLatin1Char(')');
        // Refused: the generator is there and said no; waiting will not change that.
        if (message == QLatin1String(commandRow(c).firstRejectMessage) ||
            message == QLatin1String(commandRow(c).finalRejectMessage))
            finish(RunRecord::End::CommandFailed, failure);
        else
            pause(failure);
        return true;
    }
    retrying_ = false;
    int& shownNow = which == Pending::Timing ? shownTiming_ : shownPattern_;
    shownNow = overwritten ? -1 : asked;
    sendNext();
    return true;
}

void PlanRunner::shown() {
    shownAt_ = clock_.tickMs();
    held_ = false;
    if (plan_.steps[step_].mode == PlanStep::Mode::Edid) {
        program();
        return;
    }
    state_ = plan_.steps[step_].mode == PlanStep::Mode::Timed ? State::Showing : State::Judging;
    changed();
}

void PlanRunner::program() {
    const PlanStep& s = plan_.steps[step_];
    state_ = State::Programming;
    record_.steps[step_].edid = RunRecord::Step::Edid();
    changed();
    GoldenEdid golden;
    QString error;
    if (!GoldenEdid::load(s.goldenPath(planFolder_), golden, error)) {
        // Checked when the plan was loaded; gone or changed since.
        judge(RunRecord::StepVerdict::Fail, error, QString(), plan_.onFail == Plan::OnFail::Stop);
        return;
    }
    if (!edid_) {
        edid_ = std::make_unique<ProductionRun>(engine_);
        QObject::connect(edid_.get(), &ProductionRun::stageStarted, edid_.get(),
                         [this](ProductionRun::Stage) { changed(); });
        QObject::connect(edid_.get(), &ProductionRun::stageEnded, edid_.get(),
                         [this](ProductionRun::Stage stage, bool ok, const QString& text) {
                             if (onEdidStage)
                                 onEdidStage(ProductionRun::stageName(stage), ok, text,
                                             edid_->outcome().stageMs[int(stage)]);
                         });
        QObject::connect(edid_.get(), &ProductionRun::finished, edid_.get(),
                         [this] { programmed(); });
    }
    // The production run holds the link for the unit, as EDID > Production's does; no log of
    // its own: this run's record holds the unit.
    engine_.release(this);
    edid_->start(golden, s.recipe(), record_.serial, QDate::currentDate(), QString(),
                 plan_.serialFormat);
}

void PlanRunner::programmed() {
    if (state_ != State::Programming)
        return;  // stopped meanwhile: the run has ended
    engine_.hold(this);
    const ProductionRun::Outcome& o = edid_->outcome();
    const UnitRecord& u = o.record;
    RunRecord::Step::Edid& e = record_.steps[step_].edid;
    e.done = true;
    if (u.patched)
        e.identity = QStringLiteral("serial text %1, serial number %2, %3")
                         .arg(u.serialText.isEmpty() ? QStringLiteral("none") : u.serialText)
                         .arg(u.serialNumber)
                         .arg(EdidIdentity::dateText(u.week, u.year));
    e.goldenSha256 = u.goldenSha256;
    e.writtenSha256 = u.writtenSha256;
    e.readBackSha256 = u.readBackSha256;
    // The generator now shows what it shows after the write: nothing is taken on trust.
    shownTiming_ = shownPattern_ = -1;
    if (o.pass) {
        judge(RunRecord::StepVerdict::Pass, QString());
        return;
    }
    judge(RunRecord::StepVerdict::Fail,
          QStringLiteral("%1: %2").arg(ProductionRun::stageName(o.failedStage), o.message),
          QString(), plan_.onFail == Plan::OnFail::Stop);
}

QString PlanRunner::edidProgress() const {
    if (state_ != State::Programming || !edid_ || !edid_->busy())
        return QString();
    const ProductionRun::Stage stage = edid_->stage();
    const bool transfer = stage == ProductionRun::Stage::Upload ||
                          stage == ProductionRun::Stage::Write ||
                          stage == ProductionRun::Stage::ReadBack;
    return transfer
               ? QStringLiteral("%1 %2%").arg(ProductionRun::stageName(stage)).arg(engine_.gauge())
               : ProductionRun::stageName(stage);
}

qint64 PlanRunner::remainingMs() const {
    if (state_ != State::Showing)
        return 0;
    const qint64 gone = quint32((held_ ? heldAt_ : clock_.tickMs()) - shownAt_);
    return qMax<qint64>(0, plan_.steps[step_].showMs() - gone);
}

void PlanRunner::poll() {
    if (state_ == State::Paused && pauseCause_ == PauseCause::Generator &&
        quint32(clock_.tickMs() - pausedAt_) >= PauseLimitMs)
        finish(RunRecord::End::CommandFailed,
               pauseFailure_ +
                   QStringLiteral("; no Retry within %1 minutes").arg(PauseLimitMs / 60000));
    else if (state_ == State::Sending && waiting_ && !engine_.AnyCommandBusy())
        sendNext();
    else if (state_ == State::Showing && !held_ && remainingMs() == 0)
        judge(RunRecord::StepVerdict::Shown, QString());
}

void PlanRunner::spend() {
    const quint32 t = clock_.tickMs();
    record_.steps[step_].ms += quint32(t - since_);
    since_ = t;
}

void PlanRunner::judge(RunRecord::StepVerdict v, const QString& note, const QString& defect,
                       bool endRun) {
    spend();
    RunRecord::Step& s = record_.steps[step_];
    const RunRecord::Step before = s;
    s.verdict = v;
    s.note = note.simplified();
    s.defect = defect;
    // Recorded before anything else is sent: a verdict shown as taken survives a power cut.
    QString error;
    if (journal_ && !journal_->stepJudged(record_, step_, error)) {
        s.verdict = before.verdict;
        s.note = before.note;
        s.defect = before.defect;
        pauseForStore(error, v, note, defect);
        return;
    }
    if (endRun) {
        finish(RunRecord::End::EdidFailed);
        return;
    }
    if (++step_ == plan_.steps.size()) {
        step_ = plan_.steps.size() - 1;
        finish(RunRecord::End::Completed);
        return;
    }
    showStep();
}

bool PlanRunner::pass() {
    if (state_ != State::Judging)
        return false;
    judge(RunRecord::StepVerdict::Pass, QString());
    return true;
}

bool PlanRunner::fail(const QString& note, const QString& defect) {
    if (state_ != State::Judging && state_ != State::Showing)
        return false;
    held_ = false;
    judge(RunRecord::StepVerdict::Fail, note, defect);
    return true;
}

bool PlanRunner::holdTimedStep(bool held) {
    if (state_ != State::Showing)
        return false;
    if (held && !held_)
        heldAt_ = clock_.tickMs();
    else if (!held && held_)
        // The time the step stood still is not shown time: the count goes on where it stopped.
        shownAt_ += quint32(clock_.tickMs() - heldAt_);
    held_ = held;
    return true;
}

bool PlanRunner::back() {
    if ((state_ != State::Judging && state_ != State::Showing) || step_ == 0)
        return false;
    spend();
    held_ = false;
    --step_;
    // The earlier verdict is withdrawn; the report marks the step as judged again.
    RunRecord::Step& s = record_.steps[step_];
    const RunRecord::Step before = s;
    s.verdict = RunRecord::StepVerdict::None;
    s.note.clear();
    s.defect.clear();
    s.redone = true;
    storeError_.clear();
    if (journal_ && !journal_->stepJudged(record_, step_, storeError_)) {
        // The store still holds the verdict: the run stays where it was.
        s = before;
        ++step_;
        since_ = clock_.tickMs();
        changed();
        return false;
    }
    showStep();
    return true;
}

void PlanRunner::stop(RunRecord::End why) {
    if (!running())
        return;
    // An upload is cut at its next byte and nothing is written; a write or read-back already
    // under way runs to its end on its own.
    if (state_ == State::Programming && edid_ && edid_->stoppable())
        edid_->stop();
    if (state_ != State::Paused)
        spend();
    finish(why);
}

void PlanRunner::endPaused() {
    if (state_ == State::Paused && pauseCause_ == PauseCause::Generator)
        finish(RunRecord::End::CommandFailed, pauseFailure_);
}

void PlanRunner::pause(const QString& failure) {
    spend();
    waiting_ = false;
    state_ = State::Paused;
    pausedAt_ = clock_.tickMs();
    pauseFailure_ = failure;
    const bool lineGone = engine_.state().portOpen != 1;
    pauseText_ = lineGone ? QStringLiteral(
                                "The line to the generator is gone (the adapter "
                                "unplugged or the port closed): plug it back in, "
                                "then Retry")
                          : QStringLiteral(
                                "The generator does not answer: check the cable and "
                                "its power, then Retry");
    pauseCause_ = PauseCause::Generator;
    RunRecord::Interruption i;
    i.step = step_;
    i.at = now();
    i.reason = failure;
    record_.interruptions << i;
    // Kept in the store as it happens; a store that does not take it loses no verdict, and
    // the end of the run records it again.
    QString error;
    if (journal_)
        journal_->runPaused(record_, error);
    changed();
}

void PlanRunner::pauseForStore(const QString& error, RunRecord::StepVerdict v, const QString& note,
                               const QString& defect) {
    pausedFrom_ = state_;
    state_ = State::Paused;
    pauseCause_ = PauseCause::Store;
    pausedAt_ = clock_.tickMs();
    pendingVerdict_ = v;
    pendingNote_ = note;
    pendingDefect_ = defect;
    pauseFailure_ = error;
    pauseText_ = QStringLiteral(
                     "The verdict could not be recorded in the results store (%1): "
                     "Retry when it can be written, or Stop")
                     .arg(error);
    changed();
}

bool PlanRunner::retry(QString& why) {
    why.clear();
    if (state_ != State::Paused)
        return false;
    if (pauseCause_ == PauseCause::Store) {
        // The step is still on the generator: its verdict is written again.
        state_ = pausedFrom_;
        pauseText_.clear();
        judge(pendingVerdict_, pendingNote_, pendingDefect_);
        if (state_ == State::Paused) {
            why = pauseFailure_;
            return false;
        }
        return true;
    }
    if (engine_.state().portOpen != 1) {
        // The same COM port, as Connect opens it; its presence query is this run's.
        QString error;
        if (!engine_.connectPort(engine_.state().portNumber, this, &error)) {
            why = error;
            pauseText_ = error + QStringLiteral(": plug the adapter back in, then Retry");
            changed();
            return false;
        }
        asking_ = true;
    }
    RunRecord::Interruption& i = record_.interruptions.last();
    i.pausedMs = quint32(clock_.tickMs() - pausedAt_);
    // The pause's length into the store too: a run killed after the Retry did not end paused.
    QString error;
    if (journal_)
        journal_->runPaused(record_, error);
    pauseText_.clear();
    // Whatever the generator shows after a restart is not known: both go out again.
    shownTiming_ = shownPattern_ = -1;
    state_ = State::Sending;
    since_ = clock_.tickMs();
    retrying_ = true;
    changed();
    if (!asking_)
        sendNext();
    return true;
}

void PlanRunner::finish(RunRecord::End end, const QString& failure) {
    record_.end = end;
    record_.endStep = end == RunRecord::End::Completed ? -1 : step_;
    record_.failure = failure;
    record_.ended = now();
    // A command still outstanding ends unheard; the windows get their index back now.
    giveBackIndex();
    engine_.release(this);
    state_ = State::Finished;
    QString storeError;
    const bool ended = !journal_ || journal_->runEnded(record_, storeError);
    RunReport::write(record_, reportFolder_, reportPath_, reportError_);
    record_.reportFile = QFileInfo(reportPath_).fileName();
    if (ended && journal_ && !reportPath_.isEmpty())
        journal_->reportWritten(record_, storeError);
    if (!storeError.isEmpty())
        reportError_ += (reportError_.isEmpty() ? QString() : QStringLiteral("; ")) +
                        QStringLiteral("results store: ") + storeError;
    changed();
    if (onFinished)
        onFinished();
}

void PlanRunner::changed() {
    if (onChanged)
        onChanged();
}
