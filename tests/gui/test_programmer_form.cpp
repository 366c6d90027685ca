// The programme editor on a fake line: its layout, steps built with the combo boxes and the
// mouse, Delete, the show-time check, the upload and its protection, Load and Save.
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "GuiRig.h"
#include "programme/TProgrammer_Form.h"
#include "ui/TStringGrid.h"

namespace {

const QString Seven = QStringLiteral("       ");

QByteArray unframe(const QByteArray& wire) {
    QByteArray out;
    for (int i = 0; i + 2 < wire.size(); i += 3) out += wire[i + 1];
    return out;
}

quint8 sum(const QByteArray& bytes) {
    quint8 s = 0;
    for (char b : bytes) s += quint8(b);
    return s;
}

QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// The editor opened on the rig's windows, as Edit > Program leaves it (without the nested
// event loop of a modal showing, which the tests do not need).
struct EditorRig : GuiRig {
    TProgrammer_Form& f = *windows->Programmer_Form;
    TStringGrid& grid = *f.StringGrid5();

    EditorRig() { open(); }
    void open() {
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
    }
    void reopen() {
        f.close();
        open();
    }
    void pressRow(int row, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(grid.viewport(), button, {}, grid.cellRect(1, row).center());
    }
    // An item picked from the box's list, as the operator picks it.
    void pick(QComboBox* box, int item) { box->setCurrentIndex(item); }
    // Text typed over the box's text.
    void type(QComboBox* box, const QString& text) { box->setEditText(text); }
    // A whole step for the current row; each box is moved off its item first, since only a
    // change is written.
    void fillStep(int timing, int pattern, int unit, int time) {
        const int items[] = {timing, pattern, unit};
        QComboBox* boxes[] = {f.PCBox1(), f.PCBox2(), f.PCBox3()};
        for (int i = 0; i < 3; ++i) {
            pick(boxes[i], items[i] == 0 ? 1 : 0);
            pick(boxes[i], items[i]);
        }
        type(f.PCBox4(), QString::number(time));
    }
    QStringList row(int r) const {
        QStringList out;
        for (int c = 0; c < 5; ++c) out << grid.Cells(c, r);
        return out;
    }
    QList<QStringList> allRows() const {
        QList<QStringList> out;
        for (int r = 0; r <= 32; ++r) out << row(r);
        return out;
    }
    QColor cellColour(int col, int r) {
        const QImage img = grid.viewport()->grab().toImage();
        const QRect rect = grid.cellRect(col, r);
        return img.pixelColor(rect.right() - 3, rect.bottom() - 3);
    }
    QByteArray dataPhase() { return unframe(line.sent()); }
};

}  // namespace

class TestProgrammerForm : public QObject {
    Q_OBJECT

private slots:
    void layoutAsDesigned() {
        EditorRig rig;
        TProgrammer_Form& f = rig.f;
        QCOMPARE(f.windowTitle(), QStringLiteral("Program"));
        // The outer size, frame included.
        QCOMPARE(f.frameGeometry().size(), QSize(661, 414));
        const struct {
            const char* label;
            QString caption;
            QComboBox* box;
            int x;
            int width;
            int items;
            QString last;
        } fields[] = {
            {"Label1", "Timing ", f.PCBox1(), 24, 161, 35, "1920x1080P-50"},
            {"Label2", "Pattern", f.PCBox2(), 208, 169, 39, "HDCP-Produce"},
            {"Label3", "Unit", f.PCBox3(), 392, 97, 2, "Minute"},
            {"Label4", "Show Time", f.PCBox4(), 512, 89, 59, "59"},
        };
        for (const auto& fl : fields) {
            auto* caption = f.findChild<QLabel*>(QLatin1String(fl.label));
            QVERIFY(caption);
            QCOMPARE(caption->text(), fl.caption);
            QCOMPARE(caption->pos(), QPoint(fl.x, 40));
            QCOMPARE(fl.box->geometry().topLeft(), QPoint(fl.x, 72));
            QCOMPARE(fl.box->width(), fl.width);
            QVERIFY(fl.box->isEditable());
            QCOMPARE(fl.box->count(), fl.items);
            QCOMPARE(fl.box->itemText(fl.items - 1), fl.last);
            QCOMPARE(fl.box->currentIndex(), 0);
            QCOMPARE(fl.box->accessibleName(), fl.box->objectName());
        }
        QCOMPARE(f.PCBox1()->itemText(0), QStringLiteral("640x480-60"));
        QCOMPARE(f.PCBox2()->itemText(12), QStringLiteral("Color Bar"));
        QCOMPARE(f.PCBox3()->itemText(0), QStringLiteral("Second"));

        TStringGrid& g = rig.grid;
        QCOMPARE(g.geometry(), QRect(24, 120, 617, 209));
        QCOMPARE(g.accessibleName(), QStringLiteral("StringGrid5"));
        QCOMPARE(g.ColCount(), 5);
        QCOMPARE(g.RowCount(), 33);
        QCOMPARE(g.FixedCols(), 0);
        QCOMPARE(rig.row(0), QStringList({"Seq.", "         Timing", "            Pattern",
                                          "         Unit", " Show Time"}));
        const int widths[] = {33, 140, 183, 115, 106};
        for (int c = 0; c < 5; ++c) QCOMPARE(g.colWidth(c), widths[c]);
        QCOMPARE(g.verticalHeader()->defaultSectionSize(), 24);
        QCOMPARE(g.font().pixelSize(), 16);
        for (int r = 1; r <= 32; ++r) QCOMPARE(g.Cells(0, r), QString::number(r - 1));

        QLabel* note = f.Label5();
        QCOMPARE(
            note->text(),
            QStringLiteral("Note.  For every timing pattern have to shown at least 3 seconds"));
        QCOMPARE(note->pos(), QPoint(96, 344));
        QCOMPARE(note->font().family(), QStringLiteral("Times New Roman"));
        QCOMPARE(note->font().pixelSize(), 16);
        QCOMPARE(note->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(f.Button1()->text(), QStringLiteral("UpLoad"));
        QCOMPARE(f.Button1()->geometry(), QRect(504, 344, 137, 25));

        // The additions keep clear of every control of the design and inside the window.
        const QList<QWidget*> design = {note,       f.Button1(), &g,        f.PCBox1(),
                                        f.PCBox2(), f.PCBox3(),  f.PCBox4()};
        for (QWidget* added :
             {static_cast<QWidget*>(f.LoadButton()), static_cast<QWidget*>(f.SaveButton()),
              static_cast<QWidget*>(f.ProgramSummary())}) {
            QVERIFY(f.rect().contains(added->geometry()));
            for (QWidget* w : design)
                QVERIFY2(!added->geometry().intersects(w->geometry()),
                         qPrintable(added->objectName() + " over " + w->objectName()));
        }
        QCOMPARE(f.LoadButton()->accessibleName(), QStringLiteral("Load..."));
        QCOMPARE(f.SaveButton()->accessibleName(), QStringLiteral("Save..."));
        QVERIFY(f.ProgramSummary()->isReadOnly());

        // Cells are readable by a screen reader.
        rig.pressRow(4);
        rig.fillStep(5, 12, 1, 7);
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&g);
        QVERIFY(table && table->tableInterface());
        QAccessibleInterface* cell = table->tableInterface()->cellAt(3, 2);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("Color Bar"));
    }

    void openingStartsEmptyButBoxesKeepTheirChoice() {
        EditorRig rig;
        QCOMPARE(rig.f.currentStepRow(), 1);
        QCOMPARE(rig.grid.Row(), 1);
        QCOMPARE(rig.grid.Col(), 0);
        for (int r = 1; r <= 32; ++r) QCOMPARE(rig.row(r).mid(1), QStringList(4, Seven));
        QVERIFY(rig.f.programTable() == ProgramTable());

        rig.pressRow(3);
        rig.fillStep(9, 2, 1, 4);
        QCOMPARE(rig.row(3), QStringList({"2", "1024x768-60", "Red", "Minute", "4"}));
        // Escape does not close the editor (closing would discard the programme).
        QTest::keyClick(&rig.f, Qt::Key_Escape);
        QVERIFY(rig.f.isVisible());

        rig.reopen();
        QCOMPARE(rig.f.currentStepRow(), 1);
        QCOMPARE(rig.row(3).mid(1), QStringList(4, Seven));
        QVERIFY(rig.f.programTable() == ProgramTable());
        QCOMPARE(rig.f.PCBox1()->currentText(), QStringLiteral("1024x768-60"));
        QCOMPARE(rig.f.PCBox4()->currentText(), QStringLiteral("4"));
        QCOMPARE(rig.f.ProgramSummary()->text(),
                 QStringLiteral("No legal step: UpLoad has nothing to send"));

        // Opened through the menu, modally, it starts empty too.
        rig.pressRow(2);
        rig.fillStep(1, 1, 0, 9);
        rig.f.close();
        bool modal = false;
        bool empty = false;
        runModal([&] { rig.main().Program1Click(); },
                 [&](QWidget* active) {
                     modal = active == &rig.f && rig.f.isModal();
                     empty =
                         rig.f.programTable() == ProgramTable() && rig.grid.Cells(1, 2) == Seven;
                     rig.f.close();
                 });
        QVERIFY(modal);
        QVERIFY(empty);
    }

    void uploadAtOnceSaysThereIsNoLegalItem() {
        EditorRig rig;
        rig.makePresent();
        rig.f.Button1()->click();
        QCOMPARE(rig.messages, QStringList({"There is no legal item"}));
        QVERIFY(rig.line.puts.empty());
        QCOMPARE(rig.engine.state().atrnSlot, CommandSlot::Idle);
    }

    void stepsFromTheBoxesAreSentAsTheExample() {
        EditorRig rig;
        rig.fillStep(0, 0, 0, 3);
        QCOMPARE(rig.row(1), QStringList({"0", "640x480-60", "White", "Second", "3"}));
        rig.pressRow(2);
        QCOMPARE(rig.f.currentStepRow(), 2);
        rig.pick(rig.f.PCBox1(), 4);
        rig.pick(rig.f.PCBox2(), 12);
        rig.pick(rig.f.PCBox3(), 1);
        rig.type(rig.f.PCBox4(), "5");
        QCOMPARE(rig.row(2), QStringList({"1", "800x600-56", "Color Bar", "Minute", "5"}));
        QCOMPARE(rig.f.ProgramSummary()->text(),
                 QStringLiteral("2 legal steps, 5 min 3 s per run"));
        // The current row stands out, the step number included; the others do not.
        QCOMPARE(rig.cellColour(0, 2), TStringGrid::activeCaptionColor());
        QCOMPARE(rig.cellColour(4, 2), TStringGrid::activeCaptionColor());
        QCOMPARE(rig.cellColour(0, 1), rig.grid.windowColor());

        // Refused silently while the generator is absent.
        rig.f.Button1()->click();
        QVERIFY(rig.line.puts.empty());
        QVERIFY(rig.messages.isEmpty());

        rig.makePresent();
        rig.main().Memo1()->setPlainText("old reply");
        rig.f.Button1()->click();
        QCOMPARE(rig.line.sent(), QByteArray("ATRN \x82 \n\r"));
        QCOMPARE(rig.main().Memo1()->toPlainText(), QString());
        QCOMPARE(rig.f.legalStepCount(), 2);
        // No file dialog may open inside the upload's yields and hold its bytes back.
        QVERIFY(!rig.f.LoadButton()->isEnabled());
        QVERIFY(!rig.f.SaveButton()->isEnabled());
        rig.line.clearSent();
        rig.pump();  // first OK judged, data phase sent
        const QByteArray bytes = rig.dataPhase();
        QCOMPARE(bytes.size(), 130);
        QCOMPARE(bytes.left(9), QByteArray::fromHex("2000000003040c0105"));
        QCOMPARE(bytes.mid(9, 120), QByteArray(120, char(255)));
        QCOMPARE(quint8(bytes.back()), quint8(63));
        rig.line.feed("OK");
        rig.pump();
        QCOMPARE(rig.messages, QStringList({"Upload successful!!"}));
        QCOMPARE(rig.engine.state().atrnSlot, CommandSlot::Idle);
        QTRY_VERIFY(rig.f.LoadButton()->isEnabled() && rig.f.SaveButton()->isEnabled());
    }

    void deleteClearsTheRowLastPressedWithTheMouse() {
        EditorRig rig;
        rig.pressRow(5);
        rig.fillStep(1, 1, 0, 5);
        rig.pressRow(3);
        rig.fillStep(2, 2, 1, 2);
        rig.grid.setFocus();
        QTest::keyClick(&rig.grid, Qt::Key_Down);
        QTest::keyClick(&rig.grid, Qt::Key_Down);
        QCOMPARE(rig.grid.Row(), 5);
        QCOMPARE(rig.f.currentStepRow(), 3);
        QTest::keyClick(&rig.grid, Qt::Key_Delete);
        QCOMPARE(rig.row(3), QStringList({"2", "   ", "   ", "   ", "   "}));
        QVERIFY(!rig.f.programTable().hasAnyField(2));
        QCOMPARE(rig.row(5), QStringList({"4", "640x480-72", "Blue", "Second", "5"}));
        QCOMPARE(rig.f.ProgramSummary()->text(), QStringLiteral("1 legal step, 5 s per run"));

        // A press on the heading row or with the right button leaves the selection, so the
        // current step stays where the selection is.
        QTest::mouseClick(rig.grid.horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(50, 5));
        QCOMPARE(rig.grid.Row(), 5);
        QCOMPARE(rig.f.currentStepRow(), 5);
        rig.pressRow(7, Qt::RightButton);
        QCOMPARE(rig.f.currentStepRow(), 5);

        // Without any press Delete clears row 1.
        rig.reopen();
        rig.fillStep(3, 3, 0, 3);
        rig.grid.setFocus();
        QTest::keyClick(&rig.grid, Qt::Key_Down);
        QTest::keyClick(&rig.grid, Qt::Key_Delete);
        QCOMPARE(rig.row(1).mid(1), QStringList(4, "   "));
    }

    void showTimeIsHeldWholeAndTextIsChecked() {
        EditorRig rig;
        rig.fillStep(0, 0, 0, 5);
        rig.type(rig.f.PCBox4(), "abc");
        QCOMPARE(rig.messages, QStringList({"'abc' is not a valid integer value"}));
        QCOMPARE(rig.grid.Cells(4, 1), QStringLiteral("5"));
        QCOMPARE(rig.f.programTable().showTime[0], 5);
        rig.type(rig.f.PCBox4(), "");
        QCOMPARE(rig.messages.last(), QStringLiteral("'' is not a valid integer value"));
        QCOMPARE(rig.grid.Cells(4, 1), QStringLiteral("5"));

        // 315 and 256 would be 59 and 0 in a byte; held whole they are simply not legal.
        for (const char* text : {"315", "256", "0", "60", "-3"}) {
            rig.type(rig.f.PCBox4(), text);
            QCOMPARE(rig.grid.Cells(4, 1), QString::fromLatin1(text));
            QCOMPARE(rig.f.programTable().showTime[0], QByteArray(text).toInt());
            QCOMPARE(rig.f.ProgramSummary()->text(),
                     QStringLiteral("No legal step: UpLoad has nothing to send"));
        }
        rig.messages.clear();
        rig.makePresent();
        rig.f.Button1()->click();
        QCOMPARE(rig.messages, QStringList({"There is no legal item"}));
        rig.type(rig.f.PCBox4(), "59");
        QCOMPARE(rig.f.ProgramSummary()->text(), QStringLiteral("1 legal step, 59 s per run"));

        // Text that names no item empties the field and shows an empty cell.
        rig.type(rig.f.PCBox1(), "640x480");
        rig.type(rig.f.PCBox2(), "white");
        rig.type(rig.f.PCBox3(), "Sec");
        QCOMPARE(rig.row(1), QStringList({"0", "", "", "", "59"}));
        QCOMPARE(rig.f.programTable().timing[0], quint8(255));
        QCOMPARE(rig.f.programTable().pattern[0], quint8(255));
        QCOMPARE(rig.f.programTable().unit[0], quint8(255));
        // The whole item text names the item again.
        rig.type(rig.f.PCBox3(), "Minute");
        QCOMPARE(rig.f.programTable().unit[0], quint8(1));
        QCOMPARE(rig.grid.Cells(3, 1), QStringLiteral("Minute"));
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
        rig.f.loadTable(first);
        rig.makePresent();
        rig.f.Button1()->click();
        QCOMPARE(rig.engine.state().atrnSlot, CommandSlot::AwaitingReply);
        const ProgramColumns sent = rig.engine.data().ProgramUpload;

        // Before the first reply: the new programme is packed but neither sent nor stored.
        rig.f.loadTable(second);
        const size_t before = rig.line.puts.size();
        rig.main().Memo1()->setPlainText("reply so far");
        rig.f.Button1()->click();
        QCOMPARE(rig.line.puts.size(), before);
        QCOMPARE(rig.f.legalStepCount(), 1);
        QCOMPARE(rig.engine.data().ProgramUpload.timing, sent.timing);
        QCOMPARE(rig.main().Memo1()->toPlainText(), QString());  // cleared, as the link is up

        // During the data phase: a press that waits in the event queue runs in its yields.
        int pressesInside = 0;
        QTimer::singleShot(0, &rig.f, [&] {
            rig.f.loadTable(first);
            rig.f.Button1()->click();
            ++pressesInside;
        });
        rig.line.clearSent();
        rig.pump();
        QCOMPARE(pressesInside, 1);
        const QByteArray bytes = rig.dataPhase();
        QCOMPARE(bytes.size(), 130);
        QCOMPARE(bytes.left(5), QByteArray::fromHex("2000000003"));
        QCOMPARE(quint8(bytes.back()), quint8(89));
        QCOMPARE(sum(bytes), quint8(0));
        rig.line.feed("OK");
        rig.pump();
        QCOMPARE(rig.messages, QStringList({"Upload successful!!"}));

        // Once the upload is over, UpLoad sends what the editor shows now.
        rig.f.loadTable(second);
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
        rig.messages.clear();

        rig.fillStep(5, 12, 0, 5);
        rig.pressRow(2);
        rig.fillStep(9, 0, 1, 2);
        rig.pressRow(4);
        rig.fillStep(29, 26, 0, 30);
        rig.type(rig.f.PCBox2(), "no such pattern");
        const QString path = dir.filePath("three");
        runModal([&] { rig.f.SaveButton()->click(); },
                 [&](QWidget* modal) {
                     auto* d = qobject_cast<QFileDialog*>(modal);
                     QVERIFY(d);
                     d->selectFile(path);
                     static_cast<QDialog*>(d)->accept();  // QFileDialog hides it
                 });
        QFile saved(path + ".txt");
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray text = saved.readAll();
        QVERIFY(text.startsWith('#'));
        QVERIFY2(text.endsWith("\n6 13 s 5\n10 1 m 2\n30 - s 30\n"), text);
        QVERIFY(rig.messages.isEmpty());

        rig.reopen();
        runModal([&] { rig.f.LoadButton()->click(); },
                 [&](QWidget* modal) {
                     auto* d = qobject_cast<QFileDialog*>(modal);
                     QVERIFY(d);
                     d->selectFile(saved.fileName());
                     static_cast<QDialog*>(d)->accept();  // QFileDialog hides it
                 });
        QVERIFY(rig.messages.isEmpty());
        QCOMPARE(rig.row(1), QStringList({"0", "800x600-60", "Color Bar", "Second", "5"}));
        QCOMPARE(rig.row(2), QStringList({"1", "1024x768-60", "White", "Minute", "2"}));
        QCOMPARE(rig.row(3), QStringList({"2", "1920x1080P-60", Seven, "Second", "30"}));
        QCOMPARE(rig.row(4).mid(1), QStringList(4, Seven));
        QCOMPARE(rig.f.currentStepRow(), 1);
        QCOMPARE(rig.f.ProgramSummary()->text(),
                 QStringLiteral("2 legal steps, 2 min 5 s per run"));

        // A bad file changes nothing and says which line is wrong.
        const QList<QStringList> shown = rig.allRows();
        const ProgramTable held = rig.f.programTable();
        const QString bad = writeFile(dir.filePath("bad.txt"), "1 1 s 3\n1 1 x 3\n");
        QVERIFY(!rig.f.loadFile(bad));
        QCOMPARE(rig.messages,
                 QStringList({QStringLiteral("Cannot load %1: line 2: unit 'x' is not s or m")
                                  .arg(QDir::toNativeSeparators(bad))}));
        const QString none = writeFile(dir.filePath("none.txt"), "# nothing here\n");
        QVERIFY(!rig.f.loadFile(none));
        QVERIFY(rig.messages.last().endsWith("the file holds no steps"));
        QVERIFY(!rig.f.loadFile(dir.filePath("missing.txt")));
        QCOMPARE(rig.messages.size(), 3);
        QCOMPARE(rig.allRows(), shown);
        QVERIFY(rig.f.programTable() == held);

        // A save that cannot be written says so.
        QVERIFY(!rig.f.saveFile(dir.filePath("no/such/dir/p.txt")));
        QVERIFY(rig.messages.last().startsWith("Cannot save "));
    }
};

QTEST_MAIN(TestProgrammerForm)
#include "test_programmer_form.moc"
