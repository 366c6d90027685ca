// A line of three stations on one PostgreSQL server through an outage: three virtual
// generators on COM 2, 3 and 4, and on each a series of units, each an orve1ctl plan --auto with
// --results URL and the station's own report folder (its spool). The server stops after the
// first units and starts again two units later: in the end every run is on the server once with
// every step, and every spool is empty.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "SimProcess.h"
#include "TestFiles.h"
#include "ThrowawayServer.h"
#include "results/ResultsForwarder.h"
#include "results/ResultsStore.h"

using namespace throwaway;

class TestE2eLineServer : public QObject {
    Q_OBJECT

private slots:
    void threeStationsThroughAnOutage() {
        QVERIFY2(!Admin.isEmpty(), "no server: run under the CTest fixture");
        qputenv("PGPASSFILE", Env.value("PGPASSFILE").toUtf8());
        dropTables();
        {
            ResultsStore s;
            int before = 0;
            QString e;
            QVERIFY2(s.initServer(Admin, before, e), qPrintable(e));
        }
        SimProcess sims[3];
        for (int k = 0; k < 3; ++k) {
            if (k)
                sims[k].shareRuntimeDir(sims[0]);
            QVERIFY(sims[k].start({"--port", QString::number(k + 2)}));
        }
        QTemporaryDir dir;
        const QString plan =
            writeFile(dir.filePath("line.txt"), "name: Line\n10 1 1s\nsame 2 1s Blue\n");
        constexpr int Units = 5;  // each station's; the server is away for units 2 and 3
        for (int unit = 0; unit < Units; ++unit) {
            if (unit == 2)
                QVERIFY(stopServer());
            if (unit == 4)
                QVERIFY(startServer());
            QProcess ctl[3];
            for (int k = 0; k < 3; ++k) {
                ctl[k].setProcessEnvironment(sims[0].environment());
                ctl[k].setProcessChannelMode(QProcess::MergedChannels);
                ctl[k].start(SimProcess::bin("orve1ctl"),
                             {"--port", QString::number(k + 2), "plan", plan, "--auto", "--serial",
                              QString("S%1-%2").arg(k).arg(unit), "--report",
                              dir.filePath(QString("station%1").arg(k)), "--results", Station});
                ctl[k].closeWriteChannel();
            }
            for (QProcess& p : ctl) {
                QVERIFY(p.waitForFinished(60000));
                QVERIFY2(p.exitCode() == 0, p.readAll().constData());
            }
        }
        // Every run once with its two steps, from every station (within a retry's time).
        QTRY_COMPARE_WITH_TIMEOUT(onServer("runs"), 3 * Units, 35000);
        QCOMPARE(onServer("run_steps"), 2 * 3 * Units);
        QCOMPARE(asAdmin("SELECT COUNT(DISTINCT serial) FROM runs").toInt(), 3 * Units);
        for (int k = 0; k < 3; ++k) {
            ResultsForwarder spool(dir.filePath(QString("station%1").arg(k)), Station);
            QVERIFY(spool.count());
            QCOMPARE(spool.status().waiting(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestE2eLineServer)
#include "test_e2e_line_server.moc"
