#include "ui/TStringGrid.h"

#include <QFont>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Paints a body cell as Qt does, then lets the grid's OnDrawCell paint over it.
class CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(TStringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if (!grid_->OnDrawCell)
            return;
        painter->save();
        grid_->OnDrawCell(*painter, index.column() + grid_->FixedCols(),
                          index.row() + grid_->FixedRows(), option.rect);
        painter->restore();
    }

private:
    TStringGrid* grid_;
};

constexpr int TextOffset = 2;

}  // namespace

TStringGrid::TStringGrid(int colCount, int rowCount, int fixedCols, int fixedRows, QWidget* parent)
    : QTableWidget(parent), fixedCols_(fixedCols), fixedRows_(fixedRows) {
    setItemDelegate(new CellDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    QHeaderView* top = horizontalHeader();
    top->setVisible(fixedRows > 0);
    top->setSectionsClickable(false);
    top->setHighlightSections(false);
    top->setSectionResizeMode(QHeaderView::Fixed);
    top->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    top->setMinimumSectionSize(4);
    QHeaderView* side = verticalHeader();
    side->setVisible(fixedCols > 0);
    side->setSectionsClickable(false);
    side->setHighlightSections(false);
    side->setSectionResizeMode(QHeaderView::Fixed);
    side->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    side->setMinimumSectionSize(4);
    // Presses on the headings are the grid's presses too.
    top->viewport()->installEventFilter(this);
    side->viewport()->installEventFilter(this);

    setColumnCount(colCount - fixedCols);
    for (int c = 0; c < columnCount(); ++c) setHorizontalHeaderItem(c, new QTableWidgetItem);
    setRowCountTotal(rowCount);
}

void TStringGrid::setRowCountTotal(int rows) {
    const int old = rowCount();
    setRowCount(qMax(0, rows - fixedRows_));
    for (int r = old; r < rowCount(); ++r) {
        if (fixedCols_ > 0)
            setVerticalHeaderItem(r, new QTableWidgetItem);
        for (int c = 0; c < columnCount(); ++c) setItem(r, c, new QTableWidgetItem);
    }
    if (!currentIndex().isValid() && rowCount() > 0 && columnCount() > 0)
        setCurrentCell(fixedCols_, fixedRows_);
}

QTableWidgetItem* TStringGrid::bodyItem(int col, int row) {
    return item(row - fixedRows_, col - fixedCols_);
}

QString TStringGrid::Cells(int col, int row) const {
    const QTableWidgetItem* it = nullptr;
    if (row < fixedRows_ && col >= fixedCols_)
        it = horizontalHeaderItem(col - fixedCols_);
    else if (col < fixedCols_ && row >= fixedRows_)
        it = verticalHeaderItem(row - fixedRows_);
    else if (col >= fixedCols_ && row >= fixedRows_)
        it = item(row - fixedRows_, col - fixedCols_);
    return it ? it->text() : QString();
}

void TStringGrid::setCells(int col, int row, const QString& text) {
    QTableWidgetItem* it = nullptr;
    if (row < fixedRows_ && col >= fixedCols_)
        it = horizontalHeaderItem(col - fixedCols_);
    else if (col < fixedCols_ && row >= fixedRows_)
        it = verticalHeaderItem(row - fixedRows_);
    else if (col >= fixedCols_ && row >= fixedRows_)
        it = bodyItem(col, row);
    if (it)
        it->setText(text);
}

void TStringGrid::setColWidth(int col, int width) {
    if (col < fixedCols_)
        verticalHeader()->setFixedWidth(width);
    else
        horizontalHeader()->resizeSection(col - fixedCols_, width);
}

int TStringGrid::colWidth(int col) const {
    if (col < fixedCols_)
        return verticalHeader()->width();
    return horizontalHeader()->sectionSize(col - fixedCols_);
}

void TStringGrid::setDefaultRowHeight(int height) {
    verticalHeader()->setDefaultSectionSize(height);
    horizontalHeader()->setFixedHeight(height);
}

int TStringGrid::Col() const {
    const QModelIndex i = currentIndex();
    return (i.isValid() ? i.column() : 0) + fixedCols_;
}

int TStringGrid::Row() const {
    const QModelIndex i = currentIndex();
    return (i.isValid() ? i.row() : 0) + fixedRows_;
}

void TStringGrid::setCurrentCell(int col, int row) {
    QTableWidget::setCurrentCell(row - fixedRows_, col - fixedCols_);
}

QRect TStringGrid::cellRect(int col, int row) const {
    if (col < fixedCols_ || row < fixedRows_)
        return {};
    return visualRect(model()->index(row - fixedRows_, col - fixedCols_));
}

void TStringGrid::repaintGrid() {
    viewport()->update();
}

void TStringGrid::fillCell(QPainter& painter, const QRect& rect, const QColor& fill,
                           const QString& text, const QFont& font) const {
    painter.fillRect(rect, fill);
    painter.setFont(font);
    const QColor onFill = fill.lightnessF() > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
    painter.setPen(fill == windowColor() ? palette().color(QPalette::Active, QPalette::Text)
                                         : onFill);
    const QRect textRect = rect.adjusted(TextOffset, TextOffset, 0, 0);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

QColor TStringGrid::activeCaptionColor() {
    // The active title bar colour of the desktop the forms were drawn for.
    return QColor(153, 180, 209);
}

QColor TStringGrid::windowColor() const {
    return palette().color(QPalette::Active, QPalette::Base);
}

void TStringGrid::mousePressEvent(QMouseEvent* event) {
    // Only a left press moves the current cell.
    if (event->button() == Qt::LeftButton)
        QTableWidget::mousePressEvent(event);
    else
        event->accept();
    if (OnMouseDown)
        OnMouseDown(event->button(), false);
}

void TStringGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click leaves the current cell where the first put it.
    event->accept();
    if (OnMouseDown)
        OnMouseDown(event->button(), true);
    if (OnDblClick && event->button() == Qt::LeftButton)
        OnDblClick();
    // A grid edited in place starts the edit of the cell double-clicked, which the first press
    // has made current, as any view would.
    const QModelIndex at = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && at.isValid() && at == currentIndex() &&
        editTriggers().testFlag(QAbstractItemView::DoubleClicked) && state() != EditingState)
        edit(at, QAbstractItemView::DoubleClicked, event);
}

void TStringGrid::mouseReleaseEvent(QMouseEvent* event) {
    QTableWidget::mouseReleaseEvent(event);
    if (OnMouseUp)
        OnMouseUp(event->button(), false);
}

bool TStringGrid::eventFilter(QObject* watched, QEvent* event) {
    const bool onHeader =
        watched == horizontalHeader()->viewport() || watched == verticalHeader()->viewport();
    if (!onHeader)
        return QTableWidget::eventFilter(watched, event);
    const auto button = [event] { return static_cast<QMouseEvent*>(event)->button(); };
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (OnMouseDown)
                OnMouseDown(button(), false);
            return true;
        case QEvent::MouseButtonDblClick:
            if (OnMouseDown)
                OnMouseDown(button(), true);
            if (OnDblClick && button() == Qt::LeftButton)
                OnDblClick();
            return true;
        case QEvent::MouseButtonRelease:
            if (OnMouseUp)
                OnMouseUp(button(), false);
            return true;
        default:
            return QTableWidget::eventFilter(watched, event);
    }
}
