// Test plans against the virtual generator: two units through the Test Plan window (one
// passes, one fails with a note, a third cut short by closing the window), and orve1ctl plan.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "PlanFiles.h"
#include "SimProcess.h"
#include "link/LinkEngine.h"
#include "link/QtSerialLine.h"
#include "link/SteadyClock.h"
#include "plan/PlanRunner.h"
#include "plan/TPlanForm.h"
#include "ui/AppWindows.h"
#include "ui/TMainForm.h"

class TestE2ePlan : public QObject {
    Q_OBJECT

private slots:
    void windowRunsUnitAfterUnit() {
        SimProcess sim;
        QVERIFY(sim.start({"--port", "6"}));
        qputenv("XDG_RUNTIME_DIR", sim.runtimeDir().toLocal8Bit());
        SteadyClock clock;
        QtSerialLine line;
        LinkEngine engine(line, clock);
        AppWindows windows(engine);
        QStringList messages;
        windows.MainForm->setMessageHook(
            [&](const QString& text, const QString& detail) { messages << text + " | " + detail; });
        windows.MainForm->show();
        QVERIFY(engine.connectPort(6));
        QTRY_VERIFY_WITH_TIMEOUT(engine.state().devicePresent && !engine.AnyCommandBusy(), 5000);

        QVERIFY(windows.TestPlan == nullptr);  // not made at start-up
        windows.MainForm->findChild<QAction*>("TestPlan1")->trigger();
        TPlanForm* form = windows.TestPlan.get();
        QVERIFY(form && form->isVisible());
        const QString dir = sim.runtimeDir();
        writeFile(dir + "/bad.txt", "name: B\n1 1 judge x\n36 1 judge y\n");
        QVERIFY(!form->loadFile(dir + "/bad.txt"));
        QVERIFY2(messages.size() == 1 && messages[0].contains("bad.txt: line 3: '36' is not a"),
                 qPrintable(messages.join('\n')));
        writeFile(dir + "/plan.txt", ThreeSteps);
        QVERIFY(form->loadFile(dir + "/plan.txt"));
        QCOMPARE(QDir(form->ReportFolder()->text()), QDir(dir));

        auto judging = [&](int step) {
            QTRY_VERIFY_WITH_TIMEOUT(form->runner().state() == PlanRunner::State::Judging &&
                                         form->runner().currentStep() == step - 1,
                                     5000);
            QVERIFY(form->StepTitle()->text().startsWith(QString("Step %1 of 3").arg(step)));
        };
        auto unit = [&](const QString& serial) {
            QVERIFY(form->Serial()->hasFocus() || form->Serial()->isEnabled());
            form->Serial()->setFocus();
            form->Serial()->selectAll();
            QTest::keyClicks(form->Serial(), serial);  // as a scanner types it
            QTest::keyClick(form->Serial(), Qt::Key_Return);
        };
        auto finished = [&](const QString& verdict) {
            QTRY_COMPARE_WITH_TIMEOUT(form->runner().state(), PlanRunner::State::Finished, 8000);
            QCOMPARE(form->VerdictLabel()->text(), verdict);
            QVERIFY(form->Serial()->hasFocus());
        };

        unit("SN-A");
        judging(1);
        QCOMPARE(form->StepNames()->text(),
                 QString("Timing 10 1024x768-60   \u00b7   Pattern 1 White"));
        QCOMPARE(form->Instruction()->text(), QString("White: no dead pixels"));
        // A barcode scanned by mistake: its characters come in a burst and none counts.
        QTest::keyClicks(form->Instruction(), "PF7B");
        QTest::qWait(300);
        judging(1);
        QTest::keyClick(form->Instruction(), Qt::Key_P);
        judging(2);
        const QString shot =
            QDir(qEnvironmentVariable("ORVE1_BIN_DIR")).filePath("../plan-run.png");
        QVERIFY(form->grab().save(shot));
        qInfo("the window in a run: %s", qPrintable(QDir::cleanPath(shot)));
        QTest::keyClick(form->PassButton(), Qt::Key_P);
        finished("PASS");

        unit("SN-B");
        judging(1);
        QTest::keyClick(form->PassButton(), Qt::Key_P);
        judging(2);
        QTest::keyClick(form->PassButton(), Qt::Key_F);
        QTRY_VERIFY(form->FailNote()->hasFocus());
        QTest::keyClicks(form->FailNote(), "banding at the left");
        QTest::keyClick(form->FailNote(), Qt::Key_Return);
        finished("FAIL");
        QVERIFY(form->VerdictDetail()->text().contains("Failed: step 2 (banding at the left)"));
        QVERIFY(form->grab().save(
            QDir(qEnvironmentVariable("ORVE1_BIN_DIR")).filePath("../plan-fail.png")));

        // Cut short by closing the window: the report says stopped and what was judged.
        unit("SN-C");
        judging(1);
        QTest::keyClick(form->PassButton(), Qt::Key_P);
        judging(2);
        form->close();
        QCOMPARE(form->runner().state(), PlanRunner::State::Finished);
        QVERIFY(!engine.holder());

        QCOMPARE(messages.size(), 1);
        const QStringList html = reports(dir);
        QCOMPARE(html.size(), 3);
        QStringList csv = lines(dir + "/results.csv");
        QCOMPARE(csv.size(), 5);  // header, three units, the end
        QVERIFY(csv[1].contains(",SN-A,") && csv[1].contains(",PASS,completed,3,3,,,"));
        QVERIFY(csv[2].contains(",SN-B,") &&
                csv[2].contains(",FAIL,completed,3,3,2,2: banding at the left,"));
        QVERIFY(csv[3].contains(",SN-C,") && csv[3].contains(",STOPPED,"));
        QFile stopped(QDir(dir).filePath(html.filter("SN-C").value(0)));
        QVERIFY(stopped.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(stopped.readAll());
        QVERIFY(text.contains("stopped: the Test Plan window was closed during step 2"));
        QVERIFY(text.contains("<td>pass</td>") && text.contains("<td>stopped here</td>"));
        // Each unit starts from both commands; after that only what changes goes out.
        QVERIFY(sim.waitFor("output pattern 13", 2000));
        const QString out = sim.output();
        QCOMPARE(out.count("output timing 10 "), 3);
        QCOMPARE(out.count("output pattern 15 "), 3);
        QCOMPARE(out.count("output timing 28 "), 2);

        // Timed steps only: uploaded as the generator's programme, as Edit > Program does it.
        writeFile(dir + "/soak.txt", "name: S\n10 1 3s\nsame 13 2m\n");
        QVERIFY(form->loadFile(dir + "/soak.txt"));
        form->findChild<QPushButton*>("UploadButton")->click();
        QVERIFY(sim.waitFor("ATRN 2 steps -> OK: [9 0 0 3] [9 12 1 2]", 20000));
        QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 2, 2000);
        QVERIFY(messages[1].startsWith("Upload successful!!"));
        windows.MainForm->close();
    }

    void ctlRunsAutoAndJudgedPlans() {
        SimProcess sim;
        QVERIFY(sim.start({"--port", "7"}));
        const QString dir = sim.runtimeDir();
        auto ctl = [&](const QStringList& args, const QByteArray& input, QString* out) {
            QProcess p;
            p.setProcessEnvironment(sim.environment());
            p.start(SimProcess::bin("orve1ctl"), QStringList{"--port", "7"} + args);
            p.write(input);
            p.closeWriteChannel();
            if (!p.waitForFinished(30000))
                p.kill();
            *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        QString out;
        writeFile(dir + "/soak.txt", "name: Soak\n10 1 1s\nsame 2 1s Blue\n");
        QCOMPARE(ctl({"plan", dir + "/soak.txt", "--auto", "--repeat", "2", "--serial", "S1",
                      "--report", dir},
                     "", &out),
                 0);
        QVERIFY2(out.contains("step 4 of 4: timing 10 1024x768-60, pattern 2 Blue, shown for 1 s"),
                 qPrintable(out));
        QVERIFY2(out.contains("PASS\nreport: "), qPrintable(out));
        QCOMPARE(sim.output().count("output timing 10 "), 1);
        QCOMPARE(sim.output().count("output pattern "), 4);

        writeFile(dir + "/judge.txt", ThreeSteps);
        QCOMPARE(ctl({"plan", dir + "/judge.txt", "--serial", "S2"}, "p\nf\n\n", &out), 1);
        QVERIFY2(out.contains("FAIL: step 2\n"), qPrintable(out));
        QCOMPARE(reports(dir).size(), 2);
        QVERIFY(lines(dir + "/results.csv")[2].contains(",S2,,"));

        // Refused with the line, nothing sent.
        writeFile(dir + "/bad.txt", "name: B\n1 1 judge x\n1 1 7x y\n");
        const int exchanges = sim.output().count("\n");
        QCOMPARE(ctl({"plan", dir + "/bad.txt", "--serial", "S3"}, "", &out), 2);
        QVERIFY2(out.contains("bad.txt: line 3: '7x' is not judge"), qPrintable(out));
        QCOMPARE(ctl({"plan", dir + "/judge.txt", "--serial", "S3", "--auto"}, "", &out), 2);
        QVERIFY2(out.contains("step 1 (line 3) is judged"), qPrintable(out));
        QCOMPARE(sim.output().count("\n"), exchanges);
    }
};

QTEST_MAIN(TestE2ePlan)
#include "test_e2e_plan.moc"
