// Reading the EDID in blocks, uploading it byte by byte (and stopping it), and the bounds of
// the read.
#include <QTest>

#include "EngineRig.h"
#include "ModelGenerator.h"
#include "TimerLoop.h"
#include "edid/EdidCodec.h"

namespace {

EdidImage sampleImage() {
    EdidImage img;
    for (int i = 0; i < 256; ++i) img[i] = quint8(i * 7 + 3);
    return img;
}

QByteArray block(const EdidImage& img, int offset) {
    return EdidCodec::encodeBlock(img.data() + offset) + "\r\n";
}

// The offset asked for by the last framed request on the line.
int lastRequest(const FakeLine& line) {
    const QByteArray s = line.sent();
    if (s.size() < 3 || s[s.size() - 1] != ' ' || s[s.size() - 3] != ' ')
        return -1;
    return quint8(s[s.size() - 2]);
}

// One read against the model generator, driven by the timers in simulated time.
struct Read {
    QStringList messages;
    EdidImage before{};
    EdidImage served{};
    EdidImage image{};
    int requests = 0;
    bool absent = false;
    int ticksAfterFirstRequest = 0;
    quint32 endMs = 0;
};

Read readWith(const EdidImage& served,
              const std::function<ModelGenerator::Plan(int, ModelGenerator::ReplyKind)>& plan,
              const QByteArray& trailer = {}, quint32 trailerDelayMs = 0) {
    EngineRig rig;
    ModelGenerator model;
    model.attach(rig.line, rig.clock);
    model.image = served;
    model.blockTrailer = trailer;
    model.trailerDelayMs = trailerDelayMs;
    model.planner = [&](int n, ModelGenerator::ReplyKind k) {
        return plan ? plan(n, k) : ModelGenerator::Plan{};
    };
    TimerLoop loop(rig.engine, rig.clock, rig.view, model);
    Read r;
    r.before.fill(0x5A);
    r.served = model.image;
    rig.engine.edid() = r.before;
    rig.engine.startCommand(Command::Redid);
    int ticks = 0;
    quint32 firstRequestAt = 0;
    loop.afterEvent = [&] {
        if (firstRequestAt == 0 && model.blockRequests > 0)
            firstRequestAt = rig.clock.now;
    };
    loop.runUntilIdle(120000);
    ticks = int((rig.clock.now - firstRequestAt + 250) / TimerLoop::TickMs);
    r.messages = rig.view.messages;
    r.image = rig.engine.edid();
    r.requests = model.blockRequests;
    r.absent = rig.view.events.contains("absent");
    r.ticksAfterFirstRequest = ticks;
    r.endMs = rig.clock.now;
    return r;
}

Read readWith(const std::function<ModelGenerator::Plan(int, ModelGenerator::ReplyKind)>& plan) {
    return readWith(sampleImage(), plan);
}

// A holder that hears how its commands end: "failed Upload stopped | after 3 of 256 bytes".
struct EndRecorder : LinkHolder {
    QStringList ends;
    bool commandEnded(Command, bool ok, const QString& message, const QString& detail) override {
        ends << QStringLiteral("%1 %2 | %3").arg(ok ? "ok" : "failed", message, detail);
        return true;
    }
};

}  // namespace

class TestEdidTransfer : public QObject {
    Q_OBJECT

private slots:
    void readFillsImageInEightBlocks() {
        EngineRig rig;
        const EdidImage img = sampleImage();
        QVERIFY(rig.start(Command::Redid));
        QCOMPARE(rig.line.sent(), QByteArray::fromHex("52454449442000200a0d"));
        rig.line.clearSent();
        rig.answer("OK1\r\n");
        std::vector<int> requests{lastRequest(rig.line)};
        for (int b = 0; b < 8; ++b) {
            QCOMPARE(rig.slot(Command::Redid),
                     b == 0 ? CommandSlot::AwaitingFinal : CommandSlot::FinalArrived);
            rig.answer(block(img, requests.back()));
            if (b < 7)
                requests.push_back(lastRequest(rig.line));
        }
        QCOMPARE(requests, std::vector<int>({0, 32, 64, 96, 128, 160, 192, 224}));
        QCOMPARE(rig.view.gauges, std::vector<int>({0, 0, 12, 25, 37, 50, 62, 75, 87, 100}));
        QCOMPARE(rig.slot(Command::Redid), CommandSlot::Idle);
        QCOMPARE(rig.view.messages, QStringList{"  Read EDID Successful!!  "});
        QVERIFY(!rig.view.events.contains("present"));
        QVERIFY(rig.engine.edid() == img);
    }

    void blockDigitsDecode() {
        EngineRig rig;
        QVERIFY(rig.start(Command::Redid));
        rig.answer("OK1");
        QByteArray text = "A00FFFFFFFFFFFF000FA0ff" + QByteArray(64 - 22, '0') + "T";
        rig.answer(text);
        for (int b = 1; b < 8; ++b) rig.answer("A" + QByteArray(64, '1') + "T");
        rig.tick();  // equal blocks: the read ends after a quiet tick
        const EdidImage& e = rig.engine.edid();
        QCOMPARE(std::vector<int>(e.begin(), e.begin() + 11),
                 std::vector<int>({0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 15, 160, 255}));
        QCOMPARE(e[32], quint8(0x11));
    }

    void slowAndLateAnswersAreWaitedForNotAskedForTwice() {
        // Every block answered after 900 to 990 ms: each is waited for, none asked for again.
        Read slow = readWith([](int n, ModelGenerator::ReplyKind k) {
            ModelGenerator::Plan p;
            if (k == ModelGenerator::ReplyKind::Block)
                p.delayMs = 900 + quint32(n * 13) % 91;
            return p;
        });
        QCOMPARE(slow.messages, QStringList{"  Read EDID Successful!!  "});
        QVERIFY(slow.image == slow.served);
        QCOMPARE(slow.requests, 8);

        // One block 2.5 s late.
        Read late = readWith([](int n, ModelGenerator::ReplyKind) {
            ModelGenerator::Plan p;
            if (n == 4)
                p.delayMs = 2500;
            return p;
        });
        QCOMPARE(late.messages, QStringList{"  Read EDID Successful!!  "});
        QVERIFY(late.image == late.served);
        QCOMPARE(late.requests, 8);

        // A healthy generator that answers at once: one tick per block, as before.
        Read quick = readWith({});
        QCOMPARE(quick.messages, QStringList{"  Read EDID Successful!!  "});
        QVERIFY(quick.image == quick.served);
        QCOMPARE(quick.ticksAfterFirstRequest, 8);
    }

    void spoiltAnswersAreAskedForAgain() {
        using F = ModelGenerator::Fault;
        for (F fault : {F::Drop, F::Truncate, F::Spoil, F::Reject, F::Split}) {
            Read r = readWith([fault](int n, ModelGenerator::ReplyKind) {
                ModelGenerator::Plan p;
                if (n == 3) {
                    p.fault = fault;
                    p.faultDelayMs = 1500;
                }
                return p;
            });
            const QString which = QStringLiteral("fault %1").arg(int(fault));
            QVERIFY2(r.messages == QStringList{"  Read EDID Successful!!  "}, qPrintable(which));
            QVERIFY2(r.image == r.served, qPrintable(which));
            // Each makes block 2 be asked for once more, a half answer that stops for a whole
            // tick too.
            QCOMPARE(r.requests, 9);
        }
    }

    void aSecondAnswerIsNeverTakenForTheNextBlock() {
        using F = ModelGenerator::Fault;
        // A generator that repeats one answer, at once or late, quick or slow, with an image
        // whose blocks all differ or one with equal blocks.
        EdidImage padded = sampleImage();  // a one-block EDID: equal blocks from 128 on
        std::fill(padded.begin() + 128, padded.end(), quint8(0));
        for (const EdidImage& served : {sampleImage(), padded})
            for (quint32 delay : {0u, 150u, 600u, 1200u, 3000u}) {
                for (quint32 repeatAfter : {0u, 200u, 700u, 1400u, 3000u}) {
                    for (int block = 1; block <= 8; ++block) {
                        Read r = readWith(served, [=](int n, ModelGenerator::ReplyKind k) {
                            ModelGenerator::Plan p;
                            if (k == ModelGenerator::ReplyKind::Block)
                                p.delayMs = delay;
                            if (n == block) {
                                p.fault = F::Duplicate;
                                p.faultDelayMs = repeatAfter;
                            }
                            return p;
                        });
                        const QString which = QStringLiteral("delay %1 repeat after %2 block %3")
                                                  .arg(delay)
                                                  .arg(repeatAfter)
                                                  .arg(block);
                        // The second answer makes the read start again; it ends well.
                        QVERIFY2(r.messages == QStringList{"  Read EDID Successful!!  "},
                                 qPrintable(which));
                        QVERIFY2(r.image == r.served, qPrintable(which));
                    }
                }
            }

        // An answer later than the time-out, after the block was asked for again: the second
        // answer is let through before the next request goes out.
        EngineRig rig;
        const EdidImage img = sampleImage();
        QVERIFY(rig.start(Command::Redid));
        rig.answer("OK1");
        rig.answer(block(img, 0));
        for (int i = 0; i <= EdidBlockReader::BlockTimeoutTicks; ++i) rig.tick();
        QCOMPARE(lastRequest(rig.line), 32);  // asked again, nothing else
        // The frame, block 0's request, and block 1's request twice (its offset is a blank).
        QCOMPARE(rig.line.sent().mid(10 + 3), QByteArray(6, ' '));
        rig.answer(block(img, 32));  // the first request's late answer
        rig.line.clearSent();
        rig.tick();
        QVERIFY(rig.line.sent().isEmpty());  // waiting for the second
        rig.answer(block(img, 32));
        QCOMPARE(lastRequest(rig.line), 64);
        for (int off = 64; off < 256; off += 32) rig.answer(block(img, off));
        QCOMPARE(rig.view.messages, QStringList{"  Read EDID Successful!!  "});
        QVERIFY(rig.engine.edid() == img);
    }

    void textAfterBlocksIsIgnored() {
        // Line ends and "OK" after each block, in the same write or later, or a status with an
        // "A" in it: one tick per block, as from a generator that sends a line end alone.
        for (const QByteArray& trailer : {QByteArray("\r\nOK\r\n"), QByteArray("\r\nA5 READY\r\n")})
            for (quint32 later : {0u, 150u, 700u}) {
                Read r = readWith(sampleImage(), {}, trailer, later);
                const QByteArray which =
                    trailer.toPercentEncoding() + " " + QByteArray::number(later);
                QVERIFY2(r.messages == QStringList{"  Read EDID Successful!!  "}, which);
                QVERIFY2(r.image == r.served, which);
                QCOMPARE(r.requests, 8);
                QCOMPARE(r.ticksAfterFirstRequest, 8);
            }

        // A late "OK" of some earlier question ahead of a block is no block answer.
        EngineRig rig;
        const EdidImage img = sampleImage();
        QVERIFY(rig.start(Command::Redid));
        rig.answer("OK1");
        rig.answer(block(img, 0));
        rig.answer("OK\r\n" + block(img, 32));
        QCOMPARE(lastRequest(rig.line), 64);
    }

    void readGivesUpInBoundedTimeAndKeepsTheImage() {
        // Silent from the third block on.
        Read r = readWith([](int n, ModelGenerator::ReplyKind) {
            ModelGenerator::Plan p;
            if (n >= 3)
                p.fault = ModelGenerator::Fault::Drop;
            return p;
        });
        QCOMPARE(r.messages, QStringList{"No Response !!"});
        QVERIFY(r.image == r.before);
        QVERIFY(r.absent);
        QCOMPARE(r.requests, 2 + 1 + EdidBlockReader::BlockRetries);
        QVERIFY2(r.endMs < 20000, qPrintable(QString::number(r.endMs)));

        // Garbage in place of the last block, every time.
        Read last = readWith([](int n, ModelGenerator::ReplyKind) {
            ModelGenerator::Plan p;
            if (n >= 8)
                p.fault = ModelGenerator::Fault::Spoil;
            return p;
        });
        QCOMPARE(last.messages, QStringList{"No Response !!"});
        QVERIFY(last.image == last.before);
    }

    void uploadSends768BytesOfTheImageAtItsStart() {
        EngineRig rig;
        EdidImage img = sampleImage();
        img[5] = 0x20;
        rig.engine.edid() = img;
        QVERIFY(rig.start(Command::Uedid));
        QCOMPARE(rig.line.sent(), QByteArray::fromHex("55454449442"
                                                      "0ff200a0d"));
        rig.line.clearSent();
        rig.view.reset();
        // The editor writes the image while the upload yields; what goes out does not change.
        rig.view.onYield = [&] { rig.engine.edid().fill(0); };
        rig.answer("OK");
        const QByteArray sent = rig.line.sent();
        QCOMPARE(sent.size(), 768);
        for (int i = 0; i < 256; ++i) {
            QCOMPARE(sent.mid(3 * i, 3), QByteArray(" ") + char(img[i]) + QByteArray(" "));
        }
        QCOMPARE(sent.mid(15, 3), QByteArray("   "));
        // Gauge before each byte, 5 ms sleep and one yield after each.
        QCOMPARE(rig.view.gauges.size(), size_t(256));
        QCOMPARE(rig.view.gauges[255], 100);
        QCOMPARE(rig.view.gauges[128], 50);
        QCOMPARE(rig.clock.sleeps, std::vector<quint32>(256, 5));
        QCOMPARE(rig.view.events.count("yield"), 256);

        // The generator answers as soon as the last byte is in, and the poll in the yield after
        // it takes the answer in: that is the final answer. One sent before the last byte is
        // not.
        for (const bool early : {false, true}) {
            EngineRig r;
            QVERIFY(r.start(Command::Uedid));
            int yields = 0;
            r.view.onYield = [&] {
                if (++yields == (early ? 200 : 256)) {
                    r.line.feed("OK\r\n");
                    r.poll();
                }
            };
            r.answer("OK");
            r.view.onYield = nullptr;
            r.tick();
            QCOMPARE(r.view.messages, early ? QStringList() : QStringList{"Upload successful!!"});
        }
    }

    void uploadStopsAtTheNextByte_data() {
        QTest::addColumn<int>("stopInYield");  // 0: before the generator's first answer
        QTest::addColumn<bool>("byStarter");   // asked by the holder that started it
        QTest::addColumn<int>("bytesSent");
        QTest::addColumn<QString>("end");
        QTest::newRow("before the first answer")
            << 0 << true << 0 << "failed Upload stopped | before its first byte";
        QTest::newRow("after one byte")
            << 1 << true << 1 << "failed Upload stopped | after 1 of 256 bytes";
        QTest::newRow("half way") << 128 << true << 128
                                  << "failed Upload stopped | after 128 of 256 bytes";
        QTest::newRow("before the last byte")
            << 255 << true << 255 << "failed Upload stopped | after 255 of 256 bytes";
        QTest::newRow("after the last byte") << 256 << true << 256 << "ok Upload successful!! | ";
        QTest::newRow("by another") << 128 << false << 256 << "ok Upload successful!! | ";
    }
    void uploadStopsAtTheNextByte() {
        QFETCH(int, stopInYield);
        QFETCH(bool, byStarter);
        QFETCH(int, bytesSent);
        QFETCH(QString, end);
        EngineRig rig;
        EndRecorder starter, other;
        QVERIFY(rig.engine.hold(&starter));
        QVERIFY(rig.engine.startEdidUpload(sampleImage(), &starter));
        rig.line.clearSent();
        bool taken = false;
        const auto stop = [&] {
            taken = rig.engine.cancelEdidUpload(byStarter ? &starter : &other);
        };
        int yields = 0;
        rig.view.onYield = [&] {
            if (++yields == stopInYield)
                stop();
        };
        if (stopInYield == 0)
            stop();
        rig.answer("OK\r\n");  // the first answer: the data phase, unless stopped before it
        rig.answer("OK\r\n");  // the final answer, ignored after a stop
        QCOMPARE(taken, end.startsWith("failed"));
        QCOMPARE(rig.line.sent().size(), 3 * bytesSent);
        QCOMPARE(starter.ends, QStringList{end});
        QCOMPARE(rig.slot(Command::Uedid), CommandSlot::Idle);
        QVERIFY(rig.view.messages.isEmpty());
        // The next command goes out as usual.
        rig.line.clearSent();
        QVERIFY(rig.engine.startCommand(Command::Wedid, &starter));
        QVERIFY(rig.line.sent().startsWith("WEDID"));
    }
};

QTEST_GUILESS_MAIN(TestEdidTransfer)
#include "test_edid_transfer.moc"
