#include "plan/TPlanStepBoxes.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "pattern/PatternTable.h"
#include "plan/PlanControls.h"
#include "timing/TimingTable.h"

namespace {

const QString SameItem = QStringLiteral("same");
const QString KeepItem = QStringLiteral("- (nothing sent)");

// The identity choices of an edid step, in the order of PlanStep's enums.
const QStringList SerialTextItems = {QStringLiteral("text from the scan"),
                                     QStringLiteral("text of the golden")};
const QStringList SerialNumberItems = {QStringLiteral("number from its digits"),
                                       QStringLiteral("number of the golden"),
                                       QStringLiteral("number 0")};
const QStringList DateItems = {QStringLiteral("date of this week"),
                               QStringLiteral("date of the golden")};

// A timing or pattern box holds "same", the count numbers, then "-".
int boxIndex(int value, int count) {
    if (value == PlanStep::Same)
        return 0;
    return value == PlanStep::Keep ? count + 1 : value + 1;
}

int boxValue(int index, int count) {
    if (index == 0)
        return PlanStep::Same;
    return index == count + 1 ? PlanStep::Keep : index - 1;
}

}  // namespace

TPlanStepBoxes::TPlanStepBoxes(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StepBoxes"));
    TimingBox_ = PlanControls::named(new QComboBox, "TimingBox", QStringLiteral("Timing"));
    TimingBox_->addItem(SameItem);
    for (int i = 0; i < TimingCount; ++i) TimingBox_->addItem(Plan::timingText(i));
    TimingBox_->addItem(KeepItem);
    PatternBox_ = PlanControls::named(new QComboBox, "PatternBox", QStringLiteral("Pattern"));
    PatternBox_->addItem(SameItem);
    for (int i = 0; i < PatternCount; ++i) PatternBox_->addItem(Plan::patternText(i));
    PatternBox_->addItem(KeepItem);
    ModeBox_ = PlanControls::named(new QComboBox, "ModeBox", QStringLiteral("Mode"));
    ModeBox_->addItems({QStringLiteral("judge"), QStringLiteral("timed"), QStringLiteral("edid")});
    ModeBox_->setToolTip(
        QStringLiteral("judge: the operator passes or fails the step; timed: it is shown for "
                       "the show time, then the next follows; edid: the unit's EDID is "
                       "programmed from a golden file"));
    ShowTime_ = PlanControls::named(new QSpinBox, "ShowTime", QStringLiteral("Show time"));
    ShowTime_->setRange(PlanStep::MinShowTime, PlanStep::MaxShowTime);
    UnitBox_ = PlanControls::named(new QComboBox, "UnitBox", QStringLiteral("Show time unit"));
    UnitBox_->addItems({QStringLiteral("s"), QStringLiteral("min")});
    StepInstruction_ =
        PlanControls::named(new QLineEdit, "StepInstruction", QStringLiteral("Instruction"));
    StepInstruction_->setPlaceholderText(QStringLiteral("what the operator looks for"));
    // An edid step's golden file and identity choices, in the place of the show time and the
    // instruction.
    EdidDetails_ = new QWidget;
    GoldenFile_ =
        PlanControls::named(new QLineEdit, "GoldenFile", QStringLiteral("Golden EDID file"));
    GoldenFile_->setPlaceholderText(QStringLiteral("relative to the plan's folder"));
    GoldenBrowse_ = PlanControls::button("GoldenBrowse", QStringLiteral("Browse..."),
                                         QStringLiteral("Choose the golden EDID file"));
    SerialTextBox_ =
        PlanControls::named(new QComboBox, "SerialTextBox", QStringLiteral("Serial text"));
    SerialTextBox_->addItems(SerialTextItems);
    SerialNumberBox_ =
        PlanControls::named(new QComboBox, "SerialNumberBox", QStringLiteral("Serial number"));
    SerialNumberBox_->addItems(SerialNumberItems);
    DateBox_ = PlanControls::named(new QComboBox, "DateBox", QStringLiteral("Date"));
    DateBox_->addItems(DateItems);
    // The three share what width the golden file's row leaves them.
    for (QComboBox* box : {SerialTextBox_, SerialNumberBox_, DateBox_}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(12);
    }
    auto* edidLayout = new QGridLayout(EdidDetails_);
    edidLayout->setContentsMargins(0, 0, 0, 0);
    auto* goldenRow = new QHBoxLayout;
    goldenRow->addWidget(PlanControls::caption(QStringLiteral("&Golden EDID:"), GoldenFile_));
    goldenRow->addWidget(GoldenFile_, 1);
    goldenRow->addWidget(GoldenBrowse_);
    edidLayout->addLayout(goldenRow, 0, 0, 1, 3);
    edidLayout->addWidget(SerialTextBox_, 1, 0);
    edidLayout->addWidget(SerialNumberBox_, 1, 1);
    edidLayout->addWidget(DateBox_, 1, 2);
    EdidDetails_->hide();

    auto* editor = new QGridLayout(this);
    editor->setContentsMargins(0, 0, 0, 0);
    ShowTimeCaption_ = PlanControls::caption(QStringLiteral("&Show time"), ShowTime_);
    InstructionCaption_ = PlanControls::caption(QStringLiteral("&Instruction"), StepInstruction_);
    editor->addWidget(PlanControls::caption(QStringLiteral("&Timing"), TimingBox_), 0, 0);
    editor->addWidget(PlanControls::caption(QStringLiteral("&Pattern"), PatternBox_), 0, 1);
    editor->addWidget(PlanControls::caption(QStringLiteral("&Mode"), ModeBox_), 0, 2);
    editor->addWidget(ShowTimeCaption_, 0, 3, 1, 2);
    editor->addWidget(InstructionCaption_, 0, 5);
    editor->addWidget(EdidDetails_, 0, 3, 2, 3);
    editor->addWidget(TimingBox_, 1, 0);
    editor->addWidget(PatternBox_, 1, 1);
    editor->addWidget(ModeBox_, 1, 2);
    editor->addWidget(ShowTime_, 1, 3);
    editor->addWidget(UnitBox_, 1, 4);
    editor->addWidget(StepInstruction_, 1, 5);
    editor->setColumnStretch(5, 1);
    for (QComboBox* box :
         {TimingBox_, PatternBox_, ModeBox_, UnitBox_, SerialTextBox_, SerialNumberBox_, DateBox_})
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            if (!showing_)
                emit edited();
        });
    connect(ShowTime_, &QSpinBox::valueChanged, this, [this] {
        if (!showing_)
            emit edited();
    });
    connect(StepInstruction_, &QLineEdit::textEdited, this, [this] {
        if (!showing_)
            emit edited();
    });
    connect(GoldenFile_, &QLineEdit::textEdited, this, [this] {
        if (!showing_)
            emit edited();
    });
    connect(GoldenBrowse_, &QPushButton::clicked, this, &TPlanStepBoxes::goldenBrowseClicked);
}

void TPlanStepBoxes::show(const PlanStep& s) {
    showing_ = true;
    TimingBox_->setCurrentIndex(boxIndex(s.timing, TimingCount));
    PatternBox_->setCurrentIndex(boxIndex(s.pattern, PatternCount));
    ModeBox_->setCurrentIndex(int(s.mode));
    ShowTime_->setValue(s.showTime);
    UnitBox_->setCurrentIndex(s.unit == PlanStep::Unit::Minutes ? 1 : 0);
    StepInstruction_->setText(s.instruction);
    StepInstruction_->setCursorPosition(0);
    GoldenFile_->setText(s.golden);
    SerialTextBox_->setCurrentIndex(int(s.serialText));
    SerialNumberBox_->setCurrentIndex(int(s.serialNumber));
    DateBox_->setCurrentIndex(int(s.date));
    showing_ = false;
}

void TPlanStepBoxes::readInto(PlanStep& s) const {
    s.timing = boxValue(TimingBox_->currentIndex(), TimingCount);
    s.pattern = boxValue(PatternBox_->currentIndex(), PatternCount);
    s.mode = PlanStep::Mode(ModeBox_->currentIndex());
    s.showTime = ShowTime_->value();
    s.unit = UnitBox_->currentIndex() == 1 ? PlanStep::Unit::Minutes : PlanStep::Unit::Seconds;
    s.instruction = StepInstruction_->text();
    s.golden = GoldenFile_->text();
    s.serialText = PlanStep::SerialText(SerialTextBox_->currentIndex());
    s.serialNumber = PlanStep::SerialNumber(SerialNumberBox_->currentIndex());
    s.date = PlanStep::Date(DateBox_->currentIndex());
}

void TPlanStepBoxes::setEditable(bool any, bool edit, PlanStep::Mode mode) {
    const bool edid = any && mode == PlanStep::Mode::Edid;
    // An edid step sends neither: its boxes say "-" and stay so.
    for (QWidget* w : std::initializer_list<QWidget*>{TimingBox_, PatternBox_})
        w->setEnabled(edit && !edid);
    for (QWidget* w :
         std::initializer_list<QWidget*>{ModeBox_, StepInstruction_, GoldenFile_, GoldenBrowse_,
                                         SerialTextBox_, SerialNumberBox_, DateBox_})
        w->setEnabled(edit);
    ShowTime_->setEnabled(edit && mode == PlanStep::Mode::Timed);
    UnitBox_->setEnabled(edit && mode == PlanStep::Mode::Timed);
    for (QWidget* w : std::initializer_list<QWidget*>{ShowTimeCaption_, ShowTime_, UnitBox_,
                                                      InstructionCaption_, StepInstruction_})
        w->setVisible(!edid);
    EdidDetails_->setVisible(edid);
}

void TPlanStepBoxes::setReadOnly(bool readOnly) {
    StepInstruction_->setReadOnly(readOnly);
    GoldenFile_->setReadOnly(readOnly);
}

void TPlanStepBoxes::setGolden(const QString& path) {
    GoldenFile_->setText(path);
    emit edited();
}

void TPlanStepBoxes::focusInstruction() {
    StepInstruction_->setFocus();
}
