// EDID > Production... through units on the model generator: a scanned serial programmed end to
// end (pictured), a scan kept while a unit runs, a duplicate asked about in the window's own box,
// a read-back that differs, a log that cannot be written, serial numbers counted on from the log,
// a unit stopped while it uploads, the window on a 768-pixel screen; and the inspector's Edit
// identity... showing the diff as orve1ctl edid-diff does.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "GuiRig.h"
#include "ModelGenerator.h"
#include "TestFiles.h"
#include "ctl/EdidCommands.h"
#include "edid/EdidDecodeRun.h"
#include "edid/EdidIdentity.h"
#include "edid/TEDID_Examiner.h"
#include "edid/TEDID_Identity.h"
#include "production/ProductionLog.h"
#include "production/TEDID_Production.h"
#include "ui/ElidedLabel.h"

namespace {

QString sample() {
    return qEnvironmentVariable("ORVE1_TEST_DATA") + "/dell-p2415q-hdmi2.0.bin";
}

// The link's timers in simulated time until the unit has ended.
bool runUnit(GuiRig& rig, ModelGenerator& model, TEDID_Production& w) {
    for (int step = 1; step <= 1200 && w.run().busy(); ++step) {
        rig.clock.now += 100;
        model.deliver(rig.clock.now);
        rig.engine.receivePoll();
        if (step % 5 == 0)
            rig.engine.supervisionTick();
    }
    return !w.run().busy();
}

void scan(TEDID_Production& w, const QString& serial) {
    w.SerialEdit()->selectAll();
    QTest::keyClicks(w.SerialEdit(), serial);
    QTest::keyClick(w.SerialEdit(), Qt::Key_Return);
}

QStringList logResults(const QString& path) {
    QStringList out;
    for (const QByteArray& line : readFile(path).split('\n').mid(1))
        if (!line.isEmpty())
            out << line.split(',').value(2) + ' ' + line.split(',').value(9);
    return out;
}

// The verdict, the reason and Serial wholly inside the window, and no group squeezed below what
// it needs, at the window's height and at that less a title bar.
void checkFits(TEDID_Production& w) {
    for (int height : {TEDID_Production::FormHeight, TEDID_Production::FormHeight - 32}) {
        w.resize(TEDID_Production::FormWidth, height);
        QApplication::processEvents();
        for (QWidget* c :
             std::initializer_list<QWidget*>{w.ResultLabel(), w.ReasonLabel(), w.SerialEdit()})
            QVERIFY2(w.rect().contains(QRect(c->mapTo(&w, QPoint()), c->size())),
                     qPrintable(c->objectName() + QString::number(height)));
        for (QGroupBox* g : w.findChildren<QGroupBox*>())
            QVERIFY2(g->height() >= g->minimumSizeHint().height(), qPrintable(g->objectName()));
    }
}

}  // namespace

class TestEdidProduction : public QObject {
    Q_OBJECT

private slots:
    void unitsOneAfterAnother() {
        GuiRig rig;
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("line3"));
        const QString log = dir.filePath("line3/units.csv");
        QVERIFY(!rig.windows->EDID_Production);  // made on first use only
        rig.menuItem("EDID_Production")->trigger();
        TEDID_Production& w = *rig.windows->EDID_Production;
        QVERIFY(w.isVisible() && w.focusWidget() == w.SerialEdit());
        QStringList files{sample(), log};
        w.setFileDialogHook(
            [&](bool, const QString&, const QString&) { return files.takeFirst(); });
        w.findChild<QPushButton*>("GoldenOpen")->click();
        w.findChild<QPushButton*>("LogChoose")->click();
        QVERIFY(w.GoldenSummary()->toPlainText().contains("Serial text: G3D7F68O0LLB"));

        rig.makePresent();
        rig.line.answerFrames = false;
        ModelGenerator model;
        model.attach(rig.line, rig.clock);
        scan(w, "SN-0007");
        // A scan while it runs is kept for the next unit, which waits for Enter.
        QVERIFY(w.run().busy() && !w.SerialEdit()->isReadOnly());
        scan(w, "SN-0099");
        QCOMPARE(w.NextLabel()->text(), QStringLiteral("Next: SN-0099"));
        QVERIFY(runUnit(rig, model, w));
        QCOMPARE(w.SerialEdit()->selectedText(), QStringLiteral("SN-0099"));
        QCOMPARE(model.uedidUploads, 1);
        QCOMPARE(w.ResultLabel()->text(), QStringLiteral("PASS"));
        QCOMPARE(w.ResultLabel()->palette().color(QPalette::WindowText),
                 TEDID_Production::PassColor);
        QStringList results;
        for (int s = 0; s < ProductionRun::StageCount; ++s)
            results << w.StageList()->topLevelItem(s)->text(2);
        QCOMPARE(results.mid(1, 3), QStringList({"Upload successful!!", "Write EDID successful!!",
                                                 "  Read EDID Successful!!  "}));
        QVERIFY2(rig.messages.isEmpty(), qPrintable(rig.messages.join('|')));
        QCOMPARE(rig.engine.edid(), EdidImage{});  // the program's image stays as it was
        QCOMPARE(EdidIdentity::read(model.lastUpload).serialText, QStringLiteral("SN-0007"));
        QCOMPARE(EdidIdentity::read(model.lastUpload).serialNumber, 7u);
        QCOMPARE(logResults(log), QStringList{"SN-0007 PASS"});
        const QString picture = QDir::current().filePath("edid-production.png");
        QVERIFY(w.grab().save(picture));
        qInfo("The window after one unit: %s", qPrintable(picture));

        // The same serial again: asked in the window's own box; no means nothing is sent, the
        // last verdict goes and the next scan reaches Serial.
        scan(w, "SN-0007");
        QCOMPARE(rig.questions.size(), 1);
        QVERIFY2(rig.questions[0].startsWith("Serial SN-0007 is already in the log") &&
                     rig.questions[0].contains("PASS"),
                 qPrintable(rig.questions[0]));
        QCOMPARE(rig.main().lastBoxOwner(), &w);
        QVERIFY(!w.run().busy());
        QCOMPARE(model.uedidUploads, 1);
        QCOMPARE(w.ResultLabel()->text(), QString());
        QTest::keyClicks(QApplication::focusWidget(), "PX0003");
        QCOMPARE(w.SerialEdit()->text(), QStringLiteral("PX0003"));

        // Yes, and the generator keeps five bytes of it wrong: a reason of three lines and
        // more, which the window shows on one.
        rig.confirmAnswer = true;
        model.onDeliver = [&] {
            if (model.uedidUploads == 2 && model.image[12] == 7)
                for (int i = 12; i < 17; ++i) model.image[i] ^= 1;
        };
        scan(w, "SN-0007");
        QVERIFY(runUnit(rig, model, w));
        QCOMPARE(w.ResultLabel()->text(), QStringLiteral("FAIL"));
        QVERIFY2(w.ReasonLabel()->fullText().startsWith("SN-0007 at Compare: The EDID read back "
                                                        "differs") &&
                     w.ReasonLabel()->elided() &&
                     w.ReasonLabel()->toolTip() == w.ReasonLabel()->fullText(),
                 qPrintable(w.ReasonLabel()->fullText()));
        QCOMPARE(w.StageGauge()->text() + ' ' + QString::number(w.StageGauge()->value()),
                 QStringLiteral("FAIL at Compare 0"));
        checkFits(w);
        QVERIFY(w.grab().save(QDir::current().filePath("edid-production-fail.png")));
        QCOMPARE(logResults(log), QStringList({"SN-0007 PASS", "SN-0007 FAIL"}));
        // The window's own count, and the station's day from the results store beside the log.
        QCOMPARE(w.CountLabel()->text(),
                 QStringLiteral("Passed 1, failed 1 since the window was opened\nToday at this "
                                "station: 1 unit, 0 passed, 1 failed, first-pass yield 100%"));

        // A log that can no longer be written (a folder in its place, made while the unit ran:
        // Windows cannot remove the folder the open results store is in) stops production after
        // the unit.
        model.onDeliver = [&] {
            if (model.uedidUploads == 3) {
                QFile::remove(log);
                QDir().mkpath(log);
            }
        };
        scan(w, "SN-0008");
        QVERIFY(runUnit(rig, model, w));
        QVERIFY(w.stopped());
        QVERIFY2(rig.messages.value(0).startsWith("The log line for SN-0008 could not be written"),
                 qPrintable(rig.messages.join('|')));
        scan(w, "SN-0009");
        QVERIFY(rig.messages.value(1).startsWith("Production has stopped"));
        QCOMPARE(model.uedidUploads, 3);
    }

    // Counting up goes on after the highest serial number in the log, and a number given
    // before is asked about; a unit stopped while it uploads is logged as STOPPED with nothing
    // written, and the next goes through whole; serial number 0 is offered.
    void serialNumbersAndStop() {
        GuiRig rig;
        QTemporaryDir dir;
        const QString log = dir.filePath("units.csv");
        QString error;
        for (int i = 1; i <= 3; ++i) {
            ProductionLog::Record r;
            r.serialText = QStringLiteral("PX000%1").arg(i);
            r.serialNumber = QString::number(70000 + i);
            r.pass = true;
            QVERIFY(ProductionLog::append(log, r, error));
        }
        rig.menuItem("EDID_Production")->trigger();
        TEDID_Production& w = *rig.windows->EDID_Production;
        w.NumberCount()->setChecked(true);
        QVERIFY(w.openGolden(sample()) && w.chooseLog(log));
        QCOMPARE(w.NextNumber()->text() + ", " + w.NextNumberNote()->text(),
                 QStringLiteral("70004, next after 70003 in the log"));
        rig.makePresent();
        rig.line.answerFrames = false;
        ModelGenerator model;
        model.attach(rig.line, rig.clock);
        w.NextNumber()->selectAll();
        QTest::keyClicks(w.NextNumber(), "70002");
        scan(w, "PX0004");
        QVERIFY2(rig.questions.value(0).startsWith("Serial number 70002 is already in the log") &&
                     rig.questions[0].contains("PX0002 PASS"),
                 qPrintable(rig.questions.value(0)));
        QCOMPARE(model.exchanges.size(), size_t(0));

        // Stop after 100 bytes of the upload.
        w.NextNumber()->setText("70004");
        const auto feed = rig.line.onPut;
        rig.line.onPut = [&, feed](FakeLine& line) {
            feed(line);
            const auto& e = model.exchanges;
            if (!e.empty() && e.back().keyword == "UEDID" && e.back().data.size() == 100 &&
                w.StopButton()->isEnabled())
                w.StopButton()->click();
        };
        scan(w, "PX0004");
        QVERIFY(runUnit(rig, model, w));
        QCOMPARE(w.ResultLabel()->text(), QStringLiteral("STOPPED"));
        QCOMPARE(logResults(log).last(), QStringLiteral("PX0004 STOPPED"));
        QCOMPARE(model.exchanges.back().keyword + ' ' +
                     QByteArray::number(int(model.exchanges.back().data.size())),
                 QByteArray("UEDID 100"));
        QVERIFY(
            w.ReasonLabel()->fullText().contains("after 100 of 256 bytes: nothing was written"));

        rig.line.onPut = feed;
        rig.confirmAnswer = true;  // PX0004 is in the log now
        scan(w, "PX0004");
        QVERIFY(runUnit(rig, model, w));
        QCOMPARE(w.ResultLabel()->text(), QStringLiteral("PASS"));
        QCOMPARE(EdidIdentity::read(model.lastUpload).serialNumber, 70005u);
        QCOMPARE(w.NextNumber()->text(), QStringLiteral("70006"));
        w.NumberZero()->setChecked(true);
        scan(w, "PX0005");
        QVERIFY(runUnit(rig, model, w));
        QCOMPARE(EdidIdentity::read(model.lastUpload).serialNumber, 0u);

        // The line's serial format: an unusable one shows in its field; a serial it does not
        // match is refused without a box and nothing is sent; the log keeps the format.
        w.SerialFormatEdit()->setText("^PX[0-9");
        QVERIFY(w.SerialFormatEdit()->toolTip().contains("is not a valid regular expression"));
        w.SerialFormatEdit()->setText("^PX[0-9]{4}$");
        const size_t exchanges = model.exchanges.size();
        scan(w, "pPX0006");
        QCOMPARE(w.ReasonLabel()->fullText(),
                 QStringLiteral("'pPX0006' does not match the serial format, and was not "
                                "programmed."));
        QVERIFY(rig.messages.isEmpty() && model.exchanges.size() == exchanges);
        QCOMPARE(w.SerialEdit()->selectedText(), QStringLiteral("pPX0006"));
        scan(w, "PX0006");
        QVERIFY(runUnit(rig, model, w));
        QCOMPARE(ProductionLog::fields(readFile(log).trimmed().split('\n').last()).value(12),
                 QStringLiteral("^PX[0-9]{4}$"));
        QVERIFY(model.violations.empty());
    }

    // Edit identity... in the inspector: a refused text keeps the dialog open; OK writes the
    // fields and the window shows the bytes that changed as edid-diff prints them.
    // A line's server that cannot be reached: the unit is programmed and kept in the spool
    // beside the log, and the window's results line says what waits, without a box.
    void unitKeptForAnUnreachableServer() {
        GuiRig rig;
        QTemporaryDir dir;
        rig.menuItem("EDID_Production")->trigger();
        TEDID_Production& w = *rig.windows->EDID_Production;
        w.findChild<QLineEdit*>("ResultsField")
            ->setText("postgresql://orve1_station@127.0.0.1:1/orve1");
        QStringList files{sample(), dir.filePath("units.csv")};
        w.setFileDialogHook(
            [&](bool, const QString&, const QString&) { return files.takeFirst(); });
        w.findChild<QPushButton*>("GoldenOpen")->click();
        w.findChild<QPushButton*>("LogChoose")->click();
        rig.makePresent();
        rig.line.answerFrames = false;
        ModelGenerator model;
        model.attach(rig.line, rig.clock);
        scan(w, "SN-0301");
        QVERIFY(runUnit(rig, model, w));
        QCOMPARE(w.ResultLabel()->text(), QStringLiteral("PASS"));
        QLabel* status = w.findChild<QLabel*>("ResultsStatus");
        QTRY_VERIFY_WITH_TIMEOUT(
            status->text().startsWith("Results: 1 waiting for the server (no connection since"),
            10000);
        QVERIFY2(rig.messages.isEmpty(), qPrintable(rig.messages.join('|')));
        QVERIFY(QFile::exists(dir.filePath("results.sqlite")));
    }

    void inspectorEditsTheIdentity() {
        GuiRig rig;
        QTemporaryDir dir;
        rig.main().loadEdidFile(sample());
        const QByteArray before = bytesOf(rig.engine.edid());
        TEDID_Examiner& in = *rig.windows->edidExaminer();
        in.decoder()->setProgram("/no/such/edid-decode");
        rig.menuItem("EDID_Inspect")->trigger();
        QVERIFY(!in.IdentityChanges()->isVisible());
        QString problem;
        bool stayedOpen = false;
        runModal([&] { in.EditIdentity()->click(); },
                 [&](QWidget* modal) {
                     auto* d = qobject_cast<TEDID_Identity*>(modal);
                     d->NameEdit()->setText(QStringLiteral("D\u00c9LL"));
                     d->OKClick();
                     problem = d->ProblemLabel()->text();
                     stayedOpen = d->isVisible();
                     d->NameEdit()->setText("DELL LINE 3");
                     d->SerialTextEdit()->setText("SN-0042");
                     d->SerialNumberEdit()->setText("42");
                     d->OKClick();
                 });
        QVERIFY2(stayedOpen && problem.contains("not printable ASCII"), qPrintable(problem));
        const EdidIdentity::Fields f = EdidIdentity::read(rig.engine.edid());
        QCOMPARE(f.name + ' ' + f.serialText + ' ' + QString::number(f.serialNumber),
                 QStringLiteral("DELL LINE 3 SN-0042 42"));
        QVERIFY(in.IdentityChanges()->isVisible());
        QString out, err;
        QCOMPARE(EdidCommands::diff(writeFile(dir.filePath("a.bin"), before),
                                    writeFile(dir.filePath("b.bin"), bytesOf(rig.engine.edid())),
                                    out, err),
                 EdidCommands::Different);
        QCOMPARE(in.IdentityChanges()->toPlainText() + '\n', out.section('\n', 2));
        QCOMPARE(in.BlockLabel(0)->text().endsWith("OK"), true);
    }
};

QTEST_MAIN(TestEdidProduction)
#include "test_edid_production.moc"
