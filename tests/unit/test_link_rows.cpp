// The engine's rows seen on one timeline: what is put on the line, the gauge, the sleeps, the
// yields, the presence display and the messages, in the order they happen.
#include <QTest>

#include "EngineRig.h"
#include "link/CommandTable.h"

namespace {

// A clock that also writes its sleeps into the view's timeline.
class TimelineClock : public FakeClock {
public:
    FakeView* view = nullptr;
    void sleepMs(quint32 ms) override {
        FakeClock::sleepMs(ms);
        if (view)
            view->events << QStringLiteral("sleep:%1").arg(ms);
    }
};

struct Timeline {
    TimelineClock clock;
    FakeLine line{&clock};
    FakeView view;
    LinkEngine engine{line, clock};

    Timeline() {
        clock.view = &view;
        engine.setView(&view);
        engine.state().portNumber = 1;
        engine.state().portOpen = 1;
        engine.state().devicePresent = 1;
        line.onPut = [this](FakeLine& l) {
            view.events << QStringLiteral("put:%1").arg(l.puts.back().byte, 2, 16, QChar('0'));
        };
    }
    void answer(const QByteArray& reply) {
        line.feed(reply);
        engine.receivePoll();
        engine.supervisionTick();
    }
    // Starts c and has its first reply accepted, with the timeline cleared in between.
    void toDataPhase(Command c) {
        QVERIFY(engine.startCommand(c));
        view.reset();
        answer(c == Command::Redid ? "OK1" : "OK");
    }
    static QStringList framed(quint8 b) {
        const QString v = QStringLiteral("put:%1").arg(b, 2, 16, QChar('0'));
        return {QStringLiteral("put:20"), v, QStringLiteral("put:20")};
    }
};

}  // namespace

class TestLinkRows : public QObject {
    Q_OBJECT

private slots:
    // Every outcome that opens a message box has made its slot idle first, so that the polls
    // running inside the box find nothing to move and nothing is judged twice.
    void slotsAreIdleBeforeTheirMessageOpens() {
        struct Case {
            const char* name;
            Command command;
            std::function<void(EngineRig&)> drive;
            const char* message;
        };
        auto firstTimeout = [](Command c) {
            return [c](EngineRig& rig) {
                QVERIFY(rig.start(c));
                rig.poll(commandRow(c).firstTimeout + 1);
                rig.tick();
            };
        };
        auto finalTimeout = [](Command c) {
            return [c](EngineRig& rig) {
                QVERIFY(rig.start(c));
                rig.answer("OK");
                rig.poll(commandRow(c).finalTimeout + 1);
                rig.tick();
            };
        };
        auto firstReply = [](Command c, QByteArray reply) {
            return [c, reply](EngineRig& rig) {
                QVERIFY(rig.start(c));
                rig.answer(reply);
            };
        };
        auto finalReply = [](Command c, QByteArray reply) {
            return [c, reply](EngineRig& rig) {
                QVERIFY(rig.start(c));
                rig.answer("OK");
                rig.answer(reply);
            };
        };
        std::vector<Case> cases;
        for (int i = 1; i < CommandCount; ++i) {
            const Command c = Command(i);
            cases.push_back({"first time-out", c, firstTimeout(c), "No Response !!"});
            if (commandRow(c).finalTimeout > 0)
                cases.push_back({"final time-out", c, finalTimeout(c), "No Response !!"});
            if (c != Command::Redid)
                cases.push_back({"first rejected", c, firstReply(c, "NG"), "Error!!"});
        }
        for (Command c : {Command::Tmix, Command::Ptix, Command::Tmgs, Command::Ptns, Command::Atrn,
                          Command::Uedid})
            cases.push_back({"final rejected", c, finalReply(c, "NG"), "Error!!"});
        cases.push_back({"write failed", Command::Wedid, finalReply(Command::Wedid, "NG"),
                         "Write EDID Fail!!"});
        cases.push_back({"written", Command::Wedid, finalReply(Command::Wedid, "OK"),
                         "Write EDID successful!!"});
        cases.push_back(
            {"uploaded", Command::Uedid, finalReply(Command::Uedid, "OK"), "Upload successful!!"});
        cases.push_back(
            {"defaults", Command::Dfset, firstReply(Command::Dfset, "OK"), "Upload Successful!!"});
        cases.push_back(
            {"OK without 1", Command::Redid, firstReply(Command::Redid, "OK"), "Error!!"});
        cases.push_back({"read", Command::Redid,
                         [](EngineRig& rig) {
                             QVERIFY(rig.start(Command::Redid));
                             rig.answer("OK1");
                             for (int b = 0; b < 8; ++b)
                                 rig.answer("A" + QByteArray(62, '0') + QByteArray::number(b + 10) +
                                            "T");
                         },
                         "  Read EDID Successful!!  "});
        cases.push_back({"read failed", Command::Redid,
                         [](EngineRig& rig) {
                             QVERIFY(rig.start(Command::Redid));
                             rig.answer("OK1");
                             // Answers cut short, each asked for again until none is left.
                             for (int i = 0; i < 3; ++i) {
                                 rig.answer("A" + QByteArray(40, '0') + "\r\n");
                                 rig.tick();
                             }
                         },
                         "No Response !!"});

        for (const Case& k : cases) {
            EngineRig rig;
            const QString which =
                QStringLiteral("%1 %2").arg(commandRow(k.command).keyword, k.name);
            int boxes = 0;
            rig.view.onMessage = [&](const QString&) {
                ++boxes;
                QVERIFY2(!rig.engine.AnyCommandBusy(), qPrintable(which));
                // The generator says something while the box is open; polls take it in.
                rig.line.feed("OK\r\n");
                rig.poll(3);
                QVERIFY2(!rig.engine.AnyCommandBusy(), qPrintable(which));
            };
            k.drive(rig);
            QVERIFY2(boxes == 1 && rig.view.messages == QStringList{k.message},
                     qPrintable(which + ": " + rig.view.messages.join('|')));
        }
    }

    // Before byte i the gauge shows 100 i / 255, and after it come the 5 ms sleep and one yield.
    void edidUploadGaugeSleepAndYieldAroundEveryByte() {
        Timeline t;
        for (int i = 0; i < 256; ++i) t.engine.edid()[i] = quint8(255 - i);
        t.toDataPhase(Command::Uedid);
        QStringList expected;
        for (int i = 0; i < 256; ++i) {
            expected << QStringLiteral("gauge:%1").arg(100 * i / 255);
            expected << Timeline::framed(quint8(255 - i));
            expected << QStringLiteral("sleep:5") << QStringLiteral("yield");
        }
        QCOMPARE(t.view.events, expected);
    }

    // The table uploads: count, then each entry's bytes followed by its gauge step (sleep, yield)
    // when the gauge climbs, then panel 0 owner-drawn, then the checksum.
    void tableUploadBytesAgainstTheirGaugeSteps() {
        for (Command c : {Command::Tmgs, Command::Ptns, Command::Atrn}) {
            Timeline t;
            CommandData& d = t.engine.data();
            for (int i = 0; i < CommandData::TimingCount; ++i) d.TimingSelection[i] = i % 3 == 0;
            for (int i = 0; i < CommandData::PatternCount; ++i) d.PatternSelection[i] = i % 2;
            d.ProgramUpload.clear();
            d.ProgramUpload.showTime[0] = 7;
            t.toDataPhase(c);
            const int n = c == Command::Tmgs ? 35 : c == Command::Ptns ? 39 : 32;
            QStringList expected{QStringLiteral("gauge:0")};
            expected << Timeline::framed(quint8(n));
            unsigned sum = n;
            int gauge = 0;
            for (int i = 0; i < n; ++i) {
                QList<quint8> bytes;
                if (c == Command::Tmgs)
                    bytes = {d.TimingSelection[i]};
                else if (c == Command::Ptns)
                    bytes = {d.PatternSelection[i]};
                else
                    bytes = {d.ProgramUpload.timing[i], d.ProgramUpload.pattern[i],
                             d.ProgramUpload.unit[i], d.ProgramUpload.showTime[i]};
                for (quint8 b : bytes) {
                    expected << Timeline::framed(b);
                    sum += b;
                }
                const int p = (i * 100 + 100) / n;
                if (p > gauge) {
                    gauge = p;
                    expected << QStringLiteral("gauge:%1").arg(p) << QStringLiteral("sleep:1")
                             << QStringLiteral("yield");
                }
            }
            expected << QStringLiteral("panel0") << Timeline::framed(quint8(256 - sum % 256));
            QCOMPARE(t.view.events, expected);
        }
    }

    // WEDID: 50 before its byte 01 goes out, 100 before the presence and the message.
    void writeGaugeAroundItsByteAndItsAnswer() {
        Timeline t;
        t.toDataPhase(Command::Wedid);
        QCOMPARE(t.view.events, QStringList({"gauge:50"}) + Timeline::framed(1));
        t.view.reset();
        t.answer("OK");
        QCOMPARE(t.view.events,
                 QStringList({"gauge:100", "present", "message:Write EDID successful!!"}));
    }

    // TMIX and PTIX leave the gauge alone; a rejected TMIX final answer says "Error!!" and keeps
    // the presence; an accepted PTIX marks the generator present without a message.
    void indexCommandsOutcomes() {
        Timeline t;
        t.engine.setGauge(42);
        t.toDataPhase(Command::Tmix);
        t.answer("NG");
        QCOMPARE(t.view.messages, QStringList{"Error!!"});
        QVERIFY(!t.view.events.contains("absent"));
        QCOMPARE(t.engine.state().devicePresent, quint8(1));

        t.toDataPhase(Command::Ptix);
        t.view.reset();
        t.answer("OK");
        QCOMPARE(t.view.events, QStringList{"present"});
        QCOMPARE(t.engine.state().devicePresent, quint8(1));
        QCOMPARE(t.engine.gauge(), 42);
    }

    // Any slot outstanding, in any of its states, refuses every start, silently.
    void everyOutstandingSlotRefusesEveryStart() {
        const CommandSlot busy[] = {CommandSlot::AwaitingReply, CommandSlot::ReplyArrived,
                                    CommandSlot::AwaitingFinal, CommandSlot::FinalArrived};
        for (int s = 0; s < CommandCount; ++s) {
            for (CommandSlot state : busy) {
                EngineRig rig;
                rig.st().slot(Command(s)) = state;
                for (int c = 1; c < CommandCount; ++c)
                    QVERIFY2(!rig.start(Command(c)),
                             qPrintable(QStringLiteral("%1 busy, %2 started")
                                            .arg(commandRow(Command(s)).keyword,
                                                 commandRow(Command(c)).keyword)));
                QVERIFY(rig.line.puts.empty());
                QVERIFY(rig.view.events.isEmpty());
            }
        }
    }

    void tickCountersStopAt255() {
        EngineRig rig;
        rig.st().tmixSlot = CommandSlot::AwaitingReply;
        rig.st().ptixSlot = CommandSlot::AwaitingFinal;
        rig.st().firstReplyTicks = 250;
        rig.st().finalReplyTicks = 253;
        rig.poll(10);
        QCOMPARE(rig.st().firstReplyTicks, quint8(255));
        QCOMPARE(rig.st().finalReplyTicks, quint8(255));
    }

    // A command left outstanding by Disconnect waits, uncounted, and is settled once the next
    // OK has opened the port again: here by its time-out, after the presence query's answer.
    void outstandingCommandSettledAfterTheNextConnect() {
        EngineRig rig;
        QVERIFY(rig.start(Command::Tmix));
        rig.engine.disconnectPort();
        rig.poll(30);
        rig.tick();
        QCOMPARE(rig.slot(Command::Tmix), CommandSlot::AwaitingReply);
        QVERIFY(rig.engine.connectPort(1));
        rig.view.reset();
        rig.answer("OK");  // moves both; the presence query is judged first
        QCOMPARE(rig.view.events, QStringList({"present", "message:Error!!"}));
        QVERIFY(!rig.engine.AnyCommandBusy());
        QVERIFY(rig.start(Command::Dfset));  // commands start again
    }
};

QTEST_GUILESS_MAIN(TestLinkRows)
#include "test_link_rows.moc"
