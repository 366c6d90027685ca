// The real serial line and engine against the virtual generator, with real pacing.
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>
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
        QVERIFY2(m.captured(2).toDouble() > 33.0 && m.captured(2).toDouble() < 38.0,
                 qPrintable(sim.output()));
        QVERIFY2(m.captured(3).toDouble() < 45.0, qPrintable(sim.output()));

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
        QVERIFY2(at >= 1700 && at <= 2300, qPrintable(QString::number(at)));
        QCOMPARE(link.engine.state().devicePresent, quint8(0));
        link.engine.closePort();
    }

    void lineClosedMidUploadNeitherHangsNorSpins() {
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
        // The engine still polls the dead port; that must cost next to nothing.
        QTest::qWait(1500);
        const double share = (cpuSeconds() - cpu0) / (wall.elapsed() / 1000.0);
        qInfo("CPU share from the upload's start to 1.5 s after the time-out: %.1f %%",
              100 * share);
        QVERIFY2(share < 0.10, qPrintable(QString("cpu share %1").arg(share)));
        link.engine.closePort();
    }
};

QTEST_GUILESS_MAIN(TestE2eLine)
#include "test_e2e_line.moc"
