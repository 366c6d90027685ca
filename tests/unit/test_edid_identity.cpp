// A unit's identity fields over the EDID samples (checked against edid-decode where it is
// installed), where new texts go and when they are refused, and the golden, recipe and log of a
// production run.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "TestFiles.h"
#include "edid/EdidDiff.h"
#include "edid/EdidIdentity.h"
#include "edid/EdidInfo.h"
#include "files/SafeFile.h"
#include "production/GoldenEdid.h"
#include "production/IdentityRecipe.h"
#include "production/ProductionLog.h"

namespace {

QStringList samplePaths() {
    QStringList paths;
    QStringList dirs{qEnvironmentVariable("ORVE1_TEST_DATA")};
    if (qEnvironmentVariableIsSet("ORVE1_EDID_SAMPLES"))
        dirs << qEnvironmentVariable("ORVE1_EDID_SAMPLES");
    for (const QString& dir : dirs)
        for (const QString& name : QDir(dir).entryList({"*.bin"}, QDir::Files))
            paths << dir + '/' + name;
    return paths;
}

EdidImage imageOf(const QByteArray& bytes) {
    EdidImage image{};
    std::copy_n(bytes.constBegin(), std::min<qsizetype>(bytes.size(), 256), image.begin());
    return image;
}

// edid-decode's serial number, date, name and serial text lines of the base block.
QString decodedIdentity(QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = writeFile(dir.filePath("decode.bin"), bytes);
    QProcess p;
    p.start("edid-decode", {path});
    p.waitForFinished(15000);
    const QString report = QString::fromUtf8(p.readAllStandardOutput());
    QStringList lines;
    const QRegularExpression wanted(
        R"(^\s+(Serial Number: \d+|Made in: .*|Model year: .*|Display Product Name: .*|)"
        R"(Display Product Serial Number: .*)$|^Checksum: .*$)",
        QRegularExpression::MultilineOption);
    for (auto it = wanted.globalMatch(report.section("Block 1,", 0, 0)); it.hasNext();)
        lines << it.next().captured(0).trimmed();
    return lines.join('|');
}

QString ourIdentity(const EdidImage& image) {
    const EdidIdentity::Fields f = EdidIdentity::read(image);
    QStringList lines;
    if (f.serialNumber)
        lines << QStringLiteral("Serial Number: %1").arg(f.serialNumber);
    const QString date = EdidIdentity::dateText(f.week, f.year);
    lines << (f.modelYear() ? "Model year: " + date.mid(11) : "Made in: " + date);
    // edid-decode lists the descriptors in slot order.
    for (int at : EdidInfo::DescriptorOffsets) {
        if (at == EdidInfo::descriptorOffset(image, EdidIdentity::NameTag))
            lines << QStringLiteral("Display Product Name: '%1'").arg(f.name);
        if (at == EdidInfo::descriptorOffset(image, EdidIdentity::SerialTextTag))
            lines << QStringLiteral("Display Product Serial Number: '%1'").arg(f.serialText);
    }
    lines << "Checksum: " + EdidInfo::hexByte(image[127]);
    return lines.join('|');
}

}  // namespace

class TestEdidIdentity : public QObject {
    Q_OBJECT

private slots:
    // Each sample as it is and with a unit's identity written into it: what we read is what
    // edid-decode reads, only identity bytes change, and a sample without room for a serial
    // text is refused untouched.
    void identityOverSamples() {
        const bool decode = QStandardPaths::findExecutable("edid-decode").size() > 0;
        if (!decode)
            qInfo("edid-decode is not installed: the fields are not cross-checked");
        QTemporaryDir dir;
        int patched = 0;
        for (const QString& path : samplePaths()) {
            const QByteArray bytes = readFile(path);
            const EdidImage before = imageOf(bytes);
            EdidImage image = before;
            QString error;
            QVERIFY2(
                EdidIdentity::write(image, EdidIdentity::read(before), error) && image == before,
                qPrintable(path));
            if (decode && bytes.size() <= 256 && EdidInfo(before).block(0).sound())
                QCOMPARE(ourIdentity(before), decodedIdentity(dir, bytes));

            EdidIdentity::Fields f = EdidIdentity::read(before);
            f.serialText = QStringLiteral("T-%1").arg(++patched, 4, 10, QLatin1Char('0'));
            f.serialNumber = 4000000000u + patched;
            f.week = 9;
            f.year = 2025;
            const QList<int> free = EdidIdentity::freeSlots(before);
            const int textAt = EdidInfo::descriptorOffset(before, EdidIdentity::SerialTextTag);
            if (textAt < 0 && free.isEmpty()) {
                QVERIFY(!EdidIdentity::write(image, f, error));
                QVERIFY2(error.contains("no free descriptor slot") && image == before,
                         qPrintable(error));
                continue;
            }
            QVERIFY2(EdidIdentity::write(image, f, error), qPrintable(path + ": " + error));
            QCOMPARE(EdidIdentity::read(image), f);
            QVERIFY(EdidInfo(image).block(0).sound());
            const int slot = textAt >= 0 ? textAt : free.first();
            for (const EdidDiff::Difference& d : EdidDiff::compare(bytesOf(before), bytesOf(image)))
                QVERIFY2((d.offset >= 12 && d.offset <= 17) || d.offset == 127 ||
                             (d.offset >= slot && d.offset < slot + 18),
                         qPrintable(path + ": " + d.field));
            if (decode && EdidInfo(before).block(0).sound())
                QCOMPARE(decodedIdentity(dir, bytesOf(image).left(128)),
                         ourIdentity(image).replace(QRegularExpression("\\|Checksum.*"), "") +
                             "|Checksum: " + EdidInfo::hexByte(image[127]));
        }
        QVERIFY(patched >= 6);
    }

    // Where texts go, what is refused (with the image untouched), and the other fields' bytes.
    void writingFields_data() {
        QTest::addColumn<QString>("sample");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");  // changed bytes "offset=hex ..." or "!message"
        QTest::newRow("text into free slot 2, not 1") << "apple-xdr-5k-tile1.bin"
                                                      << "serialText"
                                                      << "AB"
                                                      << "75=ff 77=41 78=42 79=0a";
        QTest::newRow("text over the old one") << "dell-p2415q-hdmi2.0.bin"
                                               << "serialText"
                                               << "G3D7F68O0LLC"
                                               << "88=43";
        QTest::newRow("13 characters, no line feed") << "dell-p2415q-hdmi2.0.bin"
                                                     << "serialText"
                                                     << "G3D7F68O0LLBX"
                                                     << "89=58";
        QTest::newRow("emptied: a dummy descriptor") << "sony-gdmf520-vga.bin"
                                                     << "serialText"
                                                     << ""
                                                     << "111=10";
        QTest::newRow("no free slot") << "aoc-c24g1-hdmi.bin"
                                      << "serialText"
                                      << "X1"
                                      << "!no free descriptor slot";
        QTest::newRow("14 characters") << "dell-p2415q-hdmi2.0.bin"
                                       << "name"
                                       << "ABCDEFGHIJKLMN"
                                       << "!at most 13";
        QTest::newRow("not ASCII") << "dell-p2415q-hdmi2.0.bin"
                                   << "name"
                                   << "D\u00c9LL"
                                   << "!not printable ASCII";
        QTest::newRow("control character") << "dell-p2415q-hdmi2.0.bin"
                                           << "serialText"
                                           << "A\tB"
                                           << "!control character 0x09";
        QTest::newRow("trailing blank") << "dell-p2415q-hdmi2.0.bin"
                                        << "name"
                                        << "DELL "
                                        << "!ends in a blank";
        QTest::newRow("vendor") << "dell-p2415q-hdmi2.0.bin"
                                << "vendor"
                                << "ABC"
                                << "8=04 9=43";
        QTest::newRow("vendor in small letters") << "dell-p2415q-hdmi2.0.bin"
                                                 << "vendor"
                                                 << "abc"
                                                 << "!three capital letters";
        QTest::newRow("model year") << "dell-p2415q-hdmi2.0.bin"
                                    << "modelYear"
                                    << "2020"
                                    << "16=ff 17=1e";
        QTest::newRow("week 55") << "dell-p2415q-hdmi2.0.bin"
                                 << "week"
                                 << "55"
                                 << "!Week 55";
    }
    void writingFields() {
        QFETCH(QString, sample);
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        const EdidImage before =
            imageOf(readFile(qEnvironmentVariable("ORVE1_TEST_DATA") + '/' + sample));
        EdidIdentity::Fields f = EdidIdentity::read(before);
        if (field == "serialText")
            f.serialText = value;
        else if (field == "name")
            f.name = value;
        else if (field == "vendor")
            f.vendor = value;
        else if (field == "week")
            f.week = value.toInt();
        else
            f = {f.vendor,      f.product, f.serialNumber, EdidIdentity::ModelYearWeek,
                 value.toInt(), f.name,    f.serialText};
        EdidImage image = before;
        QString error;
        const bool ok = EdidIdentity::write(image, f, error);
        if (expected.startsWith('!')) {
            QVERIFY2(!ok && error.contains(expected.mid(1)) && image == before, qPrintable(error));
            return;
        }
        QVERIFY2(ok, qPrintable(error));
        QStringList changed;
        for (int i = 0; i < 127; ++i)
            if (image[i] != before[i])
                changed << QStringLiteral("%1=%2").arg(i).arg(image[i], 2, 16, QLatin1Char('0'));
        // Whatever else a text's slot held before (a dummy's zeros) is not listed.
        QVERIFY2(changed.join(' ').contains(expected) || changed.join(' ') == expected,
                 qPrintable(changed.join(' ')));
        QVERIFY(EdidInfo(image).block(0).sound());
        QCOMPARE(EdidIdentity::read(image), f);
    }

    // A golden EDID must be sound; the recipe's serial numbers and dates; the log's lines.
    void goldenRecipeAndLog() {
        QTemporaryDir dir;
        GoldenEdid golden;
        QString error;
        const QString data = qEnvironmentVariable("ORVE1_TEST_DATA");
        QByteArray dell = readFile(data + "/dell-p2415q-hdmi2.0.bin");
        QVERIFY(
            !GoldenEdid::load(writeFile(dir.filePath("short.bin"), dell.left(128)), golden, error));
        QVERIFY2(error.contains("extension block"), qPrintable(error));
        dell[200] = char(dell[200] + 1);
        QVERIFY(!GoldenEdid::load(writeFile(dir.filePath("bad.bin"), dell), golden, error));
        QVERIFY2(error.contains("Block 1: checksum 0x82, should be"), qPrintable(error));
        QVERIFY(GoldenEdid::load(data + "/dell-p2415q-hdmi2.0.bin", golden, error));
        QCOMPARE(golden.sha256.size(), 64);

        struct Case {
            const char* number;
            const char* date;
            const char* serial;
            const char* expected;  // "number week year" or "!message"
        };
        // Columns: --serial-number, --date, serial, outcome. 29 December 2025 is in ISO week 1
        // of 2026.
        const Case cases[] = {
            {"digits", "today", "SN-0042", "42 1 2026"},
            {"7", "2024-W52", "X", "7 52 2024"},
            {"digits", "golden", "SN-99999999999", "!do not fit"},
            {"digits", "golden", "ABC", "!no digits"},
        };
        for (const Case& c : cases) {
            IdentityRecipe r;
            QVERIFY(r.parseNumber(c.number, error) && r.parseDate(c.date, error));
            EdidIdentity::Fields f;
            const bool ok = r.fieldsFor(golden.image, c.serial, QDate(2025, 12, 29), f, error);
            const QString got =
                ok ? QStringLiteral("%1 %2 %3").arg(f.serialNumber).arg(f.week).arg(f.year)
                   : "!" + error;
            QVERIFY2(got == c.expected || (!ok && got.contains(QString(c.expected).mid(1))),
                     qPrintable(got));
        }
        IdentityRecipe r;
        QVERIFY(!r.parseNumber("4294967296", error) && !r.parseDate("2025-W55", error) &&
                !r.parseProduct("65536", error) && r.parseProduct("0x10", error) &&
                *r.product == 16 && r.parseProduct("010", error) && *r.product == 10);
        // The golden's serial text kept, the number from the scan's digits (a plan's edid step).
        IdentityRecipe keep;
        keep.keepSerialText = true;
        keep.number = IdentityRecipe::Number::Digits;
        EdidIdentity::Fields kept;
        QVERIFY(keep.fieldsFor(golden.image, "SN-42", QDate(2025, 12, 29), kept, error));
        QCOMPARE(kept.serialText + ' ' + QString::number(kept.serialNumber),
                 EdidIdentity::read(golden.image).serialText + " 42");

        // Fields with commas, quotes and line breaks stay one line and read back as written.
        const QString log = dir.filePath("log.csv");
        ProductionLog::Record rec{"2025-03-01T10:00:00+01:00",
                                  "st",
                                  "A,\"1\"",
                                  "1",
                                  "9",
                                  "2025",
                                  "g.bin",
                                  "aa",
                                  "bb",
                                  false,
                                  "Read back",
                                  "No Response !!\nx"};
        QVERIFY(ProductionLog::append(log, rec, error));
        rec.serialText = "B";
        rec.pass = true;
        QVERIFY(ProductionLog::append(log, rec, error));
        const QList<QByteArray> lines = readFile(log).split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0] + '\n', ProductionLog::Header);
        QCOMPARE(ProductionLog::fields(lines[1]).value(2), QStringLiteral("A,\"1\""));
        QCOMPARE(ProductionLog::fields(lines[1]).value(11), QStringLiteral("No Response !! x"));
        ProductionLog::Earlier found;
        QVERIFY(ProductionLog::earlier(log, "A,\"1\"", {}, found, error));
        QCOMPARE(found.sameText, QStringList{"FAIL, 2025-03-01T10:00:00+01:00, st, at Read back"});
        QVERIFY(ProductionLog::earlier(log, "A", 2, found, error) && found.isEmpty());
        // Another serial with a number already given, and the highest number given.
        rec.serialNumber = "70003";
        rec.stopped = true;
        rec.pass = false;
        QVERIFY(ProductionLog::append(log, rec, error));
        QVERIFY(ProductionLog::earlier(log, "C", 1, found, error));
        QCOMPARE(found.sameNumber,
                 QStringList({"A,\"1\" FAIL, 2025-03-01T10:00:00+01:00, st, at Read back",
                              "B PASS, 2025-03-01T10:00:00+01:00, st, at Read back"}));
        std::optional<quint32> highest;
        QVERIFY(ProductionLog::highestNumber(log, highest, error) && highest == 70003u);
        QCOMPARE(ProductionLog::fields(readFile(log).split('\n').value(3)).value(9), "STOPPED");
        QVERIFY(!SafeFile::writeProblem(dir.filePath("none/log.csv")).isEmpty());

        // The serial format is the last column of a new log; a log begun without it keeps its
        // layout, with Windows line ends too.
        rec.serialFormat = "^B$";
        QVERIFY(ProductionLog::append(log, rec, error));
        QCOMPARE(ProductionLog::fields(readFile(log).split('\n').value(4)).value(12), "^B$");
        const QString old = writeFile(dir.filePath("old.csv"),
                                      QByteArray(ProductionLog::OldHeader).replace("\n", "\r\n"));
        QVERIFY(ProductionLog::append(old, rec, error));
        QCOMPARE(ProductionLog::fields(readFile(old).split('\n').value(1)).size(), 12);
    }
};

QTEST_GUILESS_MAIN(TestEdidIdentity)
#include "test_edid_identity.moc"
