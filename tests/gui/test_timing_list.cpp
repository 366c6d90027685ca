// The list picker: its grid, the highlight that presses set and "Show List" clears, and the
// double-click that picks a timing for the timing window.
#include <QAccessible>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>

#include "GuiRig.h"
#include "timing/TTiming.h"
#include "timing/TTiming_List.h"
#include "ui/TSimpleComboBox.h"
#include "ui/TStringGrid.h"

namespace {

// The colour a body cell is painted with, away from its text.
QColor cellColour(TStringGrid* grid, int col, int row) {
    const QImage image = grid->viewport()->grab().toImage();
    const QRect r = grid->cellRect(col, row);
    return image.pixelColor(r.right() - 3, r.bottom() - 3);
}

QPoint cellCentre(TStringGrid* grid, int col, int row) {
    grid->scrollToItem(grid->item(row - 1, col));
    return grid->cellRect(col, row).center();
}

void press(TStringGrid* grid, int col, int row, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(grid->viewport(), button, {}, cellCentre(grid, col, row));
}

// Both presses of a double-click on a body cell.
void doubleClick(TStringGrid* grid, int col, int row) {
    const QPoint at = cellCentre(grid, col, row);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
}

QString numberShown(GuiRig& rig) {
    auto* t = rig.main().findChild<TTiming*>();
    return t ? t->TimingComboBox1()->text() : QString();
}

}  // namespace

class TestTimingList : public QObject {
    Q_OBJECT

private slots:
    void gridListsEveryTimingWithItsRates();
    void pressesHighlightAndShowListClears();
    void doubleClickPicksForTheTimingWindow();
    void doubleClickOnTheHeadingPicksTheCurrentRow();
};

void TestTimingList::gridListsEveryTimingWithItsRates() {
    GuiRig rig;
    TTiming_List& list = *rig.windows->Timing_List;
    TStringGrid* g = list.StringGrid1();
    QVERIFY(!list.isVisible());
    QCOMPARE(list.TimingListHighlightRow, qint8(-1));
    QCOMPARE(g->RowCount(), 36);
    QCOMPARE(g->Cells(0, 0), QStringLiteral("   Timing Name"));
    QCOMPARE(g->Cells(1, 0), QStringLiteral("      Pixel Rate"));
    QCOMPARE(g->Cells(2, 0), QStringLiteral("      Horizontal "));
    QCOMPARE(g->Cells(3, 0), QStringLiteral("        Vertical "));
    const QStringList row1{g->Cells(0, 1), g->Cells(1, 1), g->Cells(2, 1), g->Cells(3, 1)};
    QCOMPARE(row1, QStringList({"640x480-60", "25.175 MHz", "31.469 KHz", "59.940 Hz"}));
    const QStringList row28{g->Cells(0, 28), g->Cells(1, 28), g->Cells(2, 28), g->Cells(3, 28)};
    QCOMPARE(row28, QStringList({"1920x1080I-60", "74.250 MHz", "33.750 KHz", "60.000 Hz"}));

    // Cells reach assistive technology with their text.
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(g);
    QVERIFY(a && a->tableInterface());
    QAccessibleInterface* cell = a->tableInterface()->cellAt(27, 0);
    QVERIFY(cell);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("1920x1080I-60"));
}

void TestTimingList::pressesHighlightAndShowListClears() {
    GuiRig rig;
    TTiming_List& list = *rig.windows->Timing_List;
    TStringGrid* g = list.StringGrid1();
    const QColor caption = TStringGrid::activeCaptionColor();
    const QColor window = g->windowColor();

    list.showList();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QCOMPARE(list.TimingListHighlightRow, qint8(0));
    // No highlight: the grid's default painting, with its marking of the current cell.
    QVERIFY(cellColour(g, 0, 1) != window);
    QCOMPARE(cellColour(g, 1, 2), window);
    QVERIFY(cellColour(g, 1, 2) != caption);

    // The first press highlights the whole row and paints over the current-cell marking.
    press(g, 1, 26);
    QCOMPARE(list.TimingListHighlightRow, qint8(26));
    QCOMPARE(g->Cells(0, 26), QStringLiteral("1280x720P-60"));
    for (int c = 0; c < 4; ++c) QCOMPARE(cellColour(g, c, 26), caption);
    QCOMPARE(cellColour(g, 0, 25), window);
    // A later press moves it; a right press keeps the current cell, and so the row.
    press(g, 2, 24);
    QCOMPARE(list.TimingListHighlightRow, qint8(24));
    QCOMPARE(cellColour(g, 3, 24), caption);
    QCOMPARE(cellColour(g, 3, 26), window);
    press(g, 0, 20, Qt::RightButton);
    QCOMPARE(list.TimingListHighlightRow, qint8(24));

    // Shown again: no highlight until the next press, though the current cell stayed.
    list.hide();
    list.showList();
    QCOMPARE(list.TimingListHighlightRow, qint8(0));
    QCOMPARE(g->Row(), 24);
    QVERIFY(cellColour(g, 3, 24) != caption);
    QCOMPARE(cellColour(g, 3, 23), window);
    list.hide();
}

void TestTimingList::doubleClickPicksForTheTimingWindow() {
    GuiRig rig;
    rig.main().Timing1Click();
    auto* t = rig.main().findChild<TTiming*>();
    QVERIFY(t);
    TTiming_List& list = *rig.windows->Timing_List;
    t->Button1()->click();
    QVERIFY(QTest::qWaitForWindowActive(&list));

    doubleClick(list.StringGrid1(), 0, 26);
    QVERIFY(!list.isVisible());
    QCOMPARE(rig.engine.data().SelectedTimingIndex, quint8(25));
    // The timing window's activation shows the pick.
    QTRY_COMPARE(numberShown(rig), QStringLiteral("26"));
    auto* clock = t->QObject::findChild<QLineEdit*>(QStringLiteral("Timing_PClk_Edit"));
    QCOMPARE(clock->text(), QStringLiteral("74.250"));
    QCOMPARE(t->TimingComboBox1()->ItemIndex(), 25);
    QCOMPARE(rig.main().mdiArea()->activeSubWindow(), t->subWindow());

    // Again while the timing window was already the active child, minimised this time.
    t->subWindow()->showMinimized();
    t->Button1()->click();
    doubleClick(list.StringGrid1(), 1, 3);
    QTRY_COMPARE(numberShown(rig), QStringLiteral("3"));
    QVERIFY(!t->subWindow()->isMinimized());

    // With no timing window open, the pick is kept and the list closes.
    t->subWindow()->close();
    QTRY_VERIFY(!rig.main().findChild<TTiming*>());
    list.showList();
    doubleClick(list.StringGrid1(), 2, 30);
    QVERIFY(!list.isVisible());
    QCOMPARE(rig.engine.data().SelectedTimingIndex, quint8(29));
    QVERIFY(rig.main().mdiArea()->subWindowList().isEmpty());
}

void TestTimingList::doubleClickOnTheHeadingPicksTheCurrentRow() {
    GuiRig rig;
    TTiming_List& list = *rig.windows->Timing_List;
    TStringGrid* g = list.StringGrid1();
    rig.engine.data().SelectedTimingIndex = 9;
    list.showList();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QTest::mouseDClick(g->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(30, 10));
    QCOMPARE(g->Row(), 1);  // never moved: timing 1
    QCOMPARE(rig.engine.data().SelectedTimingIndex, quint8(0));
    QVERIFY(!list.isVisible());

    // After a press on row 7, the heading picks timing 7.
    list.showList();
    press(g, 0, 7);
    QTest::mouseDClick(g->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(30, 10));
    QCOMPARE(rig.engine.data().SelectedTimingIndex, quint8(6));
}

QTEST_MAIN(TestTimingList)
#include "test_timing_list.moc"
