// The auto-run programme outside the window: which steps are legal, how they are packed and
// sent, and the text file that the editor and orve1ctl share.
#include <QTemporaryDir>
#include <QtTest>

#include "EngineRig.h"
#include "ctl/CtlArguments.h"
#include "programme/ProgramFile.h"
#include "programme/ProgramPacker.h"

namespace {

void setStep(ProgramTable& t, int s, int timing, int pattern, int unit, qint32 time) {
    t.timing[s] = quint8(timing);
    t.pattern[s] = quint8(pattern);
    t.unit[s] = quint8(unit);
    t.showTime[s] = time;
}

// The data bytes of the ATRN data phase for a programme packed as the editor packs it.
QByteArray atrnBytes(const ProgramTable& table) {
    EngineRig rig;
    ProgramPacker::PackProgram(table, rig.engine.data().ProgramUpload);
    if (!rig.start(Command::Atrn))
        return "not started";
    rig.line.clearSent();
    rig.answer("OK");
    const QByteArray wire = rig.line.sent();
    QByteArray out;
    for (int i = 0; i + 2 < wire.size(); i += 3) out += wire[i + 1];
    return out;
}

QByteArray empties(int steps) {
    return QByteArray(4 * steps, char(255));
}

QString writeFile(QTemporaryDir& dir, const char* name, const QByteArray& bytes) {
    QFile f(dir.filePath(QLatin1String(name)));
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return f.fileName();
}

}  // namespace

class TestProgramme : public QObject {
    Q_OBJECT

private slots:
    void legality() {
        ProgramTable t;
        const struct {
            qint32 time;
            bool legal;
        } times[] = {{0, false},   {1, true},    {2, true},    {59, true},  {60, false},
                     {255, false}, {256, false}, {315, false}, {-1, false}, {-255, false}};
        for (const auto& c : times) {
            setStep(t, 0, 0, 0, 0, c.time);
            QVERIFY2(ProgramPacker::isLegalStep(t, 0) == c.legal,
                     qPrintable(QString::number(c.time)));
            ProgramColumns up;
            QCOMPARE(ProgramPacker::PackProgram(t, up), c.legal ? 1 : 0);
            QCOMPARE(up.showTime[0], quint8(c.legal ? c.time : 255));
        }
        // A field cleared by Delete (255) makes the step illegal, whichever field it is.
        for (int field = 0; field < 4; ++field) {
            setStep(t, 0, 34, 38, 1, 59);
            QVERIFY(ProgramPacker::isLegalStep(t, 0));
            if (field == 0)
                t.timing[0] = 255;
            else if (field == 1)
                t.pattern[0] = 255;
            else if (field == 2)
                t.unit[0] = 255;
            else
                t.showTime[0] = 255;
            QVERIFY2(!ProgramPacker::isLegalStep(t, 0), qPrintable(QString::number(field)));
        }
        t.clearStep(0);
        QVERIFY(!t.hasAnyField(0));
        // Values the generator does not know are never legal either.
        setStep(t, 0, 35, 0, 0, 3);
        QVERIFY(!ProgramPacker::isLegalStep(t, 0));
        setStep(t, 0, 0, 39, 0, 3);
        QVERIFY(!ProgramPacker::isLegalStep(t, 0));
        setStep(t, 0, 0, 0, 2, 3);
        QVERIFY(!ProgramPacker::isLegalStep(t, 0));
    }

    void packingAndPayloads() {
        // Rows 3 and 7 (steps 2 and 6) only: packed positions 0 and 1, then 30 empty steps.
        ProgramTable t;
        setStep(t, 2, 0, 0, 0, 3);
        setStep(t, 6, 4, 12, 1, 5);
        setStep(t, 3, 1, 1, 0, 315);
        setStep(t, 4, 1, 1, 0, 256);
        t.timing[5] = 7;
        QByteArray bytes = atrnBytes(t);
        QCOMPARE(bytes.size(), 130);
        QCOMPARE(quint8(bytes[0]), quint8(32));
        QCOMPARE(bytes.mid(1, 8), QByteArray::fromHex("00000003040c0105"));
        QCOMPARE(bytes.mid(9, 120), empties(30));
        QCOMPARE(quint8(bytes.back()), quint8(63));

        ProgramTable one;
        setStep(one, 0, 0, 0, 0, 3);
        bytes = atrnBytes(one);
        QCOMPARE(bytes.mid(0, 5), QByteArray::fromHex("2000000003"));
        QCOMPARE(bytes.mid(5, 124), empties(31));
        QCOMPARE(quint8(bytes.back()), quint8(89));

        // What the operator is told UpLoad sends.
        QCOMPARE(ProgramPacker::legalStepCount(t), 2);
        QCOMPARE(ProgramPacker::runSeconds(t), qint64(3 + 5 * 60));
        QCOMPARE(ProgramPacker::summaryText(t), QStringLiteral("2 legal steps, 5 min 3 s per run"));
        QCOMPARE(ProgramPacker::summaryText(one), QStringLiteral("1 legal step, 3 s per run"));
        QCOMPARE(ProgramPacker::summaryText(ProgramTable()),
                 QStringLiteral("No legal step: UpLoad has nothing to send"));
        QCOMPARE(ProgramPacker::durationText(0), QStringLiteral("0 s"));
        QCOMPARE(ProgramPacker::durationText(3600), QStringLiteral("1 h"));
        QCOMPARE(ProgramPacker::durationText(32 * 59 * 60), QStringLiteral("31 h 28 min"));
        QCOMPARE(ProgramPacker::durationText(3605), QStringLiteral("1 h 5 s"));
    }

    void fileRoundTrip() {
        ProgramTable t;
        setStep(t, 0, 0, 0, 0, 3);
        setStep(t, 3, 34, 38, 1, 59);
        // Incomplete and out-of-range steps are kept as the editor shows them.
        t.timing[5] = 4;
        setStep(t, 6, 9, 255, 1, 315);
        setStep(t, 7, 1, 2, 0, -7);
        const QString text = ProgramFile::write(t);
        QVERIFY(text.startsWith('#'));
        QCOMPARE(text.section('\n', 1),
                 QStringLiteral("1 1 s 3\n35 39 m 59\n5 - - -\n10 - m 315\n2 3 s -7\n"));

        ProgramTable back;
        QString e;
        QList<int> lines;
        QVERIFY2(ProgramFile::read(text, back, e, &lines), qPrintable(e));
        QCOMPARE(lines, QList<int>({2, 3, 4, 5, 6}));
        // Steps come back from the front, in order; the packed programme is the same.
        ProgramColumns a;
        ProgramColumns b;
        QCOMPARE(ProgramPacker::PackProgram(t, a), 2);
        QCOMPARE(ProgramPacker::PackProgram(back, b), 2);
        QVERIFY(a.timing == b.timing && a.pattern == b.pattern && a.unit == b.unit &&
                a.showTime == b.showTime);
        QCOMPARE(back.showTime[3], 315);
        QCOMPARE(back.timing[2], quint8(4));
        QCOMPARE(back.pattern[2], quint8(255));
        QCOMPARE(ProgramFile::write(back), text);

        // Comments, blank lines, Windows line ends, capitals and extra blanks are all fine.
        QVERIFY(ProgramFile::read("# warm-up\r\n\r\n  6 13 S 5  # long\r\n1\t1 M 2\r\n", back, e));
        QCOMPARE(back.timing[0], quint8(5));
        QCOMPARE(back.pattern[0], quint8(12));
        QCOMPARE(back.unit[1], quint8(1));
        QVERIFY(!back.hasAnyField(2));

        // Through real files; saving replaces the old file completely.
        QTemporaryDir dir;
        const QString path = dir.filePath("p.txt");
        QVERIFY(ProgramFile::save(path, t, e));
        QVERIFY(ProgramFile::save(path, ProgramTable(), e));
        QVERIFY(ProgramFile::load(path, back, e, &lines));
        QVERIFY(lines.isEmpty());
        QVERIFY(!ProgramFile::save(dir.filePath("no/such/dir/p.txt"), t, e));
        QVERIFY(!e.isEmpty());
    }

    void fileRejectionsNameTheLine() {
        const struct {
            const char* text;
            const char* reason;
        } bad[] = {
            {"1 1 s 3\n1 1 s\n", "line 2: expected TIMING PATTERN s|m TIME, got '1 1 s'"},
            {"1 1 s 3 4\n", "line 1: expected"},
            {"# x\n1 1 h 3\n", "line 2: unit 'h' is not s or m"},
            {"0 1 s 3\n", "line 1: timing '0' is not 1..35"},
            {"\n\n36 1 s 3\n", "line 3: timing '36' is not 1..35"},
            {"1 40 s 3\n", "line 1: pattern '40' is not 1..39"},
            {"x 1 s 3\n", "line 1: timing 'x' is not a number"},
            {"1 1.5 s 3\n", "line 1: pattern '1.5' is not a number"},
            {"1 1 s abc\n", "line 1: show time 'abc' is not a whole number"},
            {"1 1 s 99999999999\n", "line 1: show time '99999999999' is not a whole number"},
            {"-1 1 s 3\n", "line 1: timing '-1' is not a number"},
        };
        for (const auto& b : bad) {
            ProgramTable t;
            setStep(t, 0, 1, 2, 0, 9);
            const ProgramTable before = t;
            QString e;
            QVERIFY2(!ProgramFile::read(QString::fromLatin1(b.text), t, e), b.text);
            QVERIFY2(e.startsWith(QLatin1String(b.reason)), qPrintable(e));
            QVERIFY(t == before);
        }
        QString many;
        for (int i = 0; i < 33; ++i) many += "1 1 s 3\n";
        ProgramTable t;
        QString e;
        QVERIFY(!ProgramFile::read(many, t, e));
        QCOMPARE(e, QStringLiteral("line 33: more than 32 steps"));

        QTemporaryDir dir;
        QVERIFY(!ProgramFile::load(dir.filePath("missing.txt"), t, e));
        QVERIFY(!e.isEmpty());
        QVERIFY(!ProgramFile::load(writeFile(dir, "big.txt", QByteArray(70000, '#')), t, e));
        QVERIFY(e.contains("not a programme file"));
        QVERIFY(!ProgramFile::load(writeFile(dir, "bin.txt", QByteArray("1 1 s 3\n\0", 9)), t, e));
        QVERIFY(e.contains("not a programme file"));
    }

    // orve1ctl reads the same file but refuses any step the generator would not be sent.
    void ctlReadsTheSameFile() {
        ProgramColumns p;
        QString e;
        QVERIFY(CtlArguments::parseProgramme("# warm-up\n\n1 1 s 3\n  5 13 m 5   # long\n", p, e));
        QCOMPARE(p.timing[0], quint8(0));
        QCOMPARE(p.pattern[1], quint8(12));
        QCOMPARE(p.unit[1], quint8(1));
        QCOMPARE(p.showTime[1], quint8(5));
        QCOMPARE(p.timing[2], quint8(255));

        const struct {
            const char* text;
            const char* reason;
        } bad[] = {
            {"1 1 s 3\n1 1 s 60\n", "line 2: show time '60'"},
            {"1 1 s 0\n", "show time '0'"},
            {"1 1 s 315\n", "show time '315'"},
            {"1 1 s 3\n\n1 - s 3\n", "line 3: the step has an empty field"},
            {"36 1 s 3\n", "line 1: timing"},
            {"1 1 s\n", "expected"},
            {"# nothing\n\n", "no steps"},
        };
        for (const auto& b : bad) {
            QVERIFY2(!CtlArguments::parseProgramme(b.text, p, e), b.text);
            QVERIFY2(e.contains(b.reason), qPrintable(e));
        }

        // A file saved by the editor and read by orve1ctl packs to the same upload.
        ProgramTable t;
        setStep(t, 4, 5, 12, 0, 5);
        setStep(t, 9, 9, 0, 1, 2);
        setStep(t, 20, 29, 26, 0, 30);
        QTemporaryDir dir;
        const QString path = dir.filePath("three.txt");
        QVERIFY(ProgramFile::save(path, t, e));
        CtlRequest r;
        QVERIFY2(CtlArguments::parse({"programme", path}, r, e), qPrintable(e));
        ProgramColumns fromCtl;
        ProgramColumns fromEditor;
        QCOMPARE(ProgramPacker::PackProgram(r.programme, fromCtl), 3);
        QCOMPARE(ProgramPacker::PackProgram(t, fromEditor), 3);
        QVERIFY(fromCtl.timing == fromEditor.timing && fromCtl.pattern == fromEditor.pattern &&
                fromCtl.unit == fromEditor.unit && fromCtl.showTime == fromEditor.showTime);

        QVERIFY(!CtlArguments::parse({"programme", dir.filePath("missing.txt")}, r, e));
        QVERIFY(e.contains("missing.txt"));
        const QString bad2 = writeFile(dir, "p.txt", "1 1 s 3\nbad line\n");
        QVERIFY(!CtlArguments::parse({"programme", bad2}, r, e));
        QVERIFY(e.contains("p.txt: line 2"));
    }
};

QTEST_GUILESS_MAIN(TestProgramme)
#include "test_programme.moc"
