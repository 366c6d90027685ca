// Frames, pacing, the reply check and the receive poll.
#include <QTest>

#include "EngineRig.h"

class TestLinkWire : public QObject {
    Q_OBJECT

private slots:
    void commandFrameBytesAndPacing() {
        EngineRig rig;
        rig.st().firstReplyTicks = 7;
        rig.st().finalReplyTicks = 9;
        rig.st().replyLength = 12;
        rig.engine.SendCommand("TMIX", 1);
        QCOMPARE(rig.line.sent(), QByteArray::fromHex("544d4958200120"
                                                      "0a0d"));
        // Every byte, the last included, is followed by 35 ms before the next goes out.
        QCOMPARE(rig.clock.waits, std::vector<quint32>(9, 35));
        for (size_t i = 1; i < rig.line.puts.size(); ++i)
            QCOMPARE(rig.line.puts[i].at - rig.line.puts[i - 1].at, 35u);
        QCOMPARE(rig.clock.now, 9u * 35u);
        QCOMPARE(rig.st().firstReplyTicks, quint8(0));
        QCOMPARE(rig.st().finalReplyTicks, quint8(0));
        QCOMPARE(rig.st().replyLength, 0);

        rig.line.clearSent();
        rig.clock.now = 0;
        rig.engine.SendCommand("URTCNT", 0);
        QCOMPARE(rig.line.sent(), QByteArray::fromHex("5552 54434e54 20 00 20 0a 0d"));
        QCOMPARE(rig.clock.now, 385u);
        QVERIFY(std::all_of(rig.line.puts.begin(), rig.line.puts.end(),
                            [](const FakeLine::Put& p) { return p.port == 1; }));
    }

    void framedByteIsNotEscaped() {
        EngineRig rig;
        rig.engine.SendFramedByte(32);
        rig.engine.SendFramedByte(0x0A);
        rig.engine.SendFramedByte(0x0D);
        QCOMPARE(rig.line.sent(), QByteArray::fromHex("202020 200a20 200d20"));
        QCOMPARE(rig.clock.waits.size(), size_t(9));
    }

    void paceDelaySurvivesCounterWrap() {
        EngineRig rig;
        rig.clock.now = 0xFFFFFFF0u;
        rig.engine.PaceDelay(35);
        QCOMPARE(rig.clock.now, 0xFFFFFFF0u + 35u);
    }

    void checkReplyFindsTextAnywhereAndEmptiesAccumulator() {
        EngineRig rig;
        auto load = [&](const QByteArray& text) {
            rig.st().replyBuffer.fill(0);
            std::copy(text.begin(), text.end(), rig.st().replyBuffer.begin());
            rig.st().replyLength = text.size();
        };
        load("xxOKyy");
        QVERIFY(rig.engine.CheckReply("OK"));
        QCOMPARE(rig.st().replyLength, 0);
        QVERIFY(!rig.engine.CheckReply("OK"));  // judged once only
        load("OK\r\n");
        QVERIFY(!rig.engine.CheckReply("OK1"));
        load("\r\nOK1\r\n");
        QVERIFY(rig.engine.CheckReply("OK1"));
        load("O K ok");
        QVERIFY(!rig.engine.CheckReply("OK"));
        // The text ends at the first zero byte.
        load(QByteArray("NG\0OK", 5));
        QVERIFY(!rig.engine.CheckReply("OK"));
        // Only the first 30 bytes are cleared; later bytes stay.
        load(QByteArray(40, 'x'));
        rig.engine.CheckReply("OK");
        QCOMPARE(rig.st().replyBuffer[29], quint8(0));
        QCOMPARE(rig.st().replyBuffer[30], quint8('x'));
        // A full accumulator with no zero byte is read whole.
        rig.st().replyBuffer.fill('z');
        rig.st().replyBuffer[1022] = 'O';
        rig.st().replyBuffer[1023] = 'K';
        rig.st().replyLength = 1024;
        QVERIFY(rig.engine.CheckReply("OK"));
        // Bytes left from before the last reset are not part of the reply: an "NG" written over
        // the start of an old "..OK" is refused.
        load("xxxxOK\r\n");
        rig.engine.SendFramedByte(1);
        rig.line.feed("NG");
        rig.poll();
        QCOMPARE(rig.st().replyLength, 2);
        QVERIFY(!rig.engine.CheckReply("OK"));
    }

    void pollCountsTicksAndMovesSlots() {
        EngineRig rig;
        // Closed port: nothing read, nothing counted.
        rig.st().portOpen = 0;
        rig.st().tmixSlot = CommandSlot::AwaitingReply;
        rig.line.feed("OK");
        rig.poll(5);
        QCOMPARE(rig.st().firstReplyTicks, quint8(0));
        QCOMPARE(rig.slot(Command::Tmix), CommandSlot::AwaitingReply);
        QCOMPARE(rig.line.inbound, QByteArray("OK"));
        rig.line.inbound.clear();

        // Open: a poll with nothing counts once for all waiting slots together.
        rig.st().portOpen = 1;
        rig.st().urtcntSlot = CommandSlot::AwaitingReply;
        rig.st().uedidSlot = CommandSlot::AwaitingFinal;
        rig.poll(3);
        QCOMPARE(rig.st().firstReplyTicks, quint8(3));
        QCOMPARE(rig.st().finalReplyTicks, quint8(3));

        // A negative read counts as nothing received.
        rig.line.readOverride = -1;
        rig.poll();
        QCOMPARE(rig.slot(Command::Tmix), CommandSlot::AwaitingReply);

        // One chunk moves every waiting slot forward, the presence query and the other alike.
        rig.line.feed("O");
        rig.poll();
        QCOMPARE(rig.slot(Command::Urtcnt), CommandSlot::ReplyArrived);
        QCOMPARE(rig.slot(Command::Tmix), CommandSlot::ReplyArrived);
        QCOMPARE(rig.slot(Command::Uedid), CommandSlot::FinalArrived);
        rig.line.feed("K\r\n");
        rig.poll();
        QCOMPARE(rig.slot(Command::Tmix), CommandSlot::ReplyArrived);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(rig.st().replyBuffer.data()), 4),
                 QByteArray("OK\r\n"));
        QCOMPARE(rig.st().replyLength, 4);
        QCOMPARE(rig.view.log, QByteArray("OK\r\n"));
    }

    void finalTicksIgnorePresenceAndDefaults() {
        EngineRig rig;
        rig.st().urtcntSlot = CommandSlot::AwaitingFinal;
        rig.st().dfsetSlot = CommandSlot::AwaitingFinal;
        rig.poll(2);
        QCOMPARE(rig.st().finalReplyTicks, quint8(0));
    }

    void accumulatorNeverOverflows() {
        EngineRig rig;
        rig.st().tmixSlot = CommandSlot::AwaitingReply;
        rig.line.feed(QByteArray(1000, 'a'));
        rig.poll();
        rig.line.feed(QByteArray(100, 'b'));
        rig.poll();
        QCOMPARE(rig.st().replyLength, 1024);
        QCOMPARE(rig.st().replyBuffer[1023], quint8('b'));
        rig.line.feed(QByteArray(1024, 'c'));
        rig.poll();
        QCOMPARE(rig.st().replyLength, 1024);
        QCOMPARE(rig.st().replyBuffer[1023], quint8('b'));
        QCOMPARE(rig.view.log.size(), 2124);  // the log still shows everything
    }
};

QTEST_GUILESS_MAIN(TestLinkWire)
#include "test_link_wire.moc"
