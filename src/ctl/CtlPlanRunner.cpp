#include "ctl/CtlPlanRunner.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "ctl/ConsoleView.h"
#include "ctl/ForwardWait.h"
#include "link/LinkEngine.h"
#include "link/LinkTrace.h"

namespace {

void say(std::FILE* to, const QString& text) {
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
    std::fflush(to);
}

}  // namespace

CtlPlanRunner::CtlPlanRunner(LinkEngine& engine, Clock& clock, ConsoleView& view,
                             const CtlRequest& request)
    : engine_(engine), view_(view), request_(request), runner_(engine, clock) {
    poll_.setInterval(100);
    tick_.setInterval(500);
    connect(&poll_, &QTimer::timeout, this, [this] {
        engine_.receivePoll();
        runner_.poll();
        takeInput();
    });
    connect(&tick_, &QTimer::timeout, this, &CtlPlanRunner::onTick);
    runner_.setJournal(&station_);
    runner_.onEdidStage = [](const QString& stage, bool ok, const QString& text, qint64 ms) {
        say(ok ? stdout : stderr,
            QStringLiteral("  %1: %2 (%3 s)").arg(stage, text).arg(ms / 1000.0, 0, 'f', 1));
    };
    runner_.onChanged = [this] { stepChanged(); };
    runner_.onFinished = [this] { runFinished(); };
}

void CtlPlanRunner::start() {
    const Plan& plan = request_.plan;
    say(stdout,
        QStringLiteral("plan \"%1\": %2 steps%3, unit %4")
            .arg(plan.name)
            .arg(plan.steps.size())
            .arg(request_.repeat > 1 ? QStringLiteral(" (%1 times over)").arg(request_.repeat)
                                     : QString())
            .arg(request_.serial));
    // Every run is recorded as it happens, or it does not start.
    QString error;
    if (!station_.open(ResultsStation::whereFor(request_.reportDir, request_.resultsLocation),
                       error)) {
        say(stderr, QStringLiteral("orve1ctl: the run cannot start: ") + error);
        QTimer::singleShot(0, this, [this] { finish(2); });
        return;
    }
    for (const QString& notice : station_.takeNotices())
        say(stderr, QStringLiteral("orve1ctl: ") + notice);
    const QString before = station_.previousLine(request_.serial);
    if (!before.isEmpty())
        say(stdout, before);
    if (!request_.autoRun)
        say(stdout, QStringLiteral("verdicts, one a line: p pass, f fail (the next line is the "
                                   "note, empty for none), b back, s stop"));
    if (!engine_.connectPort(request_.port)) {
        QTimer::singleShot(0, this, [this] { finish(1); });
        return;
    }
    poll_.start();
    tick_.start();
}

void CtlPlanRunner::onTick() {
    engine_.supervisionTick();
    if (!presence_ || done_ || engine_.AnyCommandBusy())
        return;
    presence_ = false;
    if (!engine_.state().devicePresent) {
        if (view_.messages.isEmpty())
            say(stderr, QStringLiteral("orve1ctl: the generator answered the presence query "
                                       "without \"OK\": \"%1\"")
                            .arg(LinkTrace::text(view_.log)));
        finish(1);
        return;
    }
    RunSetup setup;
    setup.serial = request_.serial;
    setup.operatorName = request_.operatorName;
    setup.planFile = QDir::toNativeSeparators(request_.file);
    setup.planDigest = request_.planDigest;
    setup.planText = request_.planText;
    setup.planFolder = QFileInfo(request_.file).absolutePath();
    setup.reportFolder = request_.reportDir;
    setup.repeat = request_.repeat;
    QString why;
    if (!runner_.start(request_.plan, setup, why)) {
        say(stderr, QStringLiteral("orve1ctl: the run cannot start: ") + why);
        finish(1);
    }
}

void CtlPlanRunner::stepChanged() {
    const PlanRunner::State state = runner_.state();
    if (state == PlanRunner::State::Paused && !pauseShown_) {
        pauseShown_ = true;
        say(stdout, QStringLiteral("step %1 paused: %2\n  %3\n  r retry, s stop")
                        .arg(runner_.currentStep() + 1)
                        .arg(runner_.pauseFailure(), runner_.pauseText()));
        QTimer::singleShot(0, this, &CtlPlanRunner::takeInput);
        return;
    }
    if (state != PlanRunner::State::Paused)
        pauseShown_ = false;
    if (state != PlanRunner::State::Judging && state != PlanRunner::State::Showing &&
        state != PlanRunner::State::Programming)
        return;
    const int k = runner_.currentStep();
    const Plan& plan = runner_.plan();
    const PlanStep& s = plan.steps[k];
    if (k != printedStep_) {
        printedStep_ = k;
        const QString mode = s.mode == PlanStep::Mode::Timed
                                 ? QStringLiteral("shown for %1 %2")
                                       .arg(s.showTime)
                                       .arg(s.unit == PlanStep::Unit::Minutes ? "min" : "s")
                                 : s.modeText();
        say(stdout, QStringLiteral("step %1 of %2: timing %3, pattern %4, %5")
                        .arg(k + 1)
                        .arg(plan.steps.size())
                        .arg(plan.timingShown(k), plan.patternShown(k), mode));
        const QString text = s.mode == PlanStep::Mode::Edid ? s.edidText() : s.instruction;
        if (!text.isEmpty())
            say(stdout, QStringLiteral("  ") + text);
    }
    // Lines typed ahead answer the step now shown.
    QTimer::singleShot(0, this, &CtlPlanRunner::takeInput);
}

void CtlPlanRunner::takeLine(const QString& line) {
    input_ << line;
    takeInput();
}

void CtlPlanRunner::inputEnded() {
    inputEnded_ = true;
    takeInput();
}

void CtlPlanRunner::takeInput() {
    while (runner_.running()) {
        const PlanRunner::State state = runner_.state();
        if (input_.isEmpty()) {
            // Nobody is left to retry: the run ends as a failed command ends it.
            if (inputEnded_ && state == PlanRunner::State::Paused)
                runner_.endPaused();
            // No verdict can come any more; --auto needs none.
            if (inputEnded_ && !request_.autoRun && state == PlanRunner::State::Judging) {
                if (awaitingNote_) {
                    awaitingNote_ = false;
                    runner_.fail(QString());
                } else {
                    runner_.stop(RunRecord::End::InputEnded);
                }
            }
            return;
        }
        const QString word = input_.first().trimmed().toLower();
        const bool retry = word == QLatin1String("r") || word == QLatin1String("retry");
        if (state == PlanRunner::State::Paused && retry) {
            input_.removeFirst();
            QString why;
            if (!runner_.retry(why))
                say(stderr,
                    QStringLiteral("orve1ctl: ") + why + QStringLiteral("; r retry, s stop"));
            continue;
        }
        if (retry) {
            say(stderr, QStringLiteral("orve1ctl: nothing to retry: the run is not paused"));
            input_.removeFirst();
            continue;
        }
        if (awaitingNote_) {
            if (state != PlanRunner::State::Judging)
                return;
            awaitingNote_ = false;
            QString defect;
            QString note;
            runner_.plan().pickDefect(input_.takeFirst(), defect, note);
            runner_.fail(note, defect);
            continue;
        }
        const bool stop = word == QLatin1String("s") || word == QLatin1String("stop");
        const bool back = word == QLatin1String("b") || word == QLatin1String("back");
        const bool pass = word == QLatin1String("p") || word == QLatin1String("pass");
        const bool fail = word == QLatin1String("f") || word == QLatin1String("fail");
        if (word.isEmpty() || (request_.autoRun && !stop) || (!stop && !back && !pass && !fail)) {
            if (!word.isEmpty())
                say(stderr,
                    request_.autoRun
                        ? QStringLiteral("orve1ctl: '%1' ignored: --auto takes only s "
                                         "(stop)")
                              .arg(input_.first())
                        : QStringLiteral("orve1ctl: '%1' is not p, f, b or s").arg(input_.first()));
            input_.removeFirst();
            continue;
        }
        // A timed step takes only b and s; a verdict waits for the next judged step.
        const bool now =
            state == PlanRunner::State::Judging ||
            (state == PlanRunner::State::Showing && (stop || back)) ||
            (stop && (state == PlanRunner::State::Sending || state == PlanRunner::State::Paused ||
                      state == PlanRunner::State::Programming));
        if (!now)
            return;
        input_.removeFirst();
        if (stop)
            runner_.stop(RunRecord::End::Stopped);
        else if (back && !runner_.back())
            say(stderr, QStringLiteral("orve1ctl: no step before this one"));
        else if (pass)
            runner_.pass();
        else if (fail) {
            awaitingNote_ = true;
            const QStringList& defects = runner_.plan().defects;
            if (!defects.isEmpty()) {
                QStringList numbered;
                for (int n = 1; n <= defects.size(); ++n)
                    numbered << QStringLiteral("    %1 %2").arg(n).arg(defects[n - 1]);
                say(stdout, QStringLiteral("  defect: N, N and a note, or just a note (empty "
                                           "for none):\n") +
                                numbered.join(QLatin1Char('\n')));
            } else if (input_.isEmpty() && !inputEnded_) {
                say(stdout, QStringLiteral("  note (empty for none):"));
            }
        }
    }
}

void CtlPlanRunner::runFinished() {
    const RunRecord& r = runner_.record();
    QString line = RunRecord::verdictText(r.verdict());
    QStringList failed;
    for (int n : r.failedSteps()) {
        const QString note = r.steps[n - 1].noteText();
        failed << (note.isEmpty() ? QStringLiteral("step %1").arg(n)
                                  : QStringLiteral("step %1 (%2)").arg(n).arg(note));
    }
    if (!failed.isEmpty())
        line += QStringLiteral(": ") + failed.join(QStringLiteral(", "));
    if (r.end != RunRecord::End::Completed)
        line += QStringLiteral("; ") + r.endText();
    say(stdout, line);
    int status = r.verdict() == RunRecord::Verdict::Pass ? 0 : 1;
    if (!runner_.reportPath().isEmpty())
        say(stdout, QStringLiteral("report: ") + QDir::toNativeSeparators(runner_.reportPath()));
    if (!runner_.reportError().isEmpty()) {
        say(stderr, QStringLiteral("orve1ctl: not written: ") + runner_.reportError());
        status = 1;
    }
    // Not from inside the engine's tick, which may still be visiting its slots; with a line's
    // server, once the run is on it or the forwarder has said why not.
    ForwardWait::after(station_, this, [this, status] { finish(status); });
}

void CtlPlanRunner::finish(int status) {
    if (done_)
        return;
    done_ = true;
    poll_.stop();
    tick_.stop();
    view_.endProgress();
    engine_.closePort();
    emit finished(status);
}
