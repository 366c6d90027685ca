// The texts in which every window shows a timing's rates, durations and polarities.
#include <QLocale>
#include <QTest>

#include "timing/TimingTable.h"
#include "timing/TimingText.h"

namespace {

const TimingEntry& entry(int number) {
    return TimingTable[number - 1];
}

// Rates, the four horizontal and the four vertical durations and both polarities, as one line.
QString row(int number) {
    const TimingEntry& e = entry(number);
    QStringList parts{TimingText::ThousandthsText(e.PClk), TimingText::ThousandthsText(e.HRat),
                      TimingText::ThousandthsText(e.VRat)};
    for (quint32 n : {e.HTol, e.HAct, e.HPD, e.HPW}) parts << TimingText::HorizontalTimeText(e, n);
    for (quint32 m : {e.VTol, e.VAct, e.VPD, e.VPW}) parts << TimingText::VerticalTimeText(e, m);
    parts << TimingText::PolarityText(e.HPol) << TimingText::PolarityText(e.VPol);
    return parts.join(QLatin1Char(' '));
}

}  // namespace

class TestTimingText : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void workedRows_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("shown");
        QTest::newRow("1") << 1
                           << "25.175 31.469 59.940 31.778 25.422 0.636 3.813 16.683 15.253 "
                              "0.318 0.064 - -";
        QTest::newRow("20") << 20
                            << "154.000 74.038 59.950 13.506 12.468 0.312 0.208 16.681 16.208 "
                               "0.041 0.081 + -";
        QTest::newRow("28") << 28
                            << "74.250 33.750 60.000 29.630 25.859 1.185 0.593 33.333 32.000 "
                               "0.059 0.148 + +";
        QTest::newRow("31") << 31
                            << "27.000 15.625 50.000 64.000 53.333 0.889 4.667 40.000 36.864 "
                               "0.128 0.192 - -";
    }
    void workedRows() {
        QFETCH(int, number);
        QFETCH(QString, shown);
        QCOMPARE(row(number), shown);
    }

    void edgeValues() {
        // Three decimals always, also for whole values.
        QCOMPARE(TimingText::ThousandthsText(entry(14).PClk), QStringLiteral("108.000"));
        QCOMPARE(TimingText::ThousandthsText(0), QStringLiteral("0.000"));
        QCOMPARE(TimingText::VerticalTimeText(entry(7), entry(7).VPD), QStringLiteral("0.770"));
        // Durations come from the pixel clock and the horizontal total, not the stored rates.
        QCOMPARE(TimingText::VerticalTimeText(entry(2), entry(2).VTol), QStringLiteral("13.735"));
        QCOMPARE(TimingText::VerticalTimeText(entry(25), entry(25).VTol), QStringLiteral("16.684"));
        QCOMPARE(TimingText::VerticalTimeText(entry(29), entry(29).VTol), QStringLiteral("16.684"));
        // Interlaced entries show their field rate.
        const QList<QPair<int, QString>> fields{{21, "59.940"}, {22, "60.000"}, {27, "59.939"},
                                                {28, "60.000"}, {31, "50.000"}, {34, "50.000"}};
        for (const auto& [number, rate] : fields)
            QCOMPARE(TimingText::ThousandthsText(entry(number).VRat), rate);
        // 20 is the one entry whose polarities differ.
        int mixed = 0;
        for (const TimingEntry& e : TimingTable) mixed += e.HPol != e.VPol ? 1 : 0;
        QCOMPARE(mixed, 1);
        QCOMPARE(TimingText::PolarityText(entry(20).HPol), QStringLiteral("+"));
        QCOMPARE(TimingText::PolarityText(entry(20).VPol), QStringLiteral("-"));
        QCOMPARE(TimingText::PolarityText(2), QStringLiteral("+"));  // only 1 is negative
    }

    void limitsOfTheFormat() {
        // Nine significant digits at most, then the fraction gives way.
        QCOMPARE(TimingText::ThousandthsText(999999999), QStringLiteral("999999.999"));
        QCOMPARE(TimingText::ThousandthsText(1234567891), QStringLiteral("1234567.890"));
        QCOMPARE(TimingText::fixedText(123456789.4), QStringLiteral("123456789.000"));
        // A clock of 0 has no durations; it must not produce a number.
        TimingEntry broken = entry(1);
        broken.PClk = 0;
        QCOMPARE(TimingText::HorizontalTimeText(broken, 800), QString());
        QCOMPARE(TimingText::VerticalTimeText(broken, 0), QString());
    }

    void decimalSeparatorOfTheLocale() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(TimingText::ThousandthsText(25175), QStringLiteral("25,175"));
        QCOMPARE(TimingText::VerticalTimeText(entry(2), entry(2).VTol), QStringLiteral("13,735"));
        // No digit grouping, even where the locale groups thousands.
        QCOMPARE(TimingText::ThousandthsText(1234567891), QStringLiteral("1234567,890"));
        QCOMPARE(TimingText::ListCells(entry(28)),
                 QStringList({"1920x1080I-60", "74,250 MHz", "33,750 KHz", "60,000 Hz"}));
        // Digits stay ASCII; only the separator follows the locale.
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        const QString arabic = TimingText::ThousandthsText(25175);
        QVERIFY2(arabic.startsWith(QLatin1String("25")) && arabic.endsWith(QLatin1String("175")),
                 qPrintable(arabic));
        QCOMPARE(arabic.mid(2, arabic.size() - 5), QLocale().decimalPoint());
    }
};

QTEST_GUILESS_MAIN(TestTimingText)
#include "test_timing_text.moc"
