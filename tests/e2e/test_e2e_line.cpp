// The real serial line and engine against the virtual generator, with real pacing.
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <ctime>

#include "FakeView.h"
#include "SimProcess.h"
#include "link/LinkEngine.h"
#include "link/QtSerialLine.h"
#include "link/SteadyClock.h"

namespace {

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// The engine on the real line and clock, with the main window's two timers.
struct LiveLink {
    QtSerialLine line;
    SteadyClock clock;
    FakeView view;
    LinkEngine engine{line, clock};
    QTimer poll;
    QTimer tick;

    explicit LiveLink(const SimProcess& sim) {
        qputenv("XDG_RUNTIME_DIR", sim.runtimeDir().toUtf8());
        engine.setView(&view);
        view.onYield = [] { QCoreApplication::processEvents(); };
        poll.setInterval(100);
        tick.setInterval(500);
        QObject::connect(&poll, &QTimer::timeout, [this] { engine.receivePoll(); });
        QObject::connect(&tick, &QTimer::timeout, [this] { engine.supervisionTick(); });
    }
    void run() {
        poll.start();
        tick.start();
    }
    bool waitIdle(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (!engine.AnyCommandBusy())
                return true;
            QTest::qWait(20);
        }
        return false;
    }
};

}  // namespace

class TestE2eLine : public QObject {
    Q_OBJECT

private slots:
    void bytesLeaveAtOnceAndRepliesSurviveAPacingWait() {
        SimProcess sim;
        QVERIFY(sim.start({"--port", "1", "--timing-report"}));
        LiveLink link(sim);
        QVERIFY(link.engine.connectPort(1));
        // The far side saw the frame's bytes 35 ms apart, not in one lump at the end.
        QVERIFY(sim.waitFor("gaps:", 3000));
        const QRegularExpression gaps(R"(gaps: (\d+) median ([\d.]+) ms max ([\d.]+) ms)");
        const auto m = gaps.match(sim.output());
        QVERIFY2(m.hasMatch(), qPrintable(sim.output()));
        QCOMPARE(m.captured(1).toInt(), 10);
        // One at a time, about 35 ms apart; the largest gap depends on the machine's load and is
        // the pacing benchmark's business.
        QVERIFY2(m.captured(2).toDouble() > 33.0 && m.captured(2).toDouble() < 42.0,
                 qPrintable(sim.output()));
        qInfo("presence frame: median gap %s ms, largest %s ms", qPrintable(m.captured(2)),
              qPrintable(m.captured(3)));

        // The answer arrives while the thread waits without events; the next poll has it.
        link.engine.PaceDelay(600);
        link.engine.receivePoll();
        QCOMPARE(link.engine.state().urtcntSlot, CommandSlot::ReplyArrived);
        link.engine.supervisionTick();
        QCOMPARE(link.engine.state().devicePresent, quint8(1));
        QVERIFY(link.view.messages.isEmpty());
        link.engine.closePort();
    }

    void silentGeneratorTimesOutOnTime() {
        SimProcess sim;
        QVERIFY(sim.start({"--port", "2", "--silent"}));
        LiveLink link(sim);
        QElapsedTimer sinceFrame;
        qint64 at = -1;
        link.view.onMessage = [&](const QString&) { at = sinceFrame.elapsed(); };
        QVERIFY(link.engine.connectPort(2));
        sinceFrame.start();
        link.run();
        QTRY_VERIFY_WITH_TIMEOUT(at >= 0, 4000);
        QCOMPARE(link.view.messages, QStringList{"No Response !!"});
        qInfo("No Response !! came %lld ms after the frame", at);
        // Never before the 17th poll; a busy machine may fire the timers late.
        QVERIFY2(at >= 1700 && at <= 6000, qPrintable(QString::number(at)));
        QCOMPARE(link.engine.state().devicePresent, quint8(0));
        link.engine.closePort();
    }

    void lineClosedMidUploadOrWhileWaitingIsLetGo() {
        // Hung up while the upload is being sent.
        {
            SimProcess sim;
            QVERIFY(sim.start({"--port", "3", "--hangup-after", "10"}));
            LiveLink link(sim);
            QVERIFY(link.engine.connectPort(3));
            link.run();
            QTRY_COMPARE_WITH_TIMEOUT(link.engine.state().devicePresent, quint8(1), 3000);
            link.engine.data().TimingSelection.fill(1);
            QVERIFY(link.engine.startCommand(Command::Tmgs));
            QElapsedTimer wall;
            wall.start();
            const double cpu0 = cpuSeconds();
            QVERIFY(link.waitIdle(20000));
            QCOMPARE(link.view.messages, QStringList{"No Response !!"});
            // The device went: the engine let the port go at once.
            QCOMPARE(link.engine.state().portOpen, quint8(0));
            QVERIFY(!link.line.isUsable(3));
            QTest::qWait(1500);
            qInfo("CPU share from the upload's start to 1.5 s after the time-out: %.1f %%",
                  100 * (cpuSeconds() - cpu0) / (wall.elapsed() / 1000.0));
            link.engine.closePort();
        }
        // Hung up while a command waits for its final reply: the device reads as end of file
        // for ever, and the line must let it go rather than read it again and again.
        {
            SimProcess sim;
            QVERIFY(sim.start({"--port", "4", "--hangup-after", "1"}));
            LiveLink link(sim);
            QVERIFY(link.engine.connectPort(4));
            link.run();
            QTRY_COMPARE_WITH_TIMEOUT(link.engine.state().devicePresent, quint8(1), 3000);
            QVERIFY(link.engine.startCommand(Command::Wedid));
            QVERIFY(sim.waitFor("hung up", 5000));
            const double cpu0 = cpuSeconds();
            QElapsedTimer sinceHangUp;
            sinceHangUp.start();
            // Reported within a tick or so, not after the final answer's 10 s time-out.
            QTRY_COMPARE_WITH_TIMEOUT(link.view.messages, QStringList{"No Response !!"}, 3000);
            qInfo("'No Response !!' %lld ms after the hang-up", sinceHangUp.elapsed());
            QVERIFY(!link.engine.AnyCommandBusy());
            QCOMPARE(link.engine.state().devicePresent, quint8(0));
            QTest::qWait(2000);
            qInfo("CPU in the 2 s after: %.3f s", cpuSeconds() - cpu0);
            link.engine.closePort();
        }
    }
};

QTEST_GUILESS_MAIN(TestE2eLine)
#include "test_e2e_line.moc"
