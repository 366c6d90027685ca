// The EDID block reader on its own: what it makes of the bytes gathered at each tick, and what
// it asks for next.
#include <QTest>

#include "edid/EdidCodec.h"
#include "link/EdidBlockReader.h"

namespace {

using Reader = EdidBlockReader;

EdidImage image(bool padded) {
    EdidImage img;
    for (int i = 0; i < 256; ++i) img[i] = quint8(i * 7 + 3);
    if (padded)  // a one-block EDID: the blocks from 128 on are equal
        std::fill(img.begin() + 128, img.end(), quint8(0));
    return img;
}

QByteArray block(const EdidImage& img, int k) {
    return EdidCodec::encodeBlock(img.data() + 32 * k);
}

// Feeds one chunk per tick into an accumulator that the reader's discards clear, and writes
// down its actions: "R<offset>" a request, "W<n>" n ticks of waiting, "C" complete, "F" fail.
QString run(const QList<QByteArray>& chunks, EdidImage* out = nullptr) {
    Reader reader;
    QByteArray acc;
    QStringList actions;
    int waits = 0;
    auto note = [&](const Reader::Action& a) {
        if (a.discard)
            acc.clear();
        if (a.step == Reader::Step::Wait) {
            ++waits;
            return;
        }
        if (waits > 0)
            actions << QStringLiteral("W%1").arg(waits);
        waits = 0;
        actions << (a.step == Reader::Step::Request    ? QStringLiteral("R%1").arg(a.offset)
                    : a.step == Reader::Step::Complete ? QStringLiteral("C")
                                                       : QStringLiteral("F"));
    };
    note(reader.begin());
    for (const QByteArray& c : chunks) {
        acc += c;
        note(reader.tick(reinterpret_cast<const quint8*>(acc.constData()), int(acc.size())));
        if (actions.endsWith("C") || actions.endsWith("F"))
            break;
    }
    if (waits > 0)
        actions << QStringLiteral("W%1").arg(waits);
    if (out)
        *out = reader.image();
    return actions.join(' ');
}

// Each block answered at once, with after at its end and before at the start of the next chunk.
QList<QByteArray> quick(const EdidImage& img, const QByteArray& after,
                        const QByteArray& before = {}) {
    QList<QByteArray> chunks;
    for (int k = 0; k < 8; ++k) chunks << before + block(img, k) + after;
    return chunks;
}

constexpr const char* Healthy = "R0 R32 R64 R96 R128 R160 R192 R224 C";

}  // namespace

class TestEdidBlockReader : public QObject {
    Q_OBJECT

private slots:
    void scanTellsAnswersFromText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("spoilt");
        QTest::addColumn<int>("tail");
        const QByteArray b = block(image(false), 1);
        QTest::newRow("text only")
            << QByteArray("\r\nOK\r\nREADY FACADE ACCEDED a5") << 0 << 0 << -1;
        QTest::newRow("block, line end") << b + "\r\n" << 1 << 0 << -1;
        QTest::newRow("text before and after") << "OK\r\n" + b + "\r\nA5 READY\r\n" << 1 << 0 << -1;
        QTest::newRow("text ending in A") << "DATA" + b << 1 << 0 << -1;
        QTest::newRow("two blocks") << b + "\r\nOK\r\n" + b << 2 << 0 << -1;
        QTest::newRow("cut answer, then block") << b.left(30) + "\r\n" + b << 1 << 1 << -1;
        QTest::newRow("block, next one coming") << b + "\r\n" + b.left(20) << 1 << 0 << 19;
        QTest::newRow("block, A at the end") << b + "\r\nA" << 1 << 0 << 0;
        QTest::newRow("spoilt end marker") << b.left(65) + "X\r\n" << 0 << 1 << -1;
        QTest::newRow("spoilt first digit, an A among the rest") << "AG" + b.mid(2) << 0 << 1 << -1;
    }
    void scanTellsAnswersFromText() {
        QFETCH(QByteArray, bytes);
        const Reader::Scan s =
            Reader::scan(reinterpret_cast<const quint8*>(bytes.constData()), int(bytes.size()));
        QFETCH(int, blocks);
        QFETCH(int, spoilt);
        QFETCH(int, tail);
        QCOMPARE(s.blocks, blocks);
        QCOMPARE(s.spoilt, spoilt);
        QCOMPARE(s.tailDigits, tail);
    }

    void readsAsTheChunksCome_data() {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<bool>("exact");  // the image is the generator's on completion
        const EdidImage img = image(false);
        const EdidImage padded = image(true);
        const QList<QByteArray> none(12);

        // Text after the "T": one tick per block, whatever it is and wherever it falls.
        QTest::newRow("line end") << quick(img, "\r\n") << Healthy << true;
        QTest::newRow("OK after T") << quick(img, "\r\nOK\r\n") << Healthy << true;
        QTest::newRow("OK in the next chunk") << quick(img, {}, "\r\nOK\r\n") << Healthy << true;
        QTest::newRow("A5 READY") << quick(img, "\r\nA5 READY\r\n") << Healthy << true;
        QTest::newRow("900 bytes of text") << quick(img, QByteArray(900, '#')) << Healthy << true;
        QTest::newRow("equal blocks, text after")
            << quick(padded, "\r\nOK\r\n") + QList<QByteArray>{"\r\n", {}}
            << QString(Healthy).replace("C", "W1 C") << true;

        // An "A" at the end of a chunk may start a second answer: one tick more, then text.
        QList<QByteArray> growing = quick(img, "\r\n");
        growing[0] += "A";
        growing.insert(1, "5 READY");
        QTest::newRow("A at the end, then text")
            << growing << "R0 W1 R32 R64 R96 R128 R160 R192 R224 C" << true;

        // Two answers at once are never taken: quiet, then once more from the first block.
        QList<QByteArray> twice = QList<QByteArray>{block(img, 0) + "\r\nOK\r\n" + block(img, 0)};
        twice += none.mid(0, 9) + quick(img, "\r\n");
        QTest::newRow("repeated answer") << twice << QString("R0 W9 ") + Healthy << true;
        QList<QByteArray> repeatLast = quick(padded, "\r\n");
        repeatLast << block(padded, 7);
        repeatLast += none.mid(0, 8) + quick(padded, "\r\n") + none.mid(0, 2);
        QTest::newRow("answer after the last of equal blocks")
            << repeatLast
            << QString(Healthy).replace("C", "W9 ") + QString(Healthy).replace("C", "W1 C") << true;

        // Spoilt answers are asked for again at once; missing ones after the time-out, twice.
        QList<QByteArray> cut = quick(img, "\r\n");
        cut.insert(2, block(img, 2).left(30));
        cut.insert(3, {});
        for (int i = 0; i < 9; ++i) cut.insert(5, {});
        QTest::newRow("cut answer, asked again once it stops")
            << cut << "R0 R32 R64 W1 R64 W9 R96 R128 R160 R192 R224 C" << true;
        QTest::newRow("silent") << none + none + none << "R0 W9 R0 W9 R0 W9 F" << false;
    }
    void readsAsTheChunksCome() {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QString, actions);
        QFETCH(bool, exact);
        EdidImage got{};
        QCOMPARE(run(chunks, &got), actions);
        if (exact) {
            const bool padded = got[200] == 0;
            QVERIFY(got == image(padded));
        }
    }
};

QTEST_GUILESS_MAIN(TestEdidBlockReader)
#include "test_edid_block_reader.moc"
