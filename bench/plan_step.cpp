// A test plan's step switch against orve1-sim answering at once, on the real line, pacing and
// timers: the time from a verdict to the generator having acknowledged the next step (every
// command it needed answered), for steps that change only the pattern and steps that change
// both. Verdicts come at a random moment after each step is shown, as an operator's would.
// Last, steps that pause (the generator marked absent, as after a silence) and are retried at
// once: the time from Retry to the step shown again, both commands sent. Every verdict is
// recorded durably in a results store first, as the window and orve1ctl record it.
//     bench_plan_step [PAIRS]     (default 12 of each kind, and half as many retries)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "link/LinkEngine.h"
#include "link/QtSerialLine.h"
#include "link/SteadyClock.h"
#include "plan/PlanRunner.h"
#include "results/ResultsStation.h"

namespace {

constexpr int Port = 8;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void print(const char* what, const std::vector<double>& ms, double target) {
    std::printf("%-32s median %6.0f ms  min %6.0f  max %6.0f  (n=%zu, target < %.0f ms)\n", what,
                median(ms), *std::min_element(ms.begin(), ms.end()),
                *std::max_element(ms.begin(), ms.end()), ms.size(), target);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int pairs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 12;
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QProcess sim;
    sim.start(QCoreApplication::applicationDirPath() + "/orve1-sim",
              {"--port", QString::number(Port)});
    if (!sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "bench_plan_step: orve1-sim did not start\n");
        return 1;
    }

    SteadyClock clock;
    QtSerialLine line;
    LinkEngine engine(line, clock);
    QTimer poll;
    QTimer tick;
    poll.setInterval(100);
    tick.setInterval(500);
    PlanRunner runner(engine, clock);
    ResultsStation station;
    QString storeError;
    if (!station.open(runtime.path(), storeError)) {
        std::fprintf(stderr, "bench_plan_step: %s\n", qPrintable(storeError));
        return 1;
    }
    runner.setJournal(&station);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        engine.receivePoll();
        runner.poll();
    });
    QObject::connect(&tick, &QTimer::timeout, [&] { engine.supervisionTick(); });
    poll.start();
    tick.start();
    if (!engine.connectPort(Port))
        return 1;

    // Alternately a step that changes the pattern only and one that changes both.
    Plan plan;
    plan.name = QStringLiteral("step switch");
    const int retries = std::max(2, pairs / 2);
    for (int i = 0; i <= 2 * pairs + retries; ++i) {
        PlanStep s;
        s.timing = i % 2 ? PlanStep::Same : (i / 2) % 2 ? 9 : 29;
        s.pattern = i % 39;
        s.instruction = QStringLiteral("look");
        plan.steps << s;
    }
    std::vector<double> patternOnly;
    std::vector<double> both;
    std::vector<double> retried;
    QElapsedTimer since;
    int judged = -1;
    runner.onChanged = [&] {
        if (runner.state() == PlanRunner::State::Paused) {
            // Retry at once.
            QTimer::singleShot(0, [&] {
                QString why;
                since.start();
                runner.retry(why);
            });
            return;
        }
        if (runner.state() != PlanRunner::State::Judging || runner.currentStep() == judged)
            return;
        judged = runner.currentStep();
        if (judged > 2 * pairs)
            retried.push_back(since.nsecsElapsed() / 1e6);
        else if (judged > 0)
            (judged % 2 ? patternOnly : both).push_back(since.nsecsElapsed() / 1e6);
        // The operator looks for a while: the verdict falls anywhere within a tick.
        QTimer::singleShot(200 + QRandomGenerator::global()->bounded(500), [&] {
            // From here on the next step finds the generator marked absent and pauses.
            if (judged >= 2 * pairs)
                engine.ShowDeviceAbsent();
            since.start();
            runner.pass();
        });
    };
    runner.onFinished = [&] {
        QCoreApplication::exit(runner.record().verdict() == RunRecord::Verdict::Pass ? 0 : 1);
    };
    QTimer::singleShot(1500, [&] {
        RunSetup setup;
        setup.serial = QStringLiteral("bench");
        setup.reportFolder = runtime.path();
        QString why;
        if (!runner.start(plan, setup, why)) {
            std::fprintf(stderr, "bench_plan_step: %s\n", qPrintable(why));
            QCoreApplication::exit(1);
        }
    });
    const int status = app.exec();
    engine.closePort();
    sim.terminate();
    sim.waitForFinished(3000);
    if (status != 0 || patternOnly.empty() || both.empty() || retried.empty()) {
        std::fprintf(stderr, "bench_plan_step: the run did not pass: %s\n",
                     qPrintable(runner.record().endText()));
        return 1;
    }
    std::printf("verdict to next step acknowledged, orve1-sim answering at once\n");
    print("pattern only (PTIX):", patternOnly, 1500);
    print("timing and pattern (TMIX+PTIX):", both, 2800);
    print("Retry to the step shown again:", retried, 2500);
    return 0;
}
