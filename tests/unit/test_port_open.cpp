// Opening, configuring, reconnecting and closing the port, and where COM n leads.
#include <QTemporaryDir>
#include <QTest>

#include "EngineRig.h"
#include "link/ComPortMap.h"

class TestPortOpen : public QObject {
    Q_OBJECT

private slots:
    void openFailuresShowTheirMessagesAndClose() {
        EngineRig rig(false);
        rig.line.openResult = 5;
        QVERIFY(!rig.engine.connectPort(3));
        QCOMPARE(rig.view.messages, QStringList{"Open COM Port 3 fail !!"});
        QCOMPARE(rig.line.calls, QStringList({"open 3", "close 3"}));
        QCOMPARE(rig.st().portNumber, quint8(3));  // kept for the next close
        QCOMPARE(rig.st().portOpen, quint8(0));

        rig.line.openResult = 0;
        rig.line.setLineResult = 1;
        rig.line.calls.clear();
        rig.view.reset();
        QVERIFY(!rig.engine.connectPort(2));
        QCOMPARE(rig.view.messages, QStringList{"Error!!"});
        QCOMPARE(rig.line.calls, QStringList({"open 2", "setLine 2 19200 8 N 1", "close 2"}));

        rig.line.setLineResult = 0;
        rig.line.flowResult = 1;
        rig.line.calls.clear();
        rig.view.reset();
        QVERIFY(!rig.engine.connectPort(2));
        QCOMPARE(rig.view.messages, QStringList{"Error"});
        QCOMPARE(rig.line.calls.last(), QStringLiteral("close 2"));
        QVERIFY(rig.line.puts.empty());
        QVERIFY(!rig.view.events.contains("absent"));  // presence display untouched
    }

    void connectReopensAndAsksForPresence() {
        EngineRig rig(false);
        // A late answer to some earlier question waits in the system while the port is closed;
        // it must not answer the presence query.
        rig.line.feed("OK\r\n");
        QVERIFY(rig.engine.connectPort(1));
        QCOMPARE(rig.line.calls,
                 QStringList({"open 1", "setLine 1 19200 8 N 1", "flow 1 none", "discard 1"}));
        rig.poll();
        rig.tick();
        QCOMPARE(rig.slot(Command::Urtcnt), CommandSlot::AwaitingReply);
        QCOMPARE(rig.st().portOpen, quint8(1));
        QCOMPARE(rig.line.sent(), QByteArray("URTCNT \0 \n\r", 11));
        QCOMPARE(rig.view.events.first(), QStringLiteral("clearLog"));
        rig.answer("OK");
        QCOMPARE(rig.st().devicePresent, quint8(1));

        // OK again, on another port: the open one is closed first, then the query goes again.
        rig.line.calls.clear();
        rig.line.clearSent();
        QVERIFY(rig.engine.connectPort(4));
        QCOMPARE(rig.line.calls.first(), QStringLiteral("close 1"));
        QCOMPARE(rig.line.calls[1], QStringLiteral("open 4"));
        QCOMPARE(rig.line.puts.front().port, quint8(4));
    }

    void disconnectLeavesOutstandingCommandForTheNextConnect() {
        EngineRig rig;
        QVERIFY(rig.start(Command::Tmix));
        rig.engine.setGauge(60);
        rig.engine.disconnectPort();
        QCOMPARE(rig.st().portOpen, quint8(0));
        QCOMPARE(rig.st().devicePresent, quint8(0));
        QCOMPARE(rig.line.calls.last(), QStringLiteral("close 1"));
        QCOMPARE(rig.engine.gauge(), 0);
        QCOMPARE(rig.slot(Command::Tmix), CommandSlot::AwaitingReply);
        rig.poll(40);
        rig.tick();
        QVERIFY(rig.view.messages.isEmpty());  // no ticks counted while closed
        QVERIFY(!rig.engine.startCommand(Command::Dfset));

        // Closing the window with no port ever opened closes port 0, harmlessly.
        EngineRig fresh(false);
        fresh.engine.closePort();
        QCOMPARE(fresh.line.calls, QStringList{"close 0"});
    }

    void comPortMapping() {
#ifdef Q_OS_WIN
        // The system's own names, looked up nowhere: a lookup would open the port.
        QCOMPARE(ComPortMap::device(3), QStringLiteral("COM3"));
        QCOMPARE(ComPortMap::candidates(3), QStringList{"COM3"});
        QCOMPARE(ComPortMap::systemPath("COM3"), QStringLiteral("COM3"));
        return;
#endif
        QTemporaryDir tmp;
        qputenv("XDG_RUNTIME_DIR", tmp.path().toUtf8());
        QCOMPARE(ComPortMap::runtimeDir(), tmp.path() + "/orve1");
        QCOMPARE(ComPortMap::linkPath(3), tmp.path() + "/orve1/COM3");
        QVERIFY(ComPortMap::ensureRuntimeDir());
        const auto perms = QFile(ComPortMap::runtimeDir()).permissions();
        QVERIFY(perms.testFlags(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(!(perms & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                           QFile::ReadOther | QFile::WriteOther | QFile::ExeOther)));

        // A link in the runtime directory wins over the system's devices...
        QFile target(tmp.path() + "/pts");
        QVERIFY(target.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(target.fileName(), ComPortMap::linkPath(7)));
        QCOMPARE(ComPortMap::device(7), ComPortMap::linkPath(7));
        // ...but a dangling one (a generator that went away) does not count.
        QVERIFY(target.remove());
        QVERIFY(ComPortMap::device(7) != ComPortMap::linkPath(7));
        const QString dev = ComPortMap::device(7);
        QVERIFY(dev.isEmpty() || dev == "/dev/ttyUSB6" || dev == "/dev/ttyS6");

        qunsetenv("XDG_RUNTIME_DIR");
        QVERIFY(ComPortMap::runtimeDir().startsWith("/tmp/orve1-"));
    }
};

QTEST_GUILESS_MAIN(TestPortOpen)
#include "test_port_open.moc"
