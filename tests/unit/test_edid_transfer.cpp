// Reading the EDID in blocks, uploading it byte by byte, and the bounds of the read.
#include <QtTest>

#include "EngineRig.h"
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
        const EdidImage& e = rig.engine.edid();
        QCOMPARE(std::vector<int>(e.begin(), e.begin() + 11),
                 std::vector<int>({0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 15, 160, 255}));
        QCOMPARE(e[32], quint8(0x11));
    }

    void badBlocksAreRequestedAgain() {
        EngineRig rig;
        const EdidImage img = sampleImage();
        QVERIFY(rig.start(Command::Redid));
        rig.answer("OK1");
        rig.answer(block(img, 0));
        QCOMPARE(lastRequest(rig.line), 32);
        // Nothing at all for block 1: the slot stays FinalArrived; the old block 0 must not
        // pass for block 1.
        rig.tick();
        QCOMPARE(lastRequest(rig.line), 32);
        // Incomplete, then a non-digit, then the real one.
        rig.answer(block(img, 32).left(40));
        QCOMPARE(lastRequest(rig.line), 32);
        QByteArray bad = block(img, 32);
        bad[10] = 'G';
        rig.answer(bad);
        QCOMPARE(lastRequest(rig.line), 32);
        QVERIFY(rig.view.messages.isEmpty());
        rig.line.clearSent();
        rig.answer(block(img, 32));
        // One quiet tick passes for a second answer to the repeated request before block 2.
        QVERIFY(rig.line.sent().isEmpty());
        rig.tick();
        QCOMPARE(lastRequest(rig.line), 64);
        for (int off = 64; off < 256; off += 32) rig.answer(block(img, off));
        QCOMPARE(rig.view.messages, QStringList{"  Read EDID Successful!!  "});
        QVERIFY(rig.engine.edid() == img);
    }

    void lateDuplicateBlockNeverPassesForTheNextOne() {
        EngineRig rig;
        const EdidImage img = sampleImage();
        QVERIFY(rig.start(Command::Redid));
        rig.answer("OK1");
        rig.answer(block(img, 0));
        // A slow generator: block 1 comes only after its tick, so it is asked for again, and
        // then both answers arrive.
        rig.tick();
        rig.answer(block(img, 32));
        rig.line.feed(block(img, 32));
        rig.poll();
        rig.tick();  // the duplicate is dropped
        rig.tick();  // quiet: block 2 is requested
        QCOMPARE(lastRequest(rig.line), 64);
        for (int off = 64; off < 256; off += 32) rig.answer(block(img, off));
        QCOMPARE(rig.view.messages, QStringList{"  Read EDID Successful!!  "});
        QVERIFY(rig.engine.edid() == img);
    }

    void readEndsAfterThreeFailedRetriesAndKeepsTheImage() {
        EngineRig rig;
        EdidImage before;
        before.fill(0xAB);
        rig.engine.edid() = before;
        QVERIFY(rig.start(Command::Redid));
        rig.answer("OK1");
        rig.answer(block(sampleImage(), 0));
        rig.answer(block(sampleImage(), 32));
        rig.line.clearSent();
        for (int i = 0; i < 3; ++i) {
            rig.answer("garbage");
            QCOMPARE(lastRequest(rig.line), 64);
        }
        QCOMPARE(rig.line.sent().size(), 9);  // three requests of block 2 again
        rig.view.reset();
        rig.answer("garbage");
        QCOMPARE(rig.slot(Command::Redid), CommandSlot::Idle);
        QCOMPARE(rig.view.messages, QStringList{"No Response !!"});
        QCOMPARE(rig.st().devicePresent, quint8(0));
        QVERIFY(rig.engine.edid() == before);
        QVERIFY(!rig.engine.AnyCommandBusy());

        // The last block failing ends the same way instead of running on for ever.
        rig.st().devicePresent = 1;
        QVERIFY(rig.start(Command::Redid));
        rig.answer("OK1");
        for (int off = 0; off < 224; off += 32) rig.answer(block(sampleImage(), off));
        for (int i = 0; i < 4; ++i) rig.tick();
        QCOMPARE(rig.view.messages.last(), QStringLiteral("No Response !!"));
        QVERIFY(rig.engine.edid() == before);
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
    }
};

QTEST_GUILESS_MAIN(TestEdidTransfer)
#include "test_edid_transfer.moc"
