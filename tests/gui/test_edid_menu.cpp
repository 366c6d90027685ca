// File > Open and Save As, and the question before an upload of an image without the EDID
// header. The real dialogs and boxes are driven end to end (e2e_edid.py).
#include <QTemporaryDir>
#include <QTest>

#include "GuiRig.h"
#include "TestFiles.h"
#include "edid/TEDID_Block.h"
#include "ui/TStringGrid.h"

namespace {

using Kind = TMainForm::FileDialogKind;

}  // namespace

class TestEdidMenu : public QObject {
    Q_OBJECT

private slots:
    void openAndSaveAs() {
        GuiRig rig;
        QTemporaryDir dir;
        QStringList answers, shown;
        rig.main().setFileDialogHook([&](Kind kind, const QString& filter) {
            shown << QStringLiteral("%1 %2").arg(int(kind)).arg(filter);
            return answers.isEmpty() ? QString() : answers.takeFirst();
        });
        const QString sample = qEnvironmentVariable("ORVE1_TEST_DATA") + "/dell-p2415q-hdmi2.0.bin";
        const QString fifo = blockingNonFile(dir.path());

        // Without a generator: save right after start-up, open (Ctrl+O), save again.
        answers << dir.filePath("zeros") << sample << dir.filePath("copy.bin");
        rig.main().FileSaveAsItemClick();
        rig.main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rig.main()));
        QTest::keyClick(&rig.main(), Qt::Key_O, Qt::ControlModifier);
        rig.menuItem("FileSaveAsItem")->trigger();
        QCOMPARE(readFile(dir.filePath("zeros")), QByteArray(256, 0));
        QCOMPARE(readFile(dir.filePath("copy.bin")), readFile(sample));
        QCOMPARE(shown, QStringList({"1 Binary files (*.bin);;All files (*)",
                                     "0 Binary Files (*.bin);;All Files (*)",
                                     "1 Binary files (*.bin);;All files (*)"}));

        // Cancel, a folder, a FIFO: the image stays; a failed save keeps the old file.
        rig.main().FileOpenItemClick();
        answers << dir.path() << fifo << dir.filePath("no/such/x.bin");
        rig.main().FileOpenItemClick();
        rig.main().FileOpenItemClick();
        rig.main().FileSaveAsItemClick();
        QCOMPARE(bytesOf(rig.engine.edid()), readFile(sample));
        QCOMPARE(rig.messages, QStringList(3, "Open file error"));
        QVERIFY(rig.details[1].startsWith(fifo) && rig.details[2].contains("no/such/x.bin"));

        // A 300-byte file gives its first 256 bytes; a 128-byte file replaces bytes 0 to 127,
        // and the editor shows the old rows 9 to 16.
        answers << writeFile(dir.filePath("long"), QByteArray(256, 0x33) + QByteArray(44, 1))
                << writeFile(dir.filePath("half"), QByteArray(128, 0x0A));
        rig.main().FileOpenItemClick();
        rig.main().FileOpenItemClick();
        QStringList rows;
        TEDID_Block& editor = *rig.windows->EDID_Block;
        runModal([&] { rig.main().EDID_MemorysClick(); },
                 [&](QWidget*) {
                     for (int row : {1, 8, 9, 16}) rows << editor.StringGrid1()->Cells(16, row);
                     editor.close();
                 });
        QCOMPARE(rows, QStringList({"0A", "0A", "33", "33"}));
    }

    void uploadAsksAboutAnImageWithoutTheHeader() {
        GuiRig rig;
        QStringList accepting;
        rig.main().setConfirmHook(
            [&](const QString& text, const QString& detail, const QString& acceptText) {
                rig.questions << text + " | " + detail;
                accepting << acceptText;
                return rig.confirmAnswer;
            });
        rig.menuItem("WRITE_EDID")->trigger();  // gate closed: not even asked
        rig.makePresent();
        rig.menuItem("WRITE_EDID")->trigger();  // the start-up image, Cancel
        QVERIFY(rig.line.sent().isEmpty());
        rig.engine.edid()[0] = 0x12;
        rig.confirmAnswer = true;
        rig.menuItem("WRITE_EDID")->trigger();
        QCOMPARE(rig.line.sent(), QByteArray("UEDID \xFF \n\r"));
        QCOMPARE(rig.questions.size(), 2);
        const QString question =
            "The EDID image does not start with the EDID header "
            "00 FF FF FF FF FF FF 00. Upload it anyway? | ";
        QVERIFY2(rig.questions[0].startsWith(question + "All 256 bytes are 00."),
                 qPrintable(rig.questions[0]));
        QVERIFY2(rig.questions[1].startsWith(question + "Bytes 0 to 7 are 12 00 00"),
                 qPrintable(rig.questions[1]));
        QCOMPARE(accepting, QStringList({"Upload", "Upload"}));

        // An image with the header goes unasked.
        rig.engine.state().uedidSlot = CommandSlot::Idle;
        rig.engine.edid() = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
        rig.menuItem("WRITE_EDID")->trigger();
        QCOMPARE(rig.questions.size(), 2);
        QCOMPARE(rig.engine.state().uedidSlot, CommandSlot::AwaitingReply);
    }
};

QTEST_MAIN(TestEdidMenu)
#include "test_edid_menu.moc"
