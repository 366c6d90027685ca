// A station's results: where a run's records go for what the plan or the operator names, and
// the notices of a run left unfinished, told once.
#include <QDir>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include "plan/PlanFile.h"
#include "results/ResultsStation.h"
#include "results/ResultsStore.h"

class TestResultsStation : public QObject {
    Q_OBJECT

private slots:
    void whereRecordsGo_data() {
        QTest::addColumn<QString>("named");
        QTest::addColumn<QString>("spool");
        QTest::addColumn<QString>("server");
        const QString url = "postgresql://orve1_station@db.line3:5432/orve1?sslmode=require";
        QTest::newRow("nothing named") << ""
                                       << "/r/results.sqlite"
                                       << "";
        QTest::newRow("a file, relative") << "line.sqlite"
                                          << "/plans/line.sqlite"
                                          << "";
        const QString absolute = QDir::rootPath() + "srv/line3";  // with its drive on Windows
        QTest::newRow("a folder, absolute") << absolute << absolute << "";
        QTest::newRow("a line's server") << url << "/r/results.sqlite" << url;
    }
    void whereRecordsGo() {
        QFETCH(QString, named);
        QFETCH(QString, spool);
        QFETCH(QString, server);
        const ResultsStation::Where w = ResultsStation::whereFor("/r", named, "/plans");
        QCOMPARE(QDir::cleanPath(w.spool), spool);
        QCOMPARE(w.server, server);
    }

    // A run of this station left without its end (its program killed) is found when a station
    // opens the store, reported, and told once; a URL with a password is refused.
    void unfinishedRunToldOnce() {
        QTemporaryDir dir;
        Plan plan;
        QString e;
        const QByteArray text = "name: P\n1 1 judge a\n1 2 judge b\n";
        QVERIFY(PlanFile::parse(text, plan, e));
        RunRecord r;
        r.id = "0b6f7c1e-2f0a-4d51-9a55-3a4f4d2d9c11";
        r.plan = plan;
        r.planText = text;
        r.serial = "SN-9";
        r.station = QSysInfo::machineHostName();
        r.started = QDateTime::currentDateTime();
        r.reportFolder = dir.path();
        r.steps.resize(2);
        {
            ResultsStore store;
            QVERIFY2(store.open(dir.path(), ResultsStore::Access::ReadWrite, e), qPrintable(e));
            QVERIFY2(store.runStarted(r, e), qPrintable(e));
            r.steps[0].verdict = RunRecord::StepVerdict::Pass;
            QVERIFY(store.stepJudged(r, 0, e));
        }  // closed without its end, its lock gone as a killed program's goes stale
        ResultsStation station;
        QVERIFY2(station.open(dir.path(), e), qPrintable(e));
        const QStringList notices = station.takeNotices();
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices[0].startsWith("The run of SN-9 (P) was interrupted during step 2") &&
                     notices[0].contains("1 of 2 steps were judged") &&
                     notices[0].contains("report: "),
                 qPrintable(notices[0]));
        QVERIFY(station.takeNotices().isEmpty());
        ResultsStation again;
        QVERIFY(again.open(dir.path(), e) && again.takeNotices().isEmpty());
        QVERIFY(!station.open(
            ResultsStation::Where{dir.path(), "postgresql://orve1_station:secret@db/orve1"}, e));
        QVERIFY2(!e.contains("secret"), qPrintable(e));
    }
};

QTEST_GUILESS_MAIN(TestResultsStation)
#include "test_results_station.moc"
