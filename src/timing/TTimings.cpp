#include "timing/TTimings.h"

#include <QHeaderView>
#include <QPainter>
#include <QPushButton>

#include "link/LinkEngine.h"
#include "timing/TimingTable.h"
#include "timing/TimingText.h"
#include "ui/FormControls.h"
#include "ui/TMainForm.h"
#include "ui/TStringGrid.h"

const QString TTimings::SelectAllCaption = QStringLiteral("Select All");
const QString TTimings::UnSelectAllCaption = QStringLiteral(" UnSelect All");
const QString TTimings::Mark = QStringLiteral("    V");

namespace {

// Columns of the grid: the mark, the four timing columns, a narrow empty one.
// Columns: heading, width in pixels.
struct GridColumn {
    const char* heading;
    int width;
};

constexpr int GridColumns = 6;
constexpr GridColumn Columns[GridColumns] = {
    {"Select", 48},
    {TimingText::ListHeadings[0], 116},
    {TimingText::ListHeadings[1], 115},
    {TimingText::ListHeadings[2], 115},
    {TimingText::ListHeadings[3], 115},
    {"", 12},
};

constexpr int SelectColumn = 0;
constexpr int EmptyColumn = 5;
constexpr int RowHeight = 24;  // pixels
constexpr int LargeText = 16;  // pixel height of the grid's and the buttons' Arial

}  // namespace

TTimings::TTimings(LinkEngine& engine, QWidget* parent)
    : TFormDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      engine_(engine) {
    setObjectName(QStringLiteral("Timings"));
    setWindowTitle(QStringLiteral("Timings"));
    setAccessibleName(QStringLiteral("Timings"));
    FormControls::setOuterSize(this, QSize(FormWidth, FormHeight), true);
    move(FormLeft, FormTop);

    StringGrid3_ = new TStringGrid(GridColumns, 2, 0, 1, this);
    StringGrid3_->setObjectName(QStringLiteral("StringGrid3"));
    StringGrid3_->setAccessibleName(QStringLiteral("StringGrid3"));
    StringGrid3_->setGeometry(8, 56, 577, 257);
    StringGrid3_->setFont(FormControls::arial(LargeText));
    StringGrid3_->horizontalHeader()->setFont(FormControls::arial(LargeText));
    StringGrid3_->setDefaultRowHeight(RowHeight);
    for (int c = 0; c < GridColumns; ++c) StringGrid3_->setColWidth(c, Columns[c].width);

    Button1_ = FormControls::button(this, "Button1", SelectAllCaption, QRect(24, 328, 129, 33));
    Button1_->setFont(FormControls::arial(LargeText));
    Timings_OK_ = FormControls::button(this, "Timings_OK", QStringLiteral("Upload"),
                                       QRect(432, 328, 137, 33));
    Timings_OK_->setFont(FormControls::arial(LargeText));

    StringGrid3_->OnMouseDown = [this](Qt::MouseButton, bool) { StringGrid3MouseDown(); };
    StringGrid3_->OnMouseUp = [this](Qt::MouseButton, bool) { StringGrid3MouseUp(); };
    StringGrid3_->OnDrawCell = [this](QPainter& p, int col, int row, const QRect& rect) {
        StringGrid3DrawCell(p, col, row, rect);
    };
    connect(Button1_, &QPushButton::clicked, this, &TTimings::Button1Click);
    connect(Timings_OK_, &QPushButton::clicked, this, &TTimings::Timings_OKClick);

    FormCreate();
}

quint8& TTimings::flag(int row) {
    return engine_.data().TimingSelection[static_cast<size_t>(row - 1)];
}

void TTimings::FormCreate() {
    TimingGridMouseHeld = 0;
    engine_.data().TimingSelection.fill(0);
    for (int c = 0; c < GridColumns; ++c)
        StringGrid3_->setCells(c, 0, QLatin1String(Columns[c].heading));
    // The heading row and one row per timing.
    StringGrid3_->setRowCountTotal(TimingCount + 1);
    for (int r = 1; r <= TimingCount; ++r) {
        const QStringList cells = TimingText::ListCells(TimingTable[r - 1]);
        for (int c = 0; c < TimingText::ListColumns; ++c)
            StringGrid3_->setCells(c + 1, r, cells[c]);
    }
    refreshMarks();
}

void TTimings::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TTimings::FormShow() {
    StringGrid3_->setCurrentCell(SelectColumn, 1);
    refreshMarks();
}

void TTimings::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TTimings::FormClose() {
    // Every opening starts with nothing marked (an upload already started keeps its own copy).
    // The button keeps its caption, and so its next action, as the pattern dialog's does.
    engine_.data().TimingSelection.fill(0);
    TimingGridMouseHeld = 0;
    refreshMarks();
}

void TTimings::refreshMarks() {
    for (int r = 1; r <= TimingCount; ++r)
        StringGrid3_->setCells(SelectColumn, r, flag(r) != 0 ? Mark : QString());
    StringGrid3_->repaintGrid();
}

void TTimings::StringGrid3MouseDown() {
    // Any button, any cell: what counts is the current cell after the grid's own handling,
    // so a press on the heading row flips the row that is current.
    TimingGridMouseHeld = 1;
    if (StringGrid3_->Col() == SelectColumn) {
        quint8& f = flag(StringGrid3_->Row());
        f = f != 0 ? 0 : 1;
    }
    refreshMarks();
}

void TTimings::StringGrid3MouseUp() {
    TimingGridMouseHeld = 0;
    StringGrid3_->repaintGrid();
}

void TTimings::StringGrid3DrawCell(QPainter& painter, int col, int row, const QRect& rect) {
    if (row < 1)
        return;
    if (col == SelectColumn && flag(row) != 0) {
        StringGrid3_->fillCell(painter, rect, StringGrid3_->windowColor(), Mark,
                               StringGrid3_->font());
        return;
    }
    if (TimingGridMouseHeld == 1)
        return;  // the grid's own painting, with its marking of the current cell
    StringGrid3_->fillCell(painter, rect, StringGrid3_->windowColor(),
                           StringGrid3_->Cells(col, row), StringGrid3_->font());
}

void TTimings::Button1Click() {
    const bool selectAll = Button1_->text() == SelectAllCaption;
    engine_.data().TimingSelection.fill(selectAll ? 1 : 0);
    const QString caption = selectAll ? UnSelectAllCaption : SelectAllCaption;
    Button1_->setText(caption);
    Button1_->setAccessibleName(caption);
    StringGrid3_->setCurrentCell(EmptyColumn, 1);
    refreshMarks();
}

void TTimings::Timings_OKClick() {
    int marked = 0;
    for (quint8 f : engine_.data().TimingSelection) marked += f != 0 ? 1 : 0;
    if (marked == 0) {
        // Whatever the state of the link.
        if (auto* main = qobject_cast<TMainForm*>(parentWidget()))
            main->showMessage(QStringLiteral("Please Select the Timing index"));
        return;
    }
    // Refused silently unless the port is open, the generator present and nothing outstanding.
    // The dialog stays open; the engine sends the flags from its tick, yielding between them.
    engine_.startCommand(Command::Tmgs);
}
