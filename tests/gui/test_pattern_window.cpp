// The pattern window and its list picker: opening, the number box, spinner and arrow keys kept
// in agreement with the name and the selected pattern, "Run Pattern" on the wire, and the
// picker's highlight and pick.
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include "GuiRig.h"
#include "pattern/TPatternForm.h"
#include "pattern/TPattern_List.h"
#include "ui/TSimpleComboBox.h"
#include "ui/TStringGrid.h"

namespace {

TPatternForm* patternForm(GuiRig& rig) {
    QMdiSubWindow* sub = TMdiChildForm::findChild(rig.main().mdiArea(), "Pattern");
    return sub ? qobject_cast<TPatternForm*>(sub->widget()) : nullptr;
}

// What the window shows and selects: number box text, name, selected pattern index.
struct Shown {
    QString number;
    QString name;
    int index;
    bool operator==(const Shown& o) const {
        return number == o.number && name == o.name && index == o.index;
    }
};

Shown shown(GuiRig& rig, TPatternForm& f) {
    return {f.PatternComboBox3()->text(), f.PatternIndexName()->text(),
            rig.engine.data().SelectedPatternIndex};
}

// The colour in the middle of a body cell's right part, clear of its text.
QColor cellColour(TStringGrid& grid, int col, int row) {
    const QRect r = grid.cellRect(col, row);
    return grid.viewport()->grab().toImage().pixelColor(r.right() - 4, r.center().y());
}

// As the window system delivers one: press, release, then the second press as a double-click.
void doubleClick(TStringGrid& grid, int col, int row) {
    grid.scrollToItem(grid.item(row - 1, col));
    const QPoint at = grid.cellRect(col, row).center();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

namespace QTest {
template <>
char* toString(const Shown& s) {
    return qstrdup(QStringLiteral("\"%1\" \"%2\" index %3")
                       .arg(s.number, s.name)
                       .arg(s.index)
                       .toLocal8Bit()
                       .constData());
}
}  // namespace QTest

class TestPatternWindow : public QObject {
    Q_OBJECT

private slots:
    void opensOnceLaidOutAndStartsAtWhiteEachTime() {
        GuiRig rig;
        rig.engine.data().SelectedPatternIndex = 17;
        rig.menuItem("Pattern1")->trigger();
        TPatternForm* f = patternForm(rig);
        QVERIFY(f);
        QPointer<QMdiSubWindow> sub = f->subWindow();
        QCOMPARE(sub->size(), QSize(693, 520));
        QVERIFY(!(sub->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(shown(rig, *f), (Shown{"1", "White", 0}));
        QCOMPARE(f->PatternComboBox3()->items().size(), 39);
        QCOMPARE(f->PatternComboBox3()->items().last(), QStringLiteral("39"));
        QCOMPARE(f->PatternComboBox3()->maxLength(), 2);

        // Layout in client coordinates, controls inside the group relative to it.
        QCOMPARE(f->GroupBox1()->geometry(), QRect(24, 24, 633, 81));
        QCOMPARE(f->GroupBox1()->title(), QStringLiteral("Pattern No. Select"));
        QCOMPARE(f->Label1()->text(), QStringLiteral("Pattern No."));
        QCOMPARE(f->Label1()->pos(), QPoint(8, 32));
        QCOMPARE(f->PatternComboBox3()->pos(), QPoint(96, 32));
        QCOMPARE(f->PatternComboBox3()->width(), 177);
        QCOMPARE(f->UpDown1()->geometry(), QRect(248, 32, 25, 25));
        QCOMPARE(f->PatternIndexName()->pos(), QPoint(296, 32));
        QCOMPARE(f->PatternIndexName()->width(), 169);
        QVERIFY(f->PatternIndexName()->isReadOnly());
        QCOMPARE(f->ShowButton1()->geometry(), QRect(480, 16, 137, 25));
        QCOMPARE(f->Run_Pattern()->parentWidget(), f);
        QCOMPARE(f->Run_Pattern()->geometry(), QRect(504, 72, 137, 25));
        for (QWidget* w : f->findChildren<QWidget*>()) {
            if (w->isWindow())
                continue;
            QCOMPARE(w->font().pixelSize(), 16);
            QCOMPARE(w->font().family(), QStringLiteral("Arial"));
        }
        // Accessible names: the caption, else the designer name; the name field reads its text.
        QCOMPARE(f->Run_Pattern()->accessibleName(), QStringLiteral("Run Pattern"));
        QCOMPARE(f->ShowButton1()->accessibleName(), QStringLiteral("Show List"));
        QCOMPARE(f->PatternComboBox3()->accessibleName(), QStringLiteral("PatternComboBox3"));
        QCOMPARE(f->UpDown1()->accessibleName(), QStringLiteral("UpDown1"));
        QAccessibleInterface* name = QAccessible::queryAccessibleInterface(f->PatternIndexName());
        QCOMPARE(name->text(QAccessible::Name), QStringLiteral("PatternIndexName"));
        QCOMPARE(name->text(QAccessible::Value), QStringLiteral("White"));

        // A second opening, by menu or toolbar, changes nothing.
        f->PatternComboBox3()->setItemIndex(11);
        rig.main().Pattern_Run()->trigger();
        rig.menuItem("Pattern1")->trigger();
        QCOMPARE(rig.main().mdiArea()->subWindowList().size(), 1);
        QCOMPARE(shown(rig, *f), (Shown{"12", "Gradually Gray", 11}));

        // Closing frees it; the next opening starts at pattern 1 again.
        sub->close();
        QTRY_VERIFY(sub.isNull());
        QVERIFY(!patternForm(rig));
        QCOMPARE(rig.engine.data().SelectedPatternIndex, quint8(11));
        rig.main().Pattern_Run()->trigger();
        f = patternForm(rig);
        QVERIFY(f);
        QCOMPARE(shown(rig, *f), (Shown{"1", "White", 0}));
    }

    void spinnerKeysAndTypingStayInRangeAndAgree() {
        GuiRig rig;
        rig.main().Pattern1Click();
        TPatternForm& f = *patternForm(rig);
        TSimpleComboBox& box = *f.PatternComboBox3();
        QToolButton& up = *f.UpDown1()->upButton();
        QToolButton& down = *f.UpDown1()->downButton();

        up.click();  // nothing above pattern 1
        QCOMPARE(shown(rig, f), (Shown{"1", "White", 0}));
        QTest::keyClick(&box, Qt::Key_Up);
        QCOMPARE(shown(rig, f), (Shown{"1", "White", 0}));
        QCOMPARE(box.ItemIndex(), 0);

        box.setItemIndex(38);
        down.click();  // nothing below pattern 39
        QCOMPARE(shown(rig, f), (Shown{"39", "HDCP-Produce", 38}));
        QTest::keyClick(&box, Qt::Key_Down);
        QCOMPARE(shown(rig, f), (Shown{"39", "HDCP-Produce", 38}));
        QCOMPARE(box.ItemIndex(), 38);

        // The spinner's up arrow and the Up key both step to the lower number.
        box.setItemIndex(4);
        up.click();
        QCOMPARE(shown(rig, f), (Shown{"4", "Magenta", 3}));
        QTest::keyClick(&box, Qt::Key_Up);
        QCOMPARE(shown(rig, f), (Shown{"3", "Red", 2}));
        QTest::keyClick(&box, Qt::Key_Down);
        down.click();
        QCOMPARE(shown(rig, f), (Shown{"5", "Green", 4}));
        QCOMPARE(box.ItemIndex(), 4);

        // Typed numbers: whole item texts only; anything else changes nothing.
        box.selectAll();
        QTest::keyClicks(&box, "12");
        QCOMPARE(shown(rig, f), (Shown{"12", "Gradually Gray", 11}));
        box.selectAll();
        QTest::keyClicks(&box, "x");
        QCOMPARE(f.PatternIndexName()->text(), QStringLiteral("Gradually Gray"));
        QCOMPARE(rig.engine.data().SelectedPatternIndex, quint8(11));
        box.selectAll();
        QTest::keyClicks(&box, "0");
        QCOMPARE(rig.engine.data().SelectedPatternIndex, quint8(11));
        QTest::keyClicks(&box, "7");  // "07" is not how the list writes 7
        QCOMPARE(rig.engine.data().SelectedPatternIndex, quint8(11));
        QCOMPARE(box.text(), QStringLiteral("07"));
        // Activation brings the box back to the selected pattern.
        rig.main().mdiArea()->setActiveSubWindow(nullptr);
        rig.main().mdiArea()->setActiveSubWindow(f.subWindow());
        QCOMPARE(shown(rig, f), (Shown{"12", "Gradually Gray", 11}));
        QCOMPARE(box.ItemIndex(), 11);
    }

    void runPatternSendsOneFrameAndTheShownPattern() {
        GuiRig rig;
        rig.main().Pattern1Click();
        TPatternForm& f = *patternForm(rig);

        // Refused while disconnected, but the reply log is cleared all the same.
        rig.main().Memo1()->setPlainText("old reply");
        f.Run_Pattern()->click();
        QVERIFY(rig.line.sent().isEmpty());
        QVERIFY(rig.main().Memo1()->toPlainText().isEmpty());

        rig.makePresent();
        f.PatternComboBox3()->setItemIndex(4);
        f.UpDown1()->upButton()->click();
        QCOMPARE(f.PatternIndexName()->text(), QStringLiteral("Magenta"));
        f.Run_Pattern()->click();
        f.Run_Pattern()->click();  // outstanding: nothing more goes out
        QCOMPARE(rig.line.sent(), QByteArray("PTIX \x01 \n\r", 9));
        QCOMPARE(rig.engine.state().ptixSlot, CommandSlot::AwaitingReply);
        rig.line.clearSent();
        rig.pump();
        QCOMPARE(rig.line.sent(), QByteArray(" \x03 ", 3));
        rig.line.feed("OK");
        rig.pump();
        QCOMPARE(rig.engine.state().ptixSlot, CommandSlot::Idle);
        QVERIFY(rig.messages.isEmpty());  // a pattern output shows no message

        f.PatternComboBox3()->selectAll();
        QTest::keyClicks(f.PatternComboBox3(), "12");
        rig.line.clearSent();
        f.Run_Pattern()->click();
        rig.line.clearSent();
        rig.pump();
        QCOMPARE(rig.line.sent(), QByteArray(" \x0B ", 3));
    }

    void pickerHighlightSurvivesHidingAndPicksIntoTheWindow() {
        GuiRig rig;
        rig.main().Pattern1Click();
        TPatternForm& f = *patternForm(rig);
        TPattern_List& list = *rig.windows->Pattern_List;
        TStringGrid& grid = *list.StringGrid2();
        QCOMPARE(list.windowTitle(), QStringLiteral("List of patterns"));
        QCOMPARE(grid.Cells(0, 0), QStringLiteral("      Pattern NO."));
        QCOMPARE(grid.Cells(1, 0), QStringLiteral("      Pattern Name"));
        QCOMPARE(grid.RowCount(), 40);
        QCOMPARE(grid.Cells(0, 30), QStringLiteral("30"));
        QCOMPARE(grid.Cells(1, 39), QStringLiteral("HDCP-Produce"));
        QCOMPARE(grid.geometry(), QRect(32, 24, 273, 385));
        QCOMPARE(grid.colWidth(1), 125);
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid);
        QCOMPARE(table->tableInterface()->cellAt(12, 1)->text(QAccessible::Name),
                 QStringLiteral("Color Bar"));

        f.ShowButton1()->click();
        QVERIFY(list.isVisible());
        QVERIFY(!list.isModal());
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QCOMPARE(list.PatternListHighlightRow(), qint8(-1));
        // Before any press the grid's own marking stands: no caption colour anywhere.
        QCOMPARE(cellColour(grid, 0, 2), grid.windowColor());
        QVERIFY(cellColour(grid, 0, 1) != TStringGrid::activeCaptionColor());

        grid.scrollToItem(grid.item(12, 0));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.cellRect(1, 13).center());
        QCOMPARE(list.PatternListHighlightRow(), qint8(13));
        QCOMPARE(cellColour(grid, 0, 13), TStringGrid::activeCaptionColor());
        QCOMPARE(cellColour(grid, 1, 13), TStringGrid::activeCaptionColor());
        QCOMPARE(cellColour(grid, 0, 12), grid.windowColor());
        list.close();
        QVERIFY(!list.isVisible());
        f.ShowButton1()->click();
        QCOMPARE(list.PatternListHighlightRow(), qint8(13));
        QCOMPARE(cellColour(grid, 1, 13), TStringGrid::activeCaptionColor());
        QCOMPARE(f.PatternIndexName()->text(), QStringLiteral("White"));  // a press picks nothing

        doubleClick(grid, 1, 30);
        QCOMPARE(rig.engine.data().SelectedPatternIndex, quint8(29));
        QVERIFY(!list.isVisible());
        QCOMPARE(rig.main().mdiArea()->activeSubWindow(), f.subWindow());
        QCOMPARE(f.PatternComboBox3()->text(), QStringLiteral("30"));
        QCOMPARE(f.PatternIndexName()->text(), QStringLiteral("Running_H"));
        QCOMPARE(f.PatternComboBox3()->ItemIndex(), 29);
        // The box steps on from the pick.
        f.UpDown1()->downButton()->click();
        QCOMPARE(shown(rig, f), (Shown{"31", "Circles", 30}));

        // Return picks the current row from the keyboard.
        f.ShowButton1()->click();
        grid.setCurrentCell(0, 7);
        QTest::keyClick(&grid, Qt::Key_Return);
        QVERIFY(!list.isVisible());
        QCOMPARE(shown(rig, f), (Shown{"7", "Yellow", 6}));

        // With the pattern window closed a pick only sets the index and hides the picker.
        f.ShowButton1()->click();
        QPointer<QMdiSubWindow> sub = f.subWindow();
        sub->close();
        QTRY_VERIFY(sub.isNull());
        doubleClick(grid, 1, 20);
        QCOMPARE(rig.engine.data().SelectedPatternIndex, quint8(19));
        QVERIFY(!list.isVisible());
        QVERIFY(rig.main().mdiArea()->subWindowList().isEmpty());
        rig.main().Pattern1Click();
        QCOMPARE(shown(rig, *patternForm(rig)), (Shown{"1", "White", 0}));
    }
};

QTEST_MAIN(TestPatternWindow)
#include "test_pattern_window.moc"
