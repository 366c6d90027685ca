// The controls the forms share: the grid under every list and dialog (cell addressing, the
// mouse rules the forms rely on, the one cell painter), the simple combo box, the spinner and
// the child windows found by caption.
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include "ui/TMdiChildForm.h"
#include "ui/TSimpleComboBox.h"
#include "ui/TStringGrid.h"
#include "ui/TUpDown.h"

class TestFormWidgets : public QObject {
    Q_OBJECT

private slots:
    void cellsMapHeadingsAndBody() {
        TStringGrid grid(3, 4, 1, 1, nullptr);
        QCOMPARE(grid.ColCount(), 3);
        QCOMPARE(grid.RowCount(), 4);
        grid.setCells(1, 0, " 00");
        grid.setCells(0, 2, " 01");
        grid.setCells(2, 3, "AB");
        QCOMPARE(grid.horizontalHeaderItem(0)->text(), QStringLiteral(" 00"));
        QCOMPARE(grid.verticalHeaderItem(1)->text(), QStringLiteral(" 01"));
        QCOMPARE(grid.item(2, 1)->text(), QStringLiteral("AB"));
        QCOMPARE(grid.Cells(2, 3), QStringLiteral("AB"));
        QCOMPARE(grid.Cells(1, 0), QStringLiteral(" 00"));
        // The first body cell is current from the start.
        QCOMPARE(grid.Col(), 1);
        QCOMPARE(grid.Row(), 1);
        grid.setRowCountTotal(6);
        QCOMPARE(grid.RowCount(), 6);
        grid.setCells(1, 5, "x");
        QCOMPARE(grid.Cells(1, 5), QStringLiteral("x"));
    }

    void pressesMoveTheCurrentCellOnlyAsTheFormsExpect() {
        TStringGrid grid(2, 6, 0, 1, nullptr);
        grid.setDefaultRowHeight(24);
        grid.resize(300, 200);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QStringList log;
        grid.OnMouseDown = [&](Qt::MouseButton b, bool dbl) {
            log << QStringLiteral("down %1 %2 row %3")
                       .arg(b == Qt::LeftButton ? "L" : "R")
                       .arg(dbl ? "dbl" : "single")
                       .arg(grid.Row());
        };
        grid.OnMouseUp = [&](Qt::MouseButton, bool) { log << QStringLiteral("up"); };
        grid.OnDblClick = [&] { log << QStringLiteral("dblclick row %1").arg(grid.Row()); };

        const QPoint row3 = grid.cellRect(1, 3).center();
        QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, row3);
        QCOMPARE(grid.Row(), 1);  // a right press leaves the current cell
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, row3);
        QCOMPARE(grid.Row(), 3);
        QCOMPARE(grid.Col(), 1);
        // The heading row reports presses but never becomes current.
        QTest::mouseDClick(grid.horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(grid.Row(), 3);
        QCOMPARE(log, QStringList({"down R single row 1", "up", "down L single row 3", "up",
                                   "down L dbl row 3", "dblclick row 3"}));
    }

    void fillCellPaintsColourAndTextAtTwoTwo() {
        // On the caption colour the text is black; on the window colour of a dark desktop it is
        // that desktop's text colour.
        TStringGrid grid(2, 2, 0, 1, nullptr);
        QPalette dark = grid.palette();
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, QColor(230, 230, 230));
        grid.setPalette(dark);
        for (const QColor& fill : {TStringGrid::activeCaptionColor(), grid.windowColor()}) {
            QImage img(40, 24, QImage::Format_RGB32);
            QPainter p(&img);
            QFont font(QStringLiteral("Arial"));
            font.setPixelSize(16);
            grid.fillCell(p, QRect(0, 0, 40, 24), fill, "V", font);
            p.end();
            QCOMPARE(img.pixelColor(0, 0), fill);
            QCOMPARE(img.pixelColor(39, 23), fill);
            // The text starts right of x = 2 and below y = 2, and stands out from the fill.
            int firstInk = -1;
            for (int x = 0; x < 40 && firstInk < 0; ++x)
                for (int y = 0; y < 24; ++y)
                    if (std::abs(qGray(img.pixel(x, y)) - qGray(fill.rgb())) > 100) {
                        firstInk = x;
                        break;
                    }
            QVERIFY(firstInk >= 2 && firstInk < 8);
        }
    }

    void simpleComboMatchesWholeItemsAndStepsOneItemPerArrow() {
        TSimpleComboBox box("Box", nullptr);
        for (int n = 1; n <= 35; ++n) box.addItem(QString::number(n));
        int changes = 0;
        QList<int> keysSeen;
        box.OnChange = [&] { ++changes; };
        box.OnKeyDown = [&](int key) {
            keysSeen << key;
            // A handler that selects the other way, as the forms' key handlers do.
            box.selectQuietly(box.ItemIndex() + (key == Qt::Key_Up ? 1 : -1));
        };
        box.setItemIndex(0);
        QCOMPARE(box.text(), QStringLiteral("1"));
        QTest::keyClick(&box, Qt::Key_Up);  // at the first item nothing moves
        QCOMPARE(box.ItemIndex(), 0);
        QTest::keyClick(&box, Qt::Key_Down);
        QCOMPARE(box.ItemIndex(), 1);
        QCOMPARE(box.text(), QStringLiteral("2"));
        box.setItemIndex(34);
        QTest::keyClick(&box, Qt::Key_Down);  // nor at the last
        QCOMPARE(box.ItemIndex(), 34);
        QCOMPARE(box.text(), QStringLiteral("35"));
        QCOMPARE(keysSeen, QList<int>({Qt::Key_Up, Qt::Key_Down, Qt::Key_Down}));

        box.clear();
        changes = 0;
        QTest::keyClicks(&box, "12");
        QCOMPARE(box.ItemIndex(), 11);
        QCOMPARE(changes, 2);  // "1", then "12"
        QTest::keyClick(&box, Qt::Key_Backspace);
        QTest::keyClicks(&box, "x");
        QCOMPARE(box.ItemIndex(), -1);  // "1x" names nothing
    }

    void upDownReportsDirectionsAndChildWindowsAreFoundByCaption() {
        TUpDown spin("UpDown1", nullptr);
        spin.resize(25, 25);
        QList<TUpDown::Direction> seen;
        spin.OnChangingEx = [&](TUpDown::Direction d) { seen << d; };
        spin.upButton()->click();
        spin.downButton()->click();
        QCOMPARE(seen,
                 QList<TUpDown::Direction>({TUpDown::Direction::Up, TUpDown::Direction::Down}));
        QCOMPARE(spin.upButton()->accessibleName(), QStringLiteral("UpDown1 up"));

        struct Child : TMdiChildForm {
            int activations = 0;
            void FormActivate() override { ++activations; }
        };
        QMdiArea area;
        area.resize(900, 600);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        QVERIFY(!TMdiChildForm::findChild(&area, "Timing"));
        auto* child = new Child;
        QPointer<QMdiSubWindow> sub =
            child->openIn(&area, "Timing", QPoint(10, 10), QSize(820, 520));
        QCOMPARE(TMdiChildForm::findChild(&area, "Timing"), sub.data());
        QCOMPARE(sub->geometry(), QRect(10, 10, 820, 520));
        QVERIFY(child->activations >= 1);
        const int before = child->activations;
        area.setActiveSubWindow(nullptr);
        QVERIFY(TMdiChildForm::focusChild(&area, "Timing"));
        QCOMPARE(child->activations, before + 1);
        sub->close();
        QTRY_VERIFY(sub.isNull());  // freed when closed
        QVERIFY(!TMdiChildForm::findChild(&area, "Timing"));
    }
};

QTEST_MAIN(TestFormWidgets)
#include "test_form_widgets.moc"
