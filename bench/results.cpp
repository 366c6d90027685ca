// The results store: how long a verdict takes to be on the disk, and the questions over a store
// of a million runs (made once under the build folder, about 1 GB, and reused).
//     bench_results [FOLDER]     (default: bench-results beside the build's bin folder)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

#include "MillionStore.h"
#include "plan/PlanFile.h"
#include "results/ResultsQuery.h"
#include "results/ResultsStore.h"

namespace {

constexpr int Verdicts = 2000;
constexpr int StepsPerRun = MillionStore::StepsPerRun;
constexpr int Repeats = 7;  // each question, timed this many times

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(p * (v.size() - 1) + 0.5))];
}

void print(const char* what, const std::vector<double>& ms, double target) {
    std::printf("%-44s median %8.2f ms  p99 %8.2f  max %8.2f  (n=%zu, target < %.0f ms)\n", what,
                percentile(ms, 0.5), percentile(ms, 0.99), *std::max_element(ms.begin(), ms.end()),
                ms.size(), target);
}

RunRecord sampleRun(int n) {
    RunRecord r;
    r.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.planText = MillionStore::planText(0);
    QString error;
    PlanFile::parse(r.planText, r.plan, error);
    r.planDigest = PlanFile::digest(r.planText);
    r.planFile = "/srv/plans/incoming.txt";
    r.serial = QStringLiteral("SN-%1").arg(n);
    r.operatorName = "Ann";
    r.station = "line3-b";
    r.version = "1.0.0";
    r.port = "COM 1";
    r.started = QDateTime::currentDateTime();
    r.ended = r.started;
    r.steps.resize(StepsPerRun);
    return r;
}

// (1) Each verdict committed (WAL, synchronous=FULL) before the next step.
void verdictLatency(const QString& folder) {
    const QString path = QDir(folder).filePath("verdicts.sqlite");
    for (const QString& f : {path, path + "-wal", path + "-shm"}) QFile::remove(f);
    ResultsStore store;
    QString e;
    if (!store.open(path, ResultsStore::Access::ReadWrite, e)) {
        std::printf("%s\n", qPrintable(e));
        return;
    }
    std::vector<double> judged, started, ended;
    QElapsedTimer t;
    RunRecord r;
    for (int v = 0; v < Verdicts; ++v) {
        const int step = v % StepsPerRun;
        if (step == 0) {
            r = sampleRun(v);
            t.start();
            store.runStarted(r, e);
            started.push_back(t.nsecsElapsed() / 1e6);
        }
        r.steps[step].verdict = RunRecord::StepVerdict::Pass;
        r.steps[step].ms = 4000;
        t.start();
        if (!store.stepJudged(r, step, e))
            std::printf("%s\n", qPrintable(e));
        judged.push_back(t.nsecsElapsed() / 1e6);
        if (step == StepsPerRun - 1) {
            r.ended = QDateTime::currentDateTime();
            t.start();
            store.runEnded(r, e);
            ended.push_back(t.nsecsElapsed() / 1e6);
        }
    }
    std::printf("store %s\n", qPrintable(QDir::toNativeSeparators(path)));
    print("verdict recorded durably (stepJudged)", judged, 5);
    print("run started (row and lock file)", started, 20);
    print("run ended", ended, 20);
}

template <typename F>
std::vector<double> timed(F f, int n = Repeats) {
    std::vector<double> ms;
    QElapsedTimer t;
    for (int k = 0; k < n; ++k) {
        t.start();
        f(k);
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    return ms;
}

void millionQuestions(const QString& folder) {
    const QString path = MillionStore::ensure(folder);
    if (path.isEmpty())
        return;
    qint64 runs = 0;
    ResultsStore store;
    QString e;
    if (!store.open(path, ResultsStore::Access::ReadOnly, e)) {
        std::printf("%s\n", qPrintable(e));
        return;
    }
    ResultsQuery q(store);
    q.runCount({}, runs, e);
    std::printf("store %s: %lld runs of %d steps, %.0f bytes a run (file %.0f MB)\n",
                qPrintable(QDir::toNativeSeparators(path)), runs, StepsPerRun,
                double(QFileInfo(path).size()) / runs, QFileInfo(path).size() / 1e6);

    QList<ResultRow> rows;
    int found = 0;
    print("history of one serial", timed([&](int k) {
              q.history(QStringLiteral("SN-%1-%2").arg(100 + 37 * k).arg(k * 13, 5, 10, QChar('0')),
                        rows, e);
              found += int(rows.size());
          }),
          50);
    ResultsFilter month;
    month.since = "2026-03-01";
    month.until = "2026-03-31";
    QList<YieldRow> yield;
    print("yield of one month, per day",
          timed([&](int) { q.yield(month, ResultsQuery::Period::Day, yield, e); }), 1000);
    print("yield of one month, per week",
          timed([&](int) { q.yield(month, ResultsQuery::Period::Week, yield, e); }), 1000);
    QList<ParetoRow> pareto;
    print("Pareto of one month", timed([&](int) { q.pareto(month, pareto, e); }), 1000);
    QList<DefectParetoRow> defects;
    print("Pareto by defect code of one month",
          timed([&](int) { q.paretoDefects(month, defects, e); }), 1000);
    print("runs table: first page (100 rows)", timed([&](int) { q.runs({}, 0, 100, rows, e); }),
          300);
    print("runs table: count of all runs", timed([&](int) { q.runCount({}, runs, e); }), 300);
    print("runs table: first page of one month",
          timed([&](int) { q.runs(month, 0, 100, rows, e); }), 300);
    qint64 monthRuns = 0;
    print("runs table: count of one month", timed([&](int) { q.runCount(month, monthRuns, e); }),
          300);
    print("runs table: page at row 500000", timed([&](int) { q.runs({}, 500000, 100, rows, e); }),
          300);
    ResultsFilter failed = month;
    failed.verdict = "FAIL";
    print("runs table: first page of a month's FAILs",
          timed([&](int) { q.runs(failed, 0, 100, rows, e); }), 300);
    TodayCounts today;
    print("today's counts of a station",
          timed([&](int) { q.todayCounts("line2", QDate(2026, 3, 10), today, e); }), 300);
    if (!e.isEmpty())
        std::printf("error: %s\n", qPrintable(e));
    std::printf(
        "(history found %d records over %d serials; a month: %lld runs, %lld units"
        " counted by yield)\n",
        found, Repeats, monthRuns,
        std::accumulate(yield.begin(), yield.end(), 0LL,
                        [](qint64 n, const YieldRow& y) { return n + y.units; }));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : MillionStore::defaultFolder();
    QDir().mkpath(folder);
    verdictLatency(folder);
    millionQuestions(folder);
    return 0;
}
