// The modes an EDID declares, against edid-decode's own listing of every sample; the rule that
// matches them to the built-in timings, at its edges; orve1ctl edid-info --timings and
// timings edid:FILE.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

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
    QString line, entry;
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
        auto c = [&m](int i) { return m.captured(i); };
        if (m.hasMatch())
            out << Listed{l,
                          c(1).simplified(),
                          c(2).toInt(),
                          c(3).toInt(),
                          !c(4).isEmpty(),
                          c(5).toDouble(),
                          c(6).toDouble()};
        else if (unknown.hasMatch())
            out << Listed{l, "VIC " + unknown.captured(1), 0, 0, false, 0, 0};
    }
    return out;
}

QList<int> declared(int width, int height, bool interlaced, double rate) {
    EdidInfo::Timing t{true, width, height, interlaced, rate, 0};
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
            QVERIFY2(ours.size() == theirs.size(), qPrintable(file));
            for (int i = 0; i < ours.size(); ++i) {
                const EdidMode& o = ours[i];
                const Listed& t = theirs[i];
                const bool nominal =
                    o.kind == EdidMode::Kind::Standard && !t.entry.startsWith("DMT");
                const QString why =
                    file + ": " + o.entryText() + " " + o.modeText() + " vs" + t.line;
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
    void matchingRule() {
        struct Row {
            int width, height;
            bool interlaced;
            double rate;
            QList<int> numbers;
        };
        // Columns: EDID mode (width, height, interlaced, field rate in Hz), timings declared.
        const Row rows[] = {
            {1920, 1080, false, 60.0, {29, 30}}, {1920, 1080, false, 59.94, {29, 30}},
            {1920, 1080, true, 60.0, {27, 28}},  {1920, 1080, false, 50.25, {35}},
            {1920, 1080, false, 50.26, {}},      {800, 600, false, 60.0, {}},
            {1440, 480, true, 59.94, {21, 22}},  {720, 480, true, 59.94, {}},
            {720, 480, false, 60.0, {23, 24}},   {1440, 480, false, 59.94, {}},
            {1440, 576, true, 50.0, {31}},       {720, 576, false, 50.0, {32}},
            {1920, 1080, true, 50.0, {34}},      {1920, 1080, false, 50.0, {35}},
        };
        for (const Row& r : rows)
            QCOMPARE(declared(r.width, r.height, r.interlaced, r.rate), r.numbers);
    }

    // Entries that cannot be decoded are listed, not guessed; what is not read is said.
    void undecodableAndNotes() {
        EdidImage image = imageOf(readFile(dataPath("aoc-c24g1-hdmi.bin")));
        QCOMPARE(DeclaredTimings::rangeText(DeclaredTimings::numbersFrom(image)),
                 QStringLiteral("1-3,5-8,10-12,16-17,23-30,32-35"));
        image[38] = 0x00;   // standard timing 1 with no width
        image[144] = 0xDC;  // VIC 63's byte: VIC 220, reserved
        const EdidModes modes(image);
        QStringList problems;
        for (const EdidMode& m : modes.modes())
            if (!m.decoded())
                problems << m.entryText() + ": " + m.modeText();
        QCOMPARE(problems,
                 QStringList({"Standard timing 1 (block 0, bytes 38-39): not decoded: width byte "
                              "00 (the codes start at 01, 256 pixels)",
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
            lines.contains("DTD 1 (block 0, byte 54; preferred)          3840x2160 @ 60.000 "
                           "Hz, 594.000 MHz  none"));
        QCOMPARE(lines.last(), QStringLiteral("Built-in timings this EDID declares: 24 of 35: "
                                              "1,3,6,8,10,12,16-17,19,21-35"));

        CtlRequest r;
        QVERIFY(CtlArguments::parse({"timings", "edid:" + dataPath("dell-p2415q-hdmi2.0.bin")}, r,
                                    err));
        QCOMPARE(std::accumulate(r.timings.begin(), r.timings.end(), 0), 24);
        QVERIFY(CtlArguments::parse({"--timings", "edid-info", "x.bin"}, r, err) && r.listTimings);
        // Refused, nothing sent: no timing declared; --timings with another command.
        QVERIFY(!CtlArguments::parse({"timings", "edid:" + dataPath("apple-xdr-5k-tile1.bin")}, r,
                                     err));
        QVERIFY2(err.endsWith("declares none of the 35 built-in timings; nothing sent"),
                 qPrintable(err));
        QVERIFY(!CtlArguments::parse({"timings", "--timings", "all"}, r, err));
    }
};

QTEST_GUILESS_MAIN(TestEdidModes)
#include "test_edid_modes.moc"
