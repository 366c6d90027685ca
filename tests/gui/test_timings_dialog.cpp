// The timing selection dialog: marks set by presses and "Select All", the painting rules, the
// checks before "Upload", the payload that goes out and the marks cleared on closing.
#include <QHeaderView>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "GuiRig.h"
#include "Wire.h"
#include "timing/TTimings.h"
#include "ui/TCGauge.h"
#include "ui/TStringGrid.h"

namespace {

QPoint cellCentre(TStringGrid* grid, int col, int row) {
    grid->scrollToItem(grid->item(row - 1, col));
    return grid->cellRect(col, row).center();
}

void press(TStringGrid* grid, int col, int row, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(grid->viewport(), button, {}, cellCentre(grid, col, row));
}

void pressHeading(TStringGrid* grid) {
    QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
}

QColor cellColour(TStringGrid* grid, int col, int row) {
    const QImage image = grid->viewport()->grab().toImage();
    const QRect r = grid->cellRect(col, row);
    return image.pixelColor(r.right() - 2, r.bottom() - 3);
}

QList<int> marked(GuiRig& rig) {
    QList<int> numbers;
    for (int i = 0; i < 35; ++i)
        if (rig.engine.data().TimingSelection[i] != 0)
            numbers << i + 1;
    return numbers;
}

// Opens the dialog with Edit > Timing, runs inside while it is up, then closes it.
void withDialog(GuiRig& rig, const std::function<void(TTimings&)>& inside) {
    TTimings& d = *rig.windows->Timings;
    QWidget* seen = runModal([&] { rig.menuItem("Timing2")->trigger(); },
                             [&](QWidget*) {
                                 inside(d);
                                 d.close();
                             });
    QCOMPARE(seen, static_cast<QWidget*>(&d));
}

}  // namespace

class TestTimingsDialog : public QObject {
    Q_OBJECT

private slots:
    void gridHeadingsAndRows();
    void pressesFlipTheCurrentRowsMark();
    void paintingFollowsMarksAndTheHeldButton();
    void selectAllTogglesAndClosingClearsEveryMark();
    void uploadNeedsAMarkAndTheStartRule();
    void uploadSendsTheMarksWhileTheDialogStaysResponsive();
};

void TestTimingsDialog::gridHeadingsAndRows() {
    GuiRig rig;
    TTimings& d = *rig.windows->Timings;
    TStringGrid* g = d.StringGrid3();
    QVERIFY(!d.isVisible());
    QCOMPARE(g->RowCount(), 36);
    const QStringList headings{
        "Select", "   Timing Name", "      Pixel Rate", "      Horizontal ", "        Vertical ",
        ""};
    const QStringList row28{"", "1920x1080I-60", "74.250 MHz", "33.750 KHz", "60.000 Hz", ""};
    for (int c = 0; c < 6; ++c) {
        QCOMPARE(g->Cells(c, 0), headings[c]);
        QCOMPARE(g->Cells(c, 28), row28[c]);
    }
    QCOMPARE(d.Button1()->accessibleName(), QStringLiteral("Select All"));
    QCOMPARE(d.Timings_OK()->accessibleName(), QStringLiteral("Upload"));
    QVERIFY(marked(rig).isEmpty());
}

void TestTimingsDialog::pressesFlipTheCurrentRowsMark() {
    GuiRig rig;
    withDialog(rig, [&](TTimings& d) {
        TStringGrid* g = d.StringGrid3();
        QVERIFY(d.isModal());
        QCOMPARE(g->Col(), 0);
        QCOMPARE(g->Row(), 1);
        // Right after opening, a press on the heading row flips timing 1.
        pressHeading(g);
        QCOMPARE(marked(rig), QList<int>({1}));
        QCOMPARE(g->Cells(0, 1), QStringLiteral("    V"));
        QCOMPARE(g->Row(), 1);
        press(g, 0, 1);
        QVERIFY(marked(rig).isEmpty());
        QCOMPARE(g->Cells(0, 1), QString());

        press(g, 0, 3);
        press(g, 0, 35);
        QCOMPARE(marked(rig), QList<int>({3, 35}));
        // Both presses of a double-click flip: the mark ends as it was.
        const QPoint at = cellCentre(g, 0, 4);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(marked(rig), QList<int>({3, 35}));

        // Presses elsewhere: a press on another column moves the current cell and flips
        // nothing; a right press does not move it, so it flips nothing either.
        press(g, 2, 5);
        press(g, 0, 6, Qt::RightButton);
        pressHeading(g);
        QCOMPARE(marked(rig), QList<int>({3, 35}));
        // A left press in the select column flips its row; a right press anywhere then flips
        // the current row again.
        press(g, 0, 7);
        QCOMPARE(marked(rig), QList<int>({3, 7, 35}));
        press(g, 1, 9, Qt::RightButton);
        QCOMPARE(marked(rig), QList<int>({3, 35}));
        QCOMPARE(g->Row(), 7);
        QCOMPARE(d.TimingGridMouseHeld, quint8(0));
    });
}

void TestTimingsDialog::paintingFollowsMarksAndTheHeldButton() {
    GuiRig rig;
    withDialog(rig, [&](TTimings& d) {
        TStringGrid* g = d.StringGrid3();
        const QColor window = g->windowColor();
        press(g, 0, 2);
        QCOMPARE(cellColour(g, 0, 2), window);
        QCOMPARE(g->Cells(0, 2), QStringLiteral("    V"));

        // Holding the button: the grid's own painting marks the current cell.
        const QPoint at = cellCentre(g, 1, 5);
        QTest::mousePress(g->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(d.TimingGridMouseHeld, quint8(1));
        QCOMPARE(g->Row(), 5);
        QVERIFY(cellColour(g, 1, 5) != window);
        QCOMPARE(cellColour(g, 0, 2), window);  // marks are painted either way
        // Released: every cell is painted over in the window colour.
        QTest::mouseRelease(g->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(d.TimingGridMouseHeld, quint8(0));
        QCOMPARE(cellColour(g, 1, 5), window);
    });
}

void TestTimingsDialog::selectAllTogglesAndClosingClearsEveryMark() {
    GuiRig rig;
    withDialog(rig, [&](TTimings& d) {
        TStringGrid* g = d.StringGrid3();
        press(g, 0, 8);
        d.Button1()->click();
        QCOMPARE(marked(rig).size(), 35);
        QCOMPARE(d.Button1()->text(), QStringLiteral(" UnSelect All"));
        QCOMPARE(d.Button1()->accessibleName(), QStringLiteral(" UnSelect All"));
        QCOMPARE(QPoint(g->Col(), g->Row()), QPoint(5, 1));
        QCOMPARE(g->Cells(0, 35), QStringLiteral("    V"));
        pressHeading(g);  // the current cell is in column 5 now: nothing flips
        QCOMPARE(marked(rig).size(), 35);
        d.Button1()->click();
        QVERIFY(marked(rig).isEmpty());
        QCOMPARE(d.Button1()->text(), QStringLiteral("Select All"));
        QCOMPARE(QPoint(g->Col(), g->Row()), QPoint(5, 1));
        QCOMPARE(g->Cells(0, 8), QString());
        d.Button1()->click();
    });
    // Closed while all were marked: the next opening starts unmarked; the button keeps its
    // caption and so its next action (clearing, here).
    QVERIFY(marked(rig).isEmpty());
    withDialog(rig, [&](TTimings& d) {
        QCOMPARE(d.StringGrid3()->Cells(0, 35), QString());
        QCOMPARE(QPoint(d.StringGrid3()->Col(), d.StringGrid3()->Row()), QPoint(0, 1));
        QCOMPARE(d.Button1()->text(), QStringLiteral(" UnSelect All"));
        d.Button1()->click();
        QVERIFY(marked(rig).isEmpty());
        QCOMPARE(d.Button1()->text(), QStringLiteral("Select All"));
        press(d.StringGrid3(), 0, 2);
        QTest::keyClick(&d, Qt::Key_Escape);  // Escape closes nothing and keeps the mark
        QVERIFY(d.isVisible());
        QCOMPARE(marked(rig).size(), 1);
        d.close();
        QVERIFY(marked(rig).isEmpty());
    });
}

void TestTimingsDialog::uploadNeedsAMarkAndTheStartRule() {
    GuiRig rig;
    withDialog(rig, [&](TTimings& d) {
        // Nothing marked: the message, whatever the link's state, and nothing sent.
        d.Timings_OK()->click();
        rig.makePresent();
        d.Timings_OK()->click();
        rig.engine.state().ptixSlot = CommandSlot::AwaitingReply;
        d.Timings_OK()->click();
        QCOMPARE(rig.messages, QStringList(3, QStringLiteral("Please Select the Timing index")));
        QVERIFY(rig.line.sent().isEmpty());
        QVERIFY(d.isVisible());

        // Marked, but refused by the start rule: silence.
        rig.messages.clear();
        press(d.StringGrid3(), 0, 4);
        d.Timings_OK()->click();  // busy
        rig.engine.state().ptixSlot = CommandSlot::Idle;
        rig.engine.ShowDeviceAbsent();
        d.Timings_OK()->click();             // absent
        rig.main().DisConnectButtonClick();  // port closed
    });
    QVERIFY(rig.messages.isEmpty());
    QVERIFY(rig.line.sent().isEmpty());
}

void TestTimingsDialog::uploadSendsTheMarksWhileTheDialogStaysResponsive() {
    GuiRig rig;
    rig.makePresent();
    QList<int> gauges;           // the gauge after each flag byte
    int bytesWhenEventRan = -1;  // bytes on the line when a posted event got its turn
    withDialog(rig, [&](TTimings& d) {
        // Only timing 1: frame with argument 37, then 35, 1, 34 zeros, 220.
        press(d.StringGrid3(), 0, 1);
        rig.line.clearSent();
        d.Timings_OK()->click();
        QCOMPARE(rig.line.sent(), QByteArray("TMGS \x25 \n\r", 9));
        rig.line.clearSent();
        rig.line.onPut = [&](FakeLine& line) {
            const int framed = static_cast<int>(line.puts.size());
            // The first blank after flag i: the gauge has been set for flag i by then.
            if (framed % 3 == 1 && framed >= 7 && framed <= 109)
                gauges << rig.main().ProgressGauge()->Progress();
        };
        QTimer::singleShot(0, [&] { bytesWhenEventRan = static_cast<int>(rig.line.puts.size()); });
        rig.pump();
        rig.line.onPut = nullptr;
        QByteArray one(1, 35);
        one += char(1);
        one += QByteArray(34, 0);
        one += char(220);
        QCOMPARE(unframe(rig.line.sent()), one);
        QVERIFY(d.isVisible());
        rig.line.feed("OK");
        rig.pump();
        QCOMPARE(rig.messages, QStringList({"Upload successful!!"}));
        QCOMPARE(marked(rig), QList<int>({1}));  // the upload leaves the marks alone

        // All of them: 35, 35 ones, 186.
        d.Button1()->click();
        rig.line.clearSent();
        d.Timings_OK()->click();
        QCOMPARE(rig.line.sent(), QByteArray("TMGS \x25 \n\r", 9));
        rig.line.clearSent();
        rig.pump();
        QByteArray all(1, 35);
        all += QByteArray(35, 1);
        all += char(186);
        QCOMPARE(unframe(rig.line.sent()), all);
    });
    // The gauge after flag i is i * 100 / 35, and 100 after the last.
    QCOMPARE(gauges.size(), 35);
    for (int i = 1; i <= 35; ++i) QCOMPARE(gauges[i - 1], i * 100 / 35);
    // Events got their turn right after the count and the first flag.
    QVERIFY2(bytesWhenEventRan == 6, qPrintable(QString::number(bytesWhenEventRan)));
}

QTEST_MAIN(TestTimingsDialog)
#include "test_timings_dialog.moc"
