// A line of stations on one PostgreSQL server, through their spools:
//   (1) eight stations (processes) record 7-step runs at once, each into its own spool with its
//       forwarder thread: a verdict's durable write on each station (as bench_results measures
//       it alone), and a run's delay from its end to the server;
//   (2) a spool of 10,000 runs that an outage left waiting, forwarded: runs a second.
// It needs a server with the line's roles; scripts/throwaway-postgres starts one for it:
//     scripts/throwaway-postgres run -- build/bin/bench_results_line
// On one machine the server's commits wait for the same disk as the stations' verdicts, which
// a line's server on its own machine does not: with
//     scripts/throwaway-postgres run -- env PGOPTIONS="-c synchronous_commit=off" build/bin/...
// the server commits without waiting for that disk, and the stations' figures are their own.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "plan/PlanFile.h"
#include "results/ResultsForwarder.h"
#include "results/ResultsForwarderThread.h"
#include "results/ResultsStore.h"

namespace {

constexpr int Stations = 8;
constexpr int RunsPerStation = 40;
constexpr int StepsPerRun = 7;
constexpr int VerdictGapMs = 25;  // an operator at full speed, and then some
constexpr int OutageRuns = 10000;

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(p * (v.size() - 1) + 0.5))];
}

void print(const char* what, const std::vector<double>& ms, double target) {
    std::printf("%-44s median %8.2f ms  p99 %8.2f  max %8.2f  (n=%zu, target < %.0f ms)\n", what,
                percentile(ms, 0.5), percentile(ms, 0.99),
                ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()), ms.size(), target);
}

QByteArray planText() {
    QByteArray t = "name: Incoming inspection\n";
    for (int s = 0; s < StepsPerRun; ++s)
        t += QByteArray::number(10 + s) + " " + QByteArray::number(1 + s) + " judge Step " +
             QByteArray::number(s + 1) + "\n";
    return t;
}

RunRecord sampleRun(const QString& station, int n) {
    RunRecord r;
    r.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.planText = planText();
    QString error;
    PlanFile::parse(r.planText, r.plan, error);
    r.planDigest = PlanFile::digest(r.planText);
    r.planFile = "/srv/plans/incoming.txt";
    r.serial = QStringLiteral("%1-SN-%2").arg(station).arg(n);
    r.operatorName = "Ann";
    r.station = station;
    r.version = "1.0.0";
    r.port = "COM 1";
    r.started = QDateTime::currentDateTime();
    r.ended = r.started;
    r.reportFolder = "/srv/reports";
    r.steps.resize(StepsPerRun);
    return r;
}

void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString numbers(const std::vector<double>& v) {
    QStringList s;
    for (double x : v) s << QString::number(x, 'f', 3);
    return s.join(' ');
}

// One station: its runs into its spool, the forwarder thread sending them; prints its
// verdicts' durable times and its runs' delays to the server, a line each.
int station(const QString& name, const QString& folder, const QString& server, bool forwarding) {
    ResultsStore spool;
    QString e;
    if (!spool.open(folder, ResultsStore::Access::ReadWrite, e)) {
        std::fprintf(stderr, "%s\n", qPrintable(e));
        return 1;
    }
    spool.setStation(name);
    ResultsForwarderThread forwarder(folder, server);
    QElapsedTimer clock;
    clock.start();
    std::vector<double> ended;  // when each run's report was recorded, ms
    std::vector<double> judged, delay;
    QObject::connect(&forwarder, &ResultsForwarderThread::statusChanged,
                     [&](const ForwarderStatus& s) {
                         // In order: the server has the first sentRuns runs.
                         while (delay.size() < std::min<size_t>(s.sentRuns, ended.size()))
                             delay.push_back(clock.nsecsElapsed() / 1e6 - ended[delay.size()]);
                     });
    if (forwarding)
        forwarder.start();
    QElapsedTimer t;
    for (int n = 0; n < RunsPerStation; ++n) {
        RunRecord r = sampleRun(name, n);
        if (!spool.runStarted(r, e))
            break;
        for (int step = 0; step < StepsPerRun; ++step) {
            pause(VerdictGapMs);
            r.steps[step].verdict = RunRecord::StepVerdict::Pass;
            r.steps[step].ms = VerdictGapMs;
            t.start();
            if (!spool.stepJudged(r, step, e))
                break;
            judged.push_back(t.nsecsElapsed() / 1e6);
        }
        r.ended = QDateTime::currentDateTime();
        if (!spool.runEnded(r, e) ||
            !spool.reportWritten(r.id, r.serial + QStringLiteral(".html"), e))
            break;
        ended.push_back(clock.nsecsElapsed() / 1e6);
        if (forwarding)
            forwarder.recorded();
    }
    if (!e.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(e));
    for (int wait = 0; forwarding && delay.size() < ended.size() && wait < 300; ++wait) pause(100);
    std::printf("judged %s\ndelay %s\n", qPrintable(numbers(judged)), qPrintable(numbers(delay)));
    return (!forwarding || delay.size() == ended.size()) && e.isEmpty() ? 0 : 1;
}

std::vector<double> parse(const QString& line) {
    std::vector<double> v;
    for (const QString& x : line.split(' ', Qt::SkipEmptyParts)) v.push_back(x.toDouble());
    return v;
}

// The stations at once, forwarding to server or (without) only recording into their spools.
bool line(const QString& server, bool forwarding) {
    QTemporaryDir dir;
    std::vector<QProcess*> stations;
    for (int k = 0; k < Stations; ++k) {
        const QString folder = QDir(dir.path()).filePath(QStringLiteral("station%1").arg(k + 1));
        QDir().mkpath(folder);
        auto* p = new QProcess;
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {forwarding ? "--station" : "--spool-only", QStringLiteral("line1-%1").arg(k + 1),
                  folder, server});
        stations.push_back(p);
    }
    std::vector<double> judged, delay;
    bool ok = true;
    for (QProcess* p : stations) {
        ok = p->waitForFinished(180000) && p->exitCode() == 0 && ok;
        for (const QString& l : QString::fromUtf8(p->readAllStandardOutput()).split('\n')) {
            std::vector<double>& into = l.startsWith("judged ") ? judged : delay;
            if (l.startsWith("judged ") || l.startsWith("delay ")) {
                const std::vector<double> v = parse(l.section(' ', 1));
                into.insert(into.end(), v.begin(), v.end());
            }
        }
        delete p;
    }
    std::printf("%d stations at once, %d runs of %d steps each, a verdict every %d ms, %s\n",
                Stations, RunsPerStation, StepsPerRun, VerdictGapMs,
                forwarding ? "each forwarding to the server" : "without a server");
    print("verdict recorded durably in the spool", judged, 5);
    if (forwarding)
        print("run's end to the server (forwarder thread)", delay, 1000);
    return ok;
}

bool outage(const QString& server) {
    QTemporaryDir dir;
    ResultsStore spool;
    QString e;
    if (!spool.open(dir.path(), ResultsStore::Access::ReadWrite, e)) {
        std::printf("%s\n", qPrintable(e));
        return false;
    }
    // Recorded while the server could not be reached: the records of earlier versions' files
    // go into the outbox just as a station's own do, and far faster to make.
    QList<ResultsStore::ImportedRun> runs;
    const QDateTime first = QDateTime::currentDateTime().addDays(-1);
    for (int n = 0; n < OutageRuns; ++n) {
        ResultsStore::ImportedRun in;
        in.record = sampleRun("line2-1", n);
        in.record.started = first.addSecs(n * 8);
        in.record.ended = in.record.started.addSecs(7);
        in.record.reportFile = in.record.serial + ".html";
        for (RunRecord::Step& s : in.record.steps) {
            s.verdict = n % 10 ? RunRecord::StepVerdict::Pass : RunRecord::StepVerdict::Fail;
            s.ms = 1000;
        }
        in.verdict = n % 10 ? "PASS" : "FAIL";
        in.stepsDone = StepsPerRun;
        runs << in;
    }
    int added = 0, skipped = 0;
    if (!spool.importRuns(runs, added, skipped, e)) {
        std::printf("%s\n", qPrintable(e));
        return false;
    }
    spool.close();
    ResultsForwarder f(dir.path(), server);
    f.setReportGrace(0);
    QElapsedTimer t;
    QElapsedTimer phase;
    QHash<QString, double> spent;
    QString last;
    f.setStatementHook([&](const QString& statement) {
        if (!last.isEmpty())
            spent[last] += phase.nsecsElapsed() / 1e6;
        last = statement;
        phase.start();
    });
    t.start();
    const bool ok = f.forward();
    // Where the time went: each statement's time up to the next one ("commit": the commit,
    // the spool's outbox settled and the next batch read).
    for (const char* statement : {"plans", "runs", "run_steps", "commit"})
        std::printf("  %-10s %6.0f ms\n", statement, spent.value(QLatin1String(statement)));
    const double s = t.nsecsElapsed() / 1e9;
    std::printf(
        "a spool of %d runs forwarded after an outage: %.2f s, %.0f runs/s (target >= "
        "2000)%s\n",
        added, s, f.status().sentRuns / s,
        ok ? "" : qPrintable(QStringLiteral("; ") + f.status().problem));
    return ok && f.status().sentRuns == added;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && (args[1] == "--station" || args[1] == "--spool-only"))
        return station(args[2], args[3], args[4], args[1] == "--station");
    const QString admin = qEnvironmentVariable("ORVE1_PG_ADMIN_URL");
    const QString server = qEnvironmentVariable("ORVE1_PG_STATION_URL");
    if (admin.isEmpty() || server.isEmpty()) {
        std::fprintf(stderr,
                     "no server: run as scripts/throwaway-postgres run -- %s\n"
                     "(or set ORVE1_PG_ADMIN_URL, ORVE1_PG_STATION_URL and PGPASSFILE)\n",
                     argv[0]);
        return 2;
    }
    ResultsStore init;
    int before = 0;
    QString e;
    if (!init.initServer(admin, before, e)) {
        std::fprintf(stderr, "%s\n", qPrintable(e));
        return 1;
    }
    init.close();
    // The same line without a server first: what the machine's disk gives eight stations.
    const bool ok = line(server, false) & line(server, true) & outage(server);
    return ok ? 0 : 1;
}
