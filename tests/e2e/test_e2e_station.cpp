// A station's faults against the virtual generator, through orve1ctl plan: a cable pulled and
// put back, a run killed mid-way, and a unit's EDID programmed inside its plan.
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include "PlanFiles.h"
#include "SimProcess.h"

class TestE2eStation : public QObject {
    Q_OBJECT

private slots:
    // A cable pulled in the middle of step 2 (the simulator hangs up) and a generator back on
    // the same COM port: orve1ctl plan pauses, says what to do, takes r, reopens the port and
    // the run ends PASS with the interruption in its report.
    void ctlRetriesAfterAPulledCable() {
        SimProcess sim;
        QVERIFY(sim.start({"--port", "5", "--hangup-at-frame", "4"}));  // step 2's PTIX
        const QString dir = sim.runtimeDir();
        writeFile(dir + "/plan.txt", ThreeSteps);
        QProcess ctl;
        ctl.setProcessEnvironment(sim.environment());
        ctl.setProcessChannelMode(QProcess::MergedChannels);
        ctl.start(SimProcess::bin("orve1ctl"),
                  {"--port", "5", "plan", dir + "/plan.txt", "--serial", "HX-7"});
        QString out;
        auto waitFor = [&](const QString& text, int ms) {
            QElapsedTimer t;
            t.start();
            while (!out.contains(text) && t.elapsed() < ms) {
                ctl.waitForReadyRead(100);
                out += QString::fromUtf8(ctl.readAll());
            }
            return out.contains(text);
        };
        QVERIFY2(waitFor("step 1 of 3", 10000), qPrintable(out));
        ctl.write("p\n");
        QVERIFY2(waitFor("step 2 paused: ", 15000), qPrintable(out));
        QVERIFY2(out.contains("The line to the generator is gone"), qPrintable(out));
        ctl.write("r\n");  // still unplugged: says why, stays paused
        QVERIFY2(waitFor("COM 5 could not be opened: ", 5000), qPrintable(out));
        SimProcess again;
        again.shareRuntimeDir(sim);
        QVERIFY(again.start({"--port", "5"}));
        ctl.write("r\n");
        QVERIFY2(waitFor("step 2 of 3", 15000), qPrintable(out));
        ctl.write("p\n");
        ctl.closeWriteChannel();
        QVERIFY(ctl.waitForFinished(20000));
        out += QString::fromUtf8(ctl.readAll());
        QVERIFY2(out.contains("PASS\nreport: "), qPrintable(out));
        QCOMPARE(ctl.exitCode(), 0);
        QVERIFY(again.output().contains("output timing 10 ") &&
                again.output().contains("output pattern 15 "));
        QFile report(QDir(dir).filePath(reports(dir).value(0)));
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(report.readAll());
        QVERIFY(html.contains("<h2>Interruptions</h2>") && html.contains("after Retry"));
    }

    // orve1ctl plan killed (SIGKILL) at step 3: the next run on the station finds it, says
    // so once, marks it interrupted with steps 1 and 2 judged and writes its report; the
    // results store answers for it by serial.
    void ctlKilledMidRunShowsAsInterrupted() {
        SimProcess sim;
        QVERIFY(sim.start({"--port", "4"}));
        const QString dir = sim.runtimeDir();
        writeFile(dir + "/plan.txt",
                  "name: Four\n10 1 judge a\nsame 2 judge b\nsame 3 judge c\n"
                  "same 4 judge d\n");
        QProcess ctl;
        ctl.setProcessEnvironment(sim.environment());
        ctl.setProcessChannelMode(QProcess::MergedChannels);
        ctl.start(SimProcess::bin("orve1ctl"),
                  {"--port", "4", "plan", dir + "/plan.txt", "--serial", "K-1", "--report", dir});
        QString out;
        auto waitFor = [&](const QString& text) {
            QElapsedTimer t;
            t.start();
            while (!out.contains(text) && t.elapsed() < 15000) {
                ctl.waitForReadyRead(100);
                out += QString::fromUtf8(ctl.readAll());
            }
            return out.contains(text);
        };
        QVERIFY2(waitFor("step 1 of 4"), qPrintable(out));
        ctl.write("p\nf\nno blue\n");
        QVERIFY2(waitFor("step 3 of 4"), qPrintable(out));
        ctl.kill();
        QVERIFY(ctl.waitForFinished(5000));
        QVERIFY(reports(dir).isEmpty());

        auto run = [&](const QStringList& args, const QByteArray& input) {
            QProcess p;
            p.setProcessEnvironment(sim.environment());
            p.start(SimProcess::bin("orve1ctl"), args);
            p.write(input);
            p.closeWriteChannel();
            if (!p.waitForFinished(30000))
                p.kill();
            return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        };
        out = run({"--port", "4", "plan", dir + "/plan.txt", "--serial", "K-2", "--report", dir},
                  "s\n");
        QVERIFY2(out.contains("The run of K-1 (Four) was interrupted during step 3") &&
                     out.contains("2 of 4 steps were judged"),
                 qPrintable(out));
        const QStringList html = reports(dir).filter("K-1");
        QCOMPARE(html.size(), 1);
        QFile report(QDir(dir).filePath(html[0]));
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(report.readAll());
        QVERIFY(text.contains("interrupted") && text.contains("<td>pass</td>") &&
                text.contains(">fail</td>") && text.contains("no blue"));
        QVERIFY(lines(dir + "/results.csv").filter(",K-1,").value(0).contains(",FAIL,"));
        out = run({"results", "history", "K-1", "--results", dir}, "");
        QVERIFY2(out.contains("interrupted") && out.contains("no blue"), qPrintable(out));
        // Said once: the next run finds nothing more.
        out = run({"--port", "4", "plan", dir + "/plan.txt", "--serial", "K-3", "--report", dir},
                  "s\n");
        QVERIFY2(!out.contains("interrupted"), qPrintable(out));
    }

    // One scan programs the unit's EDID and takes it through its inspection, with one report;
    // a generator that keeps one bit of the upload wrong fails the step and the unit, and the
    // run stops there (on-fail: stop). Both units at once, each on its own generator.
    void ctlEdidStepPassesAndFails() {
        SimProcess good;
        SimProcess spoilt;
        QVERIFY(good.start({"--port", "2"}));
        spoilt.shareRuntimeDir(good);
        QVERIFY(spoilt.start({"--port", "3", "--spoil-upload", "12"}));
        const QString dir = good.runtimeDir();
        QVERIFY(QFile::copy(qEnvironmentVariable("ORVE1_TEST_DATA") + "/dell-p2415q-hdmi2.0.bin",
                            dir + "/golden.bin"));
        writeFile(dir + "/edid.txt",
                  "name: EDID, then look\n- - edid golden.bin serial-number=digits\n"
                  "10 1 judge White: no dead pixels\n");
        QProcess ctl[2];
        const char* ports[] = {"2", "3"};
        const char* serials[] = {"HX-201", "HX-202"};
        for (int i = 0; i < 2; ++i) {
            ctl[i].setProcessEnvironment(good.environment());
            ctl[i].setProcessChannelMode(QProcess::MergedChannels);
            ctl[i].start(SimProcess::bin("orve1ctl"),
                         {"--port", ports[i], "plan", dir + "/edid.txt", "--serial", serials[i],
                          "--report", dir});
            ctl[i].write("p\n");
            ctl[i].closeWriteChannel();
        }
        QString out[2];
        for (int i = 0; i < 2; ++i) {
            QVERIFY(ctl[i].waitForFinished(90000));
            out[i] = QString::fromUtf8(ctl[i].readAll());
        }
        QVERIFY2(out[0].contains("  Compare: The 256 bytes read back equal those uploaded.") &&
                     out[0].contains("PASS\nreport: "),
                 qPrintable(out[0]));
        QVERIFY2(out[1].contains("FAIL: step 1 (Compare: The EDID read back differs") &&
                     out[1].contains("the unit's EDID failed at step 1") &&
                     !out[1].contains("step 2 of 2"),
                 qPrintable(out[1]));
        QCOMPARE(spoilt.output().count("output timing"), 0);
        QFile report(QDir(dir).filePath(reports(dir).filter("HX-201").value(0)));
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(report.readAll());
        QVERIFY2(html.contains("<h2>EDID written</h2>") &&
                     html.contains("serial text HX-201, serial number 201"),
                 qPrintable(html));
    }
};

QTEST_MAIN(TestE2eStation)
#include "test_e2e_station.moc"
