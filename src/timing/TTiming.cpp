#include "timing/TTiming.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>

#include "link/LinkEngine.h"
#include "timing/TTiming_List.h"
#include "timing/TimingTable.h"
#include "timing/TimingText.h"
#include "ui/FormControls.h"
#include "ui/TSimpleComboBox.h"

namespace {

const QString Caption = QStringLiteral("Timing");

constexpr int SmallText = 13;  // pixel heights of the form's two Arial sizes
constexpr int LargeText = 16;

// One row of the "Horizontal" or "Vertical" group, from the top.
// Columns: label, count field, duration field (nullptr: none), unit after the count
// (nullptr: none), x of that unit (pixels, group coordinates), unit after the duration.
struct ParameterRow {
    const char* label;
    const char* field;
    const char* field2;
    const char* unit;
    int unitX;
    const char* unit2;
};

constexpr ParameterRow HorizontalRows[] = {
    {"Total :", "Timing_HTol_Edit", "Timing_HTol_Edit2", "Pixels", 184, "uS"},
    {"Active :", "Timing_HAct_Edit", "Timing_HAct_Edit2", "Pixels", 184, "uS"},
    {"Pulse Delay :", "Timing_HPD_Edit", "Timing_HPD_Edit2", "Pixels", 184, "uS"},
    {"Pulse Width :", "Timing_HPW_Edit", "Timing_HPW_Edit2", "Pixels", 184, "uS"},
    {"Polarity :", "Timing_HPol_Edit", nullptr, nullptr, 0, nullptr},
    {"Rate :", "Timing_HRat_Edit", nullptr, "KHz", 184, nullptr},
};

constexpr ParameterRow VerticalRows[] = {
    {"Total :", "Timing_VTol_Edit", "Timing_VTol_Edit2", "Lines", 192, "mS"},
    {"Active :", "Timing_VAct_Edit", "Timing_VAct_Edit2", "Lines", 192, "mS"},
    {"Pulse Delay :", "Timing_VPD_Edit", "Timing_VPD_Edit2", "Lines", 192, "mS"},
    {"Pulse Width :", "Timing_VPW_Edit", "Timing_VPW_Edit2", "Lines", 192, "mS"},
    {"Polarity :", "Timing_VPol_Edit", nullptr, nullptr, 0, nullptr},
    {"Rate :", "Timing_VRat_Edit", nullptr, "Hz", 192, nullptr},
};

// Group geometry (pixels): rows from y = 40, 32 apart; labels end at x = 101; the two field
// columns at x = 120 and 232, fields 57 by 24; units 8 below the top of their field, the
// duration's unit at x = 296.
constexpr int RowTop = 40;
constexpr int RowStep = 32;
constexpr int LabelLeft = 8;
constexpr int LabelRight = 101;
constexpr int FieldX = 120;
constexpr int Field2X = 232;
constexpr int FieldWidth = 57;
constexpr int FieldHeight = 24;
constexpr int UnitDrop = 8;
constexpr int Unit2X = 296;
constexpr int UnitWidth = 48;
constexpr int UnitHeight = 16;

constexpr int RowCount = 6;   // rows of a parameter group
constexpr int TimedRows = 4;  // total, active, pulse delay, pulse width

QLabel* smallLabel(QWidget* parent, const QString& text, const QRect& geometry) {
    QLabel* l = FormControls::label(parent, "", text, geometry);
    l->setFont(FormControls::arial(SmallText));
    return l;
}

// Builds one parameter group; the count and duration fields of each row come back in order.
void buildRows(QGroupBox* group, const ParameterRow (&rows)[RowCount],
               QLineEdit* (&counts)[RowCount], QLineEdit* (&times)[RowCount]) {
    for (int i = 0; i < RowCount; ++i) {
        const ParameterRow& row = rows[i];
        const int y = RowTop + i * RowStep;
        QLabel* label = smallLabel(group, QLatin1String(row.label),
                                   QRect(LabelLeft, y, LabelRight - LabelLeft, FieldHeight));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QLineEdit* field = FormControls::readOnlyField(group, row.field,
                                                       QRect(FieldX, y, FieldWidth, FieldHeight));
        field->setFont(FormControls::arial(SmallText));
        label->setBuddy(field);
        counts[i] = field;
        if (row.unit)
            smallLabel(group, QLatin1String(row.unit),
                       QRect(row.unitX, y + UnitDrop, UnitWidth, UnitHeight));
        if (row.field2) {
            QLineEdit* time = FormControls::readOnlyField(
                group, row.field2, QRect(Field2X, y, FieldWidth, FieldHeight));
            time->setFont(FormControls::arial(SmallText));
            times[i] = time;
            smallLabel(group, QLatin1String(row.unit2),
                       QRect(Unit2X, y + UnitDrop, UnitWidth, UnitHeight));
        }
    }
}

}  // namespace

TTiming::TTiming(LinkEngine& engine, TTiming_List* list, QWidget* parent)
    : TMdiChildForm(parent), engine_(engine), list_(list) {
    setObjectName(QStringLiteral("Timing"));
    setAccessibleName(Caption);
    setFont(FormControls::arial(SmallText));

    // "Timing No. Select", everything in it at the large size.
    QGroupBox* select = FormControls::group(this, "GroupBox1", QStringLiteral("Timing No. Select"),
                                            QRect(24, 24, 633, 81));
    select->setFont(FormControls::arial(LargeText));
    FormControls::label(select, "Label1", QStringLiteral("Timing No."), QRect(8, 32, 88, 25));
    TimingComboBox1_ = new TSimpleComboBox("TimingComboBox1", select);
    TimingComboBox1_->setGeometry(96, 32, 177, 25);
    TimingComboBox1_->setMaxLength(2);
    UpDown1_ = new TUpDown("UpDown1", select);
    UpDown1_->setGeometry(248, 32, 25, 25);
    UpDown1_->raise();
    // The spinner lies over the field's right end; keep the text clear of it.
    TimingComboBox1_->setTextMargins(0, 0, 25, 0);
    TimingIndexName_ =
        FormControls::readOnlyField(select, "TimingIndexName", QRect(296, 32, 161, 25));
    Button1_ = FormControls::button(select, "Button1", QStringLiteral("Show List"),
                                    QRect(480, 16, 137, 25));

    Run_Timing_ = FormControls::button(this, "Run_Timing", QStringLiteral("Run Timing"),
                                       QRect(504, 72, 137, 25));
    Run_Timing_->setFont(FormControls::arial(LargeText));

    // The two parameter groups: large captions, small contents.
    QGroupBox* horizontal = FormControls::group(this, "GroupBox2", QStringLiteral("Horizontal"),
                                                QRect(24, 120, 353, 265));
    horizontal->setFont(FormControls::arial(LargeText));
    buildRows(horizontal, HorizontalRows, hCount_, hTime_);
    QGroupBox* vertical = FormControls::group(this, "GroupBox3", QStringLiteral("Vertical"),
                                              QRect(392, 120, 353, 265));
    vertical->setFont(FormControls::arial(LargeText));
    buildRows(vertical, VerticalRows, vCount_, vTime_);
    Timing_HPol_Edit_ = hCount_[4];
    Timing_HRat_Edit_ = hCount_[5];
    Timing_VPol_Edit_ = vCount_[4];
    Timing_VRat_Edit_ = vCount_[5];

    QLabel* clock = FormControls::label(this, "Label2", QStringLiteral("Pixel Clock :"),
                                        QRect(40, 400, 100, 24));
    clock->setFont(FormControls::arial(LargeText));
    Timing_PClk_Edit_ =
        FormControls::readOnlyField(this, "Timing_PClk_Edit", QRect(144, 400, 121, 24));
    Timing_PClk_Edit_->setFont(FormControls::arial(LargeText));
    clock->setBuddy(Timing_PClk_Edit_);
    FormControls::label(this, "Label3", QStringLiteral("MHz"), QRect(272, 400, 48, 24))
        ->setFont(FormControls::arial(LargeText));

    // The number field takes the focus whenever the window is given it.
    setFocusProxy(TimingComboBox1_);
    setTabOrder(TimingComboBox1_, Button1_);
    setTabOrder(Button1_, Run_Timing_);

    TimingComboBox1_->OnChange = [this] { TimingComboBox1Change(); };
    TimingComboBox1_->OnKeyDown = [this](int key) { TimingComboBox1KeyDown(key); };
    connect(TimingComboBox1_, &QLineEdit::editingFinished, this, &TTiming::restoreShownNumber);
    UpDown1_->OnChangingEx = [this](TUpDown::Direction d) { UpDown1ChangingEx(d); };
    connect(Button1_, &QPushButton::clicked, this, &TTiming::Button1Click);
    connect(Run_Timing_, &QPushButton::clicked, this, &TTiming::Run_TimingClick);

    FormCreate();
}

void TTiming::FormCreate() {
    for (const TimingEntry& e : TimingTable) TimingComboBox1_->addItem(QString::number(e.Number));
    Display(0);
}

TTiming* TTiming::Open(LinkEngine& engine, TTiming_List* list, QMdiArea* area) {
    if (findChild(area, Caption))
        return nullptr;
    auto* form = new TTiming(engine, list);
    // Set before the window can be activated, so that its activation already shows timing 1.
    engine.data().SelectedTimingIndex = 0;
    form->openIn(area, Caption, QPoint(FormLeft, FormTop), QSize(FormWidth, FormHeight));
    form->TimingComboBox1_->selectQuietly(0);
    form->Display(0);
    engine.data().SelectedTimingIndex = 0;
    form->TimingComboBox1_->setFocus();
    return form;
}

void TTiming::Display(int index) {
    if (index < 0 || index >= TimingCount)
        return;
    shownIndex_ = index;
    const TimingEntry& e = TimingTable[index];
    TimingComboBox1_->setText(QString::number(e.Number));
    TimingIndexName_->setText(QLatin1String(e.Name));
    const quint32 pixels[TimedRows] = {e.HTol, e.HAct, e.HPD, e.HPW};
    const quint32 lines[TimedRows] = {e.VTol, e.VAct, e.VPD, e.VPW};
    for (int i = 0; i < TimedRows; ++i) {
        hCount_[i]->setText(QString::number(pixels[i]));
        hTime_[i]->setText(TimingText::HorizontalTimeText(e, pixels[i]));
        vCount_[i]->setText(QString::number(lines[i]));
        vTime_[i]->setText(TimingText::VerticalTimeText(e, lines[i]));
    }
    Timing_HPol_Edit_->setText(TimingText::PolarityText(e.HPol));
    Timing_HRat_Edit_->setText(TimingText::ThousandthsText(e.HRat));
    Timing_VPol_Edit_->setText(TimingText::PolarityText(e.VPol));
    Timing_VRat_Edit_->setText(TimingText::ThousandthsText(e.VRat));
    Timing_PClk_Edit_->setText(TimingText::ThousandthsText(e.PClk));
}

void TTiming::selectAndDisplay(int index) {
    TimingComboBox1_->selectQuietly(index);
    Display(index);
}

void TTiming::FormActivate() {
    // A pick in the list picker arrives here: it set SelectedTimingIndex only.
    quint8& selected = engine_.data().SelectedTimingIndex;
    if (selected >= TimingCount)
        selected = 0;
    selectAndDisplay(selected);
}

void TTiming::TimingComboBox1Change() {
    // Typed text selects an item only when it is an item's whole text ("7", not "07"); text
    // that names no timing changes nothing here and is put back when the field is left.
    const int i = TimingComboBox1_->ItemIndex();
    if (i < 0)
        return;
    Display(i);
    engine_.data().SelectedTimingIndex = static_cast<quint8>(i);
}

// Up selects the next item and Down the one before, without showing it; the key is left to
// the field. The field's own handling then steps one item from where it was before the key,
// like the spinner: Up to the lower number, Down to the higher, nothing at 1 and 35, and that
// step reaches TimingComboBox1Change. So each arrow key moves exactly one timing, the same way
// as the spinner's arrows, and never leaves 1..35.
void TTiming::TimingComboBox1KeyDown(int key) {
    const int i = TimingComboBox1_->ItemIndex();
    const int count = static_cast<int>(TimingComboBox1_->items().size());
    if (key == Qt::Key_Up)
        TimingComboBox1_->selectQuietly(i + 1 < count ? i + 1 : -1);
    else if (key == Qt::Key_Down)
        TimingComboBox1_->selectQuietly(i - 1 >= 0 ? i - 1 : -1);
}

// Up goes to the lower number, Down to the higher; the spinner's own position plays no part.
void TTiming::UpDown1ChangingEx(TUpDown::Direction direction) {
    // Step from the timing on show even while the field holds text that names none.
    restoreShownNumber();
    const int i = TimingComboBox1_->ItemIndex();
    const int last = static_cast<int>(TimingComboBox1_->items().size()) - 1;
    int next = i;
    if (direction == TUpDown::Direction::Up) {
        if (i >= 1)
            next = i - 1;
    } else if (i < last) {
        next = i + 1;
    }
    if (next == i)
        return;
    selectAndDisplay(next);
    engine_.data().SelectedTimingIndex = static_cast<quint8>(TimingComboBox1_->text().toInt() - 1);
}

void TTiming::restoreShownNumber() {
    if (TimingComboBox1_->ItemIndex() >= 0 &&
        TimingComboBox1_->text() == TimingComboBox1_->items().value(TimingComboBox1_->ItemIndex()))
        return;
    selectAndDisplay(shownIndex_);
}

void TTiming::Button1Click() {
    if (list_)
        list_->showList();
}

void TTiming::Run_TimingClick() {
    // What is sent is the timing on show; the field shows its number too.
    restoreShownNumber();
    // Refused silently unless the port is open, the generator present and nothing outstanding.
    engine_.startCommand(Command::Tmix);
}
