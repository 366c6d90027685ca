// The auto-run programme outside the window: legal steps, packing and the bytes sent, and the
// text file that the editor and orve1ctl share.
#include <QTemporaryDir>
#include <QTest>

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

// The ATRN data bytes for a programme packed as the editor packs it.
QByteArray atrnBytes(const ProgramTable& table) {
    EngineRig rig;
    ProgramPacker::PackProgram(table, rig.engine.data().ProgramUpload);
    rig.start(Command::Atrn);
    rig.line.clearSent();
    rig.answer("OK");
    QByteArray out;
    const QByteArray wire = rig.line.sent();
    for (int i = 1; i < wire.size(); i += 3) out += wire[i];
    return out;
}

}  // namespace

class TestProgramme : public QObject {
    Q_OBJECT

private slots:
    void legality() {
        ProgramTable t;
        // 256 and 315 would pass for 0 and 59 if cut to a byte; 255 is an empty field.
        for (qint32 time : {0, 1, 2, 59, 60, 255, 256, 315, -1}) {
            setStep(t, 0, 34, 38, 1, time);
            const bool legal = time >= 1 && time <= 59;
            QVERIFY2(ProgramPacker::isLegalStep(t, 0) == legal, qPrintable(QString::number(time)));
        }
        for (int field = 0; field < 4; ++field) {  // any one field cleared by Delete
            setStep(t, 0, 0, 0, 0, 3);
            quint8* fields[] = {&t.timing[0], &t.pattern[0], &t.unit[0]};
            if (field < 3)
                *fields[field] = 255;
            else
                t.showTime[0] = 255;
            QVERIFY(!ProgramPacker::isLegalStep(t, 0));
        }
        setStep(t, 0, 35, 0, 0, 3);  // not a timing the generator knows
        QVERIFY(!ProgramPacker::isLegalStep(t, 0));
    }

    void packingAndPayloads() {
        ProgramTable t;  // legal in rows 3 and 7 only
        setStep(t, 2, 0, 0, 0, 3);
        setStep(t, 6, 4, 12, 1, 5);
        setStep(t, 3, 1, 1, 0, 315);
        t.timing[5] = 7;
        QByteArray bytes = atrnBytes(t);
        QCOMPARE(bytes.size(), 130);
        QCOMPARE(bytes.left(9), QByteArray::fromHex("2000000003040c0105"));
        QCOMPARE(bytes.mid(9, 120), QByteArray(120, char(255)));
        QCOMPARE(quint8(bytes.back()), quint8(63));
        QCOMPARE(ProgramPacker::summaryText(t), QStringLiteral("2 legal steps, 5 min 3 s per run"));

        ProgramTable one;
        setStep(one, 0, 0, 0, 0, 3);
        bytes = atrnBytes(one);
        QCOMPARE(bytes.left(5), QByteArray::fromHex("2000000003"));
        QCOMPARE(bytes.mid(5, 124), QByteArray(124, char(255)));
        QCOMPARE(quint8(bytes.back()), quint8(89));
        QCOMPARE(ProgramPacker::durationText(32 * 59 * 60 + 5), QStringLiteral("31 h 28 min 5 s"));
    }

    void fileRoundTrip() {
        ProgramTable t;
        setStep(t, 0, 0, 0, 0, 3);
        setStep(t, 3, 34, 38, 1, 59);
        t.timing[5] = 4;  // incomplete and out-of-range steps are kept as the editor shows them
        setStep(t, 6, 9, 255, 1, 315);
        const QString text = ProgramFile::write(t);
        QCOMPARE(text.section('\n', 1),
                 QStringLiteral("1 1 s 3\n35 39 m 59\n5 - - -\n10 - m 315\n"));
        ProgramTable back;
        QString e;
        QList<int> lines;
        QVERIFY2(ProgramFile::read(text, back, e, &lines), qPrintable(e));
        QCOMPARE(lines, QList<int>({2, 3, 4, 5}));  // steps come back from the front
        QCOMPARE(back.showTime[3], 315);
        QCOMPARE(ProgramFile::write(back), text);
        QVERIFY(ProgramFile::read("# x\r\n\r\n  6 13 S 5  # long\r\n1\t1 M 2\r\n", back, e));
        QCOMPARE(back.pattern[0], quint8(12));
        QCOMPARE(back.unit[1], quint8(1));

        QTemporaryDir dir;
        QVERIFY(ProgramFile::save(dir.filePath("p.txt"), t, e));
        QVERIFY(ProgramFile::load(dir.filePath("p.txt"), back, e));
        QCOMPARE(ProgramFile::write(back), text);
        QVERIFY(!ProgramFile::save(dir.filePath("no/dir/p.txt"), t, e));
        QFile big(dir.filePath("big.txt"));
        big.open(QIODevice::WriteOnly);
        big.write(QByteArray(70000, '#'));
        big.close();
        QVERIFY(!ProgramFile::load(big.fileName(), back, e));
        QVERIFY(e.contains("not a programme file"));
    }

    void fileRejectionsNameTheLine() {
        const char* const bad[][2] = {
            {"1 1 s 3\n1 1 s\n", "line 2: expected TIMING PATTERN s|m TIME, got '1 1 s'"},
            {"# x\n1 1 h 3\n", "line 2: unit 'h' is not s or m"},
            {"0 1 s 3\n", "line 1: timing '0' is not 1..35"},
            {"\n\n36 1 s 3\n", "line 3: timing '36' is not 1..35"},
            {"1 40 s 3\n", "line 1: pattern '40' is not 1..39"},
            {"x 1 s 3\n", "line 1: timing 'x' is not a number"},
            {"1 1 s abc\n", "line 1: show time 'abc' is not a whole number"},
            {"1 1 s 99999999999\n", "line 1: show time '99999999999' is not a whole number"},
        };
        for (const auto& b : bad) {
            ProgramTable t;
            setStep(t, 0, 1, 2, 0, 9);
            const ProgramTable before = t;
            QString e;
            QVERIFY2(!ProgramFile::read(QString::fromLatin1(b[0]), t, e), b[0]);
            QCOMPARE(e, QString::fromLatin1(b[1]));
            QVERIFY(t == before);
        }
        ProgramTable t;
        QString e;
        QVERIFY(!ProgramFile::read(QString("1 1 s 3\n").repeated(33), t, e));
        QCOMPARE(e, QStringLiteral("line 33: more than 32 steps"));
    }

    // orve1ctl reads the same files, refusing any step that the generator would not be sent.
    void ctlReadsTheSameFile() {
        const char* const bad[][2] = {
            {"1 1 s 3\n1 1 s 60\n", "line 2: show time '60'"},
            {"1 1 s 315\n", "line 1: show time '315'"},
            {"1 1 s 3\n\n1 - s 3\n", "line 3: the step has an empty field"},
            {"# nothing\n", "the programme has no steps"},
        };
        ProgramColumns p;
        QString e;
        for (const auto& b : bad) {
            QVERIFY2(!CtlArguments::parseProgramme(QString::fromLatin1(b[0]), p, e), b[0]);
            QVERIFY2(e.startsWith(QLatin1String(b[1])), qPrintable(e));
        }

        ProgramTable t;
        setStep(t, 4, 5, 12, 0, 5);
        setStep(t, 9, 9, 0, 1, 2);
        setStep(t, 20, 29, 26, 0, 30);
        QTemporaryDir dir;
        const QString path = dir.filePath("three.txt");
        QVERIFY(ProgramFile::save(path, t, e));
        CtlRequest r;
        QVERIFY2(CtlArguments::parse({"programme", path}, r, e), qPrintable(e));
        ProgramColumns fromEditor;
        QCOMPARE(ProgramPacker::PackProgram(t, fromEditor), 3);
        QCOMPARE(r.programme.timing, fromEditor.timing);
        QCOMPARE(r.programme.pattern, fromEditor.pattern);
        QCOMPARE(r.programme.unit, fromEditor.unit);
        QCOMPARE(r.programme.showTime, fromEditor.showTime);

        QFile bad2(dir.filePath("p.txt"));
        bad2.open(QIODevice::WriteOnly);
        bad2.write("1 1 s 3\nbad line\n");
        bad2.close();
        QVERIFY(!CtlArguments::parse({"programme", bad2.fileName()}, r, e));
        QVERIFY(e.contains("p.txt: line 2"));
        QVERIFY(!CtlArguments::parse({"programme", dir.filePath("missing.txt")}, r, e));
        QVERIFY(e.contains("missing.txt"));
    }
};

QTEST_GUILESS_MAIN(TestProgramme)
#include "test_programme.moc"
