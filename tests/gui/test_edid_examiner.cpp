// EDID > Inspect...: the summary and the checksum lines of the image, the window following the
// image (File > Open, Import, the editor's OK, a completed read), "Fix checksums" through to an
// upload and a read back, edid-decode's report and its absence; File > Import EDID Text.
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "GuiRig.h"
#include "ModelGenerator.h"
#include "TestFiles.h"
#include "ctl/EdidCommands.h"
#include "edid/DeclaredTimings.h"
#include "edid/EdidCodec.h"
#include "edid/EdidDecodeRun.h"
#include "edid/EdidInfo.h"
#include "edid/TEDID_Block.h"
#include "edid/TEDID_Examiner.h"
#include "edid/TEDID_Import.h"
#include "timing/TTimings.h"
#include "ui/TStringGrid.h"

namespace {

QByteArray aoc() {
    return readFile(qEnvironmentVariable("ORVE1_TEST_DATA") + "/aoc-c24g1-hdmi.bin");
}

// The AOC sample with block 1's checksum byte spoilt.
QByteArray damaged() {
    QByteArray b = aoc();
    b[255] = char(0x37);
    return b;
}

QString xrandrText(const QByteArray& edid) {
    QString text = "HDMI-1 connected 1920x1080+0+0 (0x47) normal\n\tIdentifier: 0x43\n\tEDID: \n";
    for (int i = 0; i < edid.size(); i += 16)
        text += "\t\t" + QString::fromLatin1(edid.mid(i, 16).toHex()) + '\n';
    return text + "\tnon-desktop: 0 \n";
}

QString fakeDecoder(QTemporaryDir& dir, const QString& body) {
    const QString path =
        writeFile(dir.filePath("edid-decode"), ("#!/bin/sh\n" + body + "\n").toUtf8());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QStringList captions(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << a->text();
    return out;
}

struct Examiner {
    GuiRig& rig;
    TEDID_Examiner& w;

    explicit Examiner(GuiRig& r, const QString& decoder = QStringLiteral("/no/such/edid-decode"))
        : rig(r), w(*r.windows->edidExaminer()) {
        w.decoder()->setProgram(decoder);
    }
    QString block(int i) const { return w.BlockLabel(i)->text(); }
    QColor colour(int i) const { return w.BlockLabel(i)->palette().color(QPalette::WindowText); }
    QString summary() const { return w.Summary()->toPlainText(); }
    // Waits for the edid-decode run that the last change started.
    bool decoded() {
        if (!w.decoder()->isRunning() && w.decoder()->outcome() != EdidDecodeRun::Outcome::None)
            return true;
        QSignalSpy done(w.decoder(), &EdidDecodeRun::finished);
        return done.wait(15000);
    }
};

// Runs the link's two timers in simulated time against the model until the message shows.
bool runUntilMessage(GuiRig& rig, ModelGenerator& model, const QString& text) {
    for (int step = 1; step <= 1200; ++step) {
        rig.clock.now += 100;
        model.deliver(rig.clock.now);
        rig.engine.receivePoll();
        if (step % 5 == 0)
            rig.engine.supervisionTick();
        if (rig.messages.contains(text))
            return true;
    }
    return false;
}

}  // namespace

class TestEdidExaminer : public QObject {
    Q_OBJECT

private slots:
    // The window shows the image and follows it; opening it and refreshing change no byte.
    void showsTheImageAndFollowsIt() {
        GuiRig rig;
        Examiner in(rig);
        QCOMPARE(captions(rig.main().findChild<QMenu*>("File1")),
                 QStringList({"&Open", "Save &As...", "Import EDID Text...", "E&xit"}));
        QCOMPARE(captions(rig.main().findChild<QMenu*>("EDID1")),
                 QStringList({"Read EDID", "Upload EDID", "Write EDID", "Memory", "Inspect...",
                              "Production..."}));

        rig.menuItem("EDID_Inspect")->trigger();
        QVERIFY(in.w.isVisible() && !in.w.isModal());
        QCOMPARE(in.w.windowTitle(), QStringLiteral("EDID Inspector"));
        QVERIFY(in.summary().startsWith("Header: missing (all 256 bytes are 00)\nVersion: 0.0\n"));
        QCOMPARE(in.block(0), QStringLiteral("Block 0: checksum 0x00 OK"));
        QCOMPARE(in.block(1), QStringLiteral("Block 1: not in use (byte 126 is 0)"));
        QVERIFY(!in.w.FixChecksums()->isEnabled());
        // Without edid-decode the window says how to get it and keeps our own summary.
        QVERIFY(in.decoded());
        QVERIFY(in.w.DecodeStatus()->text().contains("sudo apt install edid-decode"));
        QCOMPARE(in.w.ConformityLabel()->text(),
                 QStringLiteral("EDID conformity: not checked (edid-decode is not installed)"));
        QVERIFY(in.summary().contains("Manufacturer: @@@"));

        QTemporaryDir dir;
        rig.main().loadEdidFile(writeFile(dir.filePath("damaged.bin"), damaged()));
        QCOMPARE(in.block(0), QStringLiteral("Block 0: checksum 0xb0 OK"));
        QCOMPARE(in.block(1), QStringLiteral("Block 1: checksum 0x37, should be 0xf1"));
        QCOMPARE(in.colour(0), TEDID_Examiner::SoundColor);
        QCOMPARE(in.colour(1), TEDID_Examiner::FailColor);
        QCOMPARE(in.w.BlockLabel(1)->accessibleName(), in.block(1));
        for (QWidget* form :
             {static_cast<QWidget*>(&in.w), static_cast<QWidget*>(rig.windows->edidImport())}) {
            for (QWidget* c : form->findChildren<QWidget*>()) {
                if (qobject_cast<QLabel*>(c) || qobject_cast<QAbstractButton*>(c) ||
                    qobject_cast<QPlainTextEdit*>(c) || qobject_cast<QGroupBox*>(c))
                    QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
            }
        }
        QVERIFY(in.w.FixChecksums()->isEnabled());
        QVERIFY(in.summary().contains("\nManufacturer: AOC\n"));
        QVERIFY(in.summary().contains("\nMonitor name: 24G1WG4\n"));
        QCOMPARE(bytesOf(rig.engine.edid()), damaged());

        // The editor's OK: block 0's checksum byte (row 8, column 16) set to 00.
        TEDID_Block& editor = *rig.windows->EDID_Block;
        runModal([&] { rig.menuItem("EDID_Memorys")->trigger(); },
                 [&](QWidget*) {
                     editor.StringGrid1()->setCells(16, 8, "00");
                     editor.Button1()->click();
                 });
        QCOMPARE(in.block(0), QStringLiteral("Block 0: checksum 0x00, should be 0xb0"));
        // Closed with the close box the editor changes nothing, and nothing is refreshed.
        runModal([&] { rig.menuItem("EDID_Memorys")->trigger(); },
                 [&](QWidget*) { editor.close(); });
        QCOMPARE(in.block(0), QStringLiteral("Block 0: checksum 0x00, should be 0xb0"));

        // An import: a refused text changes nothing, a good one is shown.
        QVERIFY(!rig.main().importEdidText("no EDID here"));
        QCOMPARE(rig.messages.last(),
                 QStringLiteral("No EDID: the text holds no hexadecimal bytes "
                                "(such as \"00 ff ff ff ff ff ff 00 ...\", the "
                                "lines under \"EDID:\" of xrandr --verbose, "
                                "edid-decode's hex dump or a C array)."));
        QCOMPARE(rig.details.last(), QStringLiteral("The EDID image is unchanged."));
        QCOMPARE(in.block(0), QStringLiteral("Block 0: checksum 0x00, should be 0xb0"));
        QVERIFY(rig.main().importEdidText(xrandrText(aoc())));
        QCOMPARE(bytesOf(rig.engine.edid()), aoc());
        QCOMPARE(in.block(0), QStringLiteral("Block 0: checksum 0xb0 OK"));
        QCOMPARE(in.block(1), QStringLiteral("Block 1: checksum 0xf1 OK"));

        // A read that completes: the window shows what the generator served, even hidden.
        in.w.close();
        rig.makePresent();
        rig.line.answerFrames = false;
        const QByteArray served = damaged();
        QVERIFY(rig.engine.startCommand(Command::Redid));
        rig.line.feed("OK1\r\n");
        for (int i = 0; i < 20 && rig.messages.size() < 2; ++i) {
            const QByteArray request = rig.line.sent().right(3);
            rig.line.clearSent();
            if (request.size() == 3 && request[0] == ' ' && request[2] == ' ')
                rig.line.feed(EdidCodec::encodeBlock(
                    reinterpret_cast<const quint8*>(served.constData()) + quint8(request[1])));
            rig.pump();
        }
        QCOMPARE(rig.messages.last(), QStringLiteral("  Read EDID Successful!!  "));
        QCOMPARE(in.block(1), QStringLiteral("Block 1: checksum 0x37, should be 0xf1"));
        QVERIFY(!in.w.decoder()->isRunning());  // hidden: edid-decode waits for the showing
        rig.menuItem("EDID_Inspect")->trigger();
        QVERIFY(in.w.decoder()->isRunning() ||
                in.w.decoder()->outcome() == EdidDecodeRun::Outcome::None);
        QVERIFY(in.decoded());
        QCOMPARE(bytesOf(rig.engine.edid()), served);
    }

    // An operator opens an EDID whose block 1 checksum fails, presses "Fix checksums", uploads
    // it and reads it back: both blocks hold, the editor and a saved file agree, and so does
    // orve1ctl edid-info.
    void fixChecksumsThenUploadAndReadBack() {
        GuiRig rig;
        Examiner in(rig);
        QTemporaryDir dir;
        const QString opened = writeFile(dir.filePath("damaged.bin"), damaged());
        QString out, err;
        QCOMPARE(EdidCommands::info(opened, out, err), EdidCommands::ChecksumFails);
        rig.main().loadEdidFile(opened);
        rig.menuItem("EDID_Inspect")->trigger();
        QVERIFY(in.w.FixChecksums()->isEnabled());
        QCOMPARE(bytesOf(rig.engine.edid()), damaged());  // seeing is not fixing

        in.w.FixChecksums()->click();
        QCOMPARE(bytesOf(rig.engine.edid()), aoc());
        QCOMPARE(in.block(1), QStringLiteral("Block 1: checksum 0xf1 OK"));
        QCOMPARE(in.w.FixNote()->text(),
                 QStringLiteral("Changed block 1's checksum byte (offset 255) from 0x37 to 0xf1."));
        QVERIFY(!in.w.FixChecksums()->isEnabled());
        QString cell;
        TEDID_Block& editor = *rig.windows->EDID_Block;
        runModal([&] { rig.menuItem("EDID_Memorys")->trigger(); },
                 [&](QWidget*) {
                     cell = editor.StringGrid1()->Cells(16, 16);
                     editor.close();
                 });
        QCOMPARE(cell, QStringLiteral("F1"));

        rig.makePresent();
        rig.line.answerFrames = false;
        ModelGenerator model;
        model.attach(rig.line, rig.clock);
        rig.menuItem("WRITE_EDID")->trigger();
        QVERIFY(runUntilMessage(rig, model, "Upload successful!!"));
        QCOMPARE(bytesOf(model.lastUpload), aoc());
        rig.engine.edid().fill(0);
        rig.menuItem("EDID_READ")->trigger();
        QVERIFY(runUntilMessage(rig, model, "  Read EDID Successful!!  "));
        QCOMPARE(in.block(0), QStringLiteral("Block 0: checksum 0xb0 OK"));
        QCOMPARE(in.block(1), QStringLiteral("Block 1: checksum 0xf1 OK"));
        const QString saved = dir.filePath("read back.bin");
        QVERIFY(rig.main().saveEdidFile(saved));
        QCOMPARE(EdidCommands::info(saved, out, err), EdidCommands::Sound);
        QVERIFY(out.endsWith("Block 0: checksum 0xb0 OK\nBlock 1: checksum 0xf1 OK\n"));
        QVERIFY(model.violations.empty());
    }

    // edid-decode's report: its conformity line at the top in colour, its exit status in words,
    // fed the blocks in use only; Copy Report takes everything.
    void decodeReport() {
#ifdef Q_OS_WIN
        QSKIP("the stand-in edid-decode is a shell script");
#endif
        GuiRig rig;
        QTemporaryDir dir;
        Examiner in(rig,
                    fakeDecoder(dir, "echo \"bytes: $(wc -c)\"; echo 'EDID conformity: PASS'"));
        QTemporaryDir files;
        const QByteArray sony =
            readFile(qEnvironmentVariable("ORVE1_TEST_DATA") + "/sony-gdmf520-vga.bin");
        rig.main().loadEdidFile(writeFile(files.filePath("sony.bin"), sony));
        rig.menuItem("EDID_Inspect")->trigger();
        QVERIFY(in.decoded());
        QCOMPARE(in.w.ConformityLabel()->text(), QStringLiteral("EDID conformity: PASS"));
        QCOMPARE(in.w.ConformityLabel()->palette().color(QPalette::WindowText),
                 TEDID_Examiner::SoundColor);
        QCOMPARE(in.w.DecodeStatus()->text(),
                 QStringLiteral("edid-decode decoded the EDID (exit status 0)."));
        QVERIFY(in.w.Report()->toPlainText().startsWith("bytes: 128\n"));
        QCOMPARE(in.w.decodedBytes(), sony);

        in.w.CopyReportClick();
        const QString copied = QApplication::clipboard()->text();
        QVERIFY(copied.startsWith("Header: OK\nVersion: 1.2\nManufacturer: SNY\n"));
        QVERIFY(copied.contains("\nBlock 1: not in use (byte 126 is 0)\n"));
        QVERIFY(copied.contains("\nEDID conformity: PASS\n"));
        QVERIFY(copied.endsWith("bytes: 128\nEDID conformity: PASS\n"));

        in.w.decoder()->setProgram(fakeDecoder(dir, "echo 'EDID conformity: FAIL'; exit 254"));
        rig.main().loadEdidFile(writeFile(files.filePath("aoc.bin"), aoc()));
        QVERIFY(in.decoded());
        QCOMPARE(in.w.decodedBytes(), aoc());
        QCOMPARE(in.w.ConformityLabel()->palette().color(QPalette::WindowText),
                 TEDID_Examiner::FailColor);
        QVERIFY(in.w.DecodeStatus()->text().contains("(exit status 254)"));

        in.w.decoder()->setProgram(fakeDecoder(dir, "echo 'EDID length 5 is odd.'; exit 255"));
        in.w.refresh();
        QVERIFY(in.decoded());
        QCOMPARE(in.w.ConformityLabel()->text(), QStringLiteral("EDID conformity: not known"));
        QCOMPARE(in.w.DecodeStatus()->text(),
                 QStringLiteral("edid-decode says this is not an EDID (exit status 255)."));

        // The real program, where it is installed.
        if (EdidDecodeRun::findProgram("edid-decode").isEmpty())
            QSKIP("edid-decode is not installed: its real report is not checked");
        in.w.decoder()->setProgram("edid-decode");
        in.w.refresh();
        QVERIFY(in.decoded());
        QCOMPARE(in.w.ConformityLabel()->text(), QStringLiteral("EDID conformity: FAIL"));
        QVERIFY(in.w.Report()->toPlainText().contains("Manufacturer: AOC"));
    }

    // File > Import EDID Text: a refused text keeps the dialog open and the image as it was; a
    // text file fills the box; a binary file is refused.
    void importDialog() {
        GuiRig rig;
        TEDID_Import& d = *rig.windows->edidImport();
        QCOMPARE(d.TextMemo()->accessibleName(), QStringLiteral("TextMemo"));
        QCOMPARE(d.ImportButton()->accessibleName(), QStringLiteral("Import"));
        QTemporaryDir dir;
        QString choose;
        d.ChooseTextFile = [&] { return choose; };
        bool stayedOpen = false;
        QWidget* seen =
            runModal([&] { rig.menuItem("FileImportItem")->trigger(); },
                     [&](QWidget*) {
                         d.TextMemo()->setPlainText("00 ff ff ff ff ff ff 0");
                         d.ImportButton()->click();
                         stayedOpen = d.isVisible();
                         choose = writeFile(dir.filePath("edid.bin"), aoc());
                         d.OpenTextButton()->click();
                         choose = writeFile(dir.filePath("x.txt"), xrandrText(aoc()).toUtf8());
                         d.OpenTextButton()->click();
                         d.ImportButton()->click();
                     });
        QCOMPARE(seen, &d);
        QVERIFY(stayedOpen);
        QVERIFY(!d.isVisible());
        QCOMPARE(rig.messages.size(), 2);
        QVERIFY(rig.messages[0].startsWith("An odd number of hexadecimal digits"));
        QCOMPARE(rig.messages[1], QStringLiteral("The text file cannot be read."));
        QVERIFY(rig.details[1].contains("not a text file"));
        QCOMPARE(bytesOf(rig.engine.edid()), aoc());

        // Cancel takes nothing.
        rig.engine.edid().fill(0x11);
        runModal([&] { rig.menuItem("FileImportItem")->trigger(); },
                 [&](QWidget*) { d.CancelButton()->click(); });
        QCOMPARE(bytesOf(rig.engine.edid()), QByteArray(256, 0x11));
        // Up to 256 bytes from 0, the rest kept, as File > Open does.
        QVERIFY(rig.main().importEdidText(
            readFile(qEnvironmentVariable("ORVE1_TEST_DATA") + "/sony-gdmf520-vga.bin")
                .toHex(' ')));
        QCOMPARE(bytesOf(rig.engine.edid()).mid(128), QByteArray(128, 0x11));
    }

    // The built-in timings a real EDID declares; "Mark in Timings" opens Edit > Timing with
    // exactly those rows marked and sends nothing; an EDID that declares none says so.
    void declaredTimingsMarkedInTimings() {
        GuiRig rig;
        Examiner in(rig);
        rig.makePresent();
        rig.main().loadEdidFile(qEnvironmentVariable("ORVE1_TEST_DATA") +
                                "/dell-p2415q-hdmi2.0.bin");
        QCOMPARE(in.w.DeclaredGroup()->title(),
                 QStringLiteral("Built-in timings this EDID declares: 24 of 35"));
        const QStringList lines = in.w.DeclaredList()->toPlainText().split('\n');
        QVERIFY(lines.contains("31  720x576I       VIC 22, VIC 21"));
        QVERIFY(lines.contains("Modes without a built-in timing: 15"));
        QVERIFY(in.w.reportText().contains("\n19  1600x1200-60   Standard timing 4\n"));
        TTimings& timings = *rig.windows->Timings;
        QList<int> marked;
        QWidget* seen = runModal([&] { in.w.MarkInTimings()->click(); },
                                 [&](QWidget* modal) {
                                     for (int n = 1; n <= 35; ++n)
                                         if (timings.StringGrid3()->Cells(0, n) == TTimings::Mark)
                                             marked << n;
                                     modal->close();
                                 });
        QCOMPARE(seen, &timings);
        QCOMPARE(DeclaredTimings::rangeText(marked),
                 QStringLiteral("1,3,6,8,10,12,16-17,19,21-35"));
        QVERIFY(rig.line.sent().isEmpty());
        QCOMPARE(rig.engine.data().TimingSelection,
                 (std::array<quint8, 35>{}));  // cleared on close

        rig.main().loadEdidFile(qEnvironmentVariable("ORVE1_TEST_DATA") +
                                "/apple-xdr-5k-tile1.bin");
        QCOMPARE(in.w.DeclaredGroup()->title(),
                 QStringLiteral("Built-in timings this EDID declares: 0 of 35"));
        QVERIFY(in.w.DeclaredList()->toPlainText().startsWith(
            "This EDID declares none of the 35 built-in timings.\n"));
        QVERIFY(!in.w.MarkInTimings()->isEnabled());
    }
};

QTEST_MAIN(TestEdidExaminer)
#include "test_edid_examiner.moc"
