// One unit through patch, upload, write, read back, compare and log, on the fake line against a
// model generator in simulated time: how each ending is shown, logged and kept from the screen.
#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QTest>

#include "EngineRig.h"
#include "ModelGenerator.h"
#include "TestFiles.h"
#include "TimerLoop.h"
#include "production/ProductionLog.h"
#include "production/ProductionRun.h"

namespace {

struct Unit {
    ProductionRun::Outcome outcome;
    QStringList stages;  // "Upload ok Upload successful!!"
    QStringList shown;   // what the engine's view showed as message boxes
    QStringList log;     // the log's fields of the record
    EdidImage generator{};
    EdidImage programImage{};
    bool operatorRefused = false;
};

enum class Fault { None, Silent, SpoilReadBack, RejectWrite, NoLog, Absent };

Unit runUnit(Fault fault) {
    QTemporaryDir dir;
    EngineRig rig(fault != Fault::Absent);
    ModelGenerator model;
    model.attach(rig.line, rig.clock);
    model.silent = fault == Fault::Silent;
    // Answers: UEDID first and final, WEDID first and final, then the read.
    model.planner = [fault](int n, ModelGenerator::ReplyKind) {
        ModelGenerator::Plan p;
        if (fault == Fault::RejectWrite && n == 3)
            p.fault = ModelGenerator::Fault::Reject;
        return p;
    };
    model.onDeliver = [&] {
        if (fault == Fault::SpoilReadBack && model.uedidUploads == 1 && model.image[12] == 42)
            model.image[12] ^= 0x01;
    };
    TimerLoop loop(rig.engine, rig.clock, rig.view, model);

    GoldenEdid golden;
    QString error;
    if (!GoldenEdid::load(qEnvironmentVariable("ORVE1_TEST_DATA") + "/dell-p2415q-hdmi2.0.bin",
                          golden, error))
        qFatal("%s", qPrintable(error));
    IdentityRecipe recipe;
    recipe.number = IdentityRecipe::Number::Digits;
    const QString log =
        fault == Fault::NoLog ? dir.filePath("gone/log.csv") : dir.filePath("log.csv");

    Unit u;
    ProductionRun run(rig.engine);
    QObject::connect(&run, &ProductionRun::stageEnded,
                     [&](ProductionRun::Stage s, bool ok, const QString& text) {
                         u.stages << QStringLiteral("%1 %2 %3")
                                         .arg(ProductionRun::stageName(s), ok ? "ok" : "FAIL",
                                              text);
                     });
    bool finished = false;
    QObject::connect(&run, &ProductionRun::finished, [&] { finished = true; });
    run.start(golden, recipe, "SN-42", QDate(2025, 3, 1), log);
    u.operatorRefused = !rig.engine.mayStart();
    while (!finished && rig.clock.now < 120000) loop.runUntil(rig.clock.now + 100);
    u.outcome = run.outcome();
    u.shown = rig.view.messages;
    u.log = ProductionLog::fields(readFile(log).split('\n').value(1));
    u.generator = model.image;
    u.programImage = rig.engine.edid();
    return u;
}

}  // namespace

class TestProductionRun : public QObject {
    Q_OBJECT

private slots:
    void endings_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("pass");
        QTest::addColumn<QString>("stage");    // failed stage, or the last
        QTest::addColumn<QString>("message");  // part of the failure message
        QTest::newRow("passes") << int(Fault::None) << true << "Log"
                                << "";
        QTest::newRow("silent generator") << int(Fault::Silent) << false << "Upload"
                                          << "No Response !!";
        QTest::newRow("read back differs")
            << int(Fault::SpoilReadBack) << false << "Compare"
            << "in 1 byte: 0x00c (serial number): uploaded 2a, read 2b";
        QTest::newRow("write refused") << int(Fault::RejectWrite) << false << "Write"
                                       << "Write EDID Fail!!";
        QTest::newRow("not connected") << int(Fault::Absent) << false << "Upload"
                                       << "The port is not open";
        QTest::newRow("log unwritable") << int(Fault::NoLog) << true << "Log"
                                        << "";
    }
    void endings() {
        QFETCH(int, fault);
        QFETCH(bool, pass);
        QFETCH(QString, stage);
        QFETCH(QString, message);
        const Unit u = runUnit(Fault(fault));
        const QString why = u.stages.join('\n');
        QCOMPARE(u.outcome.pass, pass);
        // The commands' outcomes are the window's to show: no message box opened.
        QVERIFY2(u.shown.isEmpty(), qPrintable(u.shown.join('|')));
        // The program's own image is never touched.
        QCOMPARE(u.programImage, EdidImage{});
        if (Fault(fault) != Fault::Absent)
            QVERIFY(u.operatorRefused);
        if (!pass) {
            QCOMPARE(ProductionRun::stageName(u.outcome.failedStage), stage);
            QVERIFY2(u.outcome.message.contains(message), qPrintable(u.outcome.message));
        }
        if (Fault(fault) == Fault::NoLog) {
            QVERIFY(!u.outcome.logged && u.outcome.logError.contains("gone"));
            return;
        }
        QVERIFY2(u.outcome.logged, qPrintable(u.outcome.logError));
        // time, station, serial text, number, week, year, golden, its hash, written hash,
        // result, stage, message, serial format.
        QCOMPARE(u.log.size(), 13);
        QCOMPARE(u.log.mid(2, 5),
                 QStringList({"SN-42", "42", "35", "2016", "dell-p2415q-hdmi2.0.bin"}));
        QCOMPARE(u.log.mid(9, 2), QStringList({pass ? "PASS" : "FAIL", pass ? "" : stage}));
        QVERIFY(u.log[11].contains(message));
        QCOMPARE(QByteArray(u.log[8].toLatin1()),
                 QCryptographicHash::hash(bytesOf(u.outcome.written), QCryptographicHash::Sha256)
                     .toHex());
        if (pass) {
            QCOMPARE(u.generator, u.outcome.written);
            QCOMPARE(u.outcome.readBack, u.outcome.written);
            for (const char* text :
                 {"Upload ok Upload successful!!", "Write ok Write EDID successful!!",
                  "Read back ok   Read EDID Successful!!  "})
                QVERIFY2(u.stages.contains(text), qPrintable(why));
        }
    }
};

QTEST_GUILESS_MAIN(TestProductionRun)
#include "test_production_run.moc"
