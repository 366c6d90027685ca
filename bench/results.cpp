// The results store: how long a verdict takes to be on the disk, and the questions over a store
// of a million runs (made once under the build folder, about 1 GB, and reused).
//     bench_results [FOLDER]     (default: bench-results beside the build's bin folder)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

#include "plan/PlanFile.h"
#include "results/ResultsQuery.h"
#include "results/ResultsStore.h"

namespace {

constexpr int Verdicts = 2000;
constexpr int StepsPerRun = 7;
constexpr qint64 MillionRuns = 1000000;
constexpr int Days = 700;  // about two years
constexpr int Stations = 6;
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

QByteArray planText(int k) {
    QByteArray t = "name: Incoming inspection " + QByteArray::number(k + 1) + "\n";
    const char* steps[] = {"White field: no dead pixels",  "Black field: no bright pixels",
                           "Gray-16: sixteen clean steps", "Colour bar: eight bars in order",
                           "1080i colour bar: no flicker", "Grid: straight lines",
                           "Running H: no smearing"};
    for (int s = 0; s < StepsPerRun; ++s)
        t += QByteArray::number(10 + s) + " " + QByteArray::number(1 + s) + " judge " + steps[s] +
             "\n";
    return t;
}

RunRecord sampleRun(int n) {
    RunRecord r;
    r.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.planText = planText(0);
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

QString utc(const QDateTime& t) {
    return t.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

// (2) A million runs of 7 steps over about two years, in one transaction.
bool makeMillion(const QString& path) {
    {
        ResultsStore store;
        QString e;
        if (!store.open(path, ResultsStore::Access::ReadWrite, e)) {
            std::printf("%s\n", qPrintable(e));
            return false;
        }
    }
    QElapsedTimer clock;
    clock.start();
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench");
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        q.exec("PRAGMA journal_mode=DELETE");
        q.exec("PRAGMA synchronous=OFF");
        q.exec("BEGIN");
        QStringList digests;
        QSqlQuery plan(db);
        plan.prepare("INSERT INTO plans (sha256, name, text) VALUES (?, ?, ?)");
        for (int k = 0; k < 3; ++k) {
            const QByteArray text = planText(k);
            digests << PlanFile::digest(text);
            plan.addBindValue(digests.last());
            plan.addBindValue(QStringLiteral("Incoming inspection %1").arg(k + 1));
            plan.addBindValue(QString::fromUtf8(text));
            plan.exec();
        }
        QSqlQuery run(db);
        run.prepare(
            "INSERT INTO runs (id, uuid, station, serial, operator, plan_name, plan_file,"
            " plan_sha256, program, port, repeats, started, started_local, day, week, ended,"
            " ended_local, touched, reached, end_kind, end_step, failure, verdict, steps_total,"
            " steps_done, report_folder, report_file, source) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?,"
            " ?, 1, ?, ?, ?, ?, ?, ?, ?, 6, 'completed', NULL, '', ?, 7, 7, ?, ?, 'station')");
        QSqlQuery step(db);
        step.prepare(
            "INSERT INTO run_steps (run, step, verdict, note, ms, redone) VALUES (?, ?, ?, ?, ?,"
            " 0)");
        QRandomGenerator random(4711);
        const QDateTime first(QDate(2025, 1, 6), QTime(6, 0));
        const int perDay = int((MillionRuns + Days - 1) / Days);
        qint64 id = 0;
        for (int d = 0; d < Days && ok; ++d) {
            const QDate date = first.date().addDays(d);
            int year = 0;
            const int weekNo = date.weekNumber(&year);
            const QString day = date.toString("yyyy-MM-dd");
            const QString week =
                QStringLiteral("%1-W%2").arg(year).arg(weekNo, 2, 10, QLatin1Char('0'));
            int runsToday = 0;
            for (int u = 0; runsToday < perDay && ok; ++u) {
                const QString serial = QStringLiteral("SN-%1-%2").arg(d).arg(u, 5, 10, QChar('0'));
                const int station = u % Stations;
                // A unit that fails is tested again, up to twice.
                for (int attempt = 0; attempt < 3 && runsToday < perDay; ++attempt) {
                    const int failAt =
                        random.bounded(100) < (attempt ? 15 : 9)
                            ? int(random.bounded(StepsPerRun * StepsPerRun)) % StepsPerRun
                            : -1;
                    // Earlier steps fail more often: a skewed Pareto.
                    const int failStep = failAt < 0 ? -1 : qMin(failAt, int(random.bounded(7)));
                    const QDateTime start =
                        QDateTime(date, QTime(6, 0)).addSecs(runsToday * 45 + attempt * 300);
                    const QDateTime end = start.addSecs(40);
                    const QString verdict = failStep < 0 ? "PASS" : "FAIL";
                    const int plan = station % 3;
                    ++id;
                    for (const QVariant& v :
                         {QVariant(id),
                          QVariant(QUuid::createUuid().toString(QUuid::WithoutBraces)),
                          QVariant(QStringLiteral("line%1").arg(station + 1)),
                          QVariant(serial),
                          QVariant(QStringLiteral("op%1").arg(u % 11)),
                          QVariant(QStringLiteral("Incoming inspection %1").arg(plan + 1)),
                          QVariant(QStringLiteral("/srv/plans/incoming-%1.txt").arg(plan + 1)),
                          QVariant(digests[plan]),
                          QVariant("1.0.0"),
                          QVariant("COM 1"),
                          QVariant(utc(start)),
                          QVariant(start.toString(Qt::ISODate) + "+01:00"),
                          QVariant(day),
                          QVariant(week),
                          QVariant(utc(end)),
                          QVariant(end.toString(Qt::ISODate) + "+01:00"),
                          QVariant(utc(end)),
                          QVariant(verdict),
                          QVariant("/srv/reports"),
                          QVariant(serial + start.toString("_yyyyMMdd-HHmmss") + ".html")})
                        run.addBindValue(v);
                    if (!run.exec()) {
                        std::printf("%s\n", qPrintable(run.lastError().text()));
                        ok = false;
                        break;
                    }
                    for (int s = 0; s < StepsPerRun; ++s) {
                        step.addBindValue(id);
                        step.addBindValue(s);
                        step.addBindValue(s == failStep ? "fail" : "pass");
                        step.addBindValue(s == failStep ? QStringLiteral("defect seen")
                                                        : QStringLiteral(""));
                        step.addBindValue(3000 + s * 100);
                        ok = ok && step.exec();
                    }
                    ++runsToday;
                    if (failStep < 0)
                        break;
                }
            }
        }
        q.exec(ok ? "COMMIT" : "ROLLBACK");
        q.exec("PRAGMA journal_mode=WAL");
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("bench");
    std::printf("made %s in %.0f s\n", qPrintable(QDir::toNativeSeparators(path)),
                clock.elapsed() / 1000.0);
    return ok;
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
    const QString path = QDir(folder).filePath("million.sqlite");
    qint64 runs = 0;
    ResultsStore store;
    QString e;
    if (store.open(path, ResultsStore::Access::ReadOnly, e)) {
        ResultsQuery(store).runCount({}, runs, e);
        store.close();
    }
    e.clear();
    if (runs < MillionRuns * 999 / 1000) {
        for (const QString& f : {path, path + "-wal", path + "-shm"}) QFile::remove(f);
        if (!makeMillion(path))
            return;
    }
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
        argc > 1 ? QString::fromLocal8Bit(argv[1])
                 : QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../bench-results");
    QDir().mkpath(folder);
    verdictLatency(folder);
    millionQuestions(folder);
    return 0;
}
