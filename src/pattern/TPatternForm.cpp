#include "pattern/TPatternForm.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

#include "link/LinkEngine.h"
#include "pattern/PatternTable.h"
#include "pattern/TPattern_List.h"
#include "ui/FormControls.h"
#include "ui/TMainForm.h"
#include "ui/TSimpleComboBox.h"

const QString TPatternForm::Caption = QStringLiteral("Pattern");

namespace {

constexpr int FontPixels = 16;
// New children step down and right from the area's corner by a caption's height, as child
// windows without a position of their own do; after eight steps they start again.
constexpr int CascadeStep = 24;
constexpr int CascadeSteps = 8;
constexpr int NumberBoxMaxLength = 2;

}  // namespace

TPatternForm* TPatternForm::Open(LinkEngine& engine, TMainForm& mainForm, TPattern_List* list) {
    QMdiArea* area = mainForm.mdiArea();
    if (findChild(area, Caption))
        return nullptr;
    auto* form = new TPatternForm(engine, mainForm, list);
    // Filled and pointed at pattern 1 before it shows, so that its first activation already
    // finds pattern 1 selected.
    for (const PatternEntry& e : PatternTable)
        form->PatternComboBox3_->addItem(QString::number(e.Number));
    form->PatternComboBox3_->selectQuietly(0);
    form->takeIndexFromText();
    const int step = CascadeStep * (static_cast<int>(area->subWindowList().size()) % CascadeSteps);
    form->openIn(area, Caption, QPoint(step, step), QSize(FormWidth, FormHeight));
    form->PatternComboBox3_->setFocus();
    return form;
}

TPatternForm::TPatternForm(LinkEngine& engine, TMainForm& mainForm, TPattern_List* list)
    : engine_(engine), mainForm_(mainForm), list_(list) {
    setObjectName(QStringLiteral("PatternForm"));
    setAccessibleName(Caption);
    setFont(FormControls::arial(FontPixels));

    GroupBox1_ = FormControls::group(this, "GroupBox1", QStringLiteral("Pattern No. Select"),
                                     QRect(24, 24, 633, 81));
    Label1_ = FormControls::label(GroupBox1_, "Label1", QStringLiteral("Pattern No."),
                                  QRect(8, 32, 88, 24));
    Label1_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    PatternComboBox3_ = new TSimpleComboBox("PatternComboBox3", GroupBox1_);
    PatternComboBox3_->setGeometry(96, 32, 177, 25);
    PatternComboBox3_->setMaxLength(NumberBoxMaxLength);
    // The spinner covers the right end of the box; keep the text clear of it.
    PatternComboBox3_->setTextMargins(0, 0, 25, 0);
    Label1_->setBuddy(PatternComboBox3_);
    // Focusing the window focuses the number box.
    setFocusProxy(PatternComboBox3_);

    UpDown1_ = new TUpDown("UpDown1", GroupBox1_);
    UpDown1_->setGeometry(248, 32, 25, 25);
    UpDown1_->raise();

    PatternIndexName_ =
        FormControls::readOnlyField(GroupBox1_, "PatternIndexName", QRect(296, 32, 169, 25));
    ShowButton1_ = FormControls::button(GroupBox1_, "ShowButton1", QStringLiteral("Show List"),
                                        QRect(480, 16, 137, 25));
    // On the form, over the group's lower edge, under "Show List".
    Run_Pattern_ = FormControls::button(this, "Run_Pattern", QStringLiteral("Run Pattern"),
                                        QRect(504, 72, 137, 25));
    Run_Pattern_->raise();

    // The number box has no list to drop down, so a row of its list is chosen only by the
    // arrow keys or by typing an item's text; the box reports either as a change. A chosen
    // item runs the list-choice handler after the change handler, as a combo box reports a
    // selection both ways.
    PatternComboBox3_->OnChange = [this] {
        PatternComboBox3Change();
        if (PatternComboBox3_->ItemIndex() >= 0)
            PatternComboBox3Click();
    };
    PatternComboBox3_->OnKeyDown = [this](int key) { PatternComboBox3KeyDown(key); };
    UpDown1_->OnChangingEx = [this](TUpDown::Direction d) { UpDown1ChangingEx(d); };
    connect(ShowButton1_, &QPushButton::clicked, this, &TPatternForm::ShowButton1Click);
    connect(Run_Pattern_, &QPushButton::clicked, this, &TPatternForm::Run_PatternClick);

    setTabOrder(PatternComboBox3_, UpDown1_);
    setTabOrder(UpDown1_, PatternIndexName_);
    setTabOrder(PatternIndexName_, ShowButton1_);
    setTabOrder(ShowButton1_, Run_Pattern_);

    FormCreate();
}

void TPatternForm::FormCreate() {
    ShowPatternRow(0);
}

void TPatternForm::ShowPatternRow(quint8 index) {
    if (index >= PatternCount)
        return;
    const PatternEntry& e = PatternTable[index];
    const QString number = QString::number(e.Number);
    // Rewriting the same text would move the cursor while the operator types.
    if (PatternComboBox3_->text() != number)
        PatternComboBox3_->setText(number);
    PatternIndexName_->setText(QLatin1String(e.Name));
}

void TPatternForm::followNumberBox() {
    const int row = PatternComboBox3_->ItemIndex();
    if (row < 0)
        return;  // text that names no pattern changes nothing
    ShowPatternRow(static_cast<quint8>(row));
    engine_.data().SelectedPatternIndex = static_cast<quint8>(row);
}

void TPatternForm::takeIndexFromText() {
    const int number = PatternComboBox3_->text().toInt();
    if (number >= 1 && number <= PatternCount)
        engine_.data().SelectedPatternIndex = static_cast<quint8>(number - 1);
}

void TPatternForm::FormActivate() {
    // A pick in the list picker reaches the window here.
    const quint8 index = engine_.data().SelectedPatternIndex;
    if (index >= PatternCount)
        return;
    PatternComboBox3_->selectQuietly(index);
    ShowPatternRow(index);
}

void TPatternForm::PatternComboBox3Change() {
    followNumberBox();
}

void TPatternForm::PatternComboBox3Click() {
    followNumberBox();
}

void TPatternForm::PatternComboBox3KeyDown(int key) {
    // Up selects the next row and Down the one before; the box's own handling of the key
    // follows and steps from the row that was selected before the key, so the net effect is
    // one step like the spinner (Up to the lower number), stopping at 1 and at 39, and the
    // change it reports keeps the name and the selected pattern with the box.
    if (key == Qt::Key_Up)
        PatternComboBox3_->selectQuietly(PatternComboBox3_->ItemIndex() + 1);
    else if (key == Qt::Key_Down)
        PatternComboBox3_->selectQuietly(PatternComboBox3_->ItemIndex() - 1);
}

void TPatternForm::UpDown1ChangingEx(TUpDown::Direction direction) {
    const int row = PatternComboBox3_->ItemIndex();
    if (direction == TUpDown::Direction::Up) {
        if (row < 1)
            return;
        PatternComboBox3_->setItemIndex(row - 1);
    } else if (direction == TUpDown::Direction::Down) {
        if (row >= PatternCount - 1)
            return;
        PatternComboBox3_->setItemIndex(row + 1);
    } else {
        return;
    }
    takeIndexFromText();
}

void TPatternForm::ShowButton1Click() {
    if (!list_)
        return;
    list_->show();
    list_->raise();
    list_->activateWindow();
}

void TPatternForm::Run_PatternClick() {
    mainForm_.clearLog();
    if (engine_.state().ptixSlot != CommandSlot::Idle)
        return;
    // Refused silently unless the port is open, the generator present and nothing outstanding.
    engine_.startCommand(Command::Ptix);
}
