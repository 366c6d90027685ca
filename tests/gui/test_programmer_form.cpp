// The programme editor on a fake line: layout, steps built with the boxes and the mouse,
// Delete, the show-time check, the upload and its protection, Load and Save.
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "GuiRig.h"
#include "programme/TProgrammer_Form.h"
#include "ui/TStringGrid.h"

namespace {

const QString Seven = QStringLiteral("       ");
const QString NothingLegal = QStringLiteral("No legal step: UpLoad has nothing to send");

// The editor open on the rig's windows (shown directly: the modal loop adds nothing here).
struct EditorRig : GuiRig {
    TProgrammer_Form& f = *windows->Programmer_Form;
    TStringGrid& grid = *f.StringGrid5();

    EditorRig() {
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
    }
    void reopen() {
        f.close();
        f.show();
    }
    void pressRow(int row, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(grid.viewport(), button, {}, grid.cellRect(1, row).center());
    }
    // A whole step for the current row. Each box first leaves its item, as only a change of
    // the box writes into the step.
    void fillStep(int timing, int pattern, int unit, const QString& time) {
        const int items[] = {timing, pattern, unit};
        QComboBox* boxes[] = {f.PCBox1(), f.PCBox2(), f.PCBox3()};
        for (int i = 0; i < 3; ++i) {
            boxes[i]->setCurrentIndex(items[i] == 0 ? 1 : 0);
            boxes[i]->setCurrentIndex(items[i]);
        }
        f.PCBox4()->setEditText(time);
    }
    QStringList row(int r) const {
        QStringList out;
        for (int c = 0; c < 5; ++c) out << grid.Cells(c, r);
        return out;
    }
    QColor cellColour(int col, int r) {
        const QRect rect = grid.cellRect(col, r);
        return grid.viewport()->grab().toImage().pixelColor(rect.right() - 3, rect.bottom() - 3);
    }
    // Data bytes of the framed data phase on the line.
    QByteArray dataPhase() const {
        QByteArray out;
        const QByteArray wire = line.sent();
        for (int i = 1; i < wire.size(); i += 3) out += wire[i];
        return out;
    }
    // Presses Load... or Save... and names the file in the dialog that opens.
    void throughDialog(QPushButton* button, const QString& path) {
        runModal([&] { button->click(); },
                 [&](QWidget* modal) {
                     auto* d = qobject_cast<QFileDialog*>(modal);
                     QVERIFY(d);
                     d->selectFile(path);
                     static_cast<QDialog*>(d)->accept();  // QFileDialog hides it
                 });
    }
};

}  // namespace

class TestProgrammerForm : public QObject {
    Q_OBJECT

private slots:
    void layoutAndOpening() {
        EditorRig rig;
        TProgrammer_Form& f = rig.f;
        QTRY_COMPARE(f.frameGeometry().size(), QSize(661, 414));
        QCOMPARE(rig.row(0), QStringList({"Seq.", "         Timing", "            Pattern",
                                          "         Unit", " Show Time"}));
        QCOMPARE(rig.grid.RowCount(), 33);
        QCOMPARE(rig.grid.Cells(0, 32), QStringLiteral("31"));
        QCOMPARE(f.PCBox1()->count(), 35);
        QCOMPARE(f.PCBox4()->itemText(58), QStringLiteral("59"));
        QCOMPARE(
            f.Label5()->text(),
            QStringLiteral("Note.  For every timing pattern have to shown at least 3 seconds"));
        QCOMPARE(f.Label5()->font().family(), QStringLiteral("Times New Roman"));
        // Load..., Save... and the summary line keep clear of the designed controls.
        for (QWidget* added :
             {static_cast<QWidget*>(f.LoadButton()), static_cast<QWidget*>(f.SaveButton()),
              static_cast<QWidget*>(f.ProgramSummary())}) {
            QVERIFY(f.rect().contains(added->geometry()));
            for (QWidget* w : f.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
                QVERIFY2(w == added || !added->geometry().intersects(w->geometry()),
                         qPrintable(added->objectName() + " over " + w->objectName()));
        }

        QCOMPARE(rig.row(5).mid(1), QStringList(4, Seven));
        QCOMPARE(f.currentStepRow(), 1);
        rig.pressRow(3);
        rig.fillStep(9, 2, 1, "4");
        QCOMPARE(rig.row(3), QStringList({"2", "1024x768-60", "Red", "Minute", "4"}));
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&rig.grid);
        QCOMPARE(table->tableInterface()->cellAt(2, 2)->text(QAccessible::Name),
                 QStringLiteral("Red"));
        QTest::keyClick(&f, Qt::Key_Escape);  // closing would throw the programme away
        QVERIFY(f.isVisible());

        // Reopening (here through the menu, modally) discards the programme; the boxes keep
        // their last choice.
        f.close();
        bool emptied = false;
        runModal([&] { rig.main().Program1Click(); },
                 [&](QWidget* active) {
                     emptied = active == &f && f.programTable() == ProgramTable() &&
                               rig.row(3).mid(1) == QStringList(4, Seven) &&
                               f.currentStepRow() == 1 &&
                               f.ProgramSummary()->text() == NothingLegal;
                     f.close();
                 });
        QVERIFY(emptied);
        QCOMPARE(f.PCBox1()->currentText(), QStringLiteral("1024x768-60"));
    }

    void stepsFromTheBoxesAreSentAsTheExample() {
        EditorRig rig;
        rig.makePresent();
        rig.f.Button1()->click();
        QCOMPARE(rig.messages, QStringList({"There is no legal item"}));
        QVERIFY(rig.line.puts.empty());
        rig.messages.clear();

        rig.fillStep(0, 0, 0, "3");
        rig.pressRow(2);
        rig.fillStep(4, 12, 1, "5");
        QCOMPARE(rig.row(1), QStringList({"0", "640x480-60", "White", "Second", "3"}));
        QCOMPARE(rig.row(2), QStringList({"1", "800x600-56", "Color Bar", "Minute", "5"}));
        QCOMPARE(rig.f.ProgramSummary()->text(),
                 QStringLiteral("2 legal steps, 5 min 3 s per run"));
        // The current row stands out, its step number included.
        QCOMPARE(rig.cellColour(0, 2), TStringGrid::activeCaptionColor());
        QCOMPARE(rig.cellColour(4, 1), rig.grid.windowColor());

        rig.main().Memo1()->setPlainText("old reply");
        rig.f.Button1()->click();
        QCOMPARE(rig.line.sent(), QByteArray("ATRN \x82 \n\r"));
        QCOMPARE(rig.main().Memo1()->toPlainText(), QString());
        // No file dialog may open inside the upload's yields and hold its bytes back.
        QVERIFY(!rig.f.LoadButton()->isEnabled() && !rig.f.SaveButton()->isEnabled());
        rig.line.clearSent();
        rig.pump();
        const QByteArray bytes = rig.dataPhase();
        QCOMPARE(bytes.size(), 130);
        QCOMPARE(bytes.left(9), QByteArray::fromHex("2000000003040c0105"));
        QCOMPARE(quint8(bytes.back()), quint8(63));
        rig.line.feed("OK");
        rig.pump();
        QCOMPARE(rig.messages, QStringList({"Upload successful!!"}));
        QTRY_VERIFY(rig.f.LoadButton()->isEnabled() && rig.f.SaveButton()->isEnabled());
    }

    void deleteClearsTheRowLastPressedWithTheMouse() {
        EditorRig rig;
        rig.pressRow(5);
        rig.fillStep(1, 1, 0, "5");
        rig.pressRow(3);
        rig.fillStep(2, 2, 1, "2");
        rig.grid.setFocus();
        QTest::keyClick(&rig.grid, Qt::Key_Down);
        QTest::keyClick(&rig.grid, Qt::Key_Down);
        QCOMPARE(rig.grid.Row(), 5);
        QTest::keyClick(&rig.grid, Qt::Key_Delete);
        QCOMPARE(rig.row(3), QStringList({"2", "   ", "   ", "   ", "   "}));
        QVERIFY(!rig.f.programTable().hasAnyField(2));
        QCOMPARE(rig.row(5), QStringList({"4", "640x480-72", "Blue", "Second", "5"}));
        QCOMPARE(rig.f.ProgramSummary()->text(), QStringLiteral("1 legal step, 5 s per run"));
    }

    void showTimeIsHeldWholeAndTextIsChecked() {
        EditorRig rig;
        rig.fillStep(0, 0, 0, "5");
        rig.f.PCBox4()->setEditText("abc");
        QCOMPARE(rig.messages, QStringList({"'abc' is not a valid integer value"}));
        QCOMPARE(rig.grid.Cells(4, 1), QStringLiteral("5"));
        QCOMPARE(rig.f.programTable().showTime[0], 5);
        for (const char* text : {"315", "256", "0"}) {  // a byte would make them 59 and 0
            rig.f.PCBox4()->setEditText(text);
            QCOMPARE(rig.grid.Cells(4, 1), QString::fromLatin1(text));
            QCOMPARE(rig.f.programTable().showTime[0], QByteArray(text).toInt());
            QCOMPARE(rig.f.ProgramSummary()->text(), NothingLegal);
        }
        // Text that names no item empties the field and shows an empty cell.
        rig.f.PCBox1()->setEditText("640x480");
        rig.f.PCBox3()->setEditText("Sec");
        QCOMPARE(rig.row(1), QStringList({"0", "", "White", "", "0"}));
        QCOMPARE(rig.f.programTable().timing[0], quint8(255));
        QCOMPARE(rig.f.programTable().unit[0], quint8(255));
        rig.f.PCBox3()->setEditText("Minute");
        QCOMPARE(rig.f.programTable().unit[0], quint8(1));
    }

    void anotherUploadCannotChangeWhatIsSent() {
        EditorRig rig;
        ProgramTable first;
        first.timing[0] = first.pattern[0] = first.unit[0] = 0;
        first.showTime[0] = 3;
        ProgramTable second;
        second.timing[4] = 34;
        second.pattern[4] = 38;
        second.unit[4] = 1;
        second.showTime[4] = 59;
        rig.makePresent();
        rig.f.loadTable(first);
        rig.f.Button1()->click();
        QCOMPARE(rig.engine.state().atrnSlot, CommandSlot::AwaitingReply);
        const auto sentTimings = rig.engine.data().ProgramUpload.timing;

        // Before the first reply: packed for the count, but neither sent nor stored.
        rig.f.loadTable(second);
        const size_t before = rig.line.puts.size();
        rig.f.Button1()->click();
        QCOMPARE(rig.line.puts.size(), before);
        QCOMPARE(rig.engine.data().ProgramUpload.timing, sentTimings);

        // During the data phase: a press waiting in the event queue runs in its yields.
        bool pressed = false;
        QTimer::singleShot(0, &rig.f, [&] {
            rig.f.Button1()->click();
            pressed = true;
        });
        rig.line.clearSent();
        rig.pump();
        QVERIFY(pressed);
        const QByteArray bytes = rig.dataPhase();
        QCOMPARE(bytes.left(5), QByteArray::fromHex("2000000003"));
        QCOMPARE(quint8(bytes.back()), quint8(89));
        rig.line.feed("OK");
        rig.pump();

        // Once it is over, UpLoad sends what the editor shows.
        rig.f.Button1()->click();
        rig.line.clearSent();
        rig.pump();
        QCOMPARE(rig.dataPhase().mid(1, 4), QByteArray::fromHex("2226013b"));
    }

    void loadAndSave() {
        EditorRig rig;
        QTemporaryDir dir;
        rig.f.SaveButton()->click();
        QCOMPARE(rig.messages, QStringList({"There is no step to save"}));
        rig.fillStep(5, 12, 0, "5");
        rig.pressRow(2);
        rig.fillStep(29, 26, 0, "30");
        rig.f.PCBox2()->setEditText("no such pattern");
        rig.throughDialog(rig.f.SaveButton(), dir.filePath("two"));
        QFile saved(dir.filePath("two.txt"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().endsWith("\n6 13 s 5\n30 - s 30\n"));

        rig.reopen();
        rig.throughDialog(rig.f.LoadButton(), saved.fileName());
        QCOMPARE(rig.row(1), QStringList({"0", "800x600-60", "Color Bar", "Second", "5"}));
        QCOMPARE(rig.row(2), QStringList({"1", "1920x1080P-60", Seven, "Second", "30"}));
        QCOMPARE(rig.messages.size(), 1);

        // A bad file changes nothing and says which line is wrong.
        QFile bad(dir.filePath("bad.txt"));
        bad.open(QIODevice::WriteOnly);
        bad.write("1 1 s 3\n1 1 x 3\n");
        bad.close();
        rig.pressRow(2);
        const ProgramTable held = rig.f.programTable();
        QVERIFY(!rig.f.loadFile(bad.fileName()));
        QCOMPARE(rig.messages.last(),
                 QStringLiteral("Cannot load %1: line 2: unit 'x' is not s or m")
                     .arg(QDir::toNativeSeparators(bad.fileName())));
        QVERIFY(rig.f.programTable() == held);
        QCOMPARE(rig.row(2), QStringList({"1", "1920x1080P-60", Seven, "Second", "30"}));
        QCOMPARE(rig.f.currentStepRow(), 2);
    }
};

QTEST_MAIN(TestProgrammerForm)
#include "test_programmer_form.moc"
