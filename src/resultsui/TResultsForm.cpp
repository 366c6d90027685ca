#include "resultsui/TResultsForm.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSysInfo>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "Version.h"
#include "results/ResultsStore.h"
#include "results/ResultsSummary.h"
#include "resultsui/ResultsControls.h"
#include "resultsui/RunsTableModel.h"
#include "ui/ElidedLabel.h"
#include "ui/FormControls.h"
#include "ui/HomePath.h"
#include "ui/TMainForm.h"
#include "ui/VerdictStyle.h"

const QString TResultsForm::Caption = QStringLiteral("Results");

namespace {

constexpr int MinimumWidth = 800;
constexpr int MinimumHeight = 480;
// Date changes are typed a digit at a time: the runs are asked for once the typing pauses.
constexpr int DateSettleMs = 400;
const QString StoreFilter = QStringLiteral("Results stores (*.sqlite);;All files (*)");
const QString SummaryFilter = QStringLiteral("HTML files (*.html);;All files (*)");
// The verdict filter's entries after "any", as ResultsFilter takes them.
constexpr const char* Verdicts[] = {"PASS", "FAIL", "STOPPED", "ERROR", "INTERRUPTED"};

QComboBox* choiceBox(QWidget* parent, const char* name, const QString& accessible) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(accessible);
    box->setEditable(true);
    // A value typed and entered filters; it is not added to the store's values.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->lineEdit()->setPlaceholderText(QStringLiteral("any"));
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(14);
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return box;
}

QDateEdit* dateEdit(QWidget* parent, const char* name, const QString& accessible,
                    const QDate& date) {
    auto* edit = new QDateEdit(date, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setAccessibleName(accessible);
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit->setToolTip(QStringLiteral("The stations' own dates; both days included"));
    return edit;
}

bool sameFilter(const ResultsFilter& a, const ResultsFilter& b) {
    return a.since == b.since && a.until == b.until && a.plan == b.plan && a.station == b.station &&
           a.operatorName == b.operatorName && a.verdict == b.verdict;
}

}  // namespace

TResultsForm::TResultsForm(TMainForm& main, QWidget* parent)
    : QWidget(parent, Qt::Window), main_(main) {
    setObjectName(QStringLiteral("ResultsForm"));
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    setMinimumSize(MinimumWidth, MinimumHeight);
    // Over the middle of the main window, but whole on its screen, and smaller on a screen
    // smaller than the window.
    QRect place(QPoint(), QSize(FormWidth, FormHeight));
    const QRect free = main.screen() ? main.screen()->availableGeometry() : place;
    place.setSize(place.size().boundedTo(free.size()));
    place.moveCenter(main.frameGeometry().center());
    place.moveLeft(qMax(free.left(), qMin(place.left(), free.right() + 1 - place.width())));
    place.moveTop(qMax(free.top(), qMin(place.top(), free.bottom() + 1 - place.height())));
    FormControls::setOuterSize(this, place.size(), false);
    move(place.topLeft());
    openReport = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };

    auto* layout = new QVBoxLayout(this);
    auto* storeRow = new QHBoxLayout;
    QLabel* storeLabel =
        FormControls::label(this, "StoreLabel", QStringLiteral("Results in:"), QRect());
    StoreField_ = new QLineEdit(this);
    StoreField_->setObjectName(QStringLiteral("StoreField"));
    StoreField_->setAccessibleName(QStringLiteral("Results in"));
    StoreField_->setPlaceholderText(
        QStringLiteral("a results.sqlite file, or the folder that holds one; Enter opens it"));
    storeLabel->setBuddy(StoreField_);
    QPushButton* open = FormControls::button(this, "StoreOpen", QStringLiteral("Open..."), QRect());
    open->setToolTip(QStringLiteral("Choose a results store to read (it is never written)"));
    storeRow->addWidget(storeLabel);
    storeRow->addWidget(StoreField_, 1);
    storeRow->addWidget(open);
    layout->addLayout(storeRow);

    FilterBar_ = makeFilterBar();
    Tabs_ = new QTabWidget(this);
    Tabs_->setObjectName(QStringLiteral("ResultsTabs"));
    Tabs_->setAccessibleName(QStringLiteral("Results views"));
    Tabs_->tabBar()->setAccessibleName(QStringLiteral("Serial, Runs or Yield"));
    Serial_ = new TResultsSerialView;
    Tabs_->addTab(Serial_, QStringLiteral("&Serial"));
    Tabs_->addTab(makeRunsTab(), QStringLiteral("&Runs"));
    Yield_ = new TResultsYieldView;
    Tabs_->addTab(Yield_, QStringLiteral("&Yield"));
    layout->addWidget(Tabs_, 1);

    StatusLine_ = new ElidedLabel(this, "StatusLine", Qt::ElideMiddle);
    StatusLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(StatusLine_);
    status(
        QStringLiteral("Open a results store: a results.sqlite file, or the folder that holds "
                       "one."));

    connect(StoreField_, &QLineEdit::returnPressed, this,
            [this] { openStore(StoreField_->text()); });
    connect(open, &QPushButton::clicked, this, &TResultsForm::OpenClick);
    connect(Serial_->SerialEdit(), &QLineEdit::returnPressed, this,
            [this] { showSerial(Serial_->SerialEdit()->text()); });
    connect(Serial_, &TResultsSerialView::reportAsked, this, &TResultsForm::openReportAt);
    connect(Tabs_, &QTabWidget::currentChanged, this, &TResultsForm::tabShown);
    connect(RunsTable_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const ResultRow* r = runsModel_->run(index.row()))
            openReportAt(r->report, false);
    });
    RunsTable_->installEventFilter(this);
    connect(Yield_, &TResultsYieldView::periodChanged, this, [this] {
        if (query_)
            refreshYield();
    });
    connect(Yield_->SaveSummaryButton(), &QPushButton::clicked, this,
            &TResultsForm::SaveSummaryClick);
    runsModel_->onError = [this](const QString& error) { status(error, true); };
    tabShown(SerialTab);
}

TResultsForm::~TResultsForm() {
    // The model asks through the query, which reads the store: gone in that order.
    QString ignored;
    runsModel_->reset(nullptr, ResultsFilter(), ignored);
    query_.reset();
    store_.reset();
}

QWidget* TResultsForm::makeFilterBar() {
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("FilterBar"));
    bar->setAccessibleName(QStringLiteral("Filters"));
    auto* grid = new QGridLayout(bar);
    grid->setContentsMargins(0, 0, 0, 0);
    const QDate today = QDate::currentDate();
    FromDate_ = dateEdit(bar, "FromDate", QStringLiteral("From"), today.addDays(1 - DefaultDays));
    UntilDate_ = dateEdit(bar, "UntilDate", QStringLiteral("Until"), today);
    PlanBox_ = choiceBox(bar, "PlanBox", QStringLiteral("Plan"));
    StationBox_ = choiceBox(bar, "StationBox", QStringLiteral("Station"));
    OperatorBox_ = choiceBox(bar, "OperatorBox", QStringLiteral("Operator"));
    VerdictBox_ = new QComboBox(bar);
    VerdictBox_->setObjectName(QStringLiteral("VerdictBox"));
    VerdictBox_->setAccessibleName(QStringLiteral("Verdict"));
    VerdictBox_->addItem(QStringLiteral("any"));
    for (const char* v : Verdicts) VerdictBox_->addItem(QLatin1String(v));
    QPushButton* refresh =
        FormControls::button(bar, "RefreshButton", QStringLiteral("Refresh"), QRect());
    refresh->setShortcut(QKeySequence::Refresh);
    refresh->setToolTip(QStringLiteral("Read the store again: stations add runs as they go (F5)"));
    struct Place {
        QWidget* field;
        const char* name;
        QString caption;
        int row, column;
    };
    // Columns: the field, its label's designer name and caption, where it goes.
    const Place places[] = {
        {FromDate_, "FromLabel", QStringLiteral("&From:"), 0, 0},
        {UntilDate_, "UntilLabel", QStringLiteral("U&ntil:"), 0, 2},
        {VerdictBox_, "VerdictLabel", QStringLiteral("&Verdict:"), 0, 4},
        {PlanBox_, "PlanLabel", QStringLiteral("&Plan:"), 1, 0},
        {StationBox_, "StationLabel", QStringLiteral("S&tation:"), 1, 2},
        {OperatorBox_, "OperatorLabel", QStringLiteral("&Operator:"), 1, 4},
    };
    for (const Place& p : places) {
        QLabel* label = FormControls::label(bar, p.name, p.caption, QRect());
        label->setBuddy(p.field);
        grid->addWidget(label, p.row, p.column);
        grid->addWidget(p.field, p.row, p.column + 1);
    }
    grid->addWidget(refresh, 0, 6);
    for (int c : {1, 3, 5}) grid->setColumnStretch(c, 1);

    filterTimer_ = new QTimer(this);
    filterTimer_->setSingleShot(true);
    filterTimer_->setInterval(DateSettleMs);
    connect(filterTimer_, &QTimer::timeout, this, &TResultsForm::filtersChanged);
    choicesTimer_ = new QTimer(this);
    choicesTimer_->setSingleShot(true);
    choicesTimer_->setInterval(0);
    connect(choicesTimer_, &QTimer::timeout, this, &TResultsForm::fillChoices);
    for (QDateEdit* d : {FromDate_, UntilDate_})
        connect(d, &QDateEdit::dateChanged, filterTimer_, qOverload<>(&QTimer::start));
    for (QComboBox* box : {PlanBox_, StationBox_, OperatorBox_}) {
        connect(box, &QComboBox::activated, this, &TResultsForm::filtersChanged);
        connect(box->lineEdit(), &QLineEdit::editingFinished, this, &TResultsForm::filtersChanged);
    }
    connect(VerdictBox_, &QComboBox::currentIndexChanged, this, &TResultsForm::filtersChanged);
    connect(refresh, &QPushButton::clicked, this, [this] {
        // New plans, stations and operators too.
        choicesSince_.clear();
        applyFilters();
    });
    return bar;
}

QWidget* TResultsForm::makeRunsTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("RunsPage"));
    page->setAccessibleName(QStringLiteral("Runs"));
    runsLayout_ = new QVBoxLayout(page);
    runsLayout_->addWidget(FilterBar_);
    RunCount_ = FormControls::label(page, "RunCount", QString(), QRect());
    ResultsControls::say(RunCount_, QString());
    runsLayout_->addWidget(RunCount_);
    runsModel_ = new RunsTableModel(this);
    RunsTable_ = new QTableView(page);
    ResultsControls::recordsView(RunsTable_, "RunsTable", QStringLiteral("Runs"));
    RunsTable_->setToolTip(QStringLiteral("Double-click a run, or press Enter, for its report"));
    RunsTable_->setModel(runsModel_);
    RunsTable_->setAlternatingRowColors(true);
    // Every row as high as the others: the view never measures rows it does not show.
    QHeaderView* rows = RunsTable_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(RunsTable_->fontMetrics().height() + 6);
    const QFontMetrics fm(RunsTable_->font());
    // Columns of RunsTableModel but the last, which takes the rest.
    const int widths[] = {
        fm.horizontalAdvance(QStringLiteral("2026-12-08 14:15:03")) + 16, 100, 130, 100, 200, 80};
    for (int c = 0; c < RunsTableModel::Failed; ++c) RunsTable_->setColumnWidth(c, widths[c]);
    runsLayout_->addWidget(RunsTable_, 1);
    return page;
}

void TResultsForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (Tabs_->currentIndex() == SerialTab)
        Serial_->SerialEdit()->setFocus();
}

bool TResultsForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == RunsTable_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
            RunsTable_->currentIndex().isValid()) {
            if (const ResultRow* r = runsModel_->run(RunsTable_->currentIndex().row()))
                openReportAt(r->report, false);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString TResultsForm::chooseFile(bool save, const QString& title, const QString& filter) {
    if (fileDialogHook_)
        return fileDialogHook_(save, title, filter);
    QFileDialog dialog(this, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(filter.split(QStringLiteral(";;")));
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("html"));
        dialog.selectFile(QStringLiteral("results-summary.html"));
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

void TResultsForm::status(const QString& text, bool problem) {
    StatusLine_->setFullText(text);
    VerdictStyle::paintText(StatusLine_,
                            problem ? VerdictStyle::Fail : palette().color(QPalette::WindowText));
}

bool TResultsForm::haveStore() {
    if (query_)
        return true;
    status(QStringLiteral("No results store is open: open one under Results in."), true);
    return false;
}

void TResultsForm::OpenClick() {
    const QString path = chooseFile(false, QStringLiteral("Open Results Store"), StoreFilter);
    if (!path.isEmpty())
        openStore(path);
}

void TResultsForm::showStore(const QString& location) {
    StoreField_->setText(location);
    openStore(location);
}

bool TResultsForm::openStore(const QString& location) {
    const QString where = location.trimmed();
    if (where.isEmpty()) {
        status(QStringLiteral("Type or choose where the results are: a results.sqlite file, or "
                              "the folder that holds one."),
               true);
        return false;
    }
    auto store = std::make_unique<ResultsStore>();
    QString error;
    if (!store->open(HomePath::expanded(where), ResultsStore::Access::ReadOnly, error)) {
        if (!error.endsWith(QLatin1Char('.')))
            error += QLatin1Char('.');
        status(store_ ? QStringLiteral("Still showing %1.").arg(HomePath::shown(store_->name()))
                      : QStringLiteral("No results store is open."),
               true);
        main_.showMessageIn(this, QStringLiteral("The results store cannot be opened."), error,
                            StoreField_);
        StoreField_->selectAll();
        return false;
    }
    // What was shown came from the store before: the view lets go of it first.
    QString ignored;
    runsModel_->reset(nullptr, ResultsFilter(), ignored);
    query_.reset();
    store_ = std::move(store);
    query_ = std::make_unique<ResultsQuery>(*store_);
    StoreField_->setText(HomePath::shown(store_->name()));
    Serial_->clear();
    choicesSince_.clear();
    choicesUntil_.clear();
    status(QStringLiteral("%1, opened for reading.").arg(HomePath::shown(store_->name())));
    applyFilters();
    return true;
}

bool TResultsForm::showSerial(const QString& serial) {
    Tabs_->setCurrentIndex(SerialTab);
    const QString s = Serial_->takeSerial(serial);
    if (s.isEmpty() || !haveStore())
        return false;
    QString error;
    if (!Serial_->showRecords(*query_, s, error)) {
        status(error, true);
        return false;
    }
    status(QStringLiteral("%1, opened for reading.").arg(HomePath::shown(store_->name())));
    return true;
}

ResultsFilter TResultsForm::filter() const {
    ResultsFilter f;
    f.since = FromDate_->date().toString(QStringLiteral("yyyy-MM-dd"));
    f.until = UntilDate_->date().toString(QStringLiteral("yyyy-MM-dd"));
    f.plan = PlanBox_->currentText().trimmed();
    f.station = StationBox_->currentText().trimmed();
    f.operatorName = OperatorBox_->currentText().trimmed();
    if (VerdictBox_->currentIndex() > 0)
        f.verdict = VerdictBox_->currentText();
    return f;
}

void TResultsForm::filtersChanged() {
    if (!sameFilter(filter(), applied_))
        applyFilters();
}

void TResultsForm::applyFilters() {
    filterTimer_->stop();
    applied_ = filter();
    if (!haveStore())
        return;
    if (applied_.since > applied_.until)
        status(QStringLiteral("No day is chosen: From is after Until."), true);
    refreshRuns();
    // The choices read every run of the days (half a second for two years of a busy line):
    // once the runs are on the screen.
    if (applied_.since != choicesSince_ || applied_.until != choicesUntil_)
        choicesTimer_->start();
    if (Tabs_->currentIndex() == YieldTab)
        refreshYield();
    else
        Yield_->markStale();
}

void TResultsForm::fillChoices() {
    if (!query_)
        return;
    ResultsChoices c;
    QString error;
    if (!query_->choices(applied_, c, error)) {
        status(error, true);
        return;
    }
    choicesSince_ = applied_.since;
    choicesUntil_ = applied_.until;
    const QStringList* lists[] = {&c.plans, &c.stations, &c.operators};
    QComboBox* boxes[] = {PlanBox_, StationBox_, OperatorBox_};
    for (int k = 0; k < 3; ++k) {
        QComboBox* box = boxes[k];
        const QString kept = box->currentText();
        const QSignalBlocker quiet(box);
        box->clear();
        box->addItem(QString());
        box->addItems(*lists[k]);
        box->setEditText(kept);
    }
}

void TResultsForm::refreshRuns() {
    QString error;
    if (!runsModel_->reset(query_.get(), applied_, error)) {
        ResultsControls::say(RunCount_, QStringLiteral("The runs cannot be counted."));
        status(error, true);
        return;
    }
    ResultsControls::say(RunCount_, ResultsControls::plural(runsModel_->total(), "run", "runs"));
}

bool TResultsForm::refreshYield() {
    QString error;
    const bool ok = Yield_->refresh(query_.get(), applied_, error);
    if (!ok && query_)
        status(error, true);
    return ok;
}

void TResultsForm::tabShown(int index) {
    // One filter bar for the runs and the yield, on whichever of them is shown.
    if (index == RunsTab) {
        runsLayout_->insertWidget(0, FilterBar_);
        VerdictBox_->setEnabled(true);
        VerdictBox_->setToolTip(QString());
    } else if (index == YieldTab) {
        Yield_->holdFilterBar(FilterBar_);
        VerdictBox_->setEnabled(false);
        VerdictBox_->setToolTip(QStringLiteral("The yield counts every ended run"));
        if (Yield_->isStale() && query_)
            refreshYield();
    } else {
        Serial_->SerialEdit()->setFocus();
    }
}

void TResultsForm::openReportAt(const QString& path, bool unit) {
    if (path.isEmpty()) {
        status(unit ? QStringLiteral("This unit has no log.")
                    : QStringLiteral("This run has no report (yet)."),
               true);
        return;
    }
    if (!QFileInfo::exists(path)) {
        status(QStringLiteral("%1 is not there (moved, or on another station's disk).")
                   .arg(HomePath::shown(path)),
               true);
        return;
    }
    if (!openReport || !openReport(path)) {
        status(QStringLiteral("No program opened %1.").arg(HomePath::shown(path)), true);
        return;
    }
    status(QStringLiteral("Opened %1.").arg(HomePath::shown(path)));
}

void TResultsForm::SaveSummaryClick() {
    if (!haveStore())
        return;
    const QString path = chooseFile(true, QStringLiteral("Save Summary"), SummaryFilter);
    if (!path.isEmpty())
        saveSummary(path);
}

bool TResultsForm::saveSummary(const QString& path) {
    if (!haveStore())
        return false;
    // The figures of the filters as they stand, even when the Yield tab was not looked at.
    if (!sameFilter(filter(), applied_))
        applyFilters();
    if (Yield_->isStale() && !refreshYield()) {
        main_.showMessageIn(this, QStringLiteral("The summary cannot be written."),
                            StatusLine_->fullText());
        return false;
    }
    ResultsSummary::Content c = Yield_->summary();
    c.scope = applied_.scope();
    c.written = QStringLiteral("Written by orve1 %1 on %2, %3, from %4")
                    .arg(QStringLiteral(ORVE1_VERSION), QSysInfo::machineHostName(),
                         QDateTime::currentDateTime().toString(Qt::ISODate), store_->name());
    QString error;
    if (!ResultsSummary::write(path, c, error)) {
        main_.showMessageIn(this, QStringLiteral("The summary cannot be written."), error);
        return false;
    }
    status(QStringLiteral("Summary written to %1.").arg(HomePath::shown(path)));
    return true;
}
