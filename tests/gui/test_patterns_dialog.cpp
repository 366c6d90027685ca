// The pattern selection dialog: ticking and its painting, "Select All" and its kept caption,
// the ticks cleared on closing, and what "Upload" puts on the wire.
#include <QAccessible>
#include <QHeaderView>
#include <QPushButton>
#include <QTest>

#include "GuiRig.h"
#include "Wire.h"
#include "pattern/TPatterns.h"
#include "ui/TStringGrid.h"

namespace {

QByteArray flags(GuiRig& rig) {
    const auto& sel = rig.engine.data().PatternSelection;
    return QByteArray(reinterpret_cast<const char*>(sel.data()), int(sel.size()));
}

void press(TStringGrid& grid, int col, int row, Qt::MouseButton button = Qt::LeftButton) {
    grid.scrollToItem(grid.item(row - 1, col));
    QTest::mouseClick(grid.viewport(), button, {}, grid.cellRect(col, row).center());
}

QString readOut(TStringGrid& grid, int row) {
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid);
    return table->tableInterface()->cellAt(row - 1, 0)->text(QAccessible::Name);
}

QColor cellColour(TStringGrid& grid, int col, int row) {
    const QRect r = grid.cellRect(col, row);
    return grid.viewport()->grab().toImage().pixelColor(r.right() - 3, r.center().y());
}

}  // namespace

class TestPatternsDialog : public QObject {
    Q_OBJECT

private slots:
    void ticksPaintingAndSelectAll() {
        GuiRig rig;
        TPatterns& d = *rig.windows->Patterns;
        TStringGrid& grid = *d.StringGrid4();
        runModal([&] { rig.menuItem("Pattern2")->trigger(); },
                 [&](QWidget*) {
                     QVERIFY(QTest::qWaitForWindowExposed(&d));
                     // Until the first press the current cell's marking is painted over.
                     QCOMPARE(cellColour(grid, 0, 1), grid.windowColor());
                     // A heading press leaves the current cell (row 1, column 0) and flips it.
                     QTest::mouseClick(grid.horizontalHeader()->viewport(), Qt::LeftButton, {},
                                       QPoint(5, 5));
                     QCOMPARE(flags(rig).left(2), QByteArray::fromHex("0100"));
                     QCOMPARE(readOut(grid, 1), QStringLiteral("     V"));

                     press(grid, 1, 3);  // the name column ticks nothing
                     QCOMPARE(flags(rig), QByteArray::fromHex("01") + QByteArray(38, 0));
                     QVERIFY(cellColour(grid, 1, 3) != grid.windowColor());
                     press(grid, 0, 4);
                     press(grid, 0, 4);
                     QCOMPARE(readOut(grid, 4), QStringLiteral("  "));
                     press(grid, 0, 9, Qt::RightButton);  // acts on row 4, unmoved
                     grid.setCurrentCell(0, 39);
                     QTest::keyClick(&grid, Qt::Key_Space);
                     QCOMPARE(flags(rig), QByteArray::fromHex("01000001") + QByteArray(34, 0) +
                                              QByteArray::fromHex("01"));

                     d.Button1()->click();
                     QCOMPARE(d.Button1()->text(), QStringLiteral("UnSelect All"));
                     QCOMPARE(flags(rig), QByteArray(39, 1));
                     QCOMPARE(QPoint(grid.Col(), grid.Row()), QPoint(2, 1));
                     d.close();
                 });
        // Closing clears the ticks; the caption stays and decides the next press.
        QCOMPARE(flags(rig), QByteArray(39, 0));
        runModal([&] { rig.main().Pattern2Click(); },
                 [&](QWidget*) {
                     QCOMPARE(readOut(grid, 5), QStringLiteral("  "));
                     d.Button1()->click();
                     QCOMPARE(flags(rig), QByteArray(39, 0));
                     QCOMPARE(d.Button1()->text(), QStringLiteral("Select All"));
                     d.close();
                 });
    }

    void uploadSendsTheTicksWithCountAndChecksum() {
        GuiRig rig;
        TPatterns& d = *rig.windows->Patterns;
        QByteArray frame, payload, all, early;
        runModal([&] { rig.main().Pattern2Click(); },
                 [&](QWidget*) {
                     rig.makePresent();
                     d.Button1()->click();
                     d.Button1()->click();
                     d.Patterns_OK()->click();
                     QCOMPARE(rig.messages, QStringList{"Please Select the Pattern index"});
                     QVERIFY(rig.line.sent().isEmpty());

                     for (int row : {1, 2, 5}) press(*d.StringGrid4(), 0, row);
                     d.Patterns_OK()->click();
                     d.Patterns_OK()->click();  // outstanding: refused
                     frame = rig.line.sent();
                     rig.line.clearSent();
                     rig.pump();
                     payload = unframe(rig.line.sent());
                     rig.line.feed("OK");
                     rig.pump();

                     d.Button1()->click();
                     d.Patterns_OK()->click();
                     rig.line.clearSent();
                     rig.pump();
                     all = unframe(rig.line.sent());
                     rig.line.feed("OK");
                     rig.pump();
                     // Closed right after "Upload": the upload still carries the ticks.
                     d.Patterns_OK()->click();
                     d.close();
                     rig.line.clearSent();
                     rig.pump();
                     early = unframe(rig.line.sent());
                 });
        QCOMPARE(frame, QByteArray("PTNS \x29 \n\r", 9));
        QCOMPARE(payload, QByteArray::fromHex("270101000001") + QByteArray(34, 0) +
                              QByteArray::fromHex("D6"));
        QCOMPARE(rig.messages.mid(1), QStringList({"Upload successful!!", "Upload successful!!"}));
        QCOMPARE(all, QByteArray::fromHex("27") + QByteArray(39, 1) + QByteArray::fromHex("B2"));
        QCOMPARE(early, all);
        QCOMPARE(flags(rig), QByteArray(39, 0));  // cleared on closing all the same
    }
};

QTEST_MAIN(TestPatternsDialog)
#include "test_patterns_dialog.moc"
