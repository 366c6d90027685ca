#include "plan/TPlanForm.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "edid/DeclaredTimings.h"
#include "edid/EdidImageFile.h"
#include "files/SafeFile.h"
#include "link/LinkEngine.h"
#include "pattern/PatternTable.h"
#include "plan/PlanFile.h"
#include "plan/PlanRunner.h"
#include "plan/RunReport.h"
#include "programme/ProgramPacker.h"
#include "timing/TimingTable.h"
#include "ui/TMainForm.h"
#include "ui/TStringGrid.h"
#include "ui/VerdictStyle.h"

const QString TPlanForm::Caption = QStringLiteral("Test Plan");

namespace {

constexpr int PollMs = 100;
// Keys closer together than this are a scanner typing, not the operator.
constexpr int BurstGapMs = 50;
constexpr int KeyHoldMs = 80;
constexpr int RowHeight = 22;
const QString FileFilter = QStringLiteral("Test plans (*.txt *.plan);;All files (*)");
const QString SameItem = QStringLiteral("same");
const QColor StoppedColor(163, 90, 0);

enum Column { ColStep, ColTiming, ColPattern, ColMode, ColInstruction, ColumnCount };
// Columns: heading, width in pixels (the instruction takes the rest).
struct GridColumn {
    const char* heading;
    int width;
};
constexpr GridColumn GridColumns[ColumnCount] = {
    {"#", 34}, {"Timing", 170}, {"Pattern", 170}, {"Mode", 80}, {"Instruction", 360},
};

template <typename W>
W* named(W* widget, const char* name, const QString& accessible) {
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(accessible);
    return widget;
}

QPushButton* button(const char* name, const QString& text, const QString& accessible = QString()) {
    auto* b = named(new QPushButton(text), name, accessible.isEmpty() ? text : accessible);
    // Return belongs to the field it is typed in (a scanner's Enter starts the run), never to
    // a default button.
    b->setAutoDefault(false);
    return b;
}

QLabel* caption(const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text);
    l->setBuddy(buddy);
    return l;
}

QFont bigFont(int px, bool bold) {
    QFont f;
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

QString modeCell(const PlanStep& s) {
    if (s.mode == PlanStep::Mode::Judge)
        return QStringLiteral("judge");
    return QStringLiteral("%1 %2")
        .arg(s.showTime)
        .arg(s.unit == PlanStep::Unit::Minutes ? "min" : "s");
}

}  // namespace

TPlanForm::TPlanForm(LinkEngine& engine, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      engine_(engine),
      runner_(std::make_unique<PlanRunner>(engine, clock_)) {
    setObjectName(QStringLiteral("PlanForm"));
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    setModal(false);
    resize(FormWidth, FormHeight);

    Tabs_ = named(new QTabWidget(this), "PlanTabs", QStringLiteral("Test plan"));
    Tabs_->addTab(makePlanTab(), QStringLiteral("Plan"));
    Tabs_->addTab(makeRunTab(), QStringLiteral("Run"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Tabs_);

    keyHold_ = new QTimer(this);
    keyHold_->setSingleShot(true);
    keyHold_->setInterval(KeyHoldMs);
    connect(keyHold_, &QTimer::timeout, this, &TPlanForm::heldKeyTimeout);

    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(PollMs);
    connect(pollTimer_, &QTimer::timeout, this, [this] {
        runner_->poll();
        if (runner_->state() == PlanRunner::State::Showing)
            showRun();
    });
    runner_->onChanged = [this] { showRun(); };
    runner_->onFinished = [this] { runFinished(); };

    // A new window offers one step to start from.
    plan_.name = QStringLiteral("New plan");
    PlanStep first;
    first.instruction = QStringLiteral("White field: no dead or stuck pixels");
    plan_.steps << first;
    showPlan();
    showRun();
}

TPlanForm::~TPlanForm() {
    // The program ends with the window: a run in progress leaves its report, with nothing left
    // on screen to show it.
    runner_->onChanged = nullptr;
    runner_->onFinished = nullptr;
    runner_->stop(RunRecord::End::ProgramClosed);
}

// ---- Layout --------------------------------------------------------------------------------

QWidget* TPlanForm::makePlanTab() {
    auto* tab = new QWidget;
    auto* top = new QHBoxLayout;
    PlanName_ = named(new QLineEdit, "PlanName", QStringLiteral("Plan name"));
    LoadButton_ = button("LoadButton", QStringLiteral("Load..."));
    SaveButton_ = button("SaveButton", QStringLiteral("Save..."));
    UploadButton_ = button("UploadButton", QStringLiteral("Upload as programme"));
    UploadButton_->setToolTip(
        QStringLiteral("Upload a plan of at most 32 timed steps as the generator's auto-run "
                       "programme"));
    top->addWidget(caption(QStringLiteral("&Name:"), PlanName_));
    top->addWidget(PlanName_, 1);
    top->addWidget(LoadButton_);
    top->addWidget(SaveButton_);
    top->addWidget(UploadButton_);

    auto* folderRow = new QHBoxLayout;
    PlanFolder_ = named(new QLineEdit, "PlanFolder", QStringLiteral("Default report folder"));
    PlanFolder_->setPlaceholderText(QStringLiteral("none: chosen on the Run tab"));
    folderRow->addWidget(caption(QStringLiteral("Default report &folder:"), PlanFolder_));
    folderRow->addWidget(PlanFolder_, 1);

    StepGrid_ = new TStringGrid(ColumnCount, 2, 0, 1, tab);
    named(StepGrid_, "StepGrid", QStringLiteral("Steps"));
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

    TimingBox_ = named(new QComboBox, "TimingBox", QStringLiteral("Timing"));
    TimingBox_->addItem(SameItem);
    for (int i = 0; i < TimingCount; ++i) TimingBox_->addItem(Plan::timingText(i));
    PatternBox_ = named(new QComboBox, "PatternBox", QStringLiteral("Pattern"));
    PatternBox_->addItem(SameItem);
    for (int i = 0; i < PatternCount; ++i) PatternBox_->addItem(Plan::patternText(i));
    ModeBox_ = named(new QComboBox, "ModeBox", QStringLiteral("Mode"));
    ModeBox_->addItems({QStringLiteral("judge"), QStringLiteral("timed")});
    ModeBox_->setToolTip(
        QStringLiteral("judge: the operator passes or fails the step; timed: it is shown for "
                       "the show time, then the next follows"));
    ShowTime_ = named(new QSpinBox, "ShowTime", QStringLiteral("Show time"));
    ShowTime_->setRange(PlanStep::MinShowTime, PlanStep::MaxShowTime);
    UnitBox_ = named(new QComboBox, "UnitBox", QStringLiteral("Show time unit"));
    UnitBox_->addItems({QStringLiteral("s"), QStringLiteral("min")});
    StepInstruction_ = named(new QLineEdit, "StepInstruction", QStringLiteral("Instruction"));
    StepInstruction_->setPlaceholderText(QStringLiteral("what the operator looks for"));
    auto* editor = new QGridLayout;
    editor->addWidget(caption(QStringLiteral("&Timing"), TimingBox_), 0, 0);
    editor->addWidget(caption(QStringLiteral("&Pattern"), PatternBox_), 0, 1);
    editor->addWidget(caption(QStringLiteral("&Mode"), ModeBox_), 0, 2);
    editor->addWidget(caption(QStringLiteral("&Show time"), ShowTime_), 0, 3, 1, 2);
    editor->addWidget(caption(QStringLiteral("&Instruction"), StepInstruction_), 0, 5);
    editor->addWidget(TimingBox_, 1, 0);
    editor->addWidget(PatternBox_, 1, 1);
    editor->addWidget(ModeBox_, 1, 2);
    editor->addWidget(ShowTime_, 1, 3);
    editor->addWidget(UnitBox_, 1, 4);
    editor->addWidget(StepInstruction_, 1, 5);
    editor->setColumnStretch(5, 1);
    for (QComboBox* box : {TimingBox_, PatternBox_, ModeBox_, UnitBox_})
        connect(box, &QComboBox::currentIndexChanged, this, &TPlanForm::stepEdited);
    connect(ShowTime_, &QSpinBox::valueChanged, this, &TPlanForm::stepEdited);
    connect(StepInstruction_, &QLineEdit::textEdited, this, &TPlanForm::stepEdited);

    auto* buttons = new QHBoxLayout;
    AddButton_ = button("AddButton", QStringLiteral("Add"), QStringLiteral("Add a step"));
    RemoveButton_ =
        button("RemoveButton", QStringLiteral("Remove"), QStringLiteral("Remove the step"));
    UpButton_ = button("UpButton", QStringLiteral("Up"), QStringLiteral("Move the step up"));
    DownButton_ =
        button("DownButton", QStringLiteral("Down"), QStringLiteral("Move the step down"));
    PlanProblem_ = named(new QLabel, "PlanProblem", QStringLiteral("Plan problem"));
    VerdictStyle::paintText(PlanProblem_, VerdictStyle::Fail);
    PlanProblem_->setWordWrap(true);
    for (QPushButton* b : {AddButton_, RemoveButton_, UpButton_, DownButton_})
        buttons->addWidget(b);
    buttons->addWidget(PlanProblem_, 1);
    // The timings a display's EDID declares, one judged step each, all with one pattern.
    StepsFromEdid_ = button("StepsFromEdid", QStringLiteral("Steps from EDID..."),
                            QStringLiteral("Add a step for every built-in timing an EDID file "
                                           "declares"));
    EdidPatternBox_ =
        named(new QComboBox, "EdidPatternBox", QStringLiteral("Pattern for the steps from EDID"));
    for (int i = 0; i < PatternCount; ++i) EdidPatternBox_->addItem(Plan::patternText(i));
    buttons->addWidget(StepsFromEdid_);
    buttons->addWidget(caption(QStringLiteral("wit&h"), EdidPatternBox_));
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
    connect(LoadButton_, &QPushButton::clicked, this, &TPlanForm::LoadButtonClick);
    connect(SaveButton_, &QPushButton::clicked, this, &TPlanForm::SaveButtonClick);
    connect(UploadButton_, &QPushButton::clicked, this, &TPlanForm::UploadButtonClick);
    connect(AddButton_, &QPushButton::clicked, this, &TPlanForm::AddButtonClick);
    connect(RemoveButton_, &QPushButton::clicked, this, &TPlanForm::RemoveButtonClick);
    connect(UpButton_, &QPushButton::clicked, this, &TPlanForm::UpButtonClick);
    connect(StepsFromEdid_, &QPushButton::clicked, this, &TPlanForm::StepsFromEdidClick);
    connect(DownButton_, &QPushButton::clicked, this, &TPlanForm::DownButtonClick);
    return tab;
}

QWidget* TPlanForm::makeRunTab() {
    auto* tab = new QWidget;
    Serial_ = named(new QLineEdit, "Serial", QStringLiteral("Serial number"));
    Serial_->setPlaceholderText(QStringLiteral("type or scan, then Enter"));
    Serial_->setFont(bigFont(TitlePx, true));
    Operator_ = named(new QLineEdit, "Operator", QStringLiteral("Operator"));
    ReportFolder_ = named(new QLineEdit, "ReportFolder", QStringLiteral("Report folder"));
    ChooseFolder_ = button("ChooseFolder", QStringLiteral("Choose..."),
                           QStringLiteral("Choose the report folder"));
    StartButton_ = button("StartButton", QStringLiteral("Start"));
    auto* fields = new QGridLayout;
    fields->addWidget(caption(QStringLiteral("&Serial:"), Serial_), 0, 0);
    fields->addWidget(Serial_, 0, 1);
    fields->addWidget(caption(QStringLiteral("&Operator:"), Operator_), 0, 2);
    fields->addWidget(Operator_, 0, 3);
    fields->addWidget(StartButton_, 0, 4);
    fields->addWidget(caption(QStringLiteral("&Reports in:"), ReportFolder_), 1, 0);
    fields->addWidget(ReportFolder_, 1, 1, 1, 3);
    fields->addWidget(ChooseFolder_, 1, 4);
    fields->setColumnStretch(1, 2);
    fields->setColumnStretch(3, 1);

    StepTitle_ = named(new QLabel, "StepTitle", QStringLiteral("Step"));
    StepTitle_->setProperty("baseName", StepTitle_->accessibleName());
    StepTitle_->setFont(bigFont(TitlePx, true));
    StepNames_ = named(new QLabel, "StepNames", QStringLiteral("Timing and pattern"));
    StepNames_->setProperty("baseName", StepNames_->accessibleName());
    StepNames_->setFont(bigFont(TitlePx, false));
    Instruction_ = named(new QLabel, "Instruction", QStringLiteral("Instruction"));
    Instruction_->setFont(bigFont(InstructionPx, true));
    Instruction_->setWordWrap(true);
    Instruction_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Instruction_->setMinimumHeight(3 * InstructionPx);
    // Holds the focus during a run, so that no button takes a blank or Return as a click.
    Instruction_->setFocusPolicy(Qt::StrongFocus);
    RunStatus_ = named(new QLabel, "RunStatus", QStringLiteral("Run status"));
    RunStatus_->setFont(bigFont(16, false));
    RunStatus_->setWordWrap(true);

    PassButton_ = button("PassButton", QStringLiteral("Pass (P)"), QStringLiteral("Pass"));
    FailButton_ = button("FailButton", QStringLiteral("Fail (F)"), QStringLiteral("Fail"));
    BackButton_ = button("BackButton", QStringLiteral("Back (B)"), QStringLiteral("Back"));
    StopButton_ = button("StopButton", QStringLiteral("Stop"));
    for (QPushButton* b : {PassButton_, FailButton_, BackButton_, StopButton_}) {
        b->setFont(bigFont(20, true));
        b->setMinimumHeight(48);
        // A click leaves the focus where it was (on the instruction): a button that kept it
        // would take the next blank or Return as a press, and Stop would end the run.
        b->setFocusPolicy(Qt::TabFocus);
    }
    auto* verdicts = new QHBoxLayout;
    verdicts->addWidget(PassButton_, 2);
    verdicts->addWidget(FailButton_, 2);
    verdicts->addSpacing(24);
    verdicts->addWidget(BackButton_, 1);
    verdicts->addWidget(StopButton_, 1);

    NoteRow_ = new QWidget;
    FailNote_ = named(new QLineEdit, "FailNote", QStringLiteral("Note to the failed step"));
    FailNote_->setPlaceholderText(QStringLiteral("optional"));
    auto* failIt = button("FailNoteButton", QStringLiteral("Fail the step"));
    auto* noteLayout = new QHBoxLayout(NoteRow_);
    noteLayout->setContentsMargins(0, 0, 0, 0);
    noteLayout->addWidget(caption(QStringLiteral("&Note:"), FailNote_));
    noteLayout->addWidget(FailNote_, 1);
    noteLayout->addWidget(failIt);
    noteLayout->addWidget(new QLabel(QStringLiteral("Enter fails the step, Esc goes back to it")));
    NoteRow_->hide();

    Verdict_ = named(new QLabel, "Verdict", QStringLiteral("Verdict"));
    Verdict_->setFont(bigFont(VerdictPx, true));
    VerdictDetail_ = named(new QLabel, "VerdictDetail", QStringLiteral("Verdict details"));
    VerdictDetail_->setWordWrap(true);
    VerdictDetail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    VerdictDetail_->setFont(bigFont(16, false));

    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(fields);
    layout->addSpacing(12);
    layout->addWidget(StepTitle_);
    layout->addWidget(StepNames_);
    // Where the operator looks: the verdict takes the instruction's place once a run ends.
    layout->addWidget(Verdict_);
    layout->addWidget(VerdictDetail_);
    layout->addWidget(Instruction_, 1);
    layout->addWidget(RunStatus_);
    layout->addWidget(NoteRow_);
    layout->addLayout(verdicts);

    connect(Serial_, &QLineEdit::returnPressed, this, &TPlanForm::StartButtonClick);
    connect(StartButton_, &QPushButton::clicked, this, &TPlanForm::StartButtonClick);
    connect(ChooseFolder_, &QPushButton::clicked, this, &TPlanForm::ChooseFolderClick);
    connect(PassButton_, &QPushButton::clicked, this, &TPlanForm::PassButtonClick);
    connect(FailButton_, &QPushButton::clicked, this, &TPlanForm::FailButtonClick);
    connect(BackButton_, &QPushButton::clicked, this, &TPlanForm::BackButtonClick);
    connect(StopButton_, &QPushButton::clicked, this, &TPlanForm::StopButtonClick);
    connect(FailNote_, &QLineEdit::returnPressed, this, &TPlanForm::FailNoteReturn);
    connect(failIt, &QPushButton::clicked, this, &TPlanForm::FailNoteReturn);
    return tab;
}

// ---- The plan ------------------------------------------------------------------------------

void TPlanForm::showPlan() {
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

void TPlanForm::showStepRow(int k) {
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

void TPlanForm::selectStep(int k) {
    current_ = k;
    if (k >= 0 && k < plan_.steps.size() && StepGrid_->Row() != k + 1) {
        showing_ = true;
        StepGrid_->setCurrentCell(StepGrid_->Col(), k + 1);
        showing_ = false;
    }
    showStepEditor();
    StepGrid_->repaintGrid();
}

void TPlanForm::showStepEditor() {
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

void TPlanForm::stepEdited() {
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

void TPlanForm::planEdited() {
    modified_ = true;
    const QString problem = plan_.problem();
    PlanProblem_->setText(problem.isEmpty() ? QString() : QStringLiteral("Cannot run: ") + problem);
    PlanProblem_->setAccessibleDescription(PlanProblem_->text());
    StepGrid_->repaintGrid();
}

void TPlanForm::StepGridDrawCell(QPainter& painter, int col, int row, const QRect& rect) {
    const QColor fill =
        row == current_ + 1 ? TStringGrid::activeCaptionColor() : StepGrid_->windowColor();
    StepGrid_->fillCell(painter, rect, fill, StepGrid_->Cells(col, row), StepGrid_->font());
}

void TPlanForm::AddButtonClick() {
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

void TPlanForm::RemoveButtonClick() {
    if (current_ < 0 || current_ >= plan_.steps.size())
        return;
    plan_.steps.removeAt(current_);
    StepGrid_->setRowCountTotal(plan_.steps.size() + 1);
    for (int k = current_; k < plan_.steps.size(); ++k) showStepRow(k);
    selectStep(qMin(current_, int(plan_.steps.size()) - 1));
    planEdited();
}

void TPlanForm::UpButtonClick() {
    if (current_ <= 0 || current_ >= plan_.steps.size())
        return;
    plan_.steps.swapItemsAt(current_, current_ - 1);
    showStepRow(current_);
    showStepRow(current_ - 1);
    selectStep(current_ - 1);
    planEdited();
}

void TPlanForm::DownButtonClick() {
    if (current_ < 0 || current_ + 1 >= plan_.steps.size())
        return;
    plan_.steps.swapItemsAt(current_, current_ + 1);
    showStepRow(current_);
    showStepRow(current_ + 1);
    selectStep(current_ + 1);
    planEdited();
}

// ---- Files ---------------------------------------------------------------------------------

void TPlanForm::LoadButtonClick() {
    QFileDialog dialog(this, QStringLiteral("Load test plan"), lastDir_, FileFilter);
    dialog.setObjectName(QStringLiteral("LoadPlanDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        loadFile(dialog.selectedFiles().constFirst());
}

void TPlanForm::SaveButtonClick() {
    QFileDialog dialog(this, QStringLiteral("Save test plan"),
                       planFile_.isEmpty() ? lastDir_ : planFile_, FileFilter);
    dialog.setObjectName(QStringLiteral("SavePlanDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        saveFile(dialog.selectedFiles().constFirst());
}

void TPlanForm::StepsFromEdidClick() {
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

bool TPlanForm::addStepsFromEdid(const QString& path) {
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

bool TPlanForm::loadFile(const QString& path) {
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
    // A folder the plan names, relative to the plan's own folder.
    if (!plan.reportFolder.isEmpty())
        ReportFolder_->setText(QDir::toNativeSeparators(
            QDir::cleanPath(QDir(info.absolutePath()).absoluteFilePath(plan.reportFolder))));
    // A plan is loaded to be run: the first scan goes straight to Serial.
    Tabs_->setCurrentIndex(1);
    Serial_->setFocus();
    Serial_->selectAll();
    return true;
}

bool TPlanForm::saveFile(const QString& path) {
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

void TPlanForm::UploadButtonClick() {
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

// ---- Runs ----------------------------------------------------------------------------------

void TPlanForm::ChooseFolderClick() {
    QFileDialog dialog(this, QStringLiteral("Report folder"), ReportFolder_->text());
    dialog.setObjectName(QStringLiteral("ReportFolderDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        ReportFolder_->setText(QDir::toNativeSeparators(dialog.selectedFiles().constFirst()));
}

void TPlanForm::StartButtonClick() {
    if (runner_->running())
        return;
    const QString serial = Serial_->text().trimmed();
    if (serial.isEmpty()) {
        message(QStringLiteral("Type or scan the unit's serial number first."));
        Serial_->setFocus();
        return;
    }
    const QString folder = QDir::fromNativeSeparators(ReportFolder_->text().trimmed());
    QString problem;
    if (!RunReport::prepareFolder(folder, problem)) {
        message(QStringLiteral("Choose a folder for the reports first."),
                folder.isEmpty()
                    ? QStringLiteral("Every run leaves its report and a line of results.csv there.")
                    : problem);
        return;
    }
    const QFileInfo dir(folder);
    RunSetup setup;
    setup.serial = serial;
    setup.operatorName = Operator_->text().trimmed();
    setup.reportFolder = dir.absoluteFilePath();
    if (!modified_ && !planFile_.isEmpty()) {
        setup.planFile = QDir::toNativeSeparators(planFile_);
        setup.planDigest = PlanFile::digest(planBytes_);
    } else {
        // Not the file's bytes: the plan as it would be saved now.
        setup.planFile = planFile_.isEmpty()
                             ? QStringLiteral("made in the Test Plan window, not saved")
                             : QDir::toNativeSeparators(planFile_) +
                                   QStringLiteral(" (changed in the window, not saved)");
        setup.planDigest = PlanFile::digest(PlanFile::write(plan_));
    }
    QString why;
    if (!runner_->start(plan_, setup, why)) {
        message(QStringLiteral("The run cannot start"), why);
        return;
    }
    pollTimer_->start();
    Instruction_->setFocus();
}

void TPlanForm::PassButtonClick() {
    closeNote();
    runner_->pass();
}

void TPlanForm::FailButtonClick() {
    const auto state = runner_->state();
    if (state != PlanRunner::State::Judging && state != PlanRunner::State::Showing)
        return;
    // A timed step waits while its note is written.
    runner_->holdTimedStep(true);
    FailNote_->clear();
    NoteRow_->show();
    FailNote_->setFocus();
    showRun();
}

void TPlanForm::FailNoteReturn() {
    const QString note = FailNote_->text();
    NoteRow_->hide();
    runner_->fail(note);
    if (runner_->running())
        Instruction_->setFocus();
}

void TPlanForm::closeNote() {
    if (!NoteRow_->isVisible())
        return;
    NoteRow_->hide();
    runner_->holdTimedStep(false);
    if (runner_->running())
        Instruction_->setFocus();
    showRun();
}

void TPlanForm::BackButtonClick() {
    closeNote();
    runner_->back();
}

void TPlanForm::StopButtonClick() {
    if (!runner_->running())
        return;
    closeNote();
    if (!askStop())
        return;
    runner_->stop(RunRecord::End::Stopped);
}

bool TPlanForm::askStop() {
    const QString text = QStringLiteral("Stop the run of %1? Its report will say it was stopped.")
                             .arg(runner_->record().serial);
    auto* main = qobject_cast<TMainForm*>(parentWidget());
    if (main)
        return main->confirmIn(this, text, QString(), QStringLiteral("Yes"), Instruction_,
                               QStringLiteral("No"));
    QMessageBox box(QMessageBox::Question, QStringLiteral("ORVE-1"), text,
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    const bool yes = box.exec() == QMessageBox::Yes;
    Instruction_->setFocus();
    return yes;
}

void TPlanForm::mainClosing() {
    runner_->stop(RunRecord::End::ProgramClosed);
}

void TPlanForm::closeEvent(QCloseEvent* event) {
    runner_->stop(RunRecord::End::WindowClosed);
    QDialog::closeEvent(event);
}

void TPlanForm::keyPressEvent(QKeyEvent* event) {
    // Keys that reach the window itself (never those typed into a field): the verdict keys,
    // and Escape, which closes the note but never the window in the middle of a run. A barcode
    // scanned by mistake during a run types its characters a few milliseconds apart: a verdict
    // key is acted on only when no other key follows it at once, and none of a burst counts.
    const bool burst = sinceKey_.isValid() && sinceKey_.elapsed() < BurstGapMs;
    sinceKey_.restart();
    if (burst) {
        keyHold_->stop();
        return;
    }
    switch (event->key()) {
        case Qt::Key_P:
        case Qt::Key_F:
        case Qt::Key_B:
            heldKey_ = event->key();
            keyHold_->start();
            return;
        case Qt::Key_Escape:
            if (NoteRow_->isVisible())
                closeNote();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void TPlanForm::heldKeyTimeout() {
    if (NoteRow_->isVisible())
        return;
    const auto state = runner_->state();
    if (state == PlanRunner::State::Sending) {
        // Dropped without a word, an early verdict would be pressed again or thought taken.
        setShown(RunStatus_, QStringLiteral("Wait: the step is not on the generator yet"));
        return;
    }
    const bool judging = state == PlanRunner::State::Judging;
    if (heldKey_ == Qt::Key_P && judging)
        PassButtonClick();
    else if (heldKey_ == Qt::Key_F && (judging || state == PlanRunner::State::Showing))
        FailButtonClick();
    else if (heldKey_ == Qt::Key_B)
        BackButtonClick();
}

void TPlanForm::showRun() {
    const PlanRunner& r = *runner_;
    const bool running = r.running();
    const auto state = r.state();
    for (QWidget* w :
         std::initializer_list<QWidget*>{Serial_, Operator_, ReportFolder_, ChooseFolder_,
                                         StartButton_, LoadButton_, UploadButton_})
        w->setEnabled(!running);
    Tabs_->setTabEnabled(0, !running);
    PassButton_->setEnabled(state == PlanRunner::State::Judging);
    FailButton_->setEnabled(state == PlanRunner::State::Judging ||
                            state == PlanRunner::State::Showing);
    BackButton_->setEnabled(
        (state == PlanRunner::State::Judging || state == PlanRunner::State::Showing) &&
        r.currentStep() > 0);
    StopButton_->setEnabled(running);
    if (!running) {
        if (state == PlanRunner::State::Idle) {
            setShown(StepTitle_, QStringLiteral("No run yet"));
            setShown(StepNames_, QString());
            setShown(Instruction_,
                     QStringLiteral("Type or scan the serial number and press Enter to start."));
            setShown(RunStatus_, QString());
            Verdict_->hide();
            VerdictDetail_->hide();
        }
        greyInstruction(false);
        return;
    }
    Tabs_->setCurrentIndex(1);
    Verdict_->hide();
    VerdictDetail_->hide();
    const int k = r.currentStep();
    const PlanStep& s = r.plan().steps[k];
    setShown(StepTitle_, QStringLiteral("Step %1 of %2  \u2014  %3")
                             .arg(k + 1)
                             .arg(r.plan().steps.size())
                             .arg(r.record().serial));
    setShown(StepNames_, QStringLiteral("Timing %1   \u00b7   Pattern %2")
                             .arg(Plan::timingText(r.plan().timingAt(k)),
                                  Plan::patternText(r.plan().patternAt(k))));
    setShown(Instruction_, s.instruction);
    // Grey until the generator has taken the step: what is read is not yet what is shown.
    greyInstruction(state == PlanRunner::State::Sending);
    QString status;
    switch (state) {
        case PlanRunner::State::Sending:
            status = QStringLiteral("Putting the step on the generator...");
            break;
        case PlanRunner::State::Judging:
            status = QStringLiteral("Look, then Pass (P) or Fail (F).");
            break;
        case PlanRunner::State::Showing:
            status = r.timedStepHeld()
                         ? QStringLiteral("Held while the note is written; Esc goes back to it.")
                         : QStringLiteral(
                               "Shown for %1 s more; the next step follows by itself; "
                               "Fail (F) if it shows a fault.")
                               .arg((r.remainingMs() + 999) / 1000);
            break;
        default:
            break;
    }
    setShown(RunStatus_, status);
}

void TPlanForm::setShown(QLabel* label, const QString& text) {
    label->setText(text);
    label->setAccessibleDescription(text);
    // The step's title and names are what a screen reader must say, not "Step": their text is
    // their name, and the designer's name only while they are empty.
    if (label == StepTitle_ || label == StepNames_)
        label->setAccessibleName(text.isEmpty() ? label->property("baseName").toString() : text);
}

void TPlanForm::greyInstruction(bool grey) {
    QPalette p = Instruction_->palette();
    p.setColor(QPalette::WindowText,
               palette().color(grey ? QPalette::Disabled : QPalette::Active, QPalette::WindowText));
    Instruction_->setPalette(p);
}

void TPlanForm::runFinished() {
    pollTimer_->stop();
    closeNote();
    const RunRecord& rec = runner_->record();
    const RunRecord::Verdict v = rec.verdict();
    setShown(StepTitle_, QStringLiteral("%1 \u2014 %2").arg(rec.serial, rec.plan.name));
    setShown(StepNames_, QString());
    setShown(Instruction_, QString());
    setShown(RunStatus_, QString());
    Verdict_->setText(RunRecord::verdictText(v));
    VerdictStyle::paintText(Verdict_, v == RunRecord::Verdict::Pass      ? VerdictStyle::Pass
                                      : v == RunRecord::Verdict::Stopped ? StoppedColor
                                                                         : VerdictStyle::Fail);
    QStringList lines;
    QStringList failed;
    for (int n : rec.failedSteps()) {
        const QString note = rec.steps[n - 1].note;
        failed << (note.isEmpty() ? QString::number(n)
                                  : QStringLiteral("%1 (%2)").arg(n).arg(note));
    }
    if (!failed.isEmpty())
        lines << QStringLiteral("Failed: step %1").arg(failed.join(QStringLiteral(", step ")));
    if (rec.end != RunRecord::End::Completed)
        lines << QStringLiteral("Run %1.").arg(rec.endText());
    if (!runner_->reportPath().isEmpty())
        lines << QStringLiteral("Report: %1").arg(QDir::toNativeSeparators(runner_->reportPath()));
    if (!runner_->reportError().isEmpty())
        lines << QStringLiteral("NOT WRITTEN: %1").arg(runner_->reportError());
    VerdictDetail_->setText(lines.join(QLatin1Char('\n')));
    Verdict_->show();
    VerdictDetail_->show();
    Verdict_->setAccessibleDescription(Verdict_->text());
    VerdictDetail_->setAccessibleDescription(VerdictDetail_->text());
    showRun();
    // Ready for the next unit: a scan replaces the serial shown.
    Tabs_->setCurrentIndex(1);
    Serial_->setFocus();
    Serial_->selectAll();
    if (!runner_->reportError().isEmpty())
        message(QStringLiteral("The report of %1 could not be written").arg(rec.serial),
                runner_->reportError());
}

void TPlanForm::message(const QString& text, const QString& detail) {
    // Through the main window, which the tests hook; the box is this window's own, and the
    // next scan goes to Serial when it closes on the Run tab.
    if (auto* main = qobject_cast<TMainForm*>(parentWidget())) {
        QWidget* focusAfter = nullptr;
        if (Tabs_->currentIndex() == 1)
            focusAfter = runner_->running() ? static_cast<QWidget*>(Instruction_) : Serial_;
        main->showMessageIn(this, text, detail, focusAfter);
        return;
    }
    QMessageBox::information(this, QStringLiteral("ORVE-1"),
                             detail.isEmpty() ? text : text + QStringLiteral("\n\n") + detail);
}
