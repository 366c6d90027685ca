#include "timing/TTiming_List.h"

#include <QHeaderView>
#include <QPainter>

#include "link/LinkEngine.h"
#include "timing/TimingTable.h"
#include "timing/TimingText.h"
#include "ui/FormControls.h"
#include "ui/TMainForm.h"
#include "ui/TMdiChildForm.h"
#include "ui/TStringGrid.h"

namespace {

constexpr int ColumnWidth = 125;  // pixels, every column
constexpr int RowHeight = 24;     // pixels
constexpr int GridText = 16;      // pixel height of the grid's Arial

}  // namespace

TTiming_List::TTiming_List(LinkEngine& engine, QWidget* parent)
    : TFormDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      engine_(engine) {
    setObjectName(QStringLiteral("Timing_List"));
    setWindowTitle(QStringLiteral("List of Timings"));
    setAccessibleName(QStringLiteral("List of Timings"));
    setModal(false);
    FormControls::setOuterSize(this, QSize(FormWidth, FormHeight), true);
    move(FormLeft, FormTop);

    StringGrid1_ = new TStringGrid(TimingText::ListColumns, 2, 0, 1, this);
    StringGrid1_->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1_->setAccessibleName(QStringLiteral("StringGrid1"));
    StringGrid1_->setGeometry(15, 69, 537, 353);
    StringGrid1_->setFont(FormControls::arial(GridText));
    StringGrid1_->horizontalHeader()->setFont(FormControls::arial(GridText));
    StringGrid1_->setDefaultRowHeight(RowHeight);
    for (int c = 0; c < TimingText::ListColumns; ++c) StringGrid1_->setColWidth(c, ColumnWidth);
    StringGrid1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    StringGrid1_->OnMouseDown = [this](Qt::MouseButton, bool) { StringGrid1MouseDown(); };
    StringGrid1_->OnDrawCell = [this](QPainter& p, int col, int row, const QRect& rect) {
        StringGrid1DrawCell(p, col, row, rect);
    };
    StringGrid1_->OnDblClick = [this] { StringGrid1DblClick(); };

    FormCreate();
}

void TTiming_List::FormCreate() {
    for (int c = 0; c < TimingText::ListColumns; ++c)
        StringGrid1_->setCells(c, 0, QLatin1String(TimingText::ListHeadings[c]));
    // The heading row and one row per timing.
    StringGrid1_->setRowCountTotal(TimingCount + 1);
    for (int r = 1; r <= TimingCount; ++r) {
        const QStringList cells = TimingText::ListCells(TimingTable[r - 1]);
        for (int c = 0; c < TimingText::ListColumns; ++c) StringGrid1_->setCells(c, r, cells[c]);
    }
}

void TTiming_List::showList() {
    TimingListHighlightRow = 0;
    StringGrid1_->repaintGrid();
    show();
    raise();
    activateWindow();
}

void TTiming_List::StringGrid1MouseDown() {
    // After the grid's own handling: a left press on a body row has made it current.
    TimingListHighlightRow = static_cast<qint8>(StringGrid1_->Row());
    StringGrid1_->repaintGrid();
}

void TTiming_List::StringGrid1DrawCell(QPainter& painter, int col, int row, const QRect& rect) {
    if (TimingListHighlightRow <= 0 || row < 1)
        return;  // the grid's own painting, with its marking of the current cell
    const QColor fill = row == TimingListHighlightRow ? TStringGrid::activeCaptionColor()
                                                      : StringGrid1_->windowColor();
    StringGrid1_->fillCell(painter, rect, fill, StringGrid1_->Cells(col, row),
                           StringGrid1_->font());
}

void TTiming_List::StringGrid1DblClick() {
    // The row of the current cell: a double-click on the heading row leaves it where it was.
    engine_.data().SelectedTimingIndex = static_cast<quint8>(StringGrid1_->Row() - 1);
    hide();
    // The timing window's activation shows the pick; with none open, the pick is only kept.
    if (auto* main = qobject_cast<TMainForm*>(parentWidget()))
        TMdiChildForm::focusChild(main->mdiArea(), QStringLiteral("Timing"));
}
