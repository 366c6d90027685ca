#include "plan/TPlanEditor.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "edid/DeclaredTimings.h"
#include "edid/EdidImageFile.h"
#include "files/SafeFile.h"
#include "link/LinkEngine.h"
#include "pattern/PatternTable.h"
#include "plan/PlanControls.h"
#include "plan/PlanFile.h"
#include "plan/PlanRunner.h"
#include "plan/TPlanStepBoxes.h"
#include "programme/ProgramPacker.h"
#include "timing/TimingTable.h"
#include "ui/ElidedLabel.h"
#include "ui/TStringGrid.h"
#include "ui/VerdictStyle.h"

namespace {

constexpr int RowHeight = 22;
const QString FileFilter = QStringLiteral("Test plans (*.txt *.plan);;All files (*)");
const QString SameItem = QStringLiteral("same");
const QString KeepCell = QStringLiteral("- (as shown)");

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
    if (s.mode == PlanStep::Mode::Edid)
        return QStringLiteral("edid");
    return QStringLiteral("%1 %2")
        .arg(s.showTime)
        .arg(s.unit == PlanStep::Unit::Minutes ? "min" : "s");
}

QString choiceCell(int value, const QString& named) {
    if (value == PlanStep::Same)
        return SameItem;
    return value == PlanStep::Keep ? KeepCell : named;
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
    setup.stationMode = station_;
}

void TPlanEditor::setRunning(bool running) {
    LoadButton_->setEnabled(!running && !station_);
    UploadButton_->setEnabled(!running && !station_);
    ReloadButton_->setEnabled(!running);
}

QString TPlanEditor::planFolder() const {
    return planFile_.isEmpty() ? QDir::currentPath() : QFileInfo(planFile_).absolutePath();
}

bool TPlanEditor::startStation(const QString& path) {
    station_ = true;
    // Nothing of a plan made in the window stands beside the station's.
    plan_ = Plan();
    current_ = 0;
    planFile_ = QFileInfo(path).absoluteFilePath();
    planBytes_.clear();
    stationError_ = QStringLiteral("not loaded yet");
    showPlan();
    for (QLineEdit* e : {PlanName_, PlanFolder_, Defects_, SerialFormat_}) e->setReadOnly(true);
    Boxes_->setReadOnly(true);
    StationRow_->show();
    return reloadFile();
}

bool TPlanEditor::reloadFile() {
    return loadFile(planFile_);
}

QString TPlanEditor::runRefusal(QString& detail) const {
    detail.clear();
    if (station_ && !stationError_.isEmpty()) {
        detail = QDir::toNativeSeparators(stationError_);
        return QStringLiteral(
            "The plan has an error and nothing runs: correct its file, then Reload plan.");
    }
    if (station_) {
        QByteArray now;
        QString error;
        if (!SafeFile::readRegular(planFile_, PlanFile::MaxFileBytes + 1, now, error)) {
            detail = QDir::toNativeSeparators(error);
            return QStringLiteral("The plan file cannot be read: Reload plan once it is back.");
        }
        if (now != planBytes_) {
            detail = QStringLiteral("SHA-256 loaded: %1\nSHA-256 on disk now: %2")
                         .arg(PlanFile::digest(planBytes_), PlanFile::digest(now));
            return QStringLiteral(
                "The plan file has changed on disk since it was loaded: Reload plan before the "
                "next unit.");
        }
    }
    detail = PlanFile::goldenProblem(plan_, planFolder(), false);
    return detail.isEmpty() ? QString() : QStringLiteral("The run cannot start");
}

void TPlanEditor::makePlanTab() {
    QWidget* tab = this;
    // Station mode: the plan's file and digest, and the one thing the operator may do with it.
    StationRow_ = new QWidget;
    auto* stationLayout = new QHBoxLayout(StationRow_);
    stationLayout->setContentsMargins(0, 0, 0, 0);
    StationFile_ = new ElidedLabel(StationRow_, "StationFile", Qt::ElideMiddle);
    StationDigest_ = PlanControls::named(new QLabel, "StationDigest", QStringLiteral("SHA-256"));
    StationDigest_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ReloadButton_ = PlanControls::button("ReloadButton", QStringLiteral("Reload plan"),
                                         QStringLiteral("Reload plan"));
    ReloadButton_->setToolTip(
        QStringLiteral("Read the plan file again, after it was changed on disk"));
    stationLayout->addWidget(StationFile_, 1);
    stationLayout->addWidget(StationDigest_);
    stationLayout->addWidget(ReloadButton_);
    StationRow_->hide();

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

    auto* settingsRow = new QHBoxLayout;
    Defects_ = PlanControls::named(new QLineEdit, "Defects", QStringLiteral("Defect codes"));
    Defects_->setPlaceholderText(QStringLiteral("none; else up to 9, comma-separated"));
    Defects_->setToolTip(
        QStringLiteral("The codes a failed step is given, picked with the keys 1..9"));
    SerialFormat_ =
        PlanControls::named(new QLineEdit, "SerialFormat", QStringLiteral("Serial format"));
    SerialFormat_->setPlaceholderText(QStringLiteral("any serial"));
    SerialFormat_->setToolTip(
        QStringLiteral("A regular expression the serials must match, such as ^HX-[0-9]{3}$"));
    settingsRow->addWidget(PlanControls::caption(QStringLiteral("&Defects:"), Defects_));
    settingsRow->addWidget(Defects_, 2);
    settingsRow->addWidget(PlanControls::caption(QStringLiteral("Serial f&ormat:"), SerialFormat_));
    settingsRow->addWidget(SerialFormat_, 1);

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

    Boxes_ = new TPlanStepBoxes;
    connect(Boxes_, &TPlanStepBoxes::edited, this, &TPlanEditor::stepEdited);
    connect(Boxes_, &TPlanStepBoxes::goldenBrowseClicked, this, &TPlanEditor::GoldenBrowseClick);

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
    layout->addWidget(StationRow_);
    layout->addLayout(top);
    layout->addLayout(folderRow);
    layout->addLayout(settingsRow);
    layout->addWidget(StepGrid_, 1);
    layout->addWidget(Boxes_);
    layout->addLayout(buttons);

    connect(PlanName_, &QLineEdit::textEdited, this, [this](const QString& text) {
        plan_.name = text;
        planEdited();
    });
    connect(PlanFolder_, &QLineEdit::textEdited, this, [this](const QString& text) {
        plan_.reportFolder = text;
        planEdited();
    });
    connect(Defects_, &QLineEdit::textEdited, this, [this](const QString& text) {
        plan_.defects = Plan::splitDefects(text);
        planEdited();
    });
    connect(SerialFormat_, &QLineEdit::textEdited, this, [this](const QString& text) {
        plan_.serialFormat = text.trimmed();
        planEdited();
    });
    connect(ReloadButton_, &QPushButton::clicked, this, &TPlanEditor::reloadFile);
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
    Defects_->setText(plan_.defects.join(QStringLiteral(", ")));
    SerialFormat_->setText(plan_.serialFormat);
    StepGrid_->setRowCountTotal(plan_.steps.size() + 1);
    for (int k = 0; k < plan_.steps.size(); ++k) showStepRow(k);
    showing_ = false;
    selectStep(plan_.steps.isEmpty() ? 0 : qBound(0, current_, int(plan_.steps.size()) - 1));
    planEdited();
    modified_ = false;
}

void TPlanEditor::showStepRow(int k) {
    const PlanStep& s = plan_.steps[k];
    const int row = k + 1;
    StepGrid_->setCells(ColStep, row, QString::number(row));
    StepGrid_->setCells(ColTiming, row, choiceCell(s.timing, Plan::timingText(s.timing)));
    StepGrid_->setCells(ColPattern, row, choiceCell(s.pattern, Plan::patternText(s.pattern)));
    StepGrid_->setCells(ColMode, row, modeCell(s));
    StepGrid_->setCells(ColInstruction, row,
                        s.mode == PlanStep::Mode::Edid ? s.edidText() : s.instruction);
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
    if (current_ >= 0 && current_ < plan_.steps.size())
        Boxes_->show(plan_.steps[current_]);
    enableEditing();
}

void TPlanEditor::enableEditing() {
    const bool any = current_ >= 0 && current_ < plan_.steps.size();
    const bool edit = any && !station_;
    const PlanStep::Mode mode = any ? plan_.steps[current_].mode : PlanStep::Mode::Judge;
    Boxes_->setEditable(any, edit, mode);
    RemoveButton_->setEnabled(edit);
    UpButton_->setEnabled(edit && current_ > 0);
    DownButton_->setEnabled(edit && current_ + 1 < plan_.steps.size());
    for (QWidget* w : std::initializer_list<QWidget*>{AddButton_, StepsFromEdid_, EdidPatternBox_,
                                                      SaveButton_, LoadButton_, UploadButton_})
        w->setEnabled(!station_);
}

void TPlanEditor::stepEdited() {
    if (showing_ || current_ < 0 || current_ >= plan_.steps.size())
        return;
    PlanStep& s = plan_.steps[current_];
    const PlanStep::Mode was = s.mode;
    Boxes_->readInto(s);
    if (s.mode == PlanStep::Mode::Edid && was != PlanStep::Mode::Edid) {
        // What the file writes of an edid step: nothing sent, no instruction.
        s.timing = s.pattern = PlanStep::Keep;
        s.instruction.clear();
        showStepEditor();
    }
    showStepRow(current_);
    enableEditing();
    planEdited();
}

QString TPlanEditor::problem() const {
    const QString problem = plan_.problem();
    return problem.isEmpty() ? PlanFile::goldenProblem(plan_, planFolder(), false) : problem;
}

void TPlanEditor::planEdited() {
    modified_ = true;
    const QString problem = this->problem();
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
    Boxes_->focusInstruction();
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

void TPlanEditor::GoldenBrowseClick() {
    QString path;
    if (chooseGoldenFile) {
        path = chooseGoldenFile();
    } else {
        QFileDialog dialog(this, QStringLiteral("Golden EDID"), planFolder(),
                           QStringLiteral("Binary Files (*.bin);;All Files (*)"));
        dialog.setObjectName(QStringLiteral("GoldenFileDialog"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().constFirst();
    }
    if (path.isEmpty())
        return;
    // Beside the plan, or below its folder: kept relative, so that the folder can move whole.
    const QString relative = QDir(planFolder()).relativeFilePath(path);
    Boxes_->setGolden(planFile_.isEmpty() || relative.startsWith(QLatin1String(".."))
                          ? QDir::cleanPath(QFileInfo(path).absoluteFilePath())
                          : relative);
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
        if (station_) {
            // Until a reload succeeds, nothing runs: neither this file nor the plan before it.
            stationError_ = error;
            showStation();
        }
        message(QStringLiteral("This test plan cannot be used"), QDir::toNativeSeparators(error));
        return false;
    }
    const QFileInfo info(path);
    lastDir_ = info.absolutePath();
    plan_ = plan;
    current_ = 0;
    planFile_ = info.absoluteFilePath();
    showPlan();
    planBytes_ = bytes;
    modified_ = false;
    stationError_.clear();
    showStation();
    emit loaded(planFile_);
    return true;
}

void TPlanEditor::showStation() {
    StationFile_->setFullText(QStringLiteral("Plan file: ") + QDir::toNativeSeparators(planFile_));
    StationDigest_->setText(stationError_.isEmpty()
                                ? QStringLiteral("SHA-256: ") + PlanFile::digest(planBytes_)
                                : QStringLiteral("not loaded: it has an error"));
    StationDigest_->setAccessibleDescription(StationDigest_->text());
    if (station_ && !stationError_.isEmpty())
        PlanProblem_->setText(QStringLiteral("Cannot run: ") +
                              QDir::toNativeSeparators(stationError_));
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

QLineEdit* TPlanEditor::GoldenFile() const {
    return Boxes_->GoldenFile();
}
