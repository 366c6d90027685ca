// The results store on a line's PostgreSQL server, a real one of the tests' own (the fixture
// starts scripts/throwaway-postgres in the build folder): the forwarder's states, the line cut
// in the middle of a forward, a version 1 spool, two spools at once, the schema's init and the
// questions over several stations.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "ResultsSamples.h"
#include "ThrowawayServer.h"
#include "ctl/ResultsCommands.h"
#include "results/ResultsForwarder.h"
#include "results/ResultsForwarderThread.h"
#include "results/ResultsQuery.h"
#include "results/ResultsSchema.h"

using samples::at;
using samples::makeRun;
using samples::makeUnit;
using samples::record;
using Trouble = ForwarderStatus::Trouble;
using namespace throwaway;

namespace {

const QDate Day(2026, 12, 8);

// The server without results tables, then made anew by init.
void freshServer() {
    dropTables();
    ResultsStore s;
    int before = 0;
    QString e;
    QVERIFY2(s.initServer(Admin, before, e), qPrintable(e));
}

// A run whose report is written (it goes up at once).
RunRecord reported(const QString& serial, const QDateTime& start, const QString& verdicts,
                   RunRecord::End end, const QString& station) {
    RunRecord r = makeRun(serial, start, verdicts, end, station);
    r.reportFile = serial + ".html";
    return r;
}

// A station's spool: two ended runs (5 verdicts; A in station mode with an edid step, D with a
// defect code and a pause), one going on, one EDID unit.
void makeSpool(const QString& folder, const QString& station = "line3-b", int extraRuns = 0) {
    ResultsStore s;
    QString e;
    QVERIFY2(s.open(folder, ResultsStore::Access::ReadWrite, e), qPrintable(e));
    RunRecord a = reported("A", at(Day, 9, 0), "ppp", RunRecord::End::Completed, station);
    a.stationMode = true;
    a.steps[2].edid = {true, "serial text A", "aa", "bb", "cc"};
    QVERIFY(record(s, a));
    QVERIFY(
        record(s, makeRun("B", at(Day, 9, 1), "p--", RunRecord::End::Completed, station), false));
    UnitRecord c = makeUnit("C", at(Day, 9, 2), true, station);
    c.serialFormat = "^[A-Z]$";
    QVERIFY(s.unitRecorded(c, e));
    RunRecord d = reported("D", at(Day, 9, 3), "pf-", RunRecord::End::Stopped, station);
    d.steps[1].defect = "mura";
    d.interruptions = {{1, at(Day, 9, 4), "TMIX: No Response !!", 2500}};
    QVERIFY(record(s, d));
    for (int n = 0; n < extraRuns; ++n)
        QVERIFY(record(s, reported(QString("%1-%2").arg(station).arg(n), at(Day, 10, n % 60),
                                   n % 3 ? "ppp" : "pf-", RunRecord::End::Completed, station)));
}

}  // namespace

class TestResultsServer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(!Admin.isEmpty(), "no server: run under the CTest fixture"); }

    // Each row: a fresh server and spool, one round, its status, what the spool kept and what
    // the server holds.
    void forwarderStates() {
        struct Row {
            const char* name;
            QString url;
            std::function<void(ResultsForwarder&, const QString& spool)> before;
            bool forward;  // a round (else only the count)
            bool ok;
            Trouble trouble;
            int waiting, runs, steps;  // after the round; runs and steps on the server
            QString said;              // part of the problem, or of the sentence
        };
        const int port = Env.value("ORVE1_PG_PORT").toInt();
        auto requeue = [](ResultsForwarder& f, const QString& folder) {
            // As if the connection dropped behind the commit: the spool still lists them all.
            QVERIFY(f.forward());
            ResultsStore spool;
            QString e;
            QVERIFY(spool.open(folder, ResultsStore::Access::ReadWrite, e));
            QSqlQuery q(spool.database());
            QVERIFY(
                q.exec("INSERT INTO outbox (kind, record, queued) SELECT 'run', id, '' FROM"
                       " runs WHERE end_kind IS NOT NULL UNION ALL SELECT 'unit', id, ''"
                       " FROM units"));
        };
        // Columns: name, URL, before the round, round, ok, trouble, waiting, runs and steps on
        // the server, part of what is said.
        const QList<Row> rows = {
            {"queued", Station, nullptr, false, true, Trouble::None, 3, 0, 0,
             "Results: 3 waiting for the server"},
            {"sent", Station, nullptr, true, true, Trouble::None, 0, 2, 5,
             "Results: all on the server"},
            {"sent twice", Station, requeue, true, true, Trouble::None, 0, 2, 5,
             "Results: all on the server"},
            {"failed mid-way", Station,
             [](ResultsForwarder& f, const QString&) {
                 f.setStatementHook([](const QString& statement) {
                     if (statement == "run_steps")
                         stopServer();
                 });
             },
             true, false, Trouble::Unreachable, 3, 0, 0, "(no connection since "},
            {"schema refused", Station,
             [](ResultsForwarder&, const QString&) {
                 asAdmin("UPDATE schema_info SET version = 1");
             },
             true, false, Trouble::Schema, 3, 0, 0,
             QString("the server's results schema is version 1 and this program's is 3: run "
                     "orve1ctl results init postgresql://ROLE@127.0.0.1:%1/orve1 with a role "
                     "that may create tables")
                 .arg(port)},
            {"server unreachable",
             QString(Station).replace(":" + Env.value("ORVE1_PG_PORT") + "/", ":1/"), nullptr, true,
             false, Trouble::Unreachable, 3, 0, 0, "Connection refused"},
            {"unknown host", QString(Station).replace("127.0.0.1", "no-such-host.invalid"), nullptr,
             true, false, Trouble::Unreachable, 3, 0, 0, "could not translate host name"},
            {"password refused", Station,
             [](ResultsForwarder& f, const QString&) { f.setPassword("wrong"); }, true, false,
             Trouble::Refused, 3, 0, 0,
             "password authentication failed for user \"orve1_station\""},
            {"role refused", Station,
             [](ResultsForwarder&, const QString&) {
                 asAdmin("REVOKE INSERT ON runs FROM orve1_station");
             },
             true, false, Trouble::Refused, 3, 0, 0, "permission denied for table runs"},
        };
        for (const Row& row : rows) {
            freshServer();
            QTemporaryDir dir;
            makeSpool(dir.path());
            ResultsForwarder f(dir.path(), row.url);
            if (row.before)
                row.before(f, dir.path());
            QCOMPARE((row.forward ? f.forward() : f.count()), row.ok);
            const ForwarderStatus& s = f.status();
            QVERIFY2(s.trouble == row.trouble, row.name);
            QVERIFY2(s.waiting() == row.waiting, row.name);
            const QString said = s.problem + " | " + s.sentence();
            QVERIFY2(said.contains(row.said), qPrintable(QString(row.name) + ": " + said));
            if (QByteArray(row.name) == "failed mid-way") {
                // Nothing half-written stays; the next round completes it.
                QVERIFY(startServer());
                QCOMPARE(onServer("runs") + onServer("run_steps"), 0);
                f.setStatementHook(nullptr);
                QVERIFY2(f.forward(), qPrintable(f.status().problem));
                QCOMPARE(f.status().waiting(), 0);
                QCOMPARE(f.status().sentence(), QString("Results: all on the server"));
                QCOMPARE(onServer("runs") * 10 + onServer("run_steps"), 25);
                continue;
            }
            QVERIFY2(onServer("runs") == row.runs && onServer("run_steps") == row.steps, row.name);
            QCOMPARE(onServer("units") + onServer("unit_stages"), row.runs ? 3 : 0);
            // Every field of schema 3, each pause once.
            QCOMPARE(asAdmin("SELECT (SELECT string_agg(serial || station_mode, ',' ORDER BY"
                             " serial) FROM runs) || ' ' || (SELECT string_agg(defect ||"
                             " edid_identity || edid_golden_sha256 || edid_written_sha256 ||"
                             " edid_read_back_sha256, ',' ORDER BY run, step) FROM run_steps"
                             " WHERE defect ||"
                             " edid_identity <> '') || ' ' || (SELECT string_agg(pause || ':' ||"
                             " step || ':' || reason || ':' || paused_ms || ':' || paused_at,"
                             " ',') FROM run_pauses) || ' ' || (SELECT serial_format FROM units)"),
                     row.runs ? QString("A1,D0 serial text Aaabbcc,mura 0:1:TMIX: No Response !!:"
                                        "2500:%1 ^[A-Z]$")
                                    .arg(at(Day, 9, 4).toUTC().toString("yyyy-MM-ddTHH:mm:ss.zzzZ"))
                              : QString());
        }
    }

    // A spool that version 1 or 2 wrote: upgraded (version 1's queuing every ended record),
    // and they go up.
    void olderSpools() {
        for (const int version : {1, 2}) {
            freshServer();
            QTemporaryDir dir;
            makeSpool(dir.path());
            QVERIFY(samples::downgrade(dir.filePath("results.sqlite"), version));
            ResultsForwarder f(dir.path(), Station);
            QVERIFY2(f.forward(), qPrintable(f.status().problem));
            QCOMPARE(f.status().sentRuns * 10 + f.status().sentUnits, 21);
            QCOMPARE(asAdmin("SELECT string_agg(serial, ',' ORDER BY serial) FROM runs"),
                     QString("A,D"));
        }
    }

    // Two stations forward at once into one server, the second's spool a copy of the first's
    // with runs of its own: every record once, every step once; the questions see both.
    void twoSpoolsAtOnce() {
        freshServer();
        QTemporaryDir a, b;
        makeSpool(a.path(), "line1", 30);
        QVERIFY(QFile::copy(a.filePath("results.sqlite"), b.filePath("results.sqlite")));
        {
            ResultsStore s;
            QString e;
            QVERIFY(s.open(b.path(), ResultsStore::Access::ReadWrite, e));
            for (int n = 0; n < 30; ++n)
                QVERIFY(record(s, reported(QString("line2-%1").arg(n), at(Day, 11, n), "ppp",
                                           RunRecord::End::Completed, "line2")));
        }
        QProcess p[2];
        for (int k = 0; k < 2; ++k)
            p[k].start(QCoreApplication::applicationFilePath(),
                       {"--forward", (k ? b : a).path(), Station});
        for (QProcess& one : p) {
            QVERIFY(one.waitForFinished(60000));
            QVERIFY2(one.exitCode() == 0, one.readAllStandardError().constData());
        }
        QCOMPARE(onServer("runs"), 2 + 30 + 30);
        QCOMPARE(onServer("run_steps"), 5 + 30 * 3 - 10 + 30 * 3);
        QCOMPARE(onServer("units") + onServer("unit_stages"), 3);

        ResultsStore server;
        QString e;
        QVERIFY2(server.open(Station, ResultsStore::Access::ReadOnly, e), qPrintable(e));
        ResultsQuery q(server);
        QList<YieldRow> line, one;
        QVERIFY(q.yield({}, ResultsQuery::Period::Day, line, e));
        QVERIFY(q.yield({"", "", "", "line2", "", ""}, ResultsQuery::Period::Day, one, e));
        QCOMPARE(line.value(0).units, 62);
        QCOMPARE(one.value(0).units, 30);
        QCOMPARE(one.value(0).firstPass, 30);
        QList<ResultRow> rows;
        QVERIFY(q.history("line2-7", rows, e));
        QCOMPARE(rows.value(0).station, QString("line2"));
        // The server takes no live records: a station's go to its spool.
        QVERIFY(!server.runStarted(makeRun("X", at(Day, 12, 0), "p--"), e));
    }

    // In its thread: a refused password is said once, however often it is tried and however
    // many records come; once the password is right, everything goes up by itself.
    void threadSaysAProblemOnce() {
        freshServer();
        QTemporaryDir dir;
        makeSpool(dir.path());
        ResultsForwarderThread t(dir.path(), Station);
        QSignalSpy problems(&t, &ResultsForwarderThread::problemFound);
        QSignalSpy changes(&t, &ResultsForwarderThread::statusChanged);
        t.setPassword("wrong");
        t.start();
        t.recorded();
        t.retryNow();
        QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 3, 20000);
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems[0][0].toString().contains("password authentication failed"));
        QCOMPARE(t.status().trouble, Trouble::Refused);
        QCOMPARE(t.status().waiting(), 3);
        t.setPassword("");  // libpq's password file then
        QTRY_COMPARE_WITH_TIMEOUT(t.status().sentence(), QString("Results: all on the server"),
                                  20000);
        QCOMPARE(onServer("runs"), 2);
    }

    // orve1ctl results init and forward; a station's role may not make tables and never
    // upgrades them.
    void initAndForwardByHand() {
        dropTables();
        auto ctl = [](const QString& command, const QStringList& operands, const QString& location,
                      QString& out, QString& err) {
            CtlRequest r;
            r.kind = CtlRequest::Kind::Results;
            r.resultsCommand = command;
            r.resultsOperands = operands;
            r.resultsLocation = location;
            out.clear();
            err.clear();
            return ResultsCommands::run(r, out, err);
        };
        QTemporaryDir dir;
        makeSpool(dir.path());
        QString out, err;
        QCOMPARE(ctl("forward", {Station}, dir.path(), out, err), 1);
        QVERIFY2(out == "sent 0 runs and 0 EDID units; 3 left waiting\n" &&
                     err.contains("the server holds no results store yet: run orve1ctl results "
                                  "init postgresql://ROLE@127.0.0.1:"),
                 qPrintable(out + err));
        QCOMPARE(ctl("init", {Station}, "", out, err), 2);
        QVERIFY2(err.contains("permission denied for schema public"), qPrintable(err));
        QCOMPARE(ctl("init", {Admin}, "", out, err), 0);
        QCOMPARE(out, QString("made the results tables (schema version 3) on %1\n").arg(Admin));
        QCOMPARE(ctl("init", {Admin}, "", out, err), 0);
        QVERIFY(out.contains("are up to date (schema version 3)"));
        QCOMPARE(ctl("forward", {Station}, dir.path(), out, err), 0);
        QCOMPARE(out, QString("sent 2 runs and 1 EDID unit; nothing left waiting\n"));
        QCOMPARE(ctl("history", {"D"}, Station, out, err), 0);
        QVERIFY2(out.contains("line3-b") && out.contains("step 2: [mura] note 2"), qPrintable(out));
        QCOMPARE(ctl("yield", {}, Station, out, err), 0);
        QVERIFY2(out.endsWith("Failures by defect code\nDefect  Failures  Cumulative %\n"
                              "mura    1         100.0\n"),
                 qPrintable(out));
        QCOMPARE(ctl("forward", {Station}, dir.filePath("none"), out, err), 2);
        QVERIFY(err.contains("no such file"));
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qputenv("PGPASSFILE", Env.value("PGPASSFILE").toUtf8());
    if (argc == 4 && qstrcmp(argv[1], "--forward") == 0) {
        ResultsForwarder f(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
        if (f.forward())
            return 0;
        qWarning("%s", qPrintable(f.status().problem));
        return 1;
    }
    TestResultsServer test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_results_server.moc"
