#include "plan/TPlanEditor.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "edid/DeclaredTimings.h"
#include "edid/EdidImageFile.h"
#include "files/SafeFile.h"
#include "link/LinkEngine.h"
#include "pattern/PatternTable.h"
#include "plan/PlanControls.h"
#include "plan/PlanFile.h"
#include "plan/PlanRunner.h"
#include "programme/ProgramPacker.h"
#include "timing/TimingTable.h"
#include "ui/TStringGrid.h"
#include "ui/VerdictStyle.h"

namespace {

constexpr int RowHeight = 22;
const QString FileFilter = QStringLiteral("Test plans (*.txt *.plan);;All files (*)");
const QString SameItem = QStringLiteral("same");

enum Column { ColStep, ColTiming, ColPattern, ColMode, ColInstruction, ColumnCount };
// Columns: heading, width in pixels (the instruction takes the rest).
struct GridColumn {
    const char* heading;
    int width;
};
constexpr GridColumn GridColumns[ColumnCount] = {
    {"#", 34}, {"Timing", 170}, {"Pattern", 170}, {"Mode", 80}, {"Instruction", 360},
};

QString modeCell(const PlanStep& s) {
    if (s.mode == PlanStep::Mode::Judge)
        return QStringLiteral("judge");
    return QStringLiteral("%1 %2")
        .arg(s.showTime)
        .arg(s.unit == PlanStep::Unit::Minutes ? "min" : "s");
}

}  // namespace

TPlanEditor::TPlanEditor(LinkEngine& engine, QWidget* parent) : QWidget(parent), engine_(engine) {
    setObjectName(QStringLiteral("PlanEditor"));
    makePlanTab();
    // A new window offers one step to start from.
    plan_.name = QStringLiteral("New plan");
    PlanStep first;
    first.instruction = QStringLiteral("White field: no dead or stuck pixels");
    plan_.steps << first;
    showPlan();
}

void TPlanEditor::describeForRun(RunSetup& setup) const {
    if (!modified_ && !planFile_.isEmpty()) {
        setup.planFile = QDir::toNativeSeparators(planFile_);
        setup.planText = planBytes_;
    } else {
        // Not the file's bytes: the plan as it would be saved now.
        setup.planFile = planFile_.isEmpty()
                             ? QStringLiteral("made in the Test Plan window, not saved")
                             : QDir::toNativeSeparators(planFile_) +
                                   QStringLiteral(" (changed in the window, not saved)");
        setup.planText = PlanFile::write(plan_);
    }
    setup.planDigest = PlanFile::digest(setup.planText);
}

void TPlanEditor::setRunning(bool running) {
    LoadButton_->setEnabled(!running);
    UploadButton_->setEnabled(!running);
}

void TPlanEditor::makePlanTab() {
    QWidget* tab = this;
    auto* top = new QHBoxLayout;
    PlanName_ = PlanControls::named(new QLineEdit, "PlanName", QStringLiteral("Plan name"));
    LoadButton_ = PlanControls::button("LoadButton", QStringLiteral("Load..."));
    SaveButton_ = PlanControls::button("SaveButton", QStringLiteral("Save..."));
    UploadButton_ = PlanControls::button("UploadButton", QStringLiteral("Upload as programme"));
    UploadButton_->setToolTip(
        QStringLiteral("Upload a plan of at most 32 timed steps as the generator's auto-run "
                       "programme"));
    top->addWidget(PlanControls::caption(QStringLiteral("&Name:"), PlanName_));
    top->addWidget(PlanName_, 1);
    top->addWidget(LoadButton_);
    top->addWidget(SaveButton_);
    top->addWidget(UploadButton_);

    auto* folderRow = new QHBoxLayout;
    PlanFolder_ =
        PlanControls::named(new QLineEdit, "PlanFolder", QStringLiteral("Default report folder"));
    PlanFolder_->setPlaceholderText(QStringLiteral("none: chosen on the Run tab"));
    folderRow->addWidget(
        PlanControls::caption(QStringLiteral("Default report &folder:"), PlanFolder_));
    folderRow->addWidget(PlanFolder_, 1);

    StepGrid_ = new TStringGrid(ColumnCount, 2, 0, 1, tab);
    PlanControls::named(StepGrid_, "StepGrid", QStringLiteral("Steps"));
    StepGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    StepGrid_->setDefaultRowHeight(RowHeight);
    for (int c = 0; c < ColumnCount; ++c) {
        StepGrid_->setCells(c, 0, QLatin1String(GridColumns[c].heading));
        StepGrid_->setColWidth(c, GridColumns[c].width);
    }
    StepGrid_->horizontalHeader()->setStretchLastSection(true);
    StepGrid_->OnDrawCell = [this](QPainter& p, int col, int row, const QRect& r) {
        StepGridDrawCell(p, col, row, r);
    };
    connect(StepGrid_, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!showing_ && row >= 0 && row < plan_.steps.size())
            selectStep(row);
    });

    TimingBox_ = PlanControls::named(new QComboBox, "TimingBox", QStringLiteral("Timing"));
    TimingBox_->addItem(SameItem);
    for (int i = 0; i < TimingCount; ++i) TimingBox_->addItem(Plan::timingText(i));
    PatternBox_ = PlanControls::named(new QComboBox, "PatternBox", QStringLiteral("Pattern"));
    PatternBox_->addItem(SameItem);
    for (int i = 0; i < PatternCount; ++i) PatternBox_->addItem(Plan::patternText(i));
    ModeBox_ = PlanControls::named(new QComboBox, "ModeBox", QStringLiteral("Mode"));
    ModeBox_->addItems({QStringLiteral("judge"), QStringLiteral("timed")});
    ModeBox_->setToolTip(
        QStringLiteral("judge: the operator passes or fails the step; timed: it is shown for "
                       "the show time, then the next follows"));
    ShowTime_ = PlanControls::named(new QSpinBox, "ShowTime", QStringLiteral("Show time"));
    ShowTime_->setRange(PlanStep::MinShowTime, PlanStep::MaxShowTime);
    UnitBox_ = PlanControls::named(new QComboBox, "UnitBox", QStringLiteral("Show time unit"));
    UnitBox_->addItems({QStringLiteral("s"), QStringLiteral("min")});
    StepInstruction_ =
        PlanControls::named(new QLineEdit, "StepInstruction", QStringLiteral("Instruction"));
    StepInstruction_->setPlaceholderText(QStringLiteral("what the operator looks for"));
    auto* editor = new QGridLayout;
    editor->addWidget(PlanControls::caption(QStringLiteral("&Timing"), TimingBox_), 0, 0);
    editor->addWidget(PlanControls::caption(QStringLiteral("&Pattern"), PatternBox_), 0, 1);
    editor->addWidget(PlanControls::caption(QStringLiteral("&Mode"), ModeBox_), 0, 2);
    editor->addWidget(PlanControls::caption(QStringLiteral("&Show time"), ShowTime_), 0, 3, 1, 2);
    editor->addWidget(PlanControls::caption(QStringLiteral("&Instruction"), StepInstruction_), 0,
                      5);
    editor->addWidget(TimingBox_, 1, 0);
    editor->addWidget(PatternBox_, 1, 1);
    editor->addWidget(ModeBox_, 1, 2);
    editor->addWidget(ShowTime_, 1, 3);
    editor->addWidget(UnitBox_, 1, 4);
    editor->addWidget(StepInstruction_, 1, 5);
    editor->setColumnStretch(5, 1);
    for (QComboBox* box : {TimingBox_, PatternBox_, ModeBox_, UnitBox_})
        connect(box, &QComboBox::currentIndexChanged, this, &TPlanEditor::stepEdited);
    connect(ShowTime_, &QSpinBox::valueChanged, this, &TPlanEditor::stepEdited);
    connect(StepInstruction_, &QLineEdit::textEdited, this, &TPlanEditor::stepEdited);

    auto* buttons = new QHBoxLayout;
    AddButton_ =
        PlanControls::button("AddButton", QStringLiteral("Add"), QStringLiteral("Add a step"));
    RemoveButton_ = PlanControls::button("RemoveButton", QStringLiteral("Remove"),
                                         QStringLiteral("Remove the step"));
    UpButton_ =
        PlanControls::button("UpButton", QStringLiteral("Up"), QStringLiteral("Move the step up"));
    DownButton_ = PlanControls::button("DownButton", QStringLiteral("Down"),
                                       QStringLiteral("Move the step down"));
    PlanProblem_ = PlanControls::named(new QLabel, "PlanProblem", QStringLiteral("Plan problem"));
    VerdictStyle::paintText(PlanProblem_, VerdictStyle::Fail);
    PlanProblem_->setWordWrap(true);
    for (QPushButton* b : {AddButton_, RemoveButton_, UpButton_, DownButton_})
        buttons->addWidget(b);
    buttons->addWidget(PlanProblem_, 1);
    // The timings a display's EDID declares, one judged step each, all with one pattern.
    StepsFromEdid_ =
        PlanControls::button("StepsFromEdid", QStringLiteral("Steps from EDID..."),
                             QStringLiteral("Add a step for every built-in timing an EDID file "
                                            "declares"));
    EdidPatternBox_ = PlanControls::named(new QComboBox, "EdidPatternBox",
                                          QStringLiteral("Pattern for the steps from EDID"));
    for (int i = 0; i < PatternCount; ++i) EdidPatternBox_->addItem(Plan::patternText(i));
    buttons->addWidget(StepsFromEdid_);
    buttons->addWidget(PlanControls::caption(QStringLiteral("wit&h"), EdidPatternBox_));
    buttons->addWidget(EdidPatternBox_);

    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(top);
    layout->addLayout(folderRow);
    layout->addWidget(StepGrid_, 1);
    layout->addLayout(editor);
    layout->addLayout(buttons);

    connect(PlanName_, &QLineEdit::textEdited, this, [this](const QString& text) {
        plan_.name = text;
        planEdited();
    });
    connect(PlanFolder_, &QLineEdit::textEdited, this, [this](const QString& text) {
        plan_.reportFolder = text;
        planEdited();
    });
    connect(LoadButton_, &QPushButton::clicked, this, &TPlanEditor::LoadButtonClick);
    connect(SaveButton_, &QPushButton::clicked, this, &TPlanEditor::SaveButtonClick);
    connect(UploadButton_, &QPushButton::clicked, this, &TPlanEditor::UploadButtonClick);
    connect(AddButton_, &QPushButton::clicked, this, &TPlanEditor::AddButtonClick);
    connect(RemoveButton_, &QPushButton::clicked, this, &TPlanEditor::RemoveButtonClick);
    connect(UpButton_, &QPushButton::clicked, this, &TPlanEditor::UpButtonClick);
    connect(StepsFromEdid_, &QPushButton::clicked, this, &TPlanEditor::StepsFromEdidClick);
    connect(DownButton_, &QPushButton::clicked, this, &TPlanEditor::DownButtonClick);
}

void TPlanEditor::showPlan() {
    showing_ = true;
    PlanName_->setText(plan_.name);
    PlanFolder_->setText(plan_.reportFolder);
    StepGrid_->setRowCountTotal(plan_.steps.size() + 1);
    for (int k = 0; k < plan_.steps.size(); ++k) showStepRow(k);
    showing_ = false;
    selectStep(qBound(0, current_, int(plan_.steps.size()) - 1));
    planEdited();
    modified_ = false;
}

void TPlanEditor::showStepRow(int k) {
    const PlanStep& s = plan_.steps[k];
    const int row = k + 1;
    StepGrid_->setCells(ColStep, row, QString::number(row));
    StepGrid_->setCells(ColTiming, row,
                        s.timing == PlanStep::Same ? SameItem : Plan::timingText(s.timing));
    StepGrid_->setCells(ColPattern, row,
                        s.pattern == PlanStep::Same ? SameItem : Plan::patternText(s.pattern));
    StepGrid_->setCells(ColMode, row, modeCell(s));
    StepGrid_->setCells(ColInstruction, row, s.instruction);
}

void TPlanEditor::selectStep(int k) {
    current_ = k;
    if (k >= 0 && k < plan_.steps.size() && StepGrid_->Row() != k + 1) {
        showing_ = true;
        StepGrid_->setCurrentCell(StepGrid_->Col(), k + 1);
        showing_ = false;
    }
    showStepEditor();
    StepGrid_->repaintGrid();
}

void TPlanEditor::showStepEditor() {
    const bool any = current_ >= 0 && current_ < plan_.steps.size();
    for (QWidget* w : std::initializer_list<QWidget*>{TimingBox_, PatternBox_, ModeBox_, ShowTime_,
                                                      UnitBox_, StepInstruction_, RemoveButton_})
        w->setEnabled(any);
    UpButton_->setEnabled(any && current_ > 0);
    DownButton_->setEnabled(any && current_ + 1 < plan_.steps.size());
    if (!any)
        return;
    const PlanStep& s = plan_.steps[current_];
    showing_ = true;
    TimingBox_->setCurrentIndex(s.timing == PlanStep::Same ? 0 : s.timing + 1);
    PatternBox_->setCurrentIndex(s.pattern == PlanStep::Same ? 0 : s.pattern + 1);
    ModeBox_->setCurrentIndex(s.mode == PlanStep::Mode::Judge ? 0 : 1);
    ShowTime_->setValue(s.showTime);
    UnitBox_->setCurrentIndex(s.unit == PlanStep::Unit::Minutes ? 1 : 0);
    StepInstruction_->setText(s.instruction);
    StepInstruction_->setCursorPosition(0);
    showing_ = false;
    const bool timed = s.mode == PlanStep::Mode::Timed;
    ShowTime_->setEnabled(timed);
    UnitBox_->setEnabled(timed);
}

void TPlanEditor::stepEdited() {
    if (showing_ || current_ < 0 || current_ >= plan_.steps.size())
        return;
    PlanStep& s = plan_.steps[current_];
    s.timing = TimingBox_->currentIndex() == 0 ? PlanStep::Same : TimingBox_->currentIndex() - 1;
    s.pattern = PatternBox_->currentIndex() == 0 ? PlanStep::Same : PatternBox_->currentIndex() - 1;
    s.mode = ModeBox_->currentIndex() == 0 ? PlanStep::Mode::Judge : PlanStep::Mode::Timed;
    s.showTime = ShowTime_->value();
    s.unit = UnitBox_->currentIndex() == 1 ? PlanStep::Unit::Minutes : PlanStep::Unit::Seconds;
    s.instruction = StepInstruction_->text();
    showStepRow(current_);
    ShowTime_->setEnabled(s.mode == PlanStep::Mode::Timed);
    UnitBox_->setEnabled(s.mode == PlanStep::Mode::Timed);
    planEdited();
}

void TPlanEditor::planEdited() {
    modified_ = true;
    const QString problem = plan_.problem();
    PlanProblem_->setText(problem.isEmpty() ? QString() : QStringLiteral("Cannot run: ") + problem);
    PlanProblem_->setAccessibleDescription(PlanProblem_->text());
    StepGrid_->repaintGrid();
}

void TPlanEditor::StepGridDrawCell(QPainter& painter, int col, int row, const QRect& rect) {
    const QColor fill =
        row == current_ + 1 ? TStringGrid::activeCaptionColor() : StepGrid_->windowColor();
    StepGrid_->fillCell(painter, rect, fill, StepGrid_->Cells(col, row), StepGrid_->font());
}

void TPlanEditor::AddButtonClick() {
    PlanStep step;
    if (plan_.steps.isEmpty()) {
        step.timing = 0;
        step.pattern = 0;
    } else {
        // A new step keeps what the step before shows until told otherwise.
        step.timing = PlanStep::Same;
        step.pattern = PlanStep::Same;
    }
    const int at = plan_.steps.isEmpty() ? 0 : current_ + 1;
    plan_.steps.insert(at, step);
    StepGrid_->setRowCountTotal(plan_.steps.size() + 1);
    for (int k = at; k < plan_.steps.size(); ++k) showStepRow(k);
    selectStep(at);
    planEdited();
    StepInstruction_->setFocus();
}

void TPlanEditor::RemoveButtonClick() {
    if (current_ < 0 || current_ >= plan_.steps.size())
        return;
    plan_.steps.removeAt(current_);
    StepGrid_->setRowCountTotal(plan_.steps.size() + 1);
    for (int k = current_; k < plan_.steps.size(); ++k) showStepRow(k);
    selectStep(qMin(current_, int(plan_.steps.size()) - 1));
    planEdited();
}

void TPlanEditor::UpButtonClick() {
    if (current_ <= 0 || current_ >= plan_.steps.size())
        return;
    plan_.steps.swapItemsAt(current_, current_ - 1);
    showStepRow(current_);
    showStepRow(current_ - 1);
    selectStep(current_ - 1);
    planEdited();
}

void TPlanEditor::DownButtonClick() {
    if (current_ < 0 || current_ + 1 >= plan_.steps.size())
        return;
    plan_.steps.swapItemsAt(current_, current_ + 1);
    showStepRow(current_);
    showStepRow(current_ + 1);
    selectStep(current_ + 1);
    planEdited();
}

void TPlanEditor::LoadButtonClick() {
    QFileDialog dialog(this, QStringLiteral("Load test plan"), lastDir_, FileFilter);
    dialog.setObjectName(QStringLiteral("LoadPlanDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        loadFile(dialog.selectedFiles().constFirst());
}

void TPlanEditor::SaveButtonClick() {
    QFileDialog dialog(this, QStringLiteral("Save test plan"),
                       planFile_.isEmpty() ? lastDir_ : planFile_, FileFilter);
    dialog.setObjectName(QStringLiteral("SavePlanDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        saveFile(dialog.selectedFiles().constFirst());
}

void TPlanEditor::StepsFromEdidClick() {
    QString path;
    if (chooseEdidFile) {
        path = chooseEdidFile();
    } else {
        QFileDialog dialog(this, QStringLiteral("Steps from EDID"), lastDir_,
                           QStringLiteral("Binary Files (*.bin);;All Files (*)"));
        dialog.setObjectName(QStringLiteral("EdidFileDialog"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().constFirst();
    }
    if (!path.isEmpty())
        addStepsFromEdid(path);
}

bool TPlanEditor::addStepsFromEdid(const QString& path) {
    // A file shorter than an EDID leaves the rest zero: no extension block to misread.
    EdidImage image{};
    QString error;
    if (!EdidImageFile::load(path, image, error)) {
        message(QStringLiteral("Open file error"), QDir::toNativeSeparators(error));
        return false;
    }
    const QList<int> numbers = DeclaredTimings::numbersFrom(image);
    if (numbers.isEmpty()) {
        message(QStringLiteral("No steps added"),
                QStringLiteral("%1 declares none of the 35 built-in timings.")
                    .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    const int pattern = EdidPatternBox_->currentIndex();
    const int at = plan_.steps.size();
    for (int number : numbers) {
        PlanStep step;
        step.timing = number - 1;
        step.pattern = pattern;
        step.instruction = QStringLiteral("%1, as the EDID declares it: a steady, whole picture")
                               .arg(QLatin1String(TimingTable[number - 1].Name));
        plan_.steps << step;
    }
    StepGrid_->setRowCountTotal(plan_.steps.size() + 1);
    for (int k = at; k < plan_.steps.size(); ++k) showStepRow(k);
    selectStep(at);
    planEdited();
    return true;
}

bool TPlanEditor::loadFile(const QString& path) {
    Plan plan;
    QByteArray bytes;
    QString error;
    if (!PlanFile::load(path, plan, bytes, error)) {
        message(QStringLiteral("This test plan cannot be used"), QDir::toNativeSeparators(error));
        return false;
    }
    const QFileInfo info(path);
    lastDir_ = info.absolutePath();
    plan_ = plan;
    current_ = 0;
    showPlan();
    planFile_ = info.absoluteFilePath();
    planBytes_ = bytes;
    modified_ = false;
    emit loaded(planFile_);
    return true;
}

bool TPlanEditor::saveFile(const QString& path) {
    const QByteArray bytes = PlanFile::write(plan_);
    QString error;
    if (!SafeFile::replace(path, bytes, error)) {
        message(QStringLiteral("The test plan could not be saved"),
                QDir::toNativeSeparators(error));
        return false;
    }
    const QFileInfo info(path);
    lastDir_ = info.absolutePath();
    planFile_ = info.absoluteFilePath();
    planBytes_ = bytes;
    modified_ = false;
    return true;
}

void TPlanEditor::UploadButtonClick() {
    const QString problem = plan_.programmeProblem();
    if (!problem.isEmpty()) {
        message(QStringLiteral("This plan cannot run on the generator by itself"),
                problem + QStringLiteral(
                              ". A programme is at most 32 steps, each shown for 1..59 seconds "
                              "or minutes, with no verdicts."));
        return;
    }
    if (!engine_.mayStart()) {
        message(QStringLiteral("The generator cannot take the programme now"),
                QStringLiteral("Connect to it first, and wait until no command is outstanding."));
        return;
    }
    // The same packing and upload as Edit > Program; the engine says how it ended.
    ProgramPacker::PackProgram(plan_.programme(), engine_.data().ProgramUpload);
    engine_.startCommand(Command::Atrn);
}
