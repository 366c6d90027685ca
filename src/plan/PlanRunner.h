#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

#include "link/LinkHolder.h"
#include "plan/Plan.h"
#include "plan/RunRecord.h"

class Clock;
class LinkEngine;
class ProductionRun;
class RunJournal;

// What a run needs besides the plan.
struct RunSetup {
    QString serial;
    QString operatorName;
    QString planFile;    // where the plan came from, as the report names it
    QString planDigest;  // SHA-256 of the plan file
    QString reportFolder;
    int repeat = 1;            // for the report: the plan's steps are in the plan this many times
    QByteArray planText;       // the plan file's bytes, or the plan as it would be saved
    bool stationMode = false;  // for the report: orve1 --station ran it
    QString planFolder;        // where the plan's relative paths start (edid steps' golden files)
};

// Runs a test plan on one unit: puts each step's timing and pattern on the generator through
// the engine, sending only what differs from what the generator shows, takes the operator's
// verdicts, and writes the unit's report when the run ends, however it ends. It holds the link
// for the whole run, so that only it starts commands. The window and orve1ctl drive it the
// same way; neither knows the order of commands.
//
// Sending -> Judging (a judged step is shown) or Showing (a timed step counts down) -> the next
// step's Sending ... -> Finished. A command the generator does not answer, or a line that is
// gone, pauses the run on its step (Paused) until Retry sends the step again or Stop ends it;
// a command the generator refuses ("Error!!"), or a pause of PauseLimitMs, ends the run.
class PlanRunner : public LinkHolder {
public:
    // Programming: an edid step programs the unit's EDID (ProductionRun) and judges itself.
    enum class State { Idle, Sending, Judging, Showing, Programming, Paused, Finished };
    // A run paused by its generator that nobody retries ends after this long, as a failed
    // command ends it.
    static constexpr qint64 PauseLimitMs = 10 * 60 * 1000;

    PlanRunner(LinkEngine& engine, Clock& clock);
    // Where each run is recorded as it happens (none: only its report and results line).
    void setJournal(RunJournal* journal) { journal_ = journal; }
    ~PlanRunner() override;
    PlanRunner(const PlanRunner&) = delete;
    PlanRunner& operator=(const PlanRunner&) = delete;

    // Starts a run: false, with why and nothing sent, when the plan has a problem, the
    // generator is not connected and present, or another run holds the link.
    bool start(const Plan& plan, const RunSetup& setup, QString& why);
    // The operator's verdicts on a judged step; false when none is awaited. A timed step may
    // be failed too (a fault seen while it shows): it ends as failed.
    bool pass();
    // defect: the code the operator picked from the plan's defects, or empty.
    bool fail(const QString& note, const QString& defect = QString());
    // While the operator writes the note to a failed timed step, the step stays on and its
    // time stands still; false when no timed step is showing.
    bool holdTimedStep(bool held);
    bool timedStepHeld() const { return held_; }
    // Shows the previous step again, for a new verdict; false on the first step or while the
    // generator is still being told the current one.
    bool back();
    // Ends the run where it is (a report that says so is written).
    void stop(RunRecord::End why);
    // A paused run: reopens the port when the line was lost (the same COM port, as Connect
    // does) and sends the step's timing and pattern again, both (the generator may have
    // restarted with its defaults); false, still paused, with why (a port that would not open
    // says why) -- pauseText() then says it too.
    bool retry(QString& why);
    // Ends a paused run as a failed command ends it, for when nobody can Retry.
    void endPaused();
    // Why the run is paused: the generator (no answer, the line gone), or the results store
    // that did not take a verdict (the verdict waits; Retry writes it again).
    enum class PauseCause { Generator, Store };
    PauseCause pauseCause() const { return pauseCause_; }
    // What happened and what to do, while paused: "The generator does not answer: check the
    // cable and its power, then Retry".
    QString pauseText() const { return pauseText_; }
    // The failed command's words of the pause: "TMIX: No Response !!".
    QString pauseFailure() const { return pauseFailure_; }
    // Called often (every 100 ms) by whoever drives the run: ends timed steps and sends what a
    // command outstanding elsewhere held back.
    void poll();

    State state() const { return state_; }
    bool running() const {
        return state_ == State::Sending || state_ == State::Judging || state_ == State::Showing ||
               state_ == State::Programming || state_ == State::Paused;
    }
    int currentStep() const { return step_; }
    const Plan& plan() const { return plan_; }
    const RunRecord& record() const { return record_; }
    // An edid step's stage and its progress: "Upload 42%"; empty when none is programming.
    QString edidProgress() const;
    // Each stage of an edid step as it ends: its name, whether it went well, the generator's or
    // the program's words, and how long it took.
    std::function<void(const QString& stage, bool ok, const QString& text, qint64 ms)> onEdidStage;
    // Milliseconds a timed step still shows.
    qint64 remainingMs() const;
    // Why the last Back was refused by the results store (empty: it was not).
    QString storeError() const { return storeError_; }
    // The last run's HTML report, or why its report or result line could not be written.
    QString reportPath() const { return reportPath_; }
    QString reportError() const { return reportError_; }

    // State or step changed.
    std::function<void()> onChanged;
    // The run ended and its report was written, or not (reportError).
    std::function<void()> onFinished;
    // The wall clock of the report's times.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    bool commandEnded(Command c, bool ok, const QString& message, const QString& detail) override;

private:
    enum class Pending { None, Timing, Pattern };

    void showStep();
    void sendNext();
    bool send(Command c, int index);
    void shown();
    // An edid step: the unit's EDID from its golden file, through the same sequence as EDID >
    // Production; the link is the production run's until it has ended.
    void program();
    void programmed();
    // endRun: the run ends once the verdict is recorded (an edid step that failed, on-fail:
    // stop).
    void judge(RunRecord::StepVerdict v, const QString& note, const QString& defect = QString(),
               bool endRun = false);
    void spend();
    void finish(RunRecord::End end, const QString& failure = QString());
    // The step's command failed for want of an answer or a line: wait for Retry.
    void pause(const QString& failure);
    // The results store did not take step k's verdict: the step stays, the verdict waits.
    void pauseForStore(const QString& error, RunRecord::StepVerdict v, const QString& note,
                       const QString& defect);
    void giveBackIndex();
    void changed();

    LinkEngine& engine_;
    Clock& clock_;
    Plan plan_;
    QString reportFolder_;
    RunRecord record_;
    State state_ = State::Idle;
    int step_ = 0;
    quint32 since_ = 0;  // when the current step began, or the last time was counted
    quint32 shownAt_ = 0;
    bool held_ = false;
    quint32 heldAt_ = 0;
    // What the generator shows as far as this run knows (-1: not known).
    int shownTiming_ = -1;
    int shownPattern_ = -1;
    // The command this run has outstanding; the index it asked for, and the one the windows
    // had set before (given back when the command ends, unless a window set another meanwhile).
    Pending pending_ = Pending::None;
    quint8 pendingIndex_ = 0;
    quint8 windowsIndex_ = 0;
    bool waiting_ = false;   // a command outstanding elsewhere held the next one back
    bool asking_ = false;    // the presence query of a Retry that reopened the port is out
    bool retrying_ = false;  // sent again after a pause; nothing answered yet
    quint32 pausedAt_ = 0;
    QString pauseFailure_;  // the failed command's words, for a run that ends while paused
    QString pauseText_;
    QString reportPath_;
    QString reportError_;
    RunJournal* journal_ = nullptr;
    QString planFolder_;  // where an edid step's golden file is, when named relatively
    std::unique_ptr<ProductionRun> edid_;
    PauseCause pauseCause_ = PauseCause::Generator;
    State pausedFrom_ = State::Judging;  // where a store pause goes back to
    RunRecord::StepVerdict pendingVerdict_ = RunRecord::StepVerdict::None;
    QString pendingNote_;
    QString pendingDefect_;
    QString storeError_;
};
