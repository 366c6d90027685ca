// File > Open and Save As, and the EDID menu: what the dialogs and boxes are, what opening and
// saving do to the image and the files, the failures, and the question before an upload of
// an image without the EDID header.
#include <sys/stat.h>

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "GuiRig.h"
#include "edid/TEDID_Block.h"
#include "ui/TStringGrid.h"

namespace {

using Kind = TMainForm::FileDialogKind;

QString sample() {
    return qEnvironmentVariable("ORVE1_TEST_DATA") + "/dell-p2415q-hdmi2.0.bin";
}

QByteArray bytesOf(const EdidImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), int(image.size()));
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// The file dialogs answer from a list of paths (empty: cancel) and note what they were shown.
struct Dialogs {
    QStringList answers;
    QList<Kind> kinds;
    QStringList filters;

    explicit Dialogs(GuiRig& rig) {
        rig.main().setFileDialogHook([this](Kind kind, const QString& filter) {
            kinds << kind;
            filters << filter;
            return answers.isEmpty() ? QString() : answers.takeFirst();
        });
    }
};

// The data bytes of a framed data phase (blank, byte, blank each).
QByteArray unframe(const QByteArray& wire) {
    QByteArray out;
    for (int i = 1; i < wire.size(); i += 3) out += wire[i];
    return out;
}

}  // namespace

class TestEdidMenu : public QObject {
    Q_OBJECT

private slots:
    void openAndSaveAs() {
        GuiRig rig;
        Dialogs dialogs(rig);
        QTemporaryDir dir;

        // Right after start-up, without a generator: 256 zeros.
        dialogs.answers << dir.filePath("startup");
        rig.menuItem("FileSaveAsItem")->trigger();
        QCOMPARE(readFile(dir.filePath("startup")), QByteArray(256, 0));

        // Open, then Save As: the same bytes (Ctrl+O opens too).
        dialogs.answers << sample() << dir.filePath("copy.bin");
        rig.main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rig.main()));
        QTest::keyClick(&rig.main(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(bytesOf(rig.engine.edid()), readFile(sample()));
        rig.main().FileSaveAsItemClick();
        QCOMPARE(readFile(dir.filePath("copy.bin")), readFile(sample()));
        QCOMPARE(dialogs.kinds, QList<Kind>({Kind::Save, Kind::Open, Kind::Save}));
        QCOMPARE(dialogs.filters[1], QStringLiteral("Binary Files (*.bin);;All Files (*)"));
        QCOMPARE(dialogs.filters[2], QStringLiteral("Binary files (*.bin);;All files (*)"));

        // Cancel changes nothing and says nothing.
        const QByteArray before = bytesOf(rig.engine.edid());
        writeFile(dir.filePath("copy.bin"), "old");
        rig.main().FileOpenItemClick();
        rig.main().FileSaveAsItemClick();
        QCOMPARE(bytesOf(rig.engine.edid()), before);
        QCOMPARE(readFile(dir.filePath("copy.bin")), QByteArray("old"));

        // A 300-byte file gives its first 256 bytes.
        const QByteArray longer = QByteArray(256, '\x33') + QByteArray(44, '\x44');
        dialogs.answers << writeFile(dir.filePath("long.bin"), longer);
        rig.main().FileOpenItemClick();
        QCOMPARE(bytesOf(rig.engine.edid()), longer.left(256));

        // A 128-byte file replaces bytes 0 to 127; the editor shows the old rows 9 to 16.
        dialogs.answers << writeFile(dir.filePath("half.bin"), QByteArray(128, '\x0A'));
        rig.main().FileOpenItemClick();
        QStringList rows;
        TEDID_Block& editor = *rig.windows->EDID_Block;
        runModal([&] { rig.menuItem("EDID_Memorys")->trigger(); },
                 [&](QWidget*) {
                     for (int row : {1, 8, 9, 16}) rows << editor.StringGrid1()->Cells(16, row);
                     editor.close();
                 });
        QCOMPARE(rows, QStringList({"0A", "0A", "33", "33"}));
        QVERIFY(rig.messages.isEmpty());
    }

    void failuresSayOpenFileErrorAndKeepEverything() {
        GuiRig rig;
        Dialogs dialogs(rig);
        QTemporaryDir dir;
        rig.engine.edid().fill(0x66);
        const QString fifo = dir.filePath("pipe.bin");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

        dialogs.answers << dir.path() << fifo << dir.filePath("missing.bin");
        for (int i = 0; i < 3; ++i) rig.main().FileOpenItemClick();
        QCOMPARE(rig.messages, QStringList(3, "Open file error"));
        QVERIFY(rig.details[0].contains(dir.path()) && rig.details[0].contains("folder"));
        QVERIFY(rig.details[1].contains(fifo) && rig.details[1].contains("not a regular file"));
        QCOMPARE(bytesOf(rig.engine.edid()), QByteArray(256, '\x66'));

        // A save that cannot be made leaves the old file alone.
        rig.messages.clear();
        rig.details.clear();
        const QString kept = writeFile(dir.filePath("kept.bin"), "kept");
        QDir(dir.path()).mkdir("sub");
        dialogs.answers << dir.filePath("no/such/folder/x.bin") << dir.filePath("sub");
        rig.main().FileSaveAsItemClick();
        rig.main().FileSaveAsItemClick();
        QCOMPARE(rig.messages, QStringList(2, "Open file error"));
        QVERIFY2(rig.details[0].contains("no/such/folder/x.bin") &&
                     rig.details[0].contains("No such file"),
                 qPrintable(rig.details[0]));
        QCOMPARE(readFile(kept), QByteArray("kept"));
    }

    // The real dialogs, driven as the operator would: the filters they show, a file chosen.
    void realFileDialogs() {
        GuiRig rig;
        QTemporaryDir dir;
        QStringList filters[2];
        QString titles[2];
        runModal([&] { rig.main().FileOpenItemClick(); },
                 [&](QWidget* modal) {
                     auto* dialog = qobject_cast<QFileDialog*>(modal);
                     QVERIFY(dialog);
                     QCOMPARE(dialog->objectName(), QStringLiteral("OpenDialog1"));
                     filters[0] = dialog->nameFilters();
                     titles[0] = dialog->windowTitle();
                     dialog->selectFile(sample());
                     static_cast<QDialog*>(dialog)->accept();  // as the Open or Save button
                 });
        QCOMPARE(bytesOf(rig.engine.edid()), readFile(sample()));
        const QString target = dir.filePath("saved");  // no extension is added
        runModal([&] { rig.main().FileSaveAsItemClick(); },
                 [&](QWidget* modal) {
                     auto* dialog = qobject_cast<QFileDialog*>(modal);
                     QVERIFY(dialog);
                     QCOMPARE(dialog->objectName(), QStringLiteral("SaveDialog1"));
                     filters[1] = dialog->nameFilters();
                     titles[1] = dialog->windowTitle();
                     dialog->selectFile(target);
                     static_cast<QDialog*>(dialog)->accept();  // as the Open or Save button
                 });
        QCOMPARE(readFile(target), readFile(sample()));
        QCOMPARE(filters[0], QStringList({"Binary Files (*.bin)", "All Files (*)"}));
        QCOMPARE(filters[1], QStringList({"Binary files (*.bin)", "All files (*)"}));
        QCOMPARE(QStringList({titles[0], titles[1]}), QStringList({"Open", "Save As"}));
        // Cancel, through the dialog itself.
        rig.engine.edid().fill(1);
        runModal([&] { rig.main().FileOpenItemClick(); },
                 [&](QWidget* modal) {
                     if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                         dialog->selectFile(sample());
                         dialog->reject();
                     }
                 });
        QCOMPARE(bytesOf(rig.engine.edid()), QByteArray(256, 1));
        QVERIFY(rig.messages.isEmpty());
    }

    void uploadAsksBeforeSendingAnImageWithoutTheHeader() {
        GuiRig rig;
        QStringList asked;
        bool answer = false;
        rig.main().setConfirmHook(
            [&](const QString& text, const QString& detail, const QString& acceptText) {
                asked << text + " | " + detail + " | " + acceptText;
                return answer;
            });
        // With the gate closed nothing is asked either.
        rig.menuItem("WRITE_EDID")->trigger();
        QVERIFY(asked.isEmpty());

        rig.makePresent();
        rig.menuItem("WRITE_EDID")->trigger();
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].startsWith("The EDID image does not start with the EDID header "
                                     "00 FF FF FF FF FF FF 00. Upload it anyway? | All 256 "
                                     "bytes are 00"),
                 qPrintable(asked[0]));
        QVERIFY(asked[0].endsWith(" | Upload"));
        QVERIFY(rig.line.sent().isEmpty());
        QCOMPARE(rig.engine.state().uedidSlot, CommandSlot::Idle);

        rig.engine.edid()[0] = 0x12;
        answer = true;
        rig.menuItem("WRITE_EDID")->trigger();
        QVERIFY2(asked[1].contains("Bytes 0 to 7 are 12 00 00 00 00 00 00 00."),
                 qPrintable(asked[1]));
        QCOMPARE(rig.line.sent(), QByteArray("UEDID \xFF \n\r"));
        QCOMPARE(rig.engine.state().uedidSlot, CommandSlot::AwaitingReply);

        // A real EDID goes without a question, byte for byte.
        rig.engine.state().uedidSlot = CommandSlot::Idle;
        rig.line.clearSent();
        Dialogs dialogs(rig);
        dialogs.answers << sample();
        rig.main().FileOpenItemClick();
        rig.menuItem("WRITE_EDID")->trigger();
        QCOMPARE(asked.size(), 2);
        QCOMPARE(rig.line.sent(), QByteArray("UEDID \xFF \n\r"));
        rig.line.clearSent();
        rig.pump();
        QCOMPARE(unframe(rig.line.sent()), readFile(sample()));
        rig.line.feed("OK");
        rig.pump();
        QCOMPARE(rig.messages, QStringList{"Upload successful!!"});
    }

    // The real box: "Upload" and "Cancel", Cancel the default; Cancel sends nothing.
    void realUploadQuestion() {
        GuiRig rig;
        rig.makePresent();
        QStringList buttons;
        bool cancelIsDefault = false;
        runModal([&] { rig.menuItem("WRITE_EDID")->trigger(); },
                 [&](QWidget* modal) {
                     auto* box = qobject_cast<QMessageBox*>(modal);
                     QVERIFY(box);
                     for (QAbstractButton* b : box->buttons()) buttons << b->text();
                     cancelIsDefault = box->defaultButton() &&
                                       box->defaultButton()->text() == QStringLiteral("Cancel");
                     QTest::keyClick(box, Qt::Key_Escape);
                 });
        buttons.sort();
        QCOMPARE(buttons, QStringList({"Cancel", "Upload"}));
        QVERIFY(cancelIsDefault);
        QVERIFY(rig.line.sent().isEmpty());
        runModal([&] { rig.menuItem("WRITE_EDID")->trigger(); },
                 [&](QWidget* modal) {
                     if (auto* box = qobject_cast<QMessageBox*>(modal))
                         for (QAbstractButton* b : box->buttons())
                             if (b->text() == QStringLiteral("Upload"))
                                 b->click();
                 });
        QCOMPARE(rig.line.sent(), QByteArray("UEDID \xFF \n\r"));
    }

    void readAndWriteStartFromTheMenu() {
        GuiRig rig;
        rig.makePresent();
        rig.menuItem("EDID_READ")->trigger();
        QCOMPARE(rig.line.sent(), QByteArray("REDID \x00 \n\r", 10));
        QCOMPARE(rig.engine.state().redidSlot, CommandSlot::AwaitingReply);
        rig.menuItem("WriteEDID1")->trigger();  // outstanding read: refused
        QCOMPARE(rig.line.sent().size(), 10);
    }
};

QTEST_MAIN(TestEdidMenu)
#include "test_edid_menu.moc"
