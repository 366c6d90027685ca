// The modes an EDID declares, against edid-decode's own listing of every sample; the rule that
// matches them to the built-in timings, at its edges; orve1ctl edid-info --timings and
// timings edid:FILE.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include "TestFiles.h"
#include "ctl/CtlArguments.h"
#include "ctl/EdidCommands.h"
#include "edid/DeclaredTimings.h"
#include "edid/EdidDecodeRun.h"

namespace {

QString dataPath(const QString& name) {
    return qEnvironmentVariable("ORVE1_TEST_DATA") + QLatin1Char('/') + name;
}

EdidImage imageOf(const QByteArray& bytes) {
    EdidImage image{};
    std::copy_n(bytes.constBegin(), std::min<qsizetype>(bytes.size(), 256), image.begin());
    return image;
}

// edid-decode's modes of blocks 0 and 1 under the headings that list what is read here:
// "DTD 2", "VIC 16", "DMT 0x04", "GTF", ... with size, scan, rate and pixel clock (if any).
struct Listed {
    QString entry;
    int width, height;
    bool interlaced;
    double rate, clock;
};

QList<Listed> listing(const QString& report) {
    static const QStringList sections{"Established Timings I & II", "Standard Timings",
                                      "Detailed Timing Descriptors", "Video Data Block"};
    static const QRegularExpression line(
        R"(^    (\S+(?: +\S+)?) *: +(\d+)x(\d+)(i?) +([\d.]+) Hz(?:.* ([\d.]+) MHz)?)");
    static const QRegularExpression reserved(R"(^    Unknown \(VIC (\d+)\))");
    QList<Listed> out;
    int block = -1;
    QString section;
    for (const QString& l : report.split('\n')) {
        if (l.startsWith("Block "))
            block = l.section(' ', 1, 1).chopped(1).toInt();
        else if (l.startsWith("  ") && !l.startsWith("   "))
            section = l.trimmed().section(':', 0, 0);
        // A standard timing that could be either is listed as CVT and again as GTF.
        if (block > 1 || !sections.contains(section) || l.endsWith("(EDID 1.3 source)"))
            continue;
        const QRegularExpressionMatch m = line.match(l);
        const QRegularExpressionMatch unknown = reserved.match(l);
        if (m.hasMatch())
            out << Listed{m.captured(1).simplified(), m.captured(2).toInt(),
                          m.captured(3).toInt(),      !m.captured(4).isEmpty(),
                          m.captured(5).toDouble(),   m.captured(6).toDouble()};
        else if (unknown.hasMatch())
            out << Listed{"VIC " + unknown.captured(1), 0, 0, false, 0, 0};
    }
    return out;
}

EdidInfo::Timing mode(int w, int h, bool i, double rate) {
    EdidInfo::Timing t;
    t.present = true;
    t.width = w;
    t.height = h;
    t.interlaced = i;
    t.rateHz = rate;
    return t;
}

QList<int> declared(const EdidInfo::Timing& t) {
    QList<int> out;
    for (const TimingEntry& e : TimingTable)
        if (DeclaredTimings::declares(t, e))
            out << e.Number;
    return out;
}

}  // namespace

class TestEdidModes : public QObject {
    Q_OBJECT

private slots:
    // Size, scan and rate of every mode of every sample as edid-decode lists them; the pixel
    // clock where both give one. Standard timings that are no DMT mode carry their nominal
    // rate, which edid-decode refines by GTF or CVT.
    void againstEdidDecode() {
        const QString program = EdidDecodeRun::findProgram(QStringLiteral("edid-decode"));
        if (program.isEmpty())
            QSKIP("edid-decode is not installed (Debian package edid-decode): nothing to check");
        QMap<QString, QString> files;  // by name: the shared set holds the project's too
        QStringList dirs{qEnvironmentVariable("ORVE1_TEST_DATA")};
        if (qEnvironmentVariableIsSet("ORVE1_EDID_SAMPLES"))
            dirs << qEnvironmentVariable("ORVE1_EDID_SAMPLES");
        else
            qInfo("the shared sample set is not beside this checkout: tests/data only");
        for (const QString& dir : dirs)
            for (const QString& name : QDir(dir).entryList({"*.bin"}, QDir::Files))
                files[name] = dir + '/' + name;
        int compared = 0;
        int undecoded = 0;
        for (const QString& file : files.values()) {
            QProcess p;
            p.start(program, {"-s", file});
            QVERIFY(p.waitForFinished(15000));
            const QList<Listed> theirs = listing(QString::fromUtf8(p.readAllStandardOutput()));
            QList<EdidMode> ours = EdidModes(imageOf(readFile(file))).modes();
            QVERIFY2(ours.size() == theirs.size(),
                     qPrintable(QStringLiteral("%1: %2 modes, edid-decode %3")
                                    .arg(file)
                                    .arg(ours.size())
                                    .arg(theirs.size())));
            for (int i = 0; i < ours.size(); ++i) {
                const EdidMode& o = ours[i];
                const Listed& t = theirs[i];
                const bool nominal =
                    o.kind == EdidMode::Kind::Standard && !t.entry.startsWith("DMT");
                const QString why = file + ": " + o.entryText() + " " + o.modeText() + " vs " +
                                    t.entry +
                                    QStringLiteral(" %1x%2 %3 Hz %4 MHz")
                                        .arg(t.width)
                                        .arg(t.height)
                                        .arg(t.rate)
                                        .arg(t.clock);
                if (!o.decoded()) {
                    QVERIFY2(t.width == 0 && t.entry == o.name(), qPrintable(why));
                    ++undecoded;
                    continue;
                }
                QVERIFY2(o.timing.width == t.width && o.timing.height == t.height &&
                             o.timing.interlaced == t.interlaced &&
                             qAbs(o.timing.rateHz / t.rate - 1) < (nominal ? 0.005 : 0.00002) &&
                             (nominal || qAbs(o.timing.pixelClockMHz - t.clock) < 0.0005),
                         qPrintable(why));
                if (o.kind == EdidMode::Kind::Detailed || o.kind == EdidMode::Kind::Vic)
                    QVERIFY2(t.entry == o.name(), qPrintable(why));
            }
            compared += ours.size();
        }
        qInfo("%d samples, %d modes agree with edid-decode (%d of them not decoded by either)",
              int(files.size()), compared, undecoded);
        QVERIFY(files.size() >= 6 && compared >= 100);
    }

    // Same size, same scan, rate within 0.5 %; the standard-definition entries counted as
    // edid-decode lists the VICs (1440 samples a line interlaced, 720 progressive).
    void matchingRule_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("interlaced");
        QTest::addColumn<double>("rate");
        QTest::addColumn<QList<int>>("numbers");
        QTest::newRow("1080p 60") << 1920 << 1080 << false << 60.0 << QList<int>{29, 30};
        QTest::newRow("1080p 59.94") << 1920 << 1080 << false << 59.94 << QList<int>{29, 30};
        QTest::newRow("1080i 60 not p") << 1920 << 1080 << true << 60.0 << QList<int>{27, 28};
        QTest::newRow("1080p 50 +0.5%") << 1920 << 1080 << false << 50.25 << QList<int>{35};
        QTest::newRow("1080p 50 +0.52%") << 1920 << 1080 << false << 50.26 << QList<int>{};
        QTest::newRow("800x600 60.000") << 800 << 600 << false << 60.0 << QList<int>{};
        QTest::newRow("480i 1440") << 1440 << 480 << true << 59.94 << QList<int>{21, 22};
        QTest::newRow("480i 720") << 720 << 480 << true << 59.94 << QList<int>{};
        QTest::newRow("480p 720") << 720 << 480 << false << 60.0 << QList<int>{23, 24};
        QTest::newRow("480p 1440") << 1440 << 480 << false << 59.94 << QList<int>{};
        QTest::newRow("576i 1440") << 1440 << 576 << true << 50.0 << QList<int>{31};
        QTest::newRow("576p 720") << 720 << 576 << false << 50.0 << QList<int>{32};
    }
    void matchingRule() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, interlaced);
        QFETCH(double, rate);
        QFETCH(QList<int>, numbers);
        QCOMPARE(declared(mode(width, height, interlaced, rate)), numbers);
        QList<int> interlacedEntries;
        for (const TimingEntry& e : TimingTable)
            if (DeclaredTimings::interlaced(e))
                interlacedEntries << e.Number;
        QCOMPARE(interlacedEntries, QList<int>({21, 22, 27, 28, 31, 34}));
    }

    // Entries that cannot be decoded are listed, not guessed; what is not read is said.
    void undecodableAndNotes() {
        EdidImage image = imageOf(readFile(dataPath("aoc-c24g1-hdmi.bin")));
        QCOMPARE(DeclaredTimings::numbersFrom(image),
                 QList<int>({1,  2,  3,  5,  6,  7,  8,  10, 11, 12, 16, 17,
                             23, 24, 25, 26, 27, 28, 29, 30, 32, 33, 34, 35}));
        QCOMPARE(DeclaredTimings::rangeText(DeclaredTimings::numbersFrom(image)),
                 QStringLiteral("1-3,5-8,10-12,16-17,23-30,32-35"));
        image[38] = 0x00;   // standard timing 1 with no width
        image[143] = 0x80;  // VIC 1's byte: reserved
        image[144] = 0xDC;  // VIC 63's byte: VIC 220, reserved
        const EdidModes modes(image);
        QStringList problems;
        for (const EdidMode& m : modes.modes())
            if (!m.decoded())
                problems << m.entryText() + ": " + m.modeText();
        QCOMPARE(problems,
                 QStringList({"Standard timing 1 (block 0, bytes 38-39): not decoded: width byte "
                              "00 (the codes start at 01, 256 pixels)",
                              "VIC 128 (block 1, byte 143): not decoded: code 128 is reserved",
                              "VIC 220 (block 1, byte 144): not decoded: code 220 is reserved"}));
        image[130] = 200;  // no offset within the block
        QCOMPARE(EdidModes(image).notes(),
                 QStringList("Block 1's byte 2 (200) is no offset within the block: its modes are "
                             "not read."));
        image[128] = 0x70;
        image[126] = 3;
        QCOMPARE(EdidModes(image).notes(),
                 QStringList({"Block 1 (tag 0x70) is not a CTA-861 extension: its modes are not "
                              "read.",
                              "Byte 126 announces 3 extension blocks; the 256-byte image holds "
                              "only block 1, so the modes of blocks 2 to 3 are not read."}));
    }

    void ctlCommands() {
        QString out, err;
        QCOMPARE(EdidCommands::timings(dataPath("dell-p2415q-hdmi2.0.bin"), out, err),
                 EdidCommands::Sound);
        const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
        QVERIFY(
            lines.contains("Established timing (block 0, byte 35 bit 5)  "
                           "640x480 @ 59.940 Hz, 25.175 MHz     1 640x480-60"));
        QVERIFY(
            lines.contains("VIC 22 (block 1, byte 138)                   1440x576i @ 50.000 "
                           "Hz, 27.000 MHz   31 720x576I"));
        QVERIFY(
            lines.contains("DTD 1 (block 0, byte 54; preferred)          3840x2160 @ 60.000 "
                           "Hz, 594.000 MHz  none"));
        QCOMPARE(lines.last(), QStringLiteral("Built-in timings this EDID declares: 24 of 35: "
                                              "1,3,6,8,10,12,16-17,19,21-35"));

        CtlRequest r;
        QVERIFY(CtlArguments::parse({"timings", "edid:" + dataPath("dell-p2415q-hdmi2.0.bin")}, r,
                                    err));
        QCOMPARE(
            r.timings,
            DeclaredTimings(imageOf(readFile(dataPath("dell-p2415q-hdmi2.0.bin")))).selection());
        QCOMPARE(std::accumulate(r.timings.begin(), r.timings.end(), 0), 24);
        QVERIFY(CtlArguments::parse({"--timings", "edid-info", "x.bin"}, r, err) && r.listTimings);
        // Refused, nothing sent: no timing declared, no EDID, --timings elsewhere.
        QVERIFY(!CtlArguments::parse({"timings", "edid:" + dataPath("apple-xdr-5k-tile1.bin")}, r,
                                     err));
        QVERIFY2(err.endsWith("declares none of the 35 built-in timings; nothing sent"),
                 qPrintable(err));
        QVERIFY(!CtlArguments::parse({"timings", "edid:" + dataPath("MANIFEST.tsv")}, r, err));
        QVERIFY(!CtlArguments::parse({"timings", "--timings", "all"}, r, err));
        QCOMPARE(err, QStringLiteral("'--timings' goes with edid-info only"));
    }
};

QTEST_GUILESS_MAIN(TestEdidModes)
#include "test_edid_modes.moc"
