// The Test Plan window's editor on a fake line: steps added, edited, moved and removed through
// its controls, what stops a plan from running, Save and Load back, a run refused while the
// generator is absent; a station's plan run with defect codes and a serial format.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "GuiRig.h"
#include "ModelGenerator.h"
#include "TestFiles.h"
#include "plan/PlanFile.h"
#include "plan/PlanRunner.h"
#include "plan/TPlanForm.h"
#include "ui/TStringGrid.h"

class TestPlanWindow : public QObject {
    Q_OBJECT

private slots:
    void editSaveAndLoad() {
        GuiRig rig;
        rig.menuItem("TestPlan1")->trigger();
        TPlanForm& f = *rig.windows->TestPlan;
        auto click = [&](const char* name) { f.findChild<QPushButton*>(name)->click(); };
        auto box = [&](const char* name) { return f.findChild<QComboBox*>(name); };
        QLineEdit* instruction = f.findChild<QLineEdit*>("StepInstruction");
        QCOMPARE(f.plan().steps.size(), 1);  // a new window offers one step

        click("AddButton");  // after step 1: keeps its timing and pattern
        QCOMPARE(f.StepGrid()->Cells(1, 2), QString("same"));
        QVERIFY(f.PlanProblem()->text().contains("step 2: a judged step needs an instruction"));
        box("PatternBox")->setCurrentIndex(15);  // 15 Gray-16
        box("ModeBox")->setCurrentIndex(1);
        f.findChild<QSpinBox*>("ShowTime")->setValue(7);
        QVERIFY(f.PlanProblem()->text().isEmpty());
        QCOMPARE(f.StepGrid()->Cells(2, 2), QString("15 Gray-16"));
        QCOMPARE(f.StepGrid()->Cells(3, 2), QString("7 s"));
        click("AddButton");
        QTest::keyClicks(instruction, "Bars");
        box("TimingBox")->setCurrentIndex(28);  // 28 1920x1080I-60
        click("UpButton");                      // now step 2
        QCOMPARE(f.StepGrid()->Cells(4, 2), QString("Bars"));
        QCOMPARE(f.plan().timingAt(2), 27);  // the timed step keeps it as "same" now
        click("RemoveButton");
        QCOMPARE(f.plan().steps.size(), 2);
        QCOMPARE(f.StepGrid()->RowCount(), 3);

        // An edid step: nothing sent, the golden file and the identity choices in the place of
        // the show time and instruction.
        QTemporaryDir dir;
        click("AddButton");
        box("ModeBox")->setCurrentIndex(2);
        QVERIFY(!box("TimingBox")->isEnabled() && !instruction->isVisibleTo(&f));
        QCOMPARE(box("TimingBox")->currentText(), QString("- (nothing sent)"));
        f.editor().chooseGoldenFile = [&] { return dir.filePath("golden.bin"); };
        click("GoldenBrowse");
        box("SerialNumberBox")->setCurrentIndex(2);
        QCOMPARE(f.StepGrid()->Cells(4, 3),
                 "EDID " + dir.filePath("golden.bin") +
                     ": text from the scan, number 0, date of this week");
        QVERIFY(f.PlanProblem()->text().startsWith("Cannot run: step 3: the golden EDID cannot"));
        click("RemoveButton");

        const QString path = dir.filePath("p.txt");
        QVERIFY(f.saveFile(path));
        const Plan saved = f.plan();
        click("AddButton");
        QVERIFY(f.loadFile(path));
        QVERIFY(f.plan() == saved);
        QCOMPARE(f.StepGrid()->Cells(3, 2), QString("7 s"));

        // Nothing sent with the generator absent; the window says why.
        f.Serial()->setText("SN-9");
        f.ReportFolder()->setText(dir.path());
        QTest::keyClick(f.Serial(), Qt::Key_Return);
        QCOMPARE(rig.messages.value(0), QString("The run cannot start"));
        QVERIFY(rig.details.value(0).contains("not connected"));
        QVERIFY(rig.line.puts.empty());
        QVERIFY(!QFile::exists(dir.filePath("results.csv")));
    }

    void stepsFromAnEdid() {
        GuiRig rig;
        rig.menuItem("TestPlan1")->trigger();
        TPlanForm& f = *rig.windows->TestPlan;
        const QString dell = qEnvironmentVariable("ORVE1_TEST_DATA") + "/dell-p2415q-hdmi2.0.bin";
        f.findChild<QComboBox*>("EdidPatternBox")->setCurrentIndex(12);
        f.editor().chooseEdidFile = [&] { return dell; };
        f.findChild<QPushButton*>("StepsFromEdid")->click();
        // The Dell declares 24 built-in timings: one judged step each, after the first.
        QCOMPARE(f.plan().steps.size(), 1 + 24);
        QList<int> timings;
        for (int k = 1; k < f.plan().steps.size(); ++k) {
            const PlanStep& step = f.plan().steps[k];
            timings << step.timing + 1;
            QCOMPARE(step.pattern, 12);
            QVERIFY(step.mode == PlanStep::Mode::Judge && !step.instruction.isEmpty());
        }
        QCOMPARE(timings.mid(0, 4), QList<int>({1, 3, 6, 8}));
        QVERIFY(f.PlanProblem()->text().isEmpty());

        // An image that declares nothing adds nothing and says so.
        QTemporaryDir dir;
        QFile zeros(dir.filePath("zeros.bin"));
        QVERIFY(zeros.open(QIODevice::WriteOnly) && zeros.write(QByteArray(128, 0)) == 128);
        zeros.close();
        QVERIFY(!f.addStepsFromEdid(zeros.fileName()));
        QCOMPARE(rig.messages.value(0), QString("No steps added"));
        QCOMPARE(f.plan().steps.size(), 25);
    }

    // The run as an operator works it, keys and mouse mixed: Load opens the Run tab at Serial,
    // a verdict pressed too early is answered, a mouse Pass closes the note and leaves no
    // button with the focus, F fails a timed step, Stop asks, and what a screen reader hears.
    void runByKeysAndMouse() {
        GuiRig rig;
        rig.makePresent();
        rig.line.answerFrames = false;
        ModelGenerator model;
        model.attach(rig.line, rig.clock);
        rig.menuItem("TestPlan1")->trigger();
        TPlanForm& f = *rig.windows->TestPlan;
        f.activateWindow();
        QTemporaryDir dir;
        QFile file(dir.filePath("k.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "name: K\n10 1 judge White\nsame 2 30s Blue: watch for smearing\n"
            "same 3 judge Red\n");
        file.close();
        QVERIFY(f.loadFile(file.fileName()));
        QCOMPARE(f.Tabs()->currentIndex(), 1);
        QTRY_VERIFY(f.Serial()->hasFocus());
        f.ReportFolder()->setText(dir.path());
        auto settle = [&](PlanRunner::State want) {
            for (int i = 0; i < 200 && f.runner().state() != want; ++i) {
                rig.clock.now += 100;
                model.deliver(rig.clock.now);
                rig.engine.receivePoll();
                if (i % 5 == 4)
                    rig.engine.supervisionTick();
            }
            return f.runner().state() == want;
        };
        auto press = [&](int key) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
            QTest::qWait(150);  // a verdict key counts once no other key follows at once
        };
        const QColor grey = f.palette().color(QPalette::Disabled, QPalette::WindowText);
        QTest::keyClicks(f.Serial(), "HX-105");
        QTest::keyClick(f.Serial(), Qt::Key_Return);
        QTest::qWait(100);  // the scanner's burst is over
        QCOMPARE(f.runner().state(), PlanRunner::State::Sending);
        QCOMPARE(f.Instruction()->palette().color(QPalette::WindowText), grey);
        press(Qt::Key_P);
        QCOMPARE(f.RunStatus()->text(), QString("Wait: the step is not on the generator yet"));
        QVERIFY(settle(PlanRunner::State::Judging));
        QVERIFY(f.Instruction()->palette().color(QPalette::WindowText) != grey);
        QCOMPARE(f.StepTitle()->accessibleName(), f.StepTitle()->text());
        QCOMPARE(f.StepNames()->accessibleName(), f.StepNames()->text());

        press(Qt::Key_F);
        QVERIFY(f.FailNote()->isVisible());
        QTest::mouseClick(f.PassButton(), Qt::LeftButton);
        QVERIFY(!f.FailNote()->isVisible());
        QVERIFY(settle(PlanRunner::State::Showing));
        QVERIFY(!qobject_cast<QPushButton*>(QApplication::focusWidget()));
        press(Qt::Key_Space);
        QVERIFY(f.runner().running());

        press(Qt::Key_F);  // a fault seen while a timed step shows
        QVERIFY(f.FailNote()->isVisible() && f.runner().timedStepHeld());
        QTest::keyClicks(f.FailNote(), "smearing");
        QTest::keyClick(f.FailNote(), Qt::Key_Return);
        QVERIFY(settle(PlanRunner::State::Judging));
        QCOMPARE(f.runner().record().steps[1].verdict, RunRecord::StepVerdict::Fail);
        QCOMPARE(f.runner().record().steps[1].note, QString("smearing"));

        QTest::mouseClick(f.StopButton(), Qt::LeftButton);  // answered No
        QCOMPARE(rig.questions.value(0),
                 QString("Stop the run of HX-105? Its report will say it was stopped. | "));
        QCOMPARE(rig.main().lastBoxOwner(), &f);
        QVERIFY(f.runner().running() && f.Instruction()->hasFocus());
        rig.confirmAnswer = true;
        QTest::mouseClick(f.StopButton(), Qt::LeftButton);
        QCOMPARE(f.runner().state(), PlanRunner::State::Finished);
        QCOMPARE(f.VerdictLabel()->text(), QString("FAIL"));
        for (QLabel* l : {f.Instruction(), f.RunStatus()})
            QVERIFY(l->text().isEmpty() && l->accessibleDescription().isEmpty());
        QVERIFY(f.Serial()->hasFocus());
    }

    // orve1 --station: the plan read-only and the generator changed only through it; a serial
    // the plan does not accept refused in the status line; F with the plan's defect codes, a
    // digit picking one; a plan changed on disk stops the next unit until Reload plan.
    void stationWithDefectCodes() {
        GuiRig rig;
        rig.line.answerFrames = false;
        ModelGenerator model;
        model.attach(rig.line, rig.clock);
        QTemporaryDir dir;
        const QString path = writeFile(
            dir.filePath("line3.txt"),
            "name: Line 3\nreports: out\nport: 2\ndefects: dead pixel, mura, backlight bleed\n"
            "serial: ^HX-[0-9]{3}$\n10 1 judge White: no dead pixels\nsame 15 judge Gray-16\n");
        ProgramStart::Station station;
        station.on = true;
        station.plan = path;
        station.operatorName = "Ann";
        rig.windows->startStation(station);
        TPlanForm& f = *rig.windows->TestPlan;
        auto settle = [&](auto done) {
            for (int i = 0; i < 300 && !done(); ++i) {
                rig.clock.now += 100;
                model.deliver(rig.clock.now);
                rig.engine.receivePoll();
                if (i % 5 == 4)
                    rig.engine.supervisionTick();
            }
            return done();
        };
        QVERIFY(settle([&] { return rig.engine.state().devicePresent == 1; }));
        QCOMPARE(int(rig.engine.state().portNumber), 2);  // the plan's port:
        QCOMPARE(f.windowTitle(), QString("Station: Line 3"));
        QTRY_VERIFY(f.Serial()->hasFocus());
        QCOMPARE(f.Tabs()->currentWidget(), &f.runView());
        QCOMPARE(f.OperatorName()->text() + ' ' + QDir(f.ReportFolder()->text()).dirName(),
                 QString("Ann out"));
        QVERIFY(f.PlanName()->isReadOnly() && f.editor().Defects()->isReadOnly());
        for (const char* name : {"LoadButton", "SaveButton", "AddButton", "UploadButton"})
            QVERIFY2(!f.findChild<QPushButton*>(name)->isEnabled(), name);
        QVERIFY(!f.findChild<QComboBox*>("TimingBox")->isEnabled());
        QVERIFY(f.editor().StationDigest()->text().contains(PlanFile::digest(readFile(path))));
        QVERIFY(!rig.main().findChild<QMenu*>("Edit1")->menuAction()->isEnabled());
        for (const char* name : {"Timing1", "Pattern1", "Timing_Run", "Pattern_Run", "EDID_READ",
                                 "WRITE_EDID", "WriteEDID1", "EDID_Production"})
            QVERIFY2(!rig.menuItem(name)->isEnabled(), name);
        for (const char* name : {"HelpAbout1", "FileExit1", "TestPlan1", "COMPort1"})
            QVERIFY2(rig.menuItem(name)->isEnabled(), name);

        // A stray scan: no box, nothing sent, Serial ready for the next.
        const size_t presence = model.exchanges.size();
        auto scan = [&](const char* serial) {
            f.Serial()->selectAll();
            QTest::keyClicks(f.Serial(), serial);
            QTest::keyClick(f.Serial(), Qt::Key_Return);
        };
        scan("pHX-103");
        QCOMPARE(f.RunStatus()->text(), QString("'pHX-103' is not a serial of this plan"));
        QVERIFY(rig.messages.isEmpty() && model.exchanges.size() == presence);
        QVERIFY(f.Serial()->hasFocus() && f.Serial()->selectedText() == "pHX-103");

        scan("HX-103");
        QVERIFY(settle([&] { return f.runner().state() == PlanRunner::State::Judging; }));
        f.PassButton()->click();
        QVERIFY(settle([&] { return f.runner().state() == PlanRunner::State::Judging; }));
        QTest::qWait(100);  // past the scanner's burst
        QTest::keyClick(f.Instruction(), Qt::Key_F);
        QTRY_VERIFY(f.FailNote()->isVisible());
        QCOMPARE(f.runView().DefectList()->count(), 3);
        QTest::keyClick(f.FailNote(), Qt::Key_2);
        QTest::keyClicks(f.FailNote(), "banding at the left");
        const QString picture = QDir::current().filePath("station-defects.png");
        QVERIFY(f.grab().save(picture));
        qInfo("The station with the defect list open: %s", qPrintable(picture));
        QTest::keyClick(f.FailNote(), Qt::Key_Return);
        QCOMPARE(f.runner().state(), PlanRunner::State::Finished);
        QCOMPARE(f.runner().record().steps[1].defect, QString("mura"));
        QVERIFY2(
            f.VerdictDetail()->text().startsWith("Failed: step 2 ([mura] banding at the left)"),
            qPrintable(f.VerdictDetail()->text()));
        const QString html = QString::fromUtf8(readFile(f.runner().reportPath()));
        QVERIFY(html.contains("<b>[mura]</b> banding at the left") &&
                html.contains("<th>Station mode</th>"));
        QVERIFY(
            readFile(dir.filePath("out/results.csv")).contains(",2: [mura] banding at the left,"));

        // The file changed on disk: the next unit waits for Reload plan, which takes it.
        const QByteArray before = readFile(path);
        writeFile(path, before + "same 8 judge Black\n");
        scan("HX-104");
        QCOMPARE(rig.messages.value(0), QString("The plan file has changed on disk since it was "
                                                "loaded: Reload plan before the next unit."));
        QVERIFY(rig.details.value(0).contains(PlanFile::digest(before)) &&
                rig.details.value(0).contains(PlanFile::digest(readFile(path))));
        QVERIFY(!f.runner().running());
        writeFile(path, before + "same 99 judge Black\n");
        f.ReloadButton()->click();
        QVERIFY(rig.details.value(1).contains("line 8: '99' is not a pattern"));
        scan("HX-104");
        QVERIFY(rig.messages.value(2).startsWith("The plan has an error and nothing runs"));
        writeFile(path, before + "same 8 judge Black\n");
        f.ReloadButton()->click();
        QCOMPARE(f.plan().steps.size(), 3);
        scan("HX-104");
        QCOMPARE(rig.messages.size(), 3);
        QVERIFY(f.runner().running());
    }
};

QTEST_MAIN(TestPlanWindow)
#include "test_plan_window.moc"
