#include "edid/TEDID_Block.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "edid/EdidCellDelegate.h"
#include "link/LinkEngine.h"
#include "ui/FormControls.h"
#include "ui/TStringGrid.h"

const QString TEDID_Block::Caption = QStringLiteral("EDID Memory");

namespace {

// Arial 10 and 12 point on the 96-dpi screens the form was drawn for.
constexpr int GridFontPixels = 13;
constexpr int ButtonFontPixels = 16;
constexpr int CellWidth = 34;
constexpr int CellHeight = 21;
constexpr char16_t Backspace = 8;

QString byteText(int value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

int digitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

bool isArrow(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right || key == Qt::Key_Down;
}

}  // namespace

TEDID_Block::TEDID_Block(LinkEngine& engine, QWidget* parent)
    : TFormDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      engine_(engine) {
    setObjectName(QStringLiteral("EDID_Block"));
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    FormControls::setOuterSize(this, QSize(FormWidth, FormHeight), false);

    StringGrid1_ = new TStringGrid(Side + 1, Side + 1, 1, 1, this);
    StringGrid1_->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1_->setAccessibleName(QStringLiteral("StringGrid1"));
    StringGrid1_->setFont(FormControls::arial(GridFontPixels));
    StringGrid1_->horizontalHeader()->setFont(StringGrid1_->font());
    StringGrid1_->verticalHeader()->setFont(StringGrid1_->font());
    StringGrid1_->setGeometry(8, 8, 601, 385);
    StringGrid1_->setDefaultRowHeight(CellHeight);
    for (int c = 0; c <= Side; ++c) StringGrid1_->setColWidth(c, CellWidth);
    StringGrid1_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    // Tab leaves the grid for "OK" rather than walking the cells.
    StringGrid1_->setTabKeyNavigation(false);
    StringGrid1_->setEditTriggers(
        QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
        QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked);
    // The grid's own painting is all this form needs, so the cell editor's delegate replaces
    // the grid's.
    delegate_ = new EdidCellDelegate(StringGrid1_);
    StringGrid1_->setItemDelegate(delegate_);
    delegate_->OnGetEditText = [this] { StringGrid1GetEditText(); };
    delegate_->OnKeyPress = [this](QChar key) { return StringGrid1KeyPress(key); };
    delegate_->OnTab = [this](bool) { Button1_->setFocus(Qt::TabFocusReason); };
    StringGrid1_->OnMouseDown = [this](Qt::MouseButton button, bool) {
        StringGrid1MouseDown(button);
    };
    StringGrid1_->installEventFilter(this);

    Button1_ = FormControls::button(this, "Button1", QStringLiteral("OK"), QRect(504, 400, 81, 25));
    Button1_->setFont(FormControls::arial(ButtonFontPixels));
    connect(Button1_, &QPushButton::clicked, this, &TEDID_Block::Button1Click);

    FormCreate();
}

void TEDID_Block::FormCreate() {
    for (int i = 1; i <= Side; ++i) {
        const QString heading = QLatin1Char(' ') + byteText(i - 1);
        StringGrid1_->setCells(i, 0, heading);
        StringGrid1_->setCells(0, i, heading);
    }
}

void TEDID_Block::FormShow() {
    delegate_->closeOpenEditor();
    const EdidImage& image = engine_.edid();
    for (int row = 1; row <= Side; ++row) {
        for (int col = 1; col <= Side; ++col) {
            const int i = byteIndex(col, row);
            filled_[i] = byteText(image[i]);
            StringGrid1_->setCells(col, row, filled_[i]);
        }
    }
    StringGrid1_->repaintGrid();
    StringGrid1_->setCurrentCell(1, 1);
    StringGrid1_->setFocus();
}

int TEDID_Block::cellValue(const QString& text) {
    int value = 0;
    for (QChar c : text) {
        const int digit = digitValue(c);
        if (digit < 0)
            return -1;
        value = (16 * value + digit) % 256;
    }
    return value;
}

void TEDID_Block::normaliseCells() {
    for (int row = 1; row <= Side; ++row) {
        for (int col = 1; col <= Side; ++col) {
            const QString text = StringGrid1_->Cells(col, row);
            if (text.isEmpty()) {
                StringGrid1_->setCells(col, row, QStringLiteral("00"));
                continue;
            }
            const int value = cellValue(text);
            if (value >= 0 && value <= 15 && byteText(value) != text)
                StringGrid1_->setCells(col, row, byteText(value));
        }
    }
    StringGrid1_->repaintGrid();
}

QChar TEDID_Block::StringGrid1KeyPress(QChar key) {
    if (EditStart_ == 1) {
        // The first key of an edit replaces the whole cell.
        EditStart_ = 0;
    } else if (StringGrid1_->Cells(StringGrid1_->Col(), StringGrid1_->Row()).size() >= 2 &&
               key.unicode() != Backspace) {
        return QChar();
    }
    const char16_t u = key.unicode();
    if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || u == Backspace)
        return key;
    if (u >= 'a' && u <= 'f')
        return QChar(char16_t(u - 'a' + 'A'));
    return QChar();
}

void TEDID_Block::StringGrid1GetEditText() {
    EditStart_ = 1;
}

void TEDID_Block::StringGrid1KeyDown(int key) {
    if (isArrow(key))
        normaliseCells();
}

void TEDID_Block::StringGrid1MouseDown(Qt::MouseButton) {
    normaliseCells();
}

void TEDID_Block::Button1Click() {
    EdidImage& image = engine_.edid();
    for (int row = 1; row <= Side; ++row) {
        for (int col = 1; col <= Side; ++col) {
            const int i = byteIndex(col, row);
            const QString text = StringGrid1_->Cells(col, row);
            if (text == filled_[i])
                continue;
            // The editor lets nothing but hexadecimal digits in; anything else that got into
            // a cell is ignored rather than guessed at.
            const int value = cellValue(text);
            if (value >= 0)
                image[i] = static_cast<quint8>(value);
        }
    }
    accept();
}

void TEDID_Block::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TEDID_Block::hideEvent(QHideEvent* event) {
    delegate_->closeOpenEditor();
    QDialog::hideEvent(event);
}

bool TEDID_Block::eventFilter(QObject* watched, QEvent* event) {
    // Arrow keys reach the grid itself, and from its cell editor when the editor lets them go.
    if (watched == StringGrid1_ && event->type() == QEvent::KeyPress)
        StringGrid1KeyDown(static_cast<QKeyEvent*>(event)->key());
    return QDialog::eventFilter(watched, event);
}
