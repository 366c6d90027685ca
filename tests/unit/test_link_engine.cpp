// The supervision tick, command by command: time-outs, accepted and rejected replies, data
// phases, messages, presence and the safety of ticks run from inside a message or a yield.
#include <QTest>

#include "EngineRig.h"
#include "edid/EdidCodec.h"
#include "link/CommandTable.h"

namespace {

// Presence changes and messages, in the order the operator sees them.
QStringList outcome(const FakeView& v) {
    QStringList out;
    for (const QString& e : v.events)
        if (e == "present" || e == "absent" || e.startsWith("message:"))
            out << e;
    return out;
}

// Brings c to AwaitingFinal: started, first reply accepted, data phase sent.
void toAwaitingFinal(EngineRig& rig, Command c) {
    QVERIFY(rig.start(c));
    rig.answer("OK");
    QCOMPARE(rig.slot(c), CommandSlot::AwaitingFinal);
    rig.line.clearSent();
    rig.view.reset();
}

}  // namespace

class TestLinkEngine : public QObject {
    Q_OBJECT

private slots:
    void startRuleRefusesSilently() {
        for (int variant = 0; variant < 3; ++variant) {
            EngineRig rig;
            if (variant == 0)
                rig.st().portOpen = 0;
            if (variant == 1)
                rig.st().devicePresent = 0;
            if (variant == 2)
                rig.st().tmixSlot = CommandSlot::AwaitingFinal;
            for (int i = 1; i < CommandCount; ++i) {
                const Command c = static_cast<Command>(i);
                if (variant == 2 && c == Command::Tmix)
                    continue;
                QVERIFY(!rig.start(c));
                QCOMPARE(rig.slot(c), CommandSlot::Idle);
            }
            QVERIFY(rig.line.puts.empty());
            QVERIFY(rig.view.events.isEmpty());
        }
    }

    void startSendsFrameAfterClearingLog() {
        EngineRig rig;
        for (int i = 1; i < CommandCount; ++i) {
            const Command c = static_cast<Command>(i);
            EngineRig r;
            r.engine.setGauge(77);
            QVERIFY(r.start(c));
            const CommandRow& row = commandRow(c);
            QByteArray frame(row.keyword);
            frame += ' ';
            frame += char(row.argument);
            frame += " \n\r";
            QCOMPARE(r.line.sent(), frame);
            QCOMPARE(r.view.events.first(), QStringLiteral("clearLog"));
            QCOMPARE(r.slot(c), CommandSlot::AwaitingReply);
            // The EDID commands start their progress from zero; the others leave it.
            const bool edid = c == Command::Redid || c == Command::Uedid || c == Command::Wedid;
            QCOMPARE(r.engine.gauge(), edid ? 0 : 77);
        }
    }

    void firstReplyTimeoutFiresAfterSeventeenthPoll_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("limit");
        for (int i = 0; i < CommandCount; ++i)
            QTest::newRow(commandRow(static_cast<Command>(i)).keyword)
                << i << (i == int(Command::Redid) ? 45 : 16);
    }
    void firstReplyTimeoutFiresAfterSeventeenthPoll() {
        QFETCH(int, command);
        QFETCH(int, limit);
        const Command c = static_cast<Command>(command);
        EngineRig rig;
        if (c == Command::Urtcnt)
            rig.st().urtcntSlot = CommandSlot::AwaitingReply, rig.engine.SendCommand("URTCNT", 0);
        else
            QVERIFY(rig.start(c));
        rig.engine.setGauge(40);
        rig.view.reset();
        rig.poll(limit);
        rig.tick();
        QCOMPARE(rig.slot(c), CommandSlot::AwaitingReply);
        QVERIFY(rig.view.events.isEmpty());
        rig.poll();
        rig.tick();
        QCOMPARE(rig.slot(c), CommandSlot::Idle);
        QCOMPARE(rig.st().firstReplyTicks, quint8(0));
        QCOMPARE(rig.st().devicePresent, quint8(0));
        QCOMPARE(outcome(rig.view), QStringList({"absent", "message:No Response !!"}));
        QCOMPARE(rig.engine.gauge(), 0);
    }

    void finalReplyTimeout_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("limit");
        QTest::newRow("TMIX") << int(Command::Tmix) << 16;
        QTest::newRow("PTIX") << int(Command::Ptix) << 16;
        QTest::newRow("TMGS") << int(Command::Tmgs) << 70;
        QTest::newRow("PTNS") << int(Command::Ptns) << 70;
        QTest::newRow("ATRN") << int(Command::Atrn) << 70;
        QTest::newRow("UEDID") << int(Command::Uedid) << 70;
        QTest::newRow("WEDID") << int(Command::Wedid) << 100;
    }
    void finalReplyTimeout() {
        QFETCH(int, command);
        QFETCH(int, limit);
        const Command c = static_cast<Command>(command);
        EngineRig rig;
        QVERIFY(rig.start(c));
        rig.answer(c == Command::Redid ? "OK1" : "OK");
        QCOMPARE(rig.slot(c), CommandSlot::AwaitingFinal);
        rig.view.reset();
        rig.poll(limit);
        rig.tick();
        QCOMPARE(rig.slot(c), CommandSlot::AwaitingFinal);
        rig.poll();
        rig.tick();
        QCOMPARE(rig.slot(c), CommandSlot::Idle);
        QCOMPARE(rig.st().finalReplyTicks, quint8(0));
        QCOMPARE(outcome(rig.view), QStringList({"absent", "message:No Response !!"}));
    }

    void rejectedFirstReply_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("ticksCleared");
        const QStringList error{"message:Error!!"};
        QTest::newRow("URTCNT") << int(Command::Urtcnt) << QByteArray("NG") << QStringList{"absent"}
                                << false;
        QTest::newRow("TMIX") << int(Command::Tmix) << QByteArray("NG") << error << false;
        QTest::newRow("PTIX") << int(Command::Ptix) << QByteArray("ok") << error << false;
        QTest::newRow("TMGS") << int(Command::Tmgs) << QByteArray("NG") << error << false;
        QTest::newRow("PTNS") << int(Command::Ptns) << QByteArray("NG") << error << false;
        QTest::newRow("ATRN") << int(Command::Atrn) << QByteArray("NG") << error << false;
        QTest::newRow("UEDID") << int(Command::Uedid) << QByteArray("NG") << error << false;
        QTest::newRow("DFSET") << int(Command::Dfset) << QByteArray("NG")
                               << QStringList{"absent", "message:Error!!"} << false;
        QTest::newRow("REDID OK without 1") << int(Command::Redid) << QByteArray("OK\r\n")
                                            << QStringList{"absent", "message:Error!!"} << true;
        QTest::newRow("WEDID") << int(Command::Wedid) << QByteArray("NG")
                               << QStringList{"message:Error!!", "absent"} << true;
    }
    void rejectedFirstReply() {
        QFETCH(int, command);
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, expected);
        QFETCH(bool, ticksCleared);
        const Command c = static_cast<Command>(command);
        EngineRig rig;
        if (c == Command::Urtcnt) {
            rig.st().urtcntSlot = CommandSlot::AwaitingReply;
        } else {
            QVERIFY(rig.start(c));
        }
        rig.view.reset();
        rig.line.clearSent();
        rig.poll(2);
        rig.line.feed(reply);
        rig.poll();
        QCOMPARE(rig.st().firstReplyTicks, quint8(3));
        rig.tick();
        QCOMPARE(rig.slot(c), CommandSlot::Idle);
        QCOMPARE(outcome(rig.view), expected);
        QCOMPARE(rig.st().firstReplyTicks, quint8(ticksCleared ? 0 : 3));
        QVERIFY(rig.line.puts.empty());  // no data phase after a rejection
        QCOMPARE(rig.st().devicePresent, quint8(expected.contains("absent") ? 0 : 1));
    }

    void acceptedRepliesWithoutDataPhase() {
        EngineRig rig(false);
        rig.st().portOpen = 1;
        rig.st().portNumber = 2;
        rig.st().urtcntSlot = CommandSlot::AwaitingReply;
        rig.answer("\r\nxOKx");
        QCOMPARE(rig.slot(Command::Urtcnt), CommandSlot::Idle);
        QCOMPARE(outcome(rig.view), QStringList{"present"});
        QCOMPARE(rig.st().devicePresent, quint8(1));

        QVERIFY(rig.start(Command::Dfset));
        rig.answer("OK");
        QCOMPARE(rig.slot(Command::Dfset), CommandSlot::Idle);
        QCOMPARE(outcome(rig.view), QStringList({"present", "message:Upload Successful!!"}));
    }

    void indexAndWriteDataPhases() {
        EngineRig rig;
        rig.engine.data().SelectedTimingIndex = 5;
        rig.engine.data().SelectedPatternIndex = 38;
        QVERIFY(rig.start(Command::Tmix));
        rig.line.clearSent();
        rig.answer("OK");
        QCOMPARE(rig.line.sent(), QByteArray::fromHex("200520"));
        QCOMPARE(rig.slot(Command::Tmix), CommandSlot::AwaitingFinal);
        rig.answer("OK");
        QCOMPARE(rig.slot(Command::Tmix), CommandSlot::Idle);
        QCOMPARE(outcome(rig.view), QStringList{"present"});  // no message on success

        QVERIFY(rig.start(Command::Ptix));
        rig.line.clearSent();
        rig.answer("OK");
        QCOMPARE(rig.line.sent(), QByteArray::fromHex("202620"));
        rig.answer("NG");
        QCOMPARE(outcome(rig.view), QStringList{"message:Error!!"});
        QCOMPARE(rig.st().devicePresent, quint8(1));

        QVERIFY(rig.start(Command::Wedid));
        rig.line.clearSent();
        rig.answer("OK");
        QCOMPARE(rig.line.sent(), QByteArray::fromHex("200120"));
        QCOMPARE(rig.engine.gauge(), 50);
        rig.answer("OK");
        QCOMPARE(rig.engine.gauge(), 100);
        QCOMPARE(outcome(rig.view), QStringList({"present", "message:Write EDID successful!!"}));

        QVERIFY(rig.start(Command::Wedid));
        rig.answer("OK");
        rig.view.reset();
        rig.answer("FAIL");
        QCOMPARE(outcome(rig.view), QStringList({"message:Write EDID Fail!!", "absent"}));
        QCOMPARE(rig.slot(Command::Wedid), CommandSlot::Idle);
    }

    void finalRepliesOfUploads_data() {
        QTest::addColumn<int>("command");
        QTest::newRow("TMGS") << int(Command::Tmgs);
        QTest::newRow("PTNS") << int(Command::Ptns);
        QTest::newRow("ATRN") << int(Command::Atrn);
        QTest::newRow("UEDID") << int(Command::Uedid);
    }
    void finalRepliesOfUploads() {
        QFETCH(int, command);
        const Command c = static_cast<Command>(command);
        EngineRig rig;
        rig.engine.data().TimingSelection[0] = 1;
        rig.engine.data().PatternSelection[0] = 1;
        toAwaitingFinal(rig, c);
        rig.answer("..OK..");
        QCOMPARE(rig.slot(c), CommandSlot::Idle);
        QCOMPARE(outcome(rig.view), QStringList({"present", "message:Upload successful!!"}));

        rig.st().devicePresent = 1;
        toAwaitingFinal(rig, c);
        rig.answer("NG");
        QCOMPARE(rig.slot(c), CommandSlot::Idle);
        QCOMPARE(outcome(rig.view), QStringList{"message:Error!!"});
        QCOMPARE(rig.st().devicePresent, quint8(1));
    }

    void replySplitAroundATickIsJudgedOnItsFirstPiece() {
        EngineRig rig;
        QVERIFY(rig.start(Command::Tmix));
        rig.line.feed("O");
        rig.poll();
        rig.line.feed("K");
        rig.poll();
        rig.tick();  // both pieces in before the judgement
        QCOMPARE(rig.slot(Command::Tmix), CommandSlot::AwaitingFinal);

        QVERIFY(rig.start(Command::Dfset) == false);  // still busy
        rig.answer("OK");
        QVERIFY(rig.start(Command::Dfset));
        rig.view.reset();
        rig.answer("O");  // the tick falls between the pieces
        QCOMPARE(outcome(rig.view), QStringList({"absent", "message:Error!!"}));
        rig.line.feed("K");
        rig.poll();
        rig.tick();
        QCOMPARE(rig.view.messages.size(), 1);
    }

    void presenceQueryWhileCommandOutstanding() {
        EngineRig rig;
        QVERIFY(rig.start(Command::Tmix));
        // The port dialog's OK sends the presence query regardless.
        QVERIFY(rig.engine.connectPort(1));
        QCOMPARE(rig.slot(Command::Urtcnt), CommandSlot::AwaitingReply);
        rig.view.reset();
        rig.answer("OK");
        // The presence query is judged first and empties the accumulator; TMIX then sees nothing.
        QCOMPARE(outcome(rig.view), QStringList({"present", "message:Error!!"}));
        QCOMPARE(rig.slot(Command::Urtcnt), CommandSlot::Idle);
        QCOMPARE(rig.slot(Command::Tmix), CommandSlot::Idle);
    }

    // The poll runs inside the tick's message boxes and upload yields (the tick itself never
    // runs inside itself). What it takes in there is judged once, by the next tick, and an
    // answer that came before an upload was all sent does not pass for the answer to it.
    void pollsInsideBoxesAndYieldsNeverJudgeAReplyTwice() {
        EngineRig rig;
        rig.engine.data().TimingSelection.fill(1);
        int boxes = 0;
        rig.view.onMessage = [&](const QString&) {
            ++boxes;
            rig.poll();
        };
        // The generator answers early, while the upload still yields.
        rig.view.onYield = [&] {
            rig.line.feed("OK");
            rig.poll();
        };
        QVERIFY(rig.start(Command::Tmgs));
        rig.line.clearSent();
        rig.answer("OK");
        QCOMPARE(rig.line.sent().size(), 37 * 3);  // the data phase ran once
        // What came while it went out cannot answer all of it: the final answer is awaited.
        QCOMPARE(rig.slot(Command::Tmgs), CommandSlot::AwaitingFinal);
        rig.tick();
        QVERIFY(rig.view.messages.isEmpty());
        rig.view.onYield = nullptr;
        rig.answer("NG");
        QCOMPARE(rig.view.messages, QStringList{"Error!!"});
        rig.view.reset();
        QVERIFY(rig.start(Command::Tmgs));
        rig.answer("OK");
        rig.answer("OK");
        QCOMPARE(rig.view.messages, QStringList{"Upload successful!!"});
        QCOMPARE(boxes, 2);  // "Error!!", then this one
        QCOMPARE(rig.slot(Command::Tmgs), CommandSlot::Idle);

        // A reply that comes while the success box is open belongs to nobody.
        rig.view.reset();
        rig.view.onMessage = [&](const QString&) {
            rig.line.feed("OK");
            rig.poll();
        };
        QVERIFY(rig.start(Command::Dfset));
        rig.answer("OK");
        rig.tick();
        QCOMPARE(rig.view.messages, QStringList{"Upload Successful!!"});
    }

    void finalTimeoutCountsFromTheLastDataByte() {
        EngineRig rig;
        QVERIFY(rig.start(Command::Uedid));
        // Polls run inside the upload's yields; each framed byte restarts the final count.
        rig.view.onYield = [&] { rig.poll(3); };
        rig.answer("OK");
        QCOMPARE(rig.slot(Command::Uedid), CommandSlot::AwaitingFinal);
        QCOMPARE(rig.st().finalReplyTicks, quint8(3));
        QVERIFY(rig.view.messages.isEmpty());
    }

    void aHolderAloneStartsAndHearsItsOutcomes() {
        struct Holder : LinkHolder {
            QStringList heard;
            bool showsItself = true;
            bool commandEnded(Command c, bool ok, const QString& m, const QString&) override {
                heard << QStringLiteral("%1 %2 %3").arg(int(c)).arg(ok).arg(m);
                return showsItself;
            }
        } holder, other;
        EngineRig rig;
        QVERIFY(rig.engine.hold(&holder));
        QVERIFY(!rig.engine.hold(&other));
        QVERIFY(!rig.start(Command::Dfset));  // the windows are refused silently
        QVERIFY(!rig.engine.startCommand(Command::Tmix, &other));
        QVERIFY(rig.engine.startCommand(Command::Tmix, &holder));
        rig.answer("OK");
        rig.answer("OK");
        rig.engine.state().devicePresent = 1;

        // Upload and read on images of the holder's own; the program's image stays as it was.
        EdidImage mine{}, readBack{};
        mine.fill(0x42);
        rig.engine.edid().fill(0x11);
        QVERIFY(rig.engine.startEdidUpload(mine, &holder));
        rig.engine.edid().fill(0x22);
        rig.line.clearSent();
        rig.answer("OK");
        QCOMPARE(rig.line.sent().mid(1, 1), QByteArray("\x42"));
        rig.answer("OK");
        QVERIFY(rig.engine.startEdidRead(readBack, &holder));
        rig.answer("OK1");
        for (int b = 0; b < 8; ++b) rig.answer(EdidCodec::encodeBlock(mine.data()));
        rig.tick();  // equal blocks: one quiet tick confirms
        QCOMPARE(readBack, mine);
        QCOMPARE(rig.engine.edid()[0], quint8(0x22));
        QCOMPARE(holder.heard, QStringList({"1 1 ", "8 1 Upload successful!!",
                                            "7 1   Read EDID Successful!!  "}));
        QVERIFY(rig.view.messages.isEmpty());

        // Let go in the middle of a read: it ends for nobody, the box shows as for the windows.
        QVERIFY(rig.engine.startEdidRead(readBack, &holder));
        rig.engine.release(&holder);
        rig.answer("OK1");
        for (int b = 0; b < 8; ++b) rig.answer(EdidCodec::encodeBlock(mine.data()));
        rig.tick();
        QCOMPARE(rig.view.messages, QStringList{"  Read EDID Successful!!  "});
        QCOMPARE(holder.heard.size(), 3);
        QVERIFY(rig.start(Command::Dfset));
    }
};

QTEST_GUILESS_MAIN(TestLinkEngine)
#include "test_link_engine.moc"
