// The EDID block text and the programme packing.
#include <QTest>

#include "ProgrammeSteps.h"
#include "edid/EdidCodec.h"
#include "programme/ProgramPacker.h"

class TestCoreFormats : public QObject {
    Q_OBJECT

private slots:
    void edidBlockText() {
        quint8 bytes[32];
        for (int i = 0; i < 32; ++i) bytes[i] = quint8(255 - i * 8);
        const QByteArray text = EdidCodec::encodeBlock(bytes);
        QCOMPARE(text.size(), 66);
        QVERIFY(text.startsWith("AFFF7EF"));
        QVERIFY(EdidCodec::isBlock(reinterpret_cast<const quint8*>(text.constData()), 66));
        QVERIFY(!EdidCodec::isBlock(reinterpret_cast<const quint8*>(text.constData()), 65));
        quint8 back[32] = {};
        QVERIFY(EdidCodec::decodeDigits(reinterpret_cast<const quint8*>(text.constData()) + 1, 32,
                                        back));
        QVERIFY(std::equal(bytes, bytes + 32, back));

        const quint8 bad[] = {'0', 'g'};
        quint8 untouched = 0x5A;
        QVERIFY(!EdidCodec::decodeDigits(bad, 1, &untouched));
        QCOMPARE(untouched, quint8(0x5A));
        for (quint8 c : {quint8(':'), quint8('@'), quint8('G'), quint8(' '), quint8(0)})
            QCOMPARE(EdidCodec::digitValue(c), -1);
    }

    void packingKeepsLegalStepsInOrder() {
        ProgramColumns table;
        table.clear();
        auto set = [&](int s, int t, int p, int u, int time) { setStep(table, s, t, p, u, time); };
        set(31, 34, 38, 1, 59);
        set(5, 1, 2, 0, 1);
        set(6, 1, 2, 0, 0);
        set(7, 255, 2, 0, 4);
        set(8, 1, 2, 255, 4);
        ProgramColumns up;
        QCOMPARE(ProgramPacker::PackProgram(table, up), 2);
        QCOMPARE(up.timing[0], quint8(1));
        QCOMPARE(up.timing[1], quint8(34));
        QCOMPARE(up.showTime[1], quint8(59));
        QCOMPARE(up.unit[2], quint8(255));
        table.clear();
        QCOMPARE(ProgramPacker::PackProgram(table, up), 0);
        QCOMPARE(up.timing[0], quint8(255));
    }
};

QTEST_GUILESS_MAIN(TestCoreFormats)
#include "test_core_formats.moc"
