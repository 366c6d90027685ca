// The data phases of the selection and programme uploads: bytes, checksums, progress.
#include <QTest>

#include "EngineRig.h"
#include "ProgrammeSteps.h"
#include "Wire.h"
#include "programme/ProgramPacker.h"

namespace {

QByteArray runUpload(EngineRig& rig, Command c) {
    if (!rig.start(c))
        return "not started";
    rig.line.clearSent();
    rig.answer("OK");
    return unframe(rig.line.sent());
}

quint8 sum(const QByteArray& bytes) {
    quint8 s = 0;
    for (char b : bytes) s += quint8(b);
    return s;
}

}  // namespace

class TestTableUploads : public QObject {
    Q_OBJECT

private slots:
    void timingSelection() {
        EngineRig rig;
        rig.engine.data().TimingSelection[0] = 1;
        QByteArray expect(1, 35);
        expect += char(1);
        expect += QByteArray(34, 0);
        expect += char(220);
        QCOMPARE(runUpload(rig, Command::Tmgs), expect);

        rig.answer("OK");
        rig.engine.data().TimingSelection.fill(1);
        const QByteArray all = runUpload(rig, Command::Tmgs);
        QCOMPARE(all.size(), 37);
        QCOMPARE(all.mid(1, 35), QByteArray(35, 1));
        QCOMPARE(quint8(all.back()), quint8(186));
    }

    void patternSelection() {
        EngineRig rig;
        auto& sel = rig.engine.data().PatternSelection;
        sel[0] = sel[1] = sel[4] = 1;
        const QByteArray bytes = runUpload(rig, Command::Ptns);
        QCOMPARE(bytes.size(), 41);
        QCOMPARE(quint8(bytes[0]), quint8(39));
        QCOMPARE(bytes.mid(1, 5), QByteArray::fromHex("0101000001"));
        QCOMPARE(bytes.mid(6, 34), QByteArray(34, 0));
        QCOMPARE(quint8(bytes.back()), quint8(214));

        rig.answer("OK");
        sel.fill(1);
        QCOMPARE(quint8(runUpload(rig, Command::Ptns).back()), quint8(178));
    }

    void programmeSteps() {
        EngineRig rig;
        ProgramColumns table;
        table.clear();
        // Legal steps in rows 3 and 7 only; the others are incomplete or out of range.
        auto set = [&](int s, int t, int p, int u, int time) { setStep(table, s, t, p, u, time); };
        set(2, 0, 0, 0, 3);
        set(6, 4, 12, 1, 5);
        set(0, 1, 1, 0, 0);
        set(1, 1, 1, 0, 60);
        set(3, 1, 255, 0, 5);
        QCOMPARE(ProgramPacker::PackProgram(table, rig.engine.data().ProgramUpload), 2);
        QByteArray bytes = runUpload(rig, Command::Atrn);
        QCOMPARE(bytes.size(), 130);
        QCOMPARE(quint8(bytes[0]), quint8(32));
        QCOMPARE(bytes.mid(1, 8), QByteArray::fromHex("00000003040c0105"));
        QCOMPARE(bytes.mid(9, 120), QByteArray(120, char(255)));
        QCOMPARE(quint8(bytes.back()), quint8(63));

        rig.answer("OK");
        table.clear();
        set(0, 0, 0, 0, 3);
        QCOMPARE(ProgramPacker::PackProgram(table, rig.engine.data().ProgramUpload), 1);
        bytes = runUpload(rig, Command::Atrn);
        QCOMPARE(quint8(bytes.back()), quint8(89));
        QCOMPARE(sum(bytes), quint8(0));
    }

    void progressClimbsToHundredThenPanelThenChecksum() {
        EngineRig rig;
        rig.engine.data().TimingSelection.fill(1);
        runUpload(rig, Command::Tmgs);
        std::vector<int> expected{0};
        for (int i = 0; i < 35; ++i) {
            const int p = (i * 100 + 100) / 35;
            if (p > expected.back())
                expected.push_back(p);
        }
        QCOMPARE(rig.view.gauges, expected);
        QCOMPARE(rig.view.gauges.back(), 100);
        // Each step sleeps 1 ms and yields once; the panel switch comes after the last step.
        QCOMPARE(rig.clock.sleeps, std::vector<quint32>(expected.size() - 1, 1));
        QCOMPARE(rig.view.events.count("yield"), int(expected.size() - 1));
        QVERIFY(rig.view.events.indexOf("panel0") > rig.view.events.lastIndexOf("yield"));

        // The programme moves the gauge after every step of four bytes: 3, 6, 9 ... 100.
        EngineRig prog;
        prog.engine.data().ProgramUpload.clear();
        runUpload(prog, Command::Atrn);
        QCOMPARE(prog.view.gauges.size(), size_t(33));
        QCOMPARE(prog.view.gauges[1], 3);
        QCOMPARE(prog.view.gauges.back(), 100);
    }

    void whatIsSentIsWhatWasThereWhenTheUploadStarted() {
        // Closing a dialog clears its table; closed between Upload and the generator's first
        // answer, the upload still sends the selection it was started with.
        EngineRig rig;
        auto& sel = rig.engine.data().TimingSelection;
        sel.fill(0);
        sel[4] = 1;
        QVERIFY(rig.start(Command::Tmgs));
        sel.fill(0);
        rig.line.clearSent();
        rig.answer("OK");
        const QByteArray bytes = unframe(rig.line.sent());
        QCOMPARE(bytes.mid(1, 35), QByteArray(4, 0) + QByteArray(1, 1) + QByteArray(30, 0));
        QCOMPARE(quint8(bytes.back()), quint8(220));

        // The EDID image likewise: an editor's OK before the answer changes nothing sent.
        EngineRig edid;
        edid.engine.edid().fill(0x11);
        QVERIFY(edid.start(Command::Uedid));
        edid.engine.edid().fill(0x22);
        edid.line.clearSent();
        edid.answer("OK");
        QCOMPARE(unframe(edid.line.sent()), QByteArray(256, 0x11));
    }

    void bytesAndChecksumAgreeWhenTheDialogChangesTheTable() {
        EngineRig rig;
        auto& sel = rig.engine.data().PatternSelection;
        sel[0] = 1;
        // The dialog is closed (clearing the ticks) or ticked again while the upload yields.
        int yields = 0;
        rig.view.onYield = [&] { (++yields % 2) ? sel.fill(0) : sel.fill(1); };
        const QByteArray bytes = runUpload(rig, Command::Ptns);
        QCOMPARE(sum(bytes), quint8(0));
        QCOMPARE(bytes.mid(1, 39), QByteArray(1, 1) + QByteArray(38, 0));

        EngineRig prog;
        ProgramColumns& up = prog.engine.data().ProgramUpload;
        up.clear();
        up.timing[0] = up.pattern[0] = up.unit[0] = 0;
        up.showTime[0] = 3;
        prog.view.onYield = [&] { up.showTime[0] = 59; };
        const QByteArray atrn = runUpload(prog, Command::Atrn);
        QCOMPARE(quint8(atrn[4]), quint8(3));
        QCOMPARE(quint8(atrn.back()), quint8(89));
    }
};

QTEST_GUILESS_MAIN(TestTableUploads)
#include "test_table_uploads.moc"
