// The grid under every list and dialog: cell addressing, the mouse rules the forms rely on,
// and the one cell painter.
#include <QHeaderView>
#include <QPainter>
#include <QtTest>

#include "ui/TStringGrid.h"

class TestStringGrid : public QObject {
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
        QImage img(40, 24, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(16);
        TStringGrid::fillCell(p, QRect(0, 0, 40, 24), TStringGrid::activeCaptionColor(), "V", font);
        p.end();
        QCOMPARE(img.pixelColor(0, 0), TStringGrid::activeCaptionColor());
        QCOMPARE(img.pixelColor(39, 23), TStringGrid::activeCaptionColor());
        // The text starts right of x = 2 and below y = 2.
        int firstInk = -1;
        for (int x = 0; x < 40 && firstInk < 0; ++x)
            for (int y = 0; y < 24; ++y)
                if (qGray(img.pixel(x, y)) < 100) {
                    firstInk = x;
                    break;
                }
        QVERIFY(firstInk >= 2 && firstInk < 8);
    }
};

QTEST_MAIN(TestStringGrid)
#include "test_string_grid.moc"
