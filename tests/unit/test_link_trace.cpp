// The tap on the line and the readable record made from it.
#include <QTest>

#include "EngineRig.h"
#include "link/LinkTrace.h"
#include "link/TappedLine.h"

class TestLinkTrace : public QObject {
    Q_OBJECT

private slots:
    void tapRecordsEveryPutAndReadInABoundedRing() {
        FakeClock clock;
        FakeLine inner(&clock);
        TappedLine tap(inner, 5, [&clock] { return double(clock.now); });
        QCOMPARE(tap.open(2), 0);
        tap.putByte(2, 'A');
        clock.now = 35;
        tap.putByte(2, 'B');
        inner.feed("OK");
        quint8 buf[8];
        clock.now = 100;
        QCOMPARE(tap.readAvailable(2, buf, 8), 2);
        QCOMPARE(tap.readAvailable(2, buf, 8), 0);  // nothing read, nothing recorded
        QCOMPARE(inner.sent(), QByteArray("AB"));   // passed through
        quint64 next = 0;
        auto events = tap.eventsSince(0, &next);
        QCOMPARE(int(events.size()), 3);
        QCOMPARE(next, quint64(3));
        QCOMPARE(events[1].bytes, QByteArray("B"));
        QCOMPARE(events[1].ms, 35.0);
        QCOMPARE(events[2].kind, TappedLine::Event::Kind::Read);
        QCOMPARE(events[2].bytes, QByteArray("OK"));

        // Full: the oldest go, counted; asking from an old number gives what is left.
        for (int i = 0; i < 6; ++i) tap.putByte(2, quint8('0' + i));
        QCOMPARE(tap.recorded(), quint64(9));
        QCOMPARE(tap.dropped(), quint64(4));
        events = tap.eventsSince(1, &next);
        QCOMPARE(int(events.size()), 5);
        QCOMPARE(events.front().bytes, QByteArray("1"));
        QVERIFY(tap.eventsSince(next, &next).empty());
        tap.clear();
        QVERIFY(tap.eventsSince(0, &next).empty());
        QCOMPARE(next, quint64(9));
        QCOMPARE(tap.dropped(), quint64(0));  // cleared is not dropped
        tap.putByte(2, 'C');
        QCOMPARE(tap.eventsSince(next, &next).front().bytes, QByteArray("C"));
    }

    void aTimingRunReadsLineByLine() {
        FakeClock clock;
        FakeLine inner(&clock);
        inner.answerFrames = true;
        TappedLine tap(inner, TappedLine::DefaultCapacity, [&clock] { return double(clock.now); });
        FakeView view;
        LinkEngine engine(tap, clock);
        engine.setView(&view);
        engine.state().portNumber = 1;
        engine.state().portOpen = 1;
        engine.state().devicePresent = 1;
        engine.data().SelectedTimingIndex = 5;
        QVERIFY(engine.startCommand(Command::Tmix));
        engine.receivePoll();
        engine.supervisionTick();  // data byte goes out
        inner.feed("OK\r\n");
        engine.receivePoll();

        LinkTrace trace;
        std::vector<LinkTrace::Line> lines;
        quint64 next = 0;
        for (const auto& e : tap.eventsSince(0, &next)) trace.feed(e, lines);
        trace.flush(lines);
        QCOMPARE(int(lines.size()), 4);
        QCOMPARE(lines[0].label, QStringLiteral("TMIX frame"));
        QCOMPARE(lines[0].bytes, QByteArray::fromHex("544d49582001200a0d"));
        QVERIFY(lines[0].sent);
        QCOMPARE(lines[0].widestMs, 35.0);
        QCOMPARE(lines[1].label, QStringLiteral("reply"));
        QVERIFY(!lines[1].sent);
        QCOMPARE(lines[2].label, QStringLiteral("TMIX data"));
        QCOMPARE(lines[2].bytes, QByteArray::fromHex("200520"));
        QCOMPARE(lines[3].label, QStringLiteral("reply"));
        QCOMPARE(trace.format(lines[0]),
                 QStringLiteral("    0.000 s  ->  TMIX frame      54 4D 49 58 20 01 20 0A 0D  "
                                "\"TMIX \\x01 \\x0A\\x0D\"  first byte, bytes at most 35.0 ms "
                                "apart"));
        QVERIFY(trace.format(lines[2]).contains(QStringLiteral("after ")));
        QCOMPARE(LinkTrace::text(QByteArray("A\\\x7f", 3)), QStringLiteral("A\\\\\\x7F"));
    }
};

QTEST_GUILESS_MAIN(TestLinkTrace)
#include "test_link_trace.moc"
