// The pattern window and its list picker: number box, name and selected pattern kept in
// agreement, "Run Pattern" on the wire, the picker's highlight and pick.
#include <QAccessible>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

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

// Number box text, name and selected index, as one comparable text.
QString shown(GuiRig& rig, TPatternForm& f) {
    return QStringLiteral("%1 %2 %3")
        .arg(f.PatternComboBox3()->text(), f.PatternIndexName()->text())
        .arg(rig.engine.data().SelectedPatternIndex);
}

// The colour at the right end of a body cell, clear of its text.
QColor cellColour(TStringGrid& grid, int row) {
    const QRect r = grid.cellRect(0, row);
    return grid.viewport()->grab().toImage().pixelColor(r.right() - 4, r.center().y());
}

// As the window system delivers one: a click, then the second press as a double-click.
void doubleClick(TStringGrid& grid, int row) {
    grid.scrollToItem(grid.item(row - 1, 1));
    const QPoint at = grid.cellRect(1, row).center();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

class TestPatternWindow : public QObject {
    Q_OBJECT

private slots:
    void opensOnceAndAlwaysAtWhite() {
        GuiRig rig;
        rig.engine.data().SelectedPatternIndex = 17;
        rig.menuItem("Pattern1")->trigger();
        TPatternForm* f = patternForm(rig);
        QVERIFY(f);
        QPointer<QMdiSubWindow> sub = f->subWindow();
        QCOMPARE(sub->size(), QSize(693, 520));
        QCOMPARE(shown(rig, *f), QStringLiteral("1 White 0"));
        QCOMPARE(
            QAccessible::queryAccessibleInterface(f->PatternIndexName())->text(QAccessible::Value),
            QStringLiteral("White"));

        f->PatternComboBox3()->setItemIndex(11);
        rig.main().Pattern_Run()->trigger();
        rig.menuItem("Pattern1")->trigger();
        QCOMPARE(rig.main().mdiArea()->subWindowList().size(), 1);
        QCOMPARE(shown(rig, *f), QStringLiteral("12 Gradually Gray 11"));

        sub->close();
        QTRY_VERIFY(sub.isNull());
        rig.main().Pattern_Run()->trigger();
        QCOMPARE(shown(rig, *patternForm(rig)), QStringLiteral("1 White 0"));
    }

    void spinnerKeysAndTypingStayInRangeAndAgree() {
        GuiRig rig;
        rig.main().Pattern1Click();
        TPatternForm& f = *patternForm(rig);
        TSimpleComboBox& box = *f.PatternComboBox3();
        QToolButton& up = *f.UpDown1()->upButton();
        QToolButton& down = *f.UpDown1()->downButton();

        up.click();
        QTest::keyClick(&box, Qt::Key_Up);
        QCOMPARE(shown(rig, f), QStringLiteral("1 White 0"));
        box.setItemIndex(38);
        down.click();
        QTest::keyClick(&box, Qt::Key_Down);
        QCOMPARE(shown(rig, f), QStringLiteral("39 HDCP-Produce 38"));
        QCOMPARE(box.ItemIndex(), 38);

        // The spinner's up arrow and the Up key both step to the lower number.
        box.setItemIndex(4);
        up.click();
        QCOMPARE(shown(rig, f), QStringLiteral("4 Magenta 3"));
        QTest::keyClick(&box, Qt::Key_Up);
        QCOMPARE(shown(rig, f), QStringLiteral("3 Red 2"));
        QTest::keyClick(&box, Qt::Key_Down);
        down.click();
        QCOMPARE(shown(rig, f), QStringLiteral("5 Green 4"));

        box.selectAll();
        QTest::keyClicks(&box, "12");
        QCOMPARE(shown(rig, f), QStringLiteral("12 Gradually Gray 11"));
        box.selectAll();
        QTest::keyClicks(&box, "07");  // names no item: nothing follows
        QCOMPARE(shown(rig, f), QStringLiteral("07 Gradually Gray 11"));
        // Activation brings the box back to the selected pattern.
        rig.main().mdiArea()->setActiveSubWindow(nullptr);
        rig.main().mdiArea()->setActiveSubWindow(f.subWindow());
        QCOMPARE(shown(rig, f), QStringLiteral("12 Gradually Gray 11"));
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
        f.Run_Pattern()->click();
        f.Run_Pattern()->click();
        QCOMPARE(rig.line.sent(), QByteArray("PTIX \x01 \n\r", 9));
        rig.line.clearSent();
        rig.pump();
        QCOMPARE(rig.line.sent(), QByteArray(" \x03 ", 3));
        rig.line.feed("OK");
        rig.pump();
        QCOMPARE(rig.engine.state().ptixSlot, CommandSlot::Idle);
        QVERIFY(rig.messages.isEmpty());

        f.PatternComboBox3()->selectAll();
        QTest::keyClicks(f.PatternComboBox3(), "12");
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
        QCOMPARE(grid.Cells(1, 0), QStringLiteral("      Pattern Name"));
        QCOMPARE(
            QAccessible::queryAccessibleInterface(&grid)->tableInterface()->cellAt(38, 1)->text(
                QAccessible::Name),
            QStringLiteral("HDCP-Produce"));

        f.ShowButton1()->click();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QVERIFY(!list.isModal());
        QVERIFY(cellColour(grid, 1) != TStringGrid::activeCaptionColor());
        grid.scrollToItem(grid.item(12, 0));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.cellRect(1, 13).center());
        list.close();
        f.ShowButton1()->click();
        QCOMPARE(list.PatternListHighlightRow(), qint8(13));
        QCOMPARE(cellColour(grid, 13), TStringGrid::activeCaptionColor());
        QCOMPARE(cellColour(grid, 12), grid.windowColor());
        QCOMPARE(shown(rig, f), QStringLiteral("1 White 0"));  // a press picks nothing

        // The pattern window was the active child all along; the pick still reaches it.
        doubleClick(grid, 30);
        QVERIFY(!list.isVisible());
        QCOMPARE(shown(rig, f), QStringLiteral("30 Running_H 29"));
        f.UpDown1()->downButton()->click();
        QCOMPARE(shown(rig, f), QStringLiteral("31 Circles 30"));

        f.ShowButton1()->click();
        grid.setCurrentCell(0, 7);
        QTest::keyClick(&grid, Qt::Key_Return);
        QCOMPARE(shown(rig, f), QStringLiteral("7 Yellow 6"));

        // With no pattern window a pick only sets the index and hides the picker.
        f.ShowButton1()->click();
        QPointer<QMdiSubWindow> sub = f.subWindow();
        sub->close();
        QTRY_VERIFY(sub.isNull());
        doubleClick(grid, 20);
        QCOMPARE(rig.engine.data().SelectedPatternIndex, quint8(19));
        QVERIFY(!list.isVisible());
        QVERIFY(rig.main().mdiArea()->subWindowList().isEmpty());
    }
};

QTEST_MAIN(TestPatternWindow)
#include "test_pattern_window.moc"
