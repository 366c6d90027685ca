#include "pattern/TPatterns.h"

#include <QHeaderView>
#include <QHideEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <iterator>

#include "link/LinkEngine.h"
#include "pattern/PatternTable.h"
#include "ui/FormControls.h"
#include "ui/TMainForm.h"
#include "ui/TStringGrid.h"

const QString TPatterns::Caption = QStringLiteral("Patterns");
const QString TPatterns::SelectAllText = QStringLiteral("Select All");
const QString TPatterns::UnSelectAllText = QStringLiteral("UnSelect All");
const QString TPatterns::TickText = QStringLiteral("     V");
const QString TPatterns::NothingSelectedText = QStringLiteral("Please Select the Pattern index");

namespace {

constexpr int FontPixels = 16;
constexpr int RowHeight = 24;
constexpr int TickCol = 0;
// The narrow empty column, where "Select All" parks the current cell.
constexpr int EmptyCol = 2;

// Column widths in pixels, heading texts.
struct Column {
    int width;
    const char* heading;
};
constexpr Column Columns[] = {
    {58, " Select"},
    {179, "      Pattern Name"},
    {14, ""},
};
constexpr int ColumnCount = static_cast<int>(std::size(Columns));

}  // namespace

TPatterns::TPatterns(LinkEngine& engine, QWidget* parent)
    : TFormDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      engine_(engine) {
    setObjectName(QStringLiteral("Patterns"));
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    FormControls::setOuterSize(this, QSize(FormWidth, FormHeight), true);

    // Grown row by row as it is filled.
    StringGrid4_ = new TStringGrid(ColumnCount, 2, 0, 1, this);
    StringGrid4_->setObjectName(QStringLiteral("StringGrid4"));
    StringGrid4_->setAccessibleName(QStringLiteral("StringGrid4"));
    StringGrid4_->setFont(FormControls::arial(FontPixels));
    // The heading row has a font of its own in Qt; the headings are in the grid's font here.
    StringGrid4_->horizontalHeader()->setFont(StringGrid4_->font());
    StringGrid4_->setGeometry(8, 24, 289, 281);
    StringGrid4_->setDefaultRowHeight(RowHeight);
    for (int c = 0; c < ColumnCount; ++c) StringGrid4_->setColWidth(c, Columns[c].width);
    StringGrid4_->OnMouseDown = [this](Qt::MouseButton button, bool) {
        StringGrid4MouseDown(button);
    };
    StringGrid4_->OnDrawCell = [this](QPainter& painter, int col, int row, const QRect& rect) {
        StringGrid4DrawCell(painter, col, row, rect);
    };
    StringGrid4_->installEventFilter(this);

    Button1_ = FormControls::button(this, "Button1", SelectAllText, QRect(24, 320, 89, 33));
    Button1_->setFont(FormControls::arial(FontPixels));
    Patterns_OK_ = FormControls::button(this, "Patterns_OK", QStringLiteral("Upload"),
                                        QRect(176, 320, 89, 33));
    Patterns_OK_->setFont(FormControls::arial(FontPixels));
    connect(Button1_, &QPushButton::clicked, this, &TPatterns::Button1Click);
    connect(Patterns_OK_, &QPushButton::clicked, this, &TPatterns::Patterns_OKClick);

    FormCreate();
}

void TPatterns::FormCreate() {
    engine_.data().PatternSelection.fill(0);
    for (int c = 0; c < ColumnCount; ++c)
        StringGrid4_->setCells(c, 0, QLatin1String(Columns[c].heading));
    int row = 1;
    for (const PatternEntry& e : PatternTable) {
        StringGrid4_->setRowCountTotal(row + 1);
        StringGrid4_->setCells(TickCol, row, QStringLiteral("  "));
        StringGrid4_->setCells(1, row, QLatin1String(e.Name));
        refreshTickCell(row);
        ++row;
    }
}

void TPatterns::FormShow() {
    clearSelection();
    StringGrid4_->setCurrentCell(TickCol, 1);
}

void TPatterns::FormClose() {
    clearSelection();
}

void TPatterns::clearSelection() {
    // An upload already started keeps its own copy of the ticks.
    engine_.data().PatternSelection.fill(0);
    for (int row = 1; row <= PatternCount; ++row) refreshTickCell(row);
    StringGrid4_->repaintGrid();
}

void TPatterns::refreshTickCell(int row) {
    QTableWidgetItem* cell = StringGrid4_->item(row - StringGrid4_->FixedRows(), TickCol);
    if (!cell)
        return;
    const bool ticked = engine_.data().PatternSelection[row - 1] != 0;
    cell->setData(Qt::AccessibleTextRole, ticked ? TickText : StringGrid4_->Cells(TickCol, row));
}

void TPatterns::StringGrid4MouseDown(Qt::MouseButton) {
    PatternGridClicked_ = true;
    if (StringGrid4_->Col() != TickCol)
        return;
    const int row = StringGrid4_->Row();
    if (row < 1 || row > PatternCount)
        return;
    quint8& flag = engine_.data().PatternSelection[row - 1];
    flag = flag ? 0 : 1;
    refreshTickCell(row);
    StringGrid4_->repaintGrid();
}

void TPatterns::StringGrid4DrawCell(QPainter& painter, int col, int row, const QRect& rect) {
    if (row < StringGrid4_->FixedRows() || row > PatternCount)
        return;
    if (col == TickCol && engine_.data().PatternSelection[row - 1] != 0) {
        StringGrid4_->fillCell(painter, rect, StringGrid4_->windowColor(), TickText,
                               StringGrid4_->font());
        return;
    }
    // Until the first press the grid's marking of its current cell is painted over.
    if (PatternGridClicked_)
        return;
    StringGrid4_->fillCell(painter, rect, StringGrid4_->windowColor(),
                           StringGrid4_->Cells(col, row), StringGrid4_->font());
}

void TPatterns::Button1Click() {
    // The caption, not the ticks, decides; it is kept across closing and opening.
    const bool selectAll = Button1_->text() == SelectAllText;
    engine_.data().PatternSelection.fill(selectAll ? 1 : 0);
    Button1_->setText(selectAll ? UnSelectAllText : SelectAllText);
    Button1_->setAccessibleName(Button1_->text());
    for (int row = 1; row <= PatternCount; ++row) refreshTickCell(row);
    StringGrid4_->setCurrentCell(EmptyCol, 1);
    StringGrid4_->repaintGrid();
}

void TPatterns::Patterns_OKClick() {
    int selected = 0;
    for (quint8 flag : engine_.data().PatternSelection) selected += flag == 1 ? 1 : 0;
    if (selected == 0) {
        message(NothingSelectedText);
        return;
    }
    // Refused silently unless the port is open, the generator present and nothing outstanding.
    engine_.startCommand(Command::Ptns);
}

void TPatterns::message(const QString& text) {
    if (auto* mainForm = qobject_cast<TMainForm*>(parentWidget())) {
        mainForm->showMessage(text);
        return;
    }
    QMessageBox::information(this, QStringLiteral("ORVE-1"), text);
}

void TPatterns::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TPatterns::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        FormClose();
}

bool TPatterns::eventFilter(QObject* watched, QEvent* event) {
    // Space works as a press on the current cell, so that ticking also serves the keyboard.
    if (watched == StringGrid4_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        StringGrid4MouseDown(Qt::NoButton);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
