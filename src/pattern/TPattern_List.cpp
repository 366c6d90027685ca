#include "pattern/TPattern_List.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiArea>
#include <QPainter>

#include "link/LinkEngine.h"
#include "pattern/PatternTable.h"
#include "pattern/TPatternForm.h"
#include "ui/FormControls.h"
#include "ui/TMainForm.h"
#include "ui/TStringGrid.h"

const QString TPattern_List::Caption = QStringLiteral("List of patterns");

namespace {

constexpr int FontPixels = 16;
constexpr int ColumnWidth = 125;
constexpr int RowHeight = 24;

}  // namespace

TPattern_List::TPattern_List(LinkEngine& engine, QWidget* parent)
    : TFormDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      engine_(engine) {
    setObjectName(QStringLiteral("Pattern_List"));
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    FormControls::setOuterSize(this, QSize(FormWidth, FormHeight), true);

    // Grown row by row as it is filled.
    StringGrid2_ = new TStringGrid(2, 2, 0, 1, this);
    StringGrid2_->setObjectName(QStringLiteral("StringGrid2"));
    StringGrid2_->setAccessibleName(QStringLiteral("StringGrid2"));
    StringGrid2_->setFont(FormControls::arial(FontPixels));
    // The heading row has a font of its own in Qt; the headings are in the grid's font here.
    StringGrid2_->horizontalHeader()->setFont(StringGrid2_->font());
    StringGrid2_->setGeometry(32, 24, 273, 385);
    StringGrid2_->setDefaultRowHeight(RowHeight);
    for (int c = 0; c < 2; ++c) StringGrid2_->setColWidth(c, ColumnWidth);
    StringGrid2_->OnMouseDown = [this](Qt::MouseButton button, bool) {
        StringGrid2MouseDown(button);
    };
    StringGrid2_->OnDrawCell = [this](QPainter& painter, int col, int row, const QRect& rect) {
        StringGrid2DrawCell(painter, col, row, rect);
    };
    StringGrid2_->OnDblClick = [this] { StringGrid2DblClick(); };
    StringGrid2_->installEventFilter(this);

    FormCreate();
}

void TPattern_List::FormCreate() {
    StringGrid2_->setCells(0, 0, QStringLiteral("      Pattern NO."));
    StringGrid2_->setCells(1, 0, QStringLiteral("      Pattern Name"));
    int row = 1;
    for (const PatternEntry& e : PatternTable) {
        StringGrid2_->setRowCountTotal(row + 1);
        StringGrid2_->setCells(0, row, QString::number(e.Number));
        StringGrid2_->setCells(1, row, QLatin1String(e.Name));
        ++row;
    }
}

void TPattern_List::StringGrid2MouseDown(Qt::MouseButton) {
    PatternListHighlightRow_ = static_cast<qint8>(StringGrid2_->Row());
    StringGrid2_->repaintGrid();
}

void TPattern_List::StringGrid2DrawCell(QPainter& painter, int col, int row, const QRect& rect) {
    // Until the first press the grid shows its own marking of the current cell.
    if (row < StringGrid2_->FixedRows() || PatternListHighlightRow_ <= 0)
        return;
    const QColor fill = row == PatternListHighlightRow_ ? TStringGrid::activeCaptionColor()
                                                        : StringGrid2_->windowColor();
    StringGrid2_->fillCell(painter, rect, fill, StringGrid2_->Cells(col, row),
                           StringGrid2_->font());
}

void TPattern_List::StringGrid2DblClick() {
    const int row = StringGrid2_->Row();
    if (row < StringGrid2_->FixedRows() || row > PatternCount)
        return;
    engine_.data().SelectedPatternIndex = static_cast<quint8>(row - 1);
    close();
    // The pattern window's activation shows the pick; without one, the pick waits in the
    // selected pattern (and the next pattern window starts at 1 again).
    auto* mainForm = qobject_cast<TMainForm*>(parentWidget());
    if (!mainForm)
        return;
    TMdiChildForm::focusChild(mainForm->mdiArea(), TPatternForm::Caption);
}

bool TPattern_List::eventFilter(QObject* watched, QEvent* event) {
    // Return picks the current row, so that the picker also serves the keyboard.
    if (watched == StringGrid2_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            StringGrid2DblClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
