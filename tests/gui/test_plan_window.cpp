// The Test Plan window's editor on a fake line: steps added, edited, moved and removed through
// its controls, what stops a plan from running, Save and Load back, a run refused while the
// generator is absent.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "GuiRig.h"
#include "plan/PlanFile.h"
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

        QTemporaryDir dir;
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
};

QTEST_MAIN(TestPlanWindow)
#include "test_plan_window.moc"
