#pragma once

#include <QColor>
#include <QTableWidget>
#include <functional>

class QFont;
class QPainter;

// A grid of text cells addressed as (col, row), in the manner of the forms' string grids: the
// first FixedRows rows and FixedCols columns are headings, the rest is the body. Headings sit in
// the table's header views, so they stay in place while the body scrolls; body cell (col, row)
// is table cell (row - FixedRows, col - FixedCols).
//
// The forms' handlers hook in where the original grid calls them:
// - OnMouseDown runs after the grid's own handling of a press, which moves the current cell
//   only for a left press on a body cell that is not the second press of a double-click.
//   Presses on the headings reach it too (with the current cell unmoved).
// - OnDblClick runs after OnMouseDown of the second press.
// - OnDrawCell runs for every body cell after the grid's default painting of it.
class TStringGrid : public QTableWidget {
    Q_OBJECT
public:
    // doubleClick: the second press of a double-click.
    using MouseHandler = std::function<void(Qt::MouseButton button, bool doubleClick)>;
    using DrawCellHandler =
        std::function<void(QPainter& painter, int col, int row, const QRect& rect)>;

    // rowCount and colCount count the heading rows and columns too.
    TStringGrid(int colCount, int rowCount, int fixedCols, int fixedRows, QWidget* parent);

    int ColCount() const { return columnCount() + fixedCols_; }
    int RowCount() const { return rowCount() + fixedRows_; }
    void setRowCountTotal(int rows);
    int FixedCols() const { return fixedCols_; }
    int FixedRows() const { return fixedRows_; }

    QString Cells(int col, int row) const;
    void setCells(int col, int row, const QString& text);

    void setColWidth(int col, int width);
    int colWidth(int col) const;
    void setDefaultRowHeight(int height);

    // The current cell; the first body cell when none has been set.
    int Col() const;
    int Row() const;
    void setCurrentCell(int col, int row);
    // The body rectangle of a cell in viewport coordinates (empty for heading cells).
    QRect cellRect(int col, int row) const;

    void repaintGrid();

    // The one way a grid that marks rows paints a body cell: the rectangle filled with a colour
    // and the text written 2 pixels right of and below its top-left corner, in the colour that
    // reads on that fill: the palette's text colour on its window colour (light or dark, as the
    // desktop has it), black or white on any other fill, whichever stands out.
    void fillCell(QPainter& painter, const QRect& rect, const QColor& fill, const QString& text,
                  const QFont& font) const;
    // The system colours those grids use: an active window's caption and the window background.
    static QColor activeCaptionColor();
    QColor windowColor() const;

    MouseHandler OnMouseDown;
    MouseHandler OnMouseUp;
    std::function<void()> OnDblClick;
    DrawCellHandler OnDrawCell;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTableWidgetItem* bodyItem(int col, int row);

    int fixedCols_;
    int fixedRows_;
};
