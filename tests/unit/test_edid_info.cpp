// The EDID reader against real EDIDs (and against edid-decode where it is installed), the text
// forms an EDID is imported from, "Fix checksums", and orve1ctl edid-info / edid-diff.
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "TestFiles.h"
#include "ctl/CtlArguments.h"
#include "ctl/EdidCommands.h"
#include "edid/EdidDecodeRun.h"
#include "edid/EdidInfo.h"
#include "edid/EdidText.h"

namespace {

struct Sample {
    QString name;
    QString path;
    QByteArray bytes;
    QString manifestBlocks;  // "b0:tag=00:csum=b0:ok b1:..."
    int manifestExtensions = -1;
};

QString dataPath(const QString& name) {
    return qEnvironmentVariable("ORVE1_TEST_DATA") + QLatin1Char('/') + name;
}

// The project's own samples, and the shared sample set where this checkout has it beside it.
QList<Sample> samples() {
    QStringList dirs{qEnvironmentVariable("ORVE1_TEST_DATA")};
    if (qEnvironmentVariableIsSet("ORVE1_EDID_SAMPLES"))
        dirs << qEnvironmentVariable("ORVE1_EDID_SAMPLES");
    QMap<QString, Sample> byName;
    for (const QString& dir : dirs) {
        QMap<QString, QStringList> manifest;
        const QList<QByteArray> rows = readFile(dir + "/MANIFEST.tsv").split('\n');
        for (const QByteArray& row : rows) {
            const QStringList cols = QString::fromUtf8(row).split('\t');
            if (cols.size() > 4)
                manifest[cols[0]] = cols;
        }
        for (const QString& name : QDir(dir).entryList({"*.bin"}, QDir::Files)) {
            Sample s{name, dir + '/' + name, readFile(dir + '/' + name), QString(), -1};
            if (manifest.contains(name)) {
                s.manifestExtensions = manifest[name][3].toInt();
                s.manifestBlocks = manifest[name][4];
            }
            byName[name] = s;
        }
    }
    return byName.values();
}

EdidImage imageOf(const QByteArray& bytes) {
    EdidImage image{};
    std::copy_n(bytes.constBegin(), std::min<qsizetype>(bytes.size(), 256), image.begin());
    return image;
}

// The AOC sample with block 1's checksum byte spoilt, as in a hand-edited file.
QByteArray damagedAoc() {
    QByteArray b = readFile(dataPath("aoc-c24g1-hdmi.bin"));
    b[255] = char(0x37);
    return b;
}

QString hexLines(const QByteArray& bytes, int perLine, char separator, const QString& prefix = {}) {
    QStringList lines;
    for (int i = 0; i < bytes.size(); i += perLine) {
        QStringList parts;
        for (const char c : bytes.mid(i, perLine))
            parts << prefix + QString::fromLatin1(QByteArray(1, c).toHex());
        lines << parts.join(QLatin1Char(separator));
    }
    return lines.join('\n');
}

QString edidDecodeDump(const QByteArray& bytes) {
    QString text = "edid-decode (hex):\n\n" + hexLines(bytes.left(128), 16, ' ') + "\n\n" +
                   hexLines(bytes.mid(128), 16, ' ');
    return text +
           "\n\n----------------\n\nBlock 0, Base EDID:\n  EDID Structure Version & Revision: "
           "1.4\n    DMT 0x04:   640x480    59.940476 Hz   4:3     31.469 kHz\n"
           "Checksum: 0xad\n\nEDID conformity: FAIL\n";
}

// One output of xrandr --verbose, with the properties around its EDID.
QString xrandrOutput(const QString& name, const QByteArray& edid) {
    QString text = name +
                   " connected primary 3840x2160+0+0 (0x47) normal (normal left inverted right x "
                   "axis y axis) 527mm x 296mm\n\tIdentifier: 0x43\n\tTimestamp:  8134\n"
                   "\tTransform:  1.000000 0.000000 0.000000\n"
                   "\t            0.000000 1.000000 0.000000\n\tEDID: \n";
    for (int i = 0; i < edid.size(); i += 16)
        text += "\t\t" + QString::fromLatin1(edid.mid(i, 16).toHex()) + '\n';
    return text +
           "\tnon-desktop: 0 \n\t\tsupported: 0, 1\n  3840x2160 (0x47) 594.000MHz +HSync "
           "+VSync *current +preferred\n        h: width  3840 start 4016 end 4104 total 4400\n";
}

QString cArray(const QByteArray& bytes) {
    QString text = "/* read from the TV { by hand } */\nconst unsigned char edid[] = {\n";
    for (int i = 0; i < bytes.size(); ++i) {
        const quint8 b = quint8(bytes[i]);
        // Some tools write 0x0 and decimals.
        text += b == 0       ? QStringLiteral("0x0")
                : i % 7 == 0 ? QString::number(b)
                             : QStringLiteral("0x%1").arg(b, 2, 16, QLatin1Char('0'));
        text += i % 8 == 7 ? ", // row\n" : ", ";
    }
    return text + "};\n";
}

bool parse(const QString& text, QByteArray& bytes, QString& error, EdidText::Form* form = nullptr) {
    return EdidText::parse(text, bytes, error, form);
}

// What edid-decode printed of one EDID, taken from its report.
struct Decoded {
    QString manufacturer, model, version, madeIn, name, dtd;
    int extensions = 0;
    QStringList checksums;  // "0xb0", or "0x37 (should be 0xf1)"
};

Decoded readReport(const QString& report) {
    Decoded d;
    auto field = [&](const char* pattern) {
        return QRegularExpression(QLatin1String(pattern), QRegularExpression::MultilineOption)
            .match(report)
            .captured(1);
    };
    d.manufacturer = field(R"(^\s+Manufacturer: (\S+))");
    d.model = field(R"(^\s+Model: (\d+))");
    d.version = field(R"(^\s+EDID Structure Version & Revision: (\d+\.\d+))");
    d.madeIn = field(R"(^\s+(?:Made in|Model year): (.+)$)");
    if (report.contains(
            QRegularExpression(R"(^\s+Model year:)", QRegularExpression::MultilineOption)))
        d.madeIn = "model year " + d.madeIn;
    d.name = field(R"(^\s+Display Product Name: '(.*)'$)");
    d.extensions = field(R"(^  Extension blocks: (\d+))").toInt();
    // The base block's first detailed timing, if it has one.
    const QString base =
        report.section(QStringLiteral("Block 0, Base EDID:"), 1).section("\nChecksum:", 0, 0);
    d.dtd = QRegularExpression(R"(DTD 1:\s+(\d+x\d+i?)\s+([\d.]+) Hz)").match(base).captured(0);
    QRegularExpressionMatchIterator it =
        QRegularExpression(R"(^Checksum: (.+)$)", QRegularExpression::MultilineOption)
            .globalMatch(report);
    while (it.hasNext()) d.checksums << it.next().captured(1);
    return d;
}

bool runDecode(EdidDecodeRun& run, const QByteArray& bytes) {
    QSignalSpy done(&run, &EdidDecodeRun::finished);
    run.start(bytes);
    return done.wait(15000) && done.size() == 1;
}

QString script(QTemporaryDir& dir, const QString& name, const QString& body) {
    const QString path = writeFile(dir.filePath(name), ("#!/bin/sh\n" + body + "\n").toUtf8());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

}  // namespace

class TestEdidInfo : public QObject {
    Q_OBJECT

private slots:
    // Every sample: the verdicts of its manifest; two samples in full; the fields' rare forms.
    void readerOverSamples() {
        const QList<Sample> all = samples();
        QVERIFY(all.size() >= 6);
        int checked = 0;
        for (const Sample& s : all) {
            const EdidImage image = imageOf(s.bytes);
            const EdidInfo info(image);
            QVERIFY2(info.headerOk(), qPrintable(s.name));
            if (s.manifestBlocks.isEmpty())
                continue;
            QCOMPARE(info.extensionCount(), s.manifestExtensions);
            const QStringList blocks = s.manifestBlocks.split(' ');
            for (int b = 0; b < EdidInfo::ImageBlocks; ++b) {
                QCOMPARE(info.block(b).inUse, b < blocks.size());
                if (b >= blocks.size())
                    continue;
                const QString expected =
                    QStringLiteral("csum=%1:ok").arg(info.block(b).stored, 2, 16, QLatin1Char('0'));
                QVERIFY2(blocks[b].endsWith(expected) && info.block(b).sound(),
                         qPrintable(s.name + ": " + blocks[b] + " vs " + info.blockLine(b)));
            }
            ++checked;
        }
        QVERIFY(checked >= 6);

        QCOMPARE(
            EdidInfo(imageOf(readFile(dataPath("aoc-c24g1-hdmi.bin")))).summaryLines(),
            QStringList({"Header: OK", "Version: 1.3", "Manufacturer: AOC",
                         "Product code: 9217 (0x2401)", "Serial number: 299500",
                         "Made in: week 39 of 2019", "Extension blocks: 1", "Monitor name: 24G1WG4",
                         "Preferred timing: 1920 \u00d7 1080 @ 60.00 Hz (148.50 MHz)",
                         "Block 0: checksum 0xb0 OK", "Block 1: checksum 0xf1 OK"}));
        // A 128-byte EDID in an image whose second half is something else.
        EdidImage sony = imageOf(readFile(dataPath("sony-gdmf520-vga.bin")));
        std::fill(sony.begin() + 128, sony.end(), quint8(0x55));
        const EdidInfo s(sony);
        QCOMPARE(s.blockLine(1), QStringLiteral("Block 1: not in use (byte 126 is 0)"));
        QVERIFY(s.checksumsSound());
        QCOMPARE(s.version(), 1);
        QCOMPARE(s.revision(), 2);
        // A base block that starts with display descriptors has no preferred timing.
        QCOMPARE(EdidInfo(imageOf(readFile(dataPath("apple-xdr-5k-tile1.bin")))).timingText(),
                 QStringLiteral("none (the first descriptor is not a timing)"));
        QCOMPARE(
            EdidInfo(imageOf(readFile(dataPath("acer-xv273k-dp1-corrupted.bin")))).extensionText(),
            QStringLiteral("2 (the 256-byte image holds only block 1 of them)"));

        EdidImage odd = imageOf(readFile(dataPath("aoc-c24g1-hdmi.bin")));
        odd[16] = 0xFF;
        QCOMPARE(EdidInfo(odd).manufactureText(), QStringLiteral("model year 2019"));
        odd[16] = 0;
        QCOMPARE(EdidInfo(odd).manufactureText(), QStringLiteral("2019"));
        odd[8] = 0x80;  // letter codes 0 and 27 are no letters
        odd[9] = 0x1B;
        QCOMPARE(EdidInfo(odd).manufacturer(), QStringLiteral("@@["));
        // 1920x1080i: 540 lines a field at 74.25 MHz, 2200 x 1125 lines a frame.
        const quint8 dtd[18] = {0x01, 0x1D, 0x80, 0x18, 0x71, 0x1C, 0x16, 0x20, 0,
                                0,    0,    0,    0,    0,    0,    0,    0,    0x80};
        std::copy(dtd, dtd + 18, odd.begin() + 54);
        QCOMPARE(EdidInfo(odd).timingText(),
                 QStringLiteral("1920 \u00d7 1080i @ 60.00 Hz (74.25 MHz)"));
        // The name descriptor: control bytes never reach the screen.
        const quint8 name[18] = {0,   0,    0,   0xFC, 0, 'T', 'V', 0x07, ' ',
                                 ' ', 0x0A, 'x', 0,    0, 0,   0,   0,    0};
        std::copy(name, name + 18, odd.begin() + 90);
        QCOMPARE(EdidInfo(odd).monitorName(), QStringLiteral("TV?"));
        QVERIFY(!EdidInfo(EdidImage{}).headerOk());
        QCOMPARE(EdidInfo(EdidImage{}).summaryLines().first(),
                 QStringLiteral("Header: missing (all 256 bytes are 00)"));
    }

    // Our verdicts and fields against edid-decode's for every sample and a damaged one.
    void crossCheckWithEdidDecode() {
        if (EdidDecodeRun::findProgram(QStringLiteral("edid-decode")).isEmpty())
            QSKIP(
                "edid-decode is not installed (Debian package edid-decode; "
                "scripts/install-deps installs it): nothing to check against");
        EdidDecodeRun run;
        QList<Sample> all = samples();
        all << Sample{"aoc damaged", QString(), damagedAoc(), QString(), -1};
        for (const Sample& s : all) {
            QVERIFY2(runDecode(run, s.bytes), qPrintable(s.name));
            QVERIFY2(run.outcome() == EdidDecodeRun::Outcome::Decoded ||
                         run.outcome() == EdidDecodeRun::Outcome::ConformityFailures,
                     qPrintable(s.name + ": " + run.outcomeText()));
            QVERIFY(!run.conformityLine().isEmpty());
            const Decoded d = readReport(run.report());
            const EdidInfo info(imageOf(s.bytes));
            const QString why = s.name + "\n" + run.report().left(3000);
            QVERIFY2(d.manufacturer == info.manufacturer(), qPrintable(why));
            QVERIFY2(d.model == QString::number(info.productCode()), qPrintable(why));
            QVERIFY2(d.version == QStringLiteral("%1.%2").arg(info.version()).arg(info.revision()),
                     qPrintable(why));
            QVERIFY2(d.extensions == info.extensionCount(), qPrintable(why));
            QVERIFY2(d.madeIn == info.manufactureText(), qPrintable(why));
            QVERIFY2(d.name == info.monitorName(), qPrintable(why));
            const EdidInfo::Timing t = info.preferredTiming();
            QVERIFY2(t.present == !d.dtd.isEmpty(), qPrintable(why));
            if (t.present) {
                const QRegularExpressionMatch m =
                    QRegularExpression(R"((\d+)x(\d+)(i?)\s+([\d.]+))").match(d.dtd);
                QVERIFY2(m.captured(1).toInt() == t.width && m.captured(2).toInt() == t.height &&
                             qAbs(m.captured(4).toDouble() - t.rateHz) < 0.005,
                         qPrintable(why + " DTD " + d.dtd + " vs " + info.timingText()));
            }
            for (int b = 0; b < EdidInfo::ImageBlocks; ++b) {
                if (!info.block(b).inUse)
                    continue;
                const EdidInfo::Block& k = info.block(b);
                const QString ours =
                    k.sound() ? EdidInfo::hexByte(k.stored)
                              : QStringLiteral("%1 (should be %2)")
                                    .arg(EdidInfo::hexByte(k.stored), EdidInfo::hexByte(k.correct));
                QVERIFY2(b < d.checksums.size() && d.checksums[b] == ours,
                         qPrintable(why + " block " + QString::number(b) + ": " + ours));
            }
        }
        QCOMPARE(EdidInfo(imageOf(damagedAoc())).blockLine(1),
                 QStringLiteral("Block 1: checksum 0x37, should be 0xf1"));
        QVERIFY(runDecode(run, QByteArray("hello")));
        QCOMPARE(run.outcome(), EdidDecodeRun::Outcome::NotAnEdid);
    }

    // The run's outcomes by exit status, its input, its time-out and a run dropped for a newer.
    void decodeRunOutcomes() {
#ifdef Q_OS_WIN
        QSKIP("the stand-in edid-decode programs are shell scripts");
#endif
        QTemporaryDir dir;
        EdidDecodeRun run;
        run.setProgram(dir.filePath("no-such-edid-decode"));
        QVERIFY(runDecode(run, "x"));
        QCOMPARE(run.outcome(), EdidDecodeRun::Outcome::Missing);
        QVERIFY(run.outcomeText().contains("sudo apt install edid-decode"));

        run.setProgram(script(dir, "fail", "wc -c; echo 'EDID conformity: FAIL'; exit 254"));
        QVERIFY(runDecode(run, QByteArray(256, 'x')));
        QCOMPARE(run.outcome(), EdidDecodeRun::Outcome::ConformityFailures);
        QCOMPARE(run.report().split('\n').first().trimmed(), QStringLiteral("256"));
        QCOMPARE(run.conformityLine(), QStringLiteral("EDID conformity: FAIL"));
        for (const auto& [code, outcome] : {std::pair{0, EdidDecodeRun::Outcome::Decoded},
                                            {255, EdidDecodeRun::Outcome::NotAnEdid},
                                            {3, EdidDecodeRun::Outcome::Failed}}) {
            run.setProgram(script(dir, QStringLiteral("exit%1").arg(code),
                                  QStringLiteral("exit %1").arg(code)));
            QVERIFY(runDecode(run, "x"));
            QCOMPARE(run.outcome(), outcome);
            QCOMPARE(run.exitCode(), code);
        }
        QCOMPARE(run.outcomeText(), QStringLiteral("edid-decode ended with exit status 3."));

        const QString slow = script(dir, "slow", "exec sleep 30");
        run.setProgram(slow);
        run.setTimeoutMs(200);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(runDecode(run, "x"));
        QCOMPARE(run.outcome(), EdidDecodeRun::Outcome::TimedOut);
        QVERIFY(clock.elapsed() < 5000);

        // A newer image replaces a run that is still going: one answer, the newer one's.
        run.setTimeoutMs(5000);
        QSignalSpy done(&run, &EdidDecodeRun::finished);
        run.start("old");
        run.setProgram(script(dir, "cat", "cat"));
        run.start("new");
        QVERIFY(done.wait(5000));
        QTest::qWait(100);
        QCOMPARE(done.size(), 1);
        QCOMPARE(run.report(), QStringLiteral("new"));
    }

    // Each text form, made from a sample file, gives its bytes; what is not one EDID is refused
    // with a message that says what was found.
    void importForms() {
        const QByteArray edid = readFile(dataPath("dell-p2415q-hdmi2.0.bin"));
        QCOMPARE(edid.size(), 256);
        using F = EdidText::Form;
        const QList<std::pair<QString, F>> good = {
            {hexLines(edid, 16, ' '), F::HexBytes},
            {hexLines(edid, 256, ':').toUpper(), F::HexBytes},
            {hexLines(edid, 8, ',', "0x") + ",", F::HexBytes},
            {"EDID of the TV in room 4:\n\n" + hexLines(edid, 16, ' ', "0X") + "\n\nThanks, Bob\n",
             F::HexBytes},
            {edidDecodeDump(edid), F::EdidDecode},
            {"Screen 0: minimum 320 x 200, current 3840 x 2160\n" + xrandrOutput("HDMI-1", edid) +
                 "DP-1 disconnected (normal left inverted right x axis y axis)\n\tIdentifier: "
                 "0x44\n",
             F::Xrandr},
            {cArray(edid), F::CArray},
            {QString(cArray(edid)).replace('\n', "\r\n"), F::CArray},
        };
        for (const auto& [text, form] : good) {
            QByteArray bytes;
            QString error;
            F found = F::HexBytes;
            QVERIFY2(parse(text, bytes, error, &found), qPrintable(error + "\n" + text.left(300)));
            QCOMPARE(bytes, edid);
            QCOMPARE(found, form);
        }
        // An EDID longer than the image, whose third block starts with a stray header, is one.
        const QByteArray acer = readFile(dataPath("acer-xv273k-dp1-corrupted.bin"));
        QByteArray bytes;
        QString error;
        QVERIFY2(parse(hexLines(acer, 16, ' '), bytes, error), qPrintable(error));
        QCOMPARE(bytes, acer);
        // Whole blocks without the header: an EDID whose header is damaged.
        QByteArray headless = edid;
        headless[1] = 0;
        QVERIFY(parse(hexLines(headless, 16, ' '), bytes, error));
        QCOMPARE(bytes, headless);

        QString odd = hexLines(edid, 16, ' ');
        odd.remove(odd.lastIndexOf(' ') + 1, 1);
        const QByteArray sony = readFile(dataPath("sony-gdmf520-vga.bin"));
        const QList<std::pair<QString, QString>> bad = {
            {QString(), "No EDID: the text holds no hexadecimal bytes"},
            {"Monitor works fine, no dump attached.",
             "No EDID: the text holds no hexadecimal bytes"},
            {"12 34 56", "No EDID: the text holds 3 hexadecimal bytes (starting 12 34 56)"},
            {odd,
             "An odd number of hexadecimal digits: the bytes in the text have 511 digits, "
             "and '2' on line 16 is not a whole number of bytes."},
            {hexLines(sony + sony, 16, ' '),
             "the 256 bytes in the text hold 2 EDIDs one after "
             "the other (each starting with the EDID header, at "
             "bytes 0 and 128)"},
            {xrandrOutput("HDMI-1", edid) + xrandrOutput("DP-1", sony),
             "More than one EDID: the text holds 2 \"EDID:\" sections, one for each output"},
            {edidDecodeDump(edid) + edidDecodeDump(sony), "holds 2 \"edid-decode (hex):\" dumps"},
            {cArray(edid) + cArray(sony), "More than one EDID: the text holds 2 C arrays"},
            {"unsigned char e[] = {0x00, 0x1ff};",
             "'0x1ff' on line 1 of the C array is not a byte"},
            {"int x = {};", "No EDID: the text has braces but no numbers between them."},
        };
        for (const auto& [text, message] : bad) {
            QByteArray untouched("kept");
            QVERIFY2(!parse(text, untouched, error), qPrintable(text.left(100)));
            QVERIFY2(error.contains(message), qPrintable(error));
            QCOMPARE(untouched, QByteArray("kept"));
        }

        // Files: a raw file whole, a text file parsed, an empty file refused.
        QTemporaryDir dir;
        bool wasText = true;
        QVERIFY(
            EdidText::loadFile(dataPath("acer-xv273k-dp1-corrupted.bin"), bytes, error, &wasText));
        QVERIFY(!wasText);
        QCOMPARE(bytes, acer);
        F form = F::HexBytes;
        QVERIFY(EdidText::loadFile(
            writeFile(dir.filePath("x.txt"), xrandrOutput("HDMI-1", edid).toUtf8()), bytes, error,
            &wasText, &form));
        QVERIFY(wasText && form == F::Xrandr && bytes == edid);
        QVERIFY(!EdidText::loadFile(writeFile(dir.filePath("empty"), {}), bytes, error));
        QVERIFY(error.startsWith(dir.filePath("empty") + ": No EDID"));
    }

    // "Fix checksums" writes the correct byte into each failing block in use, and nothing else.
    void fixChecksums() {
        // The corrupted sample's damage lies beyond the image: both blocks in it hold.
        EdidImage acer = imageOf(readFile(dataPath("acer-xv273k-dp1-corrupted.bin")));
        const EdidImage acerBefore = acer;
        QVERIFY(EdidInfo::fixChecksums(acer).isEmpty());
        QVERIFY(acer == acerBefore);

        EdidImage image = imageOf(damagedAoc());
        image[127] = 0x00;
        image[200] ^= 0x10;
        const EdidImage before = image;
        QCOMPARE(EdidInfo::fixChecksums(image), QList<int>({0, 1}));
        QVERIFY(EdidInfo(image).checksumsSound());
        QCOMPARE(image[127], quint8(0xb0));
        QCOMPARE(image[255], EdidInfo::correctChecksum(before, 1));
        for (int i = 0; i < 256; ++i) {
            if (i != 127 && i != 255)
                QCOMPARE(image[i], before[i]);
        }
        QVERIFY(EdidInfo::fixChecksums(image).isEmpty());

        // A block 1 that byte 126 does not announce is left alone.
        EdidImage sony = imageOf(readFile(dataPath("sony-gdmf520-vga.bin")));
        std::fill(sony.begin() + 128, sony.end(), quint8(0x55));
        const EdidImage sonyBefore = sony;
        QVERIFY(EdidInfo::fixChecksums(sony).isEmpty());
        QVERIFY(sony == sonyBefore);
    }

    // orve1ctl edid-info and edid-diff: their arguments, output and exit statuses.
    void ctlEdidInfoAndDiff() {
        CtlRequest r;
        QString error;
        QVERIFY(CtlArguments::parse({"edid-info", "a.bin"}, r, error));
        QVERIFY(r.kind == CtlRequest::Kind::EdidInfo && r.file == "a.bin" && !r.usesGenerator());
        QVERIFY(CtlArguments::parse({"edid-diff", "a.bin", "b.txt"}, r, error));
        QVERIFY(r.kind == CtlRequest::Kind::EdidDiff && r.otherFile == "b.txt" &&
                !r.usesGenerator());
        QVERIFY(!CtlArguments::parse({"edid-diff", "a.bin"}, r, error));
        QCOMPARE(error, QStringLiteral("'edid-diff' takes 2 operands"));

        QTemporaryDir dir;
        const QString aoc = dataPath("aoc-c24g1-hdmi.bin");
        const QString damaged = writeFile(dir.filePath("damaged.bin"), damagedAoc());
        const QString damagedText =
            writeFile(dir.filePath("xrandr.txt"), xrandrOutput("HDMI-1", damagedAoc()).toUtf8());
        QString out, err;
        QCOMPARE(EdidCommands::info(aoc, out, err), EdidCommands::Sound);
        QStringList lines = out.split('\n');
        QCOMPARE(lines.first(), aoc + ": raw, 256 bytes");
        QCOMPARE(lines.mid(1, 11), EdidInfo(imageOf(readFile(aoc))).summaryLines());
        QCOMPARE(EdidCommands::info(damaged, out, err), EdidCommands::ChecksumFails);
        QVERIFY(out.contains("\nBlock 1: checksum 0x37, should be 0xf1\n"));
        const QString rawOut = out.section('\n', 1);
        QCOMPARE(EdidCommands::info(damagedText, out, err), EdidCommands::ChecksumFails);
        QCOMPARE(out.section('\n', 0, 0),
                 damagedText + ": text (xrandr --verbose EDID), 256 bytes");
        QCOMPARE(out.section('\n', 1), rawOut);
        QCOMPARE(EdidCommands::info(dataPath("acer-xv273k-dp1-corrupted.bin"), out, err),
                 EdidCommands::Sound);
        QVERIFY(out.endsWith("Block 2: checksum 0x21 OK (beyond the 256-byte image)\n"));
        QCOMPARE(
            EdidCommands::info(writeFile(dir.filePath("half"), damagedAoc().left(128)), out, err),
            EdidCommands::ChecksumFails);
        QVERIFY(
            out.endsWith("Block 1: missing (byte 126 announces 1 extension block; the EDID "
                         "ends at byte 128)\n"));
        err.clear();
        QCOMPARE(EdidCommands::info(writeFile(dir.filePath("elf"), QByteArray("\x7f"
                                                                              "ELF\2\1\1",
                                                                              8)),
                                    out, err),
                 EdidCommands::NotAnEdid);
        QVERIFY2(err.contains(": not an EDID: it does not start with the EDID header"),
                 qPrintable(err));
        QCOMPARE(EdidCommands::info(writeFile(dir.filePath("note.txt"), "no dump here"), out, err),
                 EdidCommands::NotAnEdid);
        QCOMPARE(EdidCommands::info(dir.filePath("absent"), out, err), EdidCommands::NotAnEdid);

        QCOMPARE(EdidCommands::diff(aoc, damaged, out, err), EdidCommands::Different);
        QVERIFY2(out.contains("\n0x0ff   f1  37  block 1 checksum\n1 byte differs.\n"),
                 qPrintable(out));
        QVERIFY(out.endsWith("  Block 1: checksum 0xf1 OK | checksum 0x37, should be 0xf1\n"));
        const QString carray = writeFile(dir.filePath("aoc.c"), cArray(readFile(aoc)).toUtf8());
        QCOMPARE(EdidCommands::diff(aoc, carray, out, err), EdidCommands::Equal);
        QVERIFY(out.endsWith("The two EDIDs are equal.\n"));
        QCOMPARE(EdidCommands::diff(aoc, dataPath("dell-p2415q-hdmi2.0.bin"), out, err),
                 EdidCommands::Different);
        for (const char* line :
             {"\n0x008   05  10  manufacturer\n", "\n0x00a   01  c5  product code\n",
              "  descriptor 2 (detailed timing in A, serial number text in B)\n",
              "\n0x07f   b0  ad  block 0 checksum\n", "block 1 data blocks\n",
              "block 1 detailed timings\n", "  Manufacturer: AOC | DEL\n",
              "  Monitor name: 24G1WG4 | DELL P2415Q\n"})
            QVERIFY2(out.contains(QLatin1String(line)), line);
        QCOMPARE(EdidCommands::diff(aoc, dataPath("sony-gdmf520-vga.bin"), out, err),
                 EdidCommands::Different);
        QVERIFY(out.contains("\n0x080   02  --  block 1 tag\n"));
        QCOMPARE(EdidCommands::diff(aoc, dir.filePath("absent"), out, err),
                 EdidCommands::Unreadable);

        // The program itself: exit status and the two streams.
        QProcess ctl;
        QSignalSpy done(&ctl, &QProcess::finished);
        ctl.start(qEnvironmentVariable("ORVE1_BIN_DIR") + "/orve1ctl", {"edid-info", damagedText});
        QVERIFY(done.wait(10000));
        QCOMPARE(ctl.exitCode(), 1);
        // Windows' console programs end their lines with CR LF.
        QVERIFY(ctl.readAllStandardOutput()
                    .replace("\r\n", "\n")
                    .contains("Block 1: checksum 0x37, should be 0xf1\n"));
        QVERIFY(ctl.readAllStandardError().isEmpty());
    }
};

QTEST_MAIN(TestEdidInfo)
#include "test_edid_info.moc"
