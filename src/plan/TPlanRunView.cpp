#include "plan/TPlanRunView.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "link/LinkEngine.h"
#include "plan/PlanControls.h"
#include "plan/PlanRunner.h"
#include "plan/RunReport.h"
#include "plan/TPlanEditor.h"
#include "results/ResultsStore.h"
#include "resultsui/ResultsLinkRow.h"
#include "ui/HomePath.h"
#include "ui/VerdictStyle.h"

namespace {

constexpr int PollMs = 100;
// Keys closer together than this are a scanner typing, not the operator.
constexpr int BurstGapMs = 50;
constexpr int KeyHoldMs = 80;
const QColor StoppedColor(163, 90, 0);

}  // namespace

TPlanRunView::TPlanRunView(LinkEngine& engine, const TPlanEditor& editor, QWidget* parent)
    : QWidget(parent), editor_(editor), runner_(std::make_unique<PlanRunner>(engine, clock_)) {
    setObjectName(QStringLiteral("PlanRunView"));
    makeRunTab();

    keyHold_ = new QTimer(this);
    keyHold_->setSingleShot(true);
    keyHold_->setInterval(KeyHoldMs);
    connect(keyHold_, &QTimer::timeout, this, &TPlanRunView::heldKeyTimeout);

    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(PollMs);
    connect(pollTimer_, &QTimer::timeout, this, [this] {
        runner_->poll();
        if (runner_->state() == PlanRunner::State::Showing ||
            runner_->state() == PlanRunner::State::Programming)
            showRun();
    });
    runner_->onChanged = [this] { showRun(); };
    runner_->onFinished = [this] { runFinished(); };
    runner_->setJournal(&station_);
    showRun();
}

TPlanRunView::~TPlanRunView() {
    // The program ends with the window: a run in progress leaves its report, with nothing left
    // on screen to show it.
    runner_->onChanged = nullptr;
    runner_->onFinished = nullptr;
    runner_->stop(RunRecord::End::ProgramClosed);
}

QString TPlanRunView::reportFolder() const {
    return HomePath::expanded(QDir::fromNativeSeparators(ReportFolder_->text().trimmed()));
}

void TPlanRunView::setReportFolder(const QString& path) {
    // Under the home folder as "~/...", as the other windows show paths.
    ReportFolder_->setText(HomePath::shown(QDir::toNativeSeparators(path)));
}

void TPlanRunView::focusSerial() {
    Serial_->setFocus();
    Serial_->selectAll();
}

void TPlanRunView::setStation(const QString& reportFolder, const QString& operatorName) {
    stationReports_ = reportFolder;
    if (!reportFolder.isEmpty())
        setReportFolder(reportFolder);
    Operator_->setText(operatorName);
}

void TPlanRunView::planLoaded(const QString& path, const QString& planReports) {
    // The plan's results: line, as written (a file relative to the plan's folder, or a URL).
    ResultsLink_->setNamed(editor_.plan().results);
    if (!planReports.isEmpty() && stationReports_.isEmpty())
        setReportFolder(
            QDir::cleanPath(QDir(QFileInfo(path).absolutePath()).absoluteFilePath(planReports)));
    openStoreOf(reportFolder());
}

QWidget* TPlanRunView::focusAfterBox() const {
    return runner_->running() ? static_cast<QWidget*>(Instruction_) : Serial_;
}

void TPlanRunView::say(const QString& text, const QString& detail) {
    if (message)
        message(text, detail, focusAfterBox());
}

void TPlanRunView::makeRunTab() {
    QWidget* tab = this;
    Serial_ = PlanControls::named(new QLineEdit, "Serial", QStringLiteral("Serial number"));
    Serial_->setPlaceholderText(QStringLiteral("type or scan, then Enter"));
    Serial_->setFont(PlanControls::bigFont(TitlePx, true));
    Operator_ = PlanControls::named(new QLineEdit, "Operator", QStringLiteral("Operator"));
    ReportFolder_ =
        PlanControls::named(new QLineEdit, "ReportFolder", QStringLiteral("Report folder"));
    ChooseFolder_ = PlanControls::button("ChooseFolder", QStringLiteral("Choose..."),
                                         QStringLiteral("Choose the report folder"));
    StartButton_ = PlanControls::button("StartButton", QStringLiteral("Start"));
    auto* fields = new QGridLayout;
    fields->addWidget(PlanControls::caption(QStringLiteral("&Serial:"), Serial_), 0, 0);
    fields->addWidget(Serial_, 0, 1);
    fields->addWidget(PlanControls::caption(QStringLiteral("&Operator:"), Operator_), 0, 2);
    fields->addWidget(Operator_, 0, 3);
    fields->addWidget(StartButton_, 0, 4);
    fields->addWidget(PlanControls::caption(QStringLiteral("&Reports in:"), ReportFolder_), 1, 0);
    fields->addWidget(ReportFolder_, 1, 1, 1, 3);
    fields->addWidget(ChooseFolder_, 1, 4);
    ResultsLink_ = new ResultsLinkRow(station_);
    fields->addWidget(ResultsLink_, 2, 0, 1, 5);
    fields->setColumnStretch(1, 2);
    fields->setColumnStretch(3, 1);

    // This station's day and what the unit went through before, from the results store.
    Today_ = PlanControls::named(new QLabel, "TodayCounts", QStringLiteral("Today's counts"));
    Earlier_ = PlanControls::named(new QLabel, "EarlierRuns", QStringLiteral("Earlier runs"));
    Earlier_->setWordWrap(true);
    Earlier_->setFont(PlanControls::bigFont(16, true));
    StepTitle_ = PlanControls::named(new QLabel, "StepTitle", QStringLiteral("Step"));
    StepTitle_->setProperty("baseName", StepTitle_->accessibleName());
    StepTitle_->setFont(PlanControls::bigFont(TitlePx, true));
    StepNames_ = PlanControls::named(new QLabel, "StepNames", QStringLiteral("Timing and pattern"));
    StepNames_->setProperty("baseName", StepNames_->accessibleName());
    StepNames_->setFont(PlanControls::bigFont(TitlePx, false));
    Instruction_ = PlanControls::named(new QLabel, "Instruction", QStringLiteral("Instruction"));
    Instruction_->setFont(PlanControls::bigFont(InstructionPx, true));
    Instruction_->setWordWrap(true);
    Instruction_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Instruction_->setMinimumHeight(3 * InstructionPx);
    // Holds the focus during a run, so that no button takes a blank or Return as a click.
    Instruction_->setFocusPolicy(Qt::StrongFocus);
    RunStatus_ = PlanControls::named(new QLabel, "RunStatus", QStringLiteral("Run status"));
    RunStatus_->setFont(PlanControls::bigFont(16, false));
    RunStatus_->setWordWrap(true);

    PassButton_ =
        PlanControls::button("PassButton", QStringLiteral("Pass (P)"), QStringLiteral("Pass"));
    FailButton_ =
        PlanControls::button("FailButton", QStringLiteral("Fail (F)"), QStringLiteral("Fail"));
    BackButton_ =
        PlanControls::button("BackButton", QStringLiteral("Back (B)"), QStringLiteral("Back"));
    StopButton_ = PlanControls::button("StopButton", QStringLiteral("Stop"));
    RetryButton_ =
        PlanControls::button("RetryButton", QStringLiteral("Retry (R)"), QStringLiteral("Retry"));
    RetryButton_->hide();
    for (QPushButton* b : {PassButton_, FailButton_, BackButton_, StopButton_, RetryButton_}) {
        b->setFont(PlanControls::bigFont(20, true));
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
    verdicts->addWidget(RetryButton_, 2);
    verdicts->addWidget(StopButton_, 1);

    NoteRow_ = new QWidget;
    FailNote_ =
        PlanControls::named(new QLineEdit, "FailNote", QStringLiteral("Note to the failed step"));
    FailNote_->setPlaceholderText(QStringLiteral("optional"));
    FailNote_->installEventFilter(this);
    auto* failIt = PlanControls::button("FailNoteButton", QStringLiteral("Fail the step"));
    // The plan's defect codes beside the note, numbered for the digit keys; a click picks one
    // too, and the focus stays in the note.
    DefectList_ =
        PlanControls::named(new QListWidget, "DefectList", QStringLiteral("Defect codes"));
    DefectList_->setFont(PlanControls::bigFont(16, false));
    DefectList_->setFocusPolicy(Qt::NoFocus);
    DefectList_->setSelectionMode(QAbstractItemView::SingleSelection);
    DefectList_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DefectList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DefectList_->setFixedWidth(260);
    NoteHint_ = PlanControls::named(new QLabel, "NoteHint", QStringLiteral("Note keys"));
    auto* noteField = new QHBoxLayout;
    noteField->addWidget(PlanControls::caption(QStringLiteral("&Note:"), FailNote_));
    noteField->addWidget(FailNote_, 1);
    noteField->addWidget(failIt);
    auto* noteColumn = new QVBoxLayout;
    noteColumn->addLayout(noteField);
    noteColumn->addWidget(NoteHint_);
    noteColumn->addStretch(1);
    auto* noteLayout = new QHBoxLayout(NoteRow_);
    noteLayout->setContentsMargins(0, 0, 0, 0);
    noteLayout->addWidget(DefectList_);
    noteLayout->addLayout(noteColumn, 1);
    NoteRow_->hide();

    Verdict_ = PlanControls::named(new QLabel, "Verdict", QStringLiteral("Verdict"));
    Verdict_->setFont(PlanControls::bigFont(VerdictPx, true));
    VerdictDetail_ =
        PlanControls::named(new QLabel, "VerdictDetail", QStringLiteral("Verdict details"));
    VerdictDetail_->setWordWrap(true);
    VerdictDetail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    VerdictDetail_->setFont(PlanControls::bigFont(16, false));

    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(fields);
    layout->addWidget(Today_);
    layout->addSpacing(6);
    layout->addWidget(Earlier_);
    layout->addWidget(StepTitle_);
    layout->addWidget(StepNames_);
    // Where the operator looks: the verdict takes the instruction's place once a run ends.
    layout->addWidget(Verdict_);
    layout->addWidget(VerdictDetail_);
    layout->addWidget(Instruction_, 1);
    layout->addWidget(RunStatus_);
    layout->addWidget(NoteRow_);
    layout->addLayout(verdicts);

    connect(Serial_, &QLineEdit::returnPressed, this, &TPlanRunView::StartButtonClick);
    connect(ReportFolder_, &QLineEdit::editingFinished, this,
            [this] { openStoreOf(reportFolder()); });
    connect(StartButton_, &QPushButton::clicked, this, &TPlanRunView::StartButtonClick);
    connect(ChooseFolder_, &QPushButton::clicked, this, &TPlanRunView::ChooseFolderClick);
    connect(PassButton_, &QPushButton::clicked, this, &TPlanRunView::PassButtonClick);
    connect(FailButton_, &QPushButton::clicked, this, &TPlanRunView::FailButtonClick);
    connect(BackButton_, &QPushButton::clicked, this, &TPlanRunView::BackButtonClick);
    connect(StopButton_, &QPushButton::clicked, this, &TPlanRunView::StopButtonClick);
    connect(RetryButton_, &QPushButton::clicked, this, &TPlanRunView::RetryButtonClick);
    connect(FailNote_, &QLineEdit::returnPressed, this, &TPlanRunView::FailNoteReturn);
    connect(failIt, &QPushButton::clicked, this, &TPlanRunView::FailNoteReturn);
    connect(DefectList_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        DefectList_->setCurrentItem(item);
        FailNote_->setFocus();
    });
}

void TPlanRunView::ChooseFolderClick() {
    QFileDialog dialog(this, QStringLiteral("Report folder"), reportFolder());
    dialog.setObjectName(QStringLiteral("ReportFolderDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        setReportFolder(dialog.selectedFiles().constFirst());
        openStoreOf(dialog.selectedFiles().constFirst());
    }
}

void TPlanRunView::StartButtonClick() {
    if (runner_->running())
        return;
    const QString serial = Serial_->text().trimmed();
    if (serial.isEmpty()) {
        say(QStringLiteral("Type or scan the unit's serial number first."));
        return;
    }
    QString detail;
    const QString refusal = editor_.runRefusal(detail);
    if (!refusal.isEmpty()) {
        say(refusal, detail);
        return;
    }
    // A stray key or another product's label: said where the operator looks, without a box to
    // close before the next scan.
    const QString notOurs = editor_.plan().serialProblem(serial);
    if (!notOurs.isEmpty()) {
        refuseSerial(notOurs);
        return;
    }
    const QString folder = reportFolder();
    QString problem;
    if (!RunReport::prepareFolder(folder, problem)) {
        say(QStringLiteral("Choose a folder for the reports first."),
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
    editor_.describeForRun(setup);
    setup.planFolder = editor_.planFolder();
    // Every run is recorded as it happens, or it does not start.
    QString storeError;
    if (!station_.open(ResultsStation::whereFor(setup.reportFolder, ResultsLink_->named(),
                                                editor_.planFolder()),
                       storeError)) {
        say(QStringLiteral("The run cannot start: its results cannot be recorded."), storeError);
        return;
    }
    showStoreNews();
    const QString earlier = station_.previousLine(serial);
    Earlier_->setText(earlier);
    Earlier_->setAccessibleDescription(earlier);
    QString why;
    if (!runner_->start(editor_.plan(), setup, why)) {
        say(QStringLiteral("The run cannot start"), why);
        return;
    }
    pollTimer_->start();
    Instruction_->setFocus();
}

void TPlanRunView::PassButtonClick() {
    closeNote();
    runner_->pass();
}

void TPlanRunView::refuseSerial(const QString& why) {
    // The last unit's verdict goes: it must not be read as this serial's.
    showIdle(QStringLiteral("Not started"));
    setShown(RunStatus_, why);
    focusSerial();
}

void TPlanRunView::FailButtonClick() {
    const auto state = runner_->state();
    if (state != PlanRunner::State::Judging && state != PlanRunner::State::Showing)
        return;
    // A timed step waits while its note is written.
    runner_->holdTimedStep(true);
    FailNote_->clear();
    const QStringList& defects = runner_->plan().defects;
    DefectList_->clear();
    for (int n = 1; n <= defects.size(); ++n)
        DefectList_->addItem(QStringLiteral("%1  %2").arg(n).arg(defects[n - 1]));
    DefectList_->setFixedHeight(DefectList_->sizeHintForRow(0) * int(defects.size()) +
                                2 * DefectList_->frameWidth());
    DefectList_->setVisible(!defects.isEmpty());
    NoteHint_->setText(defects.isEmpty()
                           ? QStringLiteral("Enter fails the step, Esc goes back to it")
                           : QStringLiteral("1..%1 picks the defect, a note is optional; Enter "
                                            "fails the step, Esc goes back to it")
                                 .arg(defects.size()));
    NoteRow_->show();
    FailNote_->setFocus();
    showRun();
}

void TPlanRunView::FailNoteReturn() {
    const QString note = FailNote_->text();
    const int picked = DefectList_->currentRow();
    const QStringList& defects = runner_->plan().defects;
    const QString defect = picked >= 0 && picked < defects.size() ? defects[picked] : QString();
    NoteRow_->hide();
    runner_->fail(note, defect);
    if (runner_->running())
        Instruction_->setFocus();
}

void TPlanRunView::closeNote() {
    if (!NoteRow_->isVisible())
        return;
    NoteRow_->hide();
    runner_->holdTimedStep(false);
    if (runner_->running())
        Instruction_->setFocus();
    showRun();
}

void TPlanRunView::BackButtonClick() {
    closeNote();
    runner_->back();
}

void TPlanRunView::RetryButtonClick() {
    QString why;
    // A refusal stays on the status line (the run's pause text says it): no box to close.
    runner_->retry(why);
    Instruction_->setFocus();
}

void TPlanRunView::StopButtonClick() {
    if (!runner_->running())
        return;
    closeNote();
    if (!askStop())
        return;
    runner_->stop(RunRecord::End::Stopped);
}

bool TPlanRunView::askStop() {
    const QString text = QStringLiteral("Stop the run of %1? Its report will say it was stopped.")
                             .arg(runner_->record().serial);
    return confirm && confirm(text, QStringLiteral("Yes"), QStringLiteral("No"), Instruction_);
}

void TPlanRunView::keyPressEvent(QKeyEvent* event) {
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
        case Qt::Key_R:
            heldKey_ = event->key();
            keyHold_->start();
            return;
        case Qt::Key_Escape:
            if (NoteRow_->isVisible())
                closeNote();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

bool TPlanRunView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FailNote_ && event->type() == QEvent::KeyPress && FailNote_->text().isEmpty()) {
        const int n = static_cast<QKeyEvent*>(event)->key() - Qt::Key_0;
        if (n >= 1 && n <= DefectList_->count()) {
            // Until the note has a first character, a digit picks (or picks again) the code.
            DefectList_->setCurrentRow(n - 1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TPlanRunView::heldKeyTimeout() {
    if (NoteRow_->isVisible())
        return;
    const auto state = runner_->state();
    if (state == PlanRunner::State::Sending) {
        // Dropped without a word, an early verdict would be pressed again or thought taken.
        setShown(RunStatus_, QStringLiteral("Wait: the step is not on the generator yet"));
        return;
    }
    const bool judging = state == PlanRunner::State::Judging;
    if (heldKey_ == Qt::Key_R && state == PlanRunner::State::Paused)
        RetryButtonClick();
    else if (heldKey_ == Qt::Key_P && judging)
        PassButtonClick();
    else if (heldKey_ == Qt::Key_F && (judging || state == PlanRunner::State::Showing))
        FailButtonClick();
    else if (heldKey_ == Qt::Key_B)
        BackButtonClick();
}

void TPlanRunView::showRun() {
    const PlanRunner& r = *runner_;
    const bool running = r.running();
    const auto state = r.state();
    for (QWidget* w : std::initializer_list<QWidget*>{
             Serial_, Operator_, ReportFolder_, ChooseFolder_, StartButton_, ResultsLink_->Field()})
        w->setEnabled(!running);
    if (running != wasRunning_) {
        wasRunning_ = running;
        if (onRunning)
            onRunning(running);
    }
    PassButton_->setEnabled(state == PlanRunner::State::Judging);
    FailButton_->setEnabled(state == PlanRunner::State::Judging ||
                            state == PlanRunner::State::Showing);
    BackButton_->setEnabled(
        (state == PlanRunner::State::Judging || state == PlanRunner::State::Showing) &&
        r.currentStep() > 0);
    StopButton_->setEnabled(running);
    const bool paused = state == PlanRunner::State::Paused;
    RetryButton_->setVisible(paused);
    PassButton_->setVisible(!paused);
    FailButton_->setVisible(!paused);
    if (!running) {
        if (state == PlanRunner::State::Idle)
            showIdle(QStringLiteral("No run yet"));
        greyInstruction(false);
        return;
    }
    Verdict_->hide();
    VerdictDetail_->hide();
    const int k = r.currentStep();
    const PlanStep& s = r.plan().steps[k];
    setShown(StepTitle_, QStringLiteral("Step %1 of %2  \u2014  %3")
                             .arg(k + 1)
                             .arg(r.plan().steps.size())
                             .arg(r.record().serial));
    setShown(StepNames_, QStringLiteral("Timing %1   \u00b7   Pattern %2")
                             .arg(r.plan().timingShown(k), r.plan().patternShown(k)));
    setShown(Instruction_, s.mode == PlanStep::Mode::Edid ? s.edidText() : s.instruction);
    // Grey until the generator has taken the step: what is read is not yet what is shown.
    greyInstruction(state == PlanRunner::State::Sending || paused);
    QString status;
    switch (state) {
        case PlanRunner::State::Sending:
            status = QStringLiteral("Putting the step on the generator...");
            break;
        case PlanRunner::State::Judging:
            status = QStringLiteral("Look, then Pass (P) or Fail (F).");
            break;
        case PlanRunner::State::Paused:
            status = r.pauseText() + QStringLiteral(" (R), or Stop.");
            break;
        case PlanRunner::State::Showing:
            status = r.timedStepHeld()
                         ? QStringLiteral("Held while the note is written; Esc goes back to it.")
                         : QStringLiteral(
                               "Shown for %1 s more; the next step follows by itself; "
                               "Fail (F) if it shows a fault.")
                               .arg((r.remainingMs() + 999) / 1000);
            break;
        case PlanRunner::State::Programming:
            status = QStringLiteral(
                         "Programming the unit's EDID: %1. It passes or fails by "
                         "itself; leave the cable in.")
                         .arg(r.edidProgress());
            break;
        default:
            break;
    }
    setShown(RunStatus_, status);
}

void TPlanRunView::showIdle(const QString& title) {
    setShown(StepTitle_, title);
    setShown(StepNames_, QString());
    setShown(Instruction_,
             QStringLiteral("Type or scan the serial number and press Enter to start."));
    setShown(RunStatus_, QString());
    Verdict_->hide();
    VerdictDetail_->hide();
}

void TPlanRunView::setShown(QLabel* label, const QString& text) {
    label->setText(text);
    label->setAccessibleDescription(text);
    // The step's title and names are what a screen reader must say, not "Step": their text is
    // their name, and the designer's name only while they are empty.
    if (label == StepTitle_ || label == StepNames_)
        label->setAccessibleName(text.isEmpty() ? label->property("baseName").toString() : text);
}

void TPlanRunView::greyInstruction(bool grey) {
    QPalette p = Instruction_->palette();
    p.setColor(QPalette::WindowText,
               palette().color(grey ? QPalette::Disabled : QPalette::Active, QPalette::WindowText));
    Instruction_->setPalette(p);
}

void TPlanRunView::showStoreNews() {
    ResultsLink_->stationOpened();
    const QString today = station_.todayLine(false);
    Today_->setText(today);
    Today_->setAccessibleDescription(today);
    const QStringList notices = station_.takeNotices();
    if (!notices.isEmpty())
        say(notices.size() == 1 ? QStringLiteral("A run that never ended was found.")
                                : QStringLiteral("Runs that never ended were found."),
            notices.join(QLatin1Char('\n')));
}

void TPlanRunView::openStoreOf(const QString& folder) {
    // Only a store that is there already: choosing a folder makes no file.
    const ResultsStation::Where where =
        ResultsStation::whereFor(folder, ResultsLink_->named(), editor_.planFolder());
    QString error;
    if (!folder.isEmpty() && QFileInfo::exists(ResultsStore::filePath(where.spool)) &&
        station_.open(where, error))
        showStoreNews();
}

void TPlanRunView::runFinished() {
    Earlier_->clear();
    Earlier_->setAccessibleDescription(QString());
    showStoreNews();
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
        const QString note = rec.steps[n - 1].noteText();
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
    focusSerial();
    if (!runner_->reportError().isEmpty())
        say(QStringLiteral("The report of %1 could not be written").arg(rec.serial),
            runner_->reportError());
}
