// The pacing of what is sent, with the Link Monitor closed and open. Frames ("TMIX", 9 bytes)
// and framed data bytes (3 bytes) go out through a tap on the line with the real clock, in turns,
// with the event loop running between them as in real use (the 100 ms receive poll reads the
// answers; the open monitor takes them from the tap and shows them). For each run: the intervals
// from every byte put to the next (the last byte of a send: to the end of its pacing), the
// processor share over the whole run, and how late the event loop let the next send start.
// Target: with the monitor open, mean and largest interval at most 0.3 ms and the processor
// share at most 2 points above the runs with it closed.
//
// A busy machine moves single intervals by several milliseconds either way, so the two cases
// run in turns, ROUNDS times, and are compared on all their intervals together (mean, processor
// share) and on the median of the rounds' largest intervals.
//
//   bench_monitor_pacing [BYTES [ROUNDS]]   (BYTES paced bytes per run, default 200; 3 rounds)
//
// The monitor is shown on DISPLAY or, when that is unset, on the offscreen platform.
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numeric>
#include <vector>

#include "ScriptedLine.h"
#include "link/LinkEngine.h"
#include "link/SerialLine.h"
#include "link/SteadyClock.h"
#include "link/TappedLine.h"
#include "ui/TLinkMonitor.h"

namespace {

using Steady = std::chrono::steady_clock;

constexpr int GapMs = 50;           // event loop between two sends
constexpr int PollMs = 100;         // the receive poll
constexpr double MarginMs = 0.3;    // allowed worsening of mean and largest interval
constexpr double MarginPoints = 2;  // allowed worsening of the processor share

// Timestamps every byte put and answers each frame and each framed byte with "OK".
class AnsweringLine : public ScriptedLine {
public:
    std::vector<Steady::time_point> stamps;

protected:
    void onByte(quint8 value) override {
        stamps.push_back(Steady::now());
        last_.append(static_cast<char>(value));
        if (last_.endsWith("\n\r")) {
            answer("OK\r\n");
            last_.clear();
        } else if (last_.size() == 3 && last_.front() == ' ' && last_.back() == ' ') {
            answer("OK\r\n");
            last_.clear();
        }
        if (last_.size() > 16)
            last_.clear();
    }

private:
    QByteArray last_;
};

double ms(Steady::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Lets the event loop run for a while.
void spin(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Figures {
    size_t bytes = 0;
    std::vector<double> intervals;
    double cpu = 0;   // processor seconds
    double wall = 0;  // seconds
    std::vector<double> roundLargest;
    double lateMax = 0;  // largest delay of a send's start beyond its scheduled time
    int lines = 0;       // lines the monitor showed

    void add(const Figures& round) {
        bytes += round.bytes;
        intervals.insert(intervals.end(), round.intervals.begin(), round.intervals.end());
        cpu += round.cpu;
        wall += round.wall;
        roundLargest.push_back(round.largest());
        lateMax = std::max(lateMax, round.lateMax);
        lines = round.lines;
    }
    double cpuShare() const { return 100.0 * cpu / wall; }
    double medianLargest() const {
        std::vector<double> v = roundLargest;
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[v.size() / 2];
    }

    double mean() const {
        return std::accumulate(intervals.begin(), intervals.end(), 0.0) / intervals.size();
    }
    double largest() const { return *std::max_element(intervals.begin(), intervals.end()); }
    double smallest() const { return *std::min_element(intervals.begin(), intervals.end()); }
};

Figures run(bool withMonitor, size_t bytes) {
    AnsweringLine inner;
    TappedLine tap(inner);
    SteadyClock clock;
    LinkEngine engine(tap, clock);
    engine.state().portNumber = 1;
    engine.state().portOpen = 1;

    // As in the program, the monitor exists either way; closed, it is hidden.
    auto monitor = std::make_unique<TLinkMonitor>(tap);
    if (withMonitor) {
        monitor->showMonitor();
        QElapsedTimer t;
        t.start();
        while (!(monitor->windowHandle() && monitor->windowHandle()->isExposed()) &&
               t.elapsed() < 5000)
            spin(10);
    }
    QTimer poll;
    poll.setInterval(PollMs);
    QObject::connect(&poll, &QTimer::timeout, [&engine] { engine.receivePoll(); });
    poll.start();
    spin(300);  // the first showing and painting are not part of the figures

    Figures f;
    struct Send {
        size_t first, end;  // the send's bytes in inner.stamps
        Steady::time_point done;
    };
    std::vector<Send> sends;
    QEventLoop loop;
    bool frameNext = true;
    Steady::time_point due = Steady::now();
    std::function<void()> step = [&] {
        f.lateMax = std::max(f.lateMax, ms(Steady::now() - due));
        const size_t first = inner.stamps.size();
        if (frameNext)
            engine.SendCommand("TMIX", 1);
        else
            engine.SendFramedByte(5);
        sends.push_back({first, inner.stamps.size(), Steady::now()});
        frameNext = !frameNext;
        if (inner.stamps.size() >= bytes) {
            // The last answer is read and shown before the run ends.
            QTimer::singleShot(2 * TLinkMonitor::PullMs, &loop, &QEventLoop::quit);
            return;
        }
        due = Steady::now() + std::chrono::milliseconds(GapMs);
        QTimer::singleShot(GapMs, Qt::PreciseTimer, &loop, step);
    };
    const double cpu0 = cpuSeconds();
    const Steady::time_point wall0 = Steady::now();
    QTimer::singleShot(0, &loop, step);
    loop.exec();
    f.cpu = cpuSeconds() - cpu0;
    f.wall = ms(Steady::now() - wall0) / 1000.0;

    for (const Send& s : sends) {
        for (size_t i = s.first; i + 1 < s.end; ++i)
            f.intervals.push_back(ms(inner.stamps[i + 1] - inner.stamps[i]));
        f.intervals.push_back(ms(s.done - inner.stamps[s.end - 1]));
    }
    f.bytes = inner.stamps.size();
    if (withMonitor)
        f.lines = monitor->LinkRecord()->blockCount();
    return f;
}

void print(const char* title, const Figures& f) {
    std::printf("%s\n", title);
    std::printf("  paced bytes: %zu\n", f.bytes);
    std::printf("  interval mean: %.3f ms  smallest: %.3f ms  largest: %.3f ms\n", f.mean(),
                f.smallest(), f.largest());
    std::printf("  largest interval of each round:");
    for (double l : f.roundLargest) std::printf(" %.3f", l);
    std::printf(" ms, median %.3f ms\n", f.medianLargest());
    const long over37 =
        std::count_if(f.intervals.begin(), f.intervals.end(), [](double g) { return g > 37.0; });
    std::printf("  intervals above 37 ms: %ld of %zu\n", over37, f.intervals.size());
    std::printf("  cpu time: %.3f s over %.3f s (sends and event loop) = %.1f %%\n", f.cpu, f.wall,
                f.cpuShare());
    std::printf("  next send started late by at most %.1f ms (event loop between sends)\n",
                f.lateMax);
    if (f.lines > 0)
        std::printf("  lines shown by the monitor: %d\n", f.lines);
}

}  // namespace

int main(int argc, char** argv) {
    const size_t bytes = argc > 1 ? static_cast<size_t>(std::max(12, std::atoi(argv[1]))) : 200;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    Figures closed, open;
    for (int r = 0; r < rounds; ++r) {
        // Each case goes first in every other round, so that a trend of the machine's load
        // weighs on both alike.
        for (bool withMonitor : {r % 2 == 1, r % 2 == 0}) {
            const Figures f = run(withMonitor, bytes);
            (withMonitor ? open : closed).add(f);
            std::printf("round %d, monitor %s: mean %.3f ms, largest %.3f ms, cpu %.1f %%\n", r + 1,
                        withMonitor ? "open  " : "closed", f.mean(), f.largest(),
                        100.0 * f.cpu / f.wall);
        }
    }
    print("Link Monitor closed", closed);
    print("Link Monitor open", open);

    const double dMean = open.mean() - closed.mean();
    const double dLargest = open.medianLargest() - closed.medianLargest();
    const double dCpu = open.cpuShare() - closed.cpuShare();
    const bool met = dMean <= MarginMs && dLargest <= MarginMs && dCpu <= MarginPoints;
    std::printf(
        "open against closed: mean %+.3f ms, largest (median of rounds) %+.3f ms, cpu share "
        "%+.1f points (target at most +%.1f ms, +%.1f ms, +%.0f points): %s\n",
        dMean, dLargest, dCpu, MarginMs, MarginMs, MarginPoints, met ? "met" : "MISSED");
    return met ? 0 : 2;
}
