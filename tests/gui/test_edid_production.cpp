// EDID > Production... through units on the model generator: a scanned serial programmed end to
// end (pictured), a duplicate asked about, a read-back that differs, a log that cannot be
// written; and the inspector's Edit identity... showing the diff as orve1ctl edid-diff does.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
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
#include "production/TEDID_Production.h"

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
        QVERIFY(runUnit(rig, model, w));
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

        // The same serial again: asked first; no means nothing is sent.
        scan(w, "SN-0007");
        QCOMPARE(rig.questions.size(), 1);
        QVERIFY2(rig.questions[0].startsWith("Serial SN-0007 is already in the log") &&
                     rig.questions[0].contains("PASS"),
                 qPrintable(rig.questions[0]));
        QVERIFY(!w.run().busy());
        QCOMPARE(model.uedidUploads, 1);

        // Yes, and the generator keeps one bit of it wrong.
        rig.confirmAnswer = true;
        model.onDeliver = [&] {
            if (model.uedidUploads == 2 && model.image[12] == 7)
                model.image[12] = 6;
        };
        scan(w, "SN-0007");
        QVERIFY(runUnit(rig, model, w));
        QCOMPARE(w.ResultLabel()->text(), QStringLiteral("FAIL"));
        QVERIFY2(w.ReasonLabel()->text().startsWith("SN-0007 at Compare: The EDID read back "
                                                    "differs"),
                 qPrintable(w.ReasonLabel()->text()));
        QCOMPARE(logResults(log), QStringList({"SN-0007 PASS", "SN-0007 FAIL"}));
        QCOMPARE(w.CountLabel()->text(),
                 QStringLiteral("Passed 1, failed 1 since the window was opened"));

        // A log that can no longer be written (its folder gone while the unit ran) stops
        // production after the unit.
        model.onDeliver = [&] {
            if (model.uedidUploads == 3)
                QDir(dir.filePath("line3")).removeRecursively();
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

    // Edit identity... in the inspector: a refused text keeps the dialog open; OK writes the
    // fields and the window shows the bytes that changed as edid-diff prints them.
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
