#include "production/TEDID_Production.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "link/LinkEngine.h"
#include "production/ProductionLog.h"
#include "ui/FormControls.h"
#include "ui/TMainForm.h"
#include "ui/VerdictStyle.h"

const QString TEDID_Production::Caption = QStringLiteral("EDID Production");
const QColor TEDID_Production::PassColor(VerdictStyle::Pass);
const QColor TEDID_Production::FailColor(VerdictStyle::Fail);

namespace {

constexpr int ResultPixels = 56;
constexpr int SerialPixels = 22;
constexpr int SummaryPixels = 12;
constexpr int GaugeRefreshMs = 100;
constexpr int GoldenLines = 14;
// Columns of the stage list.
enum StageColumn { StageName, StageTime, StageText, StageColumns };

QRadioButton* radio(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(caption);
    return button;
}

}  // namespace

TEDID_Production::TEDID_Production(LinkEngine& engine, TMainForm& main, QWidget* parent)
    : QWidget(parent, Qt::Window), engine_(engine), main_(main), run_(engine) {
    setObjectName(QStringLiteral("EDID_Production"));
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    FormControls::setOuterSize(this, QSize(FormWidth, FormHeight), false);
    // Over the middle of the main window, as a dialog would open (and placed by the program, so
    // that no window manager asks where).
    const QPoint centre = main.frameGeometry().center();
    move(qMax(0, centre.x() - FormWidth / 2),
         qMax(main.frameGeometry().top(), centre.y() - FormHeight / 2));
    auto* layout = new QVBoxLayout(this);

    // The golden EDID.
    QGroupBox* golden =
        FormControls::group(this, "GoldenGroup", QStringLiteral("Golden EDID"), QRect());
    auto* goldenLayout = new QGridLayout(golden);
    GoldenFile_ =
        FormControls::label(golden, "GoldenFile", QStringLiteral("(none opened)"), QRect());
    GoldenFile_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton* open =
        FormControls::button(golden, "GoldenOpen", QStringLiteral("Open..."), QRect());
    open->setToolTip(QStringLiteral("Open the EDID every unit starts from"));
    GoldenSummary_ = new QPlainTextEdit(golden);
    GoldenSummary_->setObjectName(QStringLiteral("GoldenSummary"));
    GoldenSummary_->setAccessibleName(QStringLiteral("Golden summary"));
    GoldenSummary_->setReadOnly(true);
    GoldenSummary_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(SummaryPixels);
    GoldenSummary_->setFont(mono);
    // Every summary, checksum and identity line without a scroll bar.
    GoldenSummary_->setFixedHeight(GoldenSummary_->fontMetrics().lineSpacing() * GoldenLines + 12);
    goldenLayout->addWidget(GoldenFile_, 0, 0);
    goldenLayout->addWidget(open, 0, 1);
    goldenLayout->addWidget(GoldenSummary_, 1, 0, 1, 2);
    goldenLayout->setColumnStretch(0, 1);
    layout->addWidget(golden);

    // How each unit's identity is made.
    QGroupBox* unit = FormControls::group(this, "UnitGroup", QStringLiteral("Each unit"), QRect());
    auto* unitLayout = new QGridLayout(unit);
    unitLayout->addWidget(
        FormControls::label(unit, "SerialTextNote",
                            QStringLiteral("Serial text: the serial as scanned or typed"), QRect()),
        0, 0, 1, 3);
    NumberDigits_ =
        radio(unit, "NumberDigits", QStringLiteral("Serial number from the serial's digits"));
    NumberCount_ = radio(unit, "NumberCount", QStringLiteral("Serial number counting up from"));
    NumberGolden_ =
        radio(unit, "NumberGolden", QStringLiteral("Serial number as in the golden EDID"));
    NextNumber_ = new QLineEdit(QStringLiteral("1"), unit);
    NextNumber_->setObjectName(QStringLiteral("NextNumber"));
    NextNumber_->setAccessibleName(QStringLiteral("Next serial number"));
    NextNumber_->setMaxLength(10);
    NextNumber_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), NextNumber_));
    auto* numbers = new QButtonGroup(unit);
    for (QRadioButton* b : {NumberDigits_, NumberCount_, NumberGolden_}) numbers->addButton(b);
    NumberDigits_->setChecked(true);
    unitLayout->addWidget(NumberDigits_, 1, 0, 1, 3);
    unitLayout->addWidget(NumberCount_, 2, 0);
    unitLayout->addWidget(NextNumber_, 2, 1);
    unitLayout->addWidget(NumberGolden_, 3, 0, 1, 3);
    DateToday_ = radio(unit, "DateToday", QString());
    DateGolden_ = radio(unit, "DateGolden", QStringLiteral("Date as in the golden EDID"));
    auto* dates = new QButtonGroup(unit);
    dates->addButton(DateToday_);
    dates->addButton(DateGolden_);
    DateToday_->setChecked(true);
    showDateChoice();
    unitLayout->addWidget(DateToday_, 4, 0, 1, 3);
    unitLayout->addWidget(DateGolden_, 5, 0, 1, 3);
    unitLayout->setColumnStretch(2, 1);
    layout->addWidget(unit);

    // The record.
    QGroupBox* log = FormControls::group(this, "LogGroup", QStringLiteral("Log"), QRect());
    auto* logLayout = new QHBoxLayout(log);
    LogFile_ = FormControls::label(log, "LogFile", QStringLiteral("(none chosen)"), QRect());
    LogFile_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton* choose =
        FormControls::button(log, "LogChoose", QStringLiteral("Choose..."), QRect());
    choose->setToolTip(QStringLiteral("Choose the CSV file a line per unit is added to"));
    logLayout->addWidget(LogFile_, 1);
    logLayout->addWidget(choose);
    layout->addWidget(log);

    // The unit.
    auto* serialRow = new QHBoxLayout;
    QLabel* serialLabel =
        FormControls::label(this, "SerialLabel", QStringLiteral("&Serial:"), QRect());
    SerialEdit_ = new QLineEdit(this);
    SerialEdit_->setObjectName(QStringLiteral("SerialEdit"));
    SerialEdit_->setAccessibleName(QStringLiteral("Serial"));
    SerialEdit_->setToolTip(
        QStringLiteral("Scan the unit's barcode, or type its serial and press Enter"));
    QFont big = SerialEdit_->font();
    big.setPixelSize(SerialPixels);
    SerialEdit_->setFont(big);
    serialLabel->setBuddy(SerialEdit_);
    ProgramButton_ =
        FormControls::button(this, "ProgramButton", QStringLiteral("Program"), QRect());
    serialRow->addWidget(serialLabel);
    serialRow->addWidget(SerialEdit_, 1);
    serialRow->addWidget(ProgramButton_);
    layout->addLayout(serialRow);

    StageList_ = new QTreeWidget(this);
    StageList_->setObjectName(QStringLiteral("StageList"));
    StageList_->setAccessibleName(QStringLiteral("Stages"));
    StageList_->setColumnCount(StageColumns);
    StageList_->setHeaderLabels(
        {QStringLiteral("Stage"), QStringLiteral("Time"), QStringLiteral("Result")});
    StageList_->setRootIsDecorated(false);
    StageList_->setFocusPolicy(Qt::NoFocus);
    for (int s = 0; s < ProductionRun::StageCount; ++s)
        new QTreeWidgetItem(
            StageList_, {ProductionRun::stageName(ProductionRun::Stage(s)), QString(), QString()});
    StageList_->header()->setSectionResizeMode(StageText, QHeaderView::Stretch);
    StageList_->setFixedHeight(StageList_->sizeHintForRow(0) * (ProductionRun::StageCount + 1) +
                               StageList_->header()->sizeHint().height() + 4);
    layout->addWidget(StageList_);

    StageGauge_ = new QProgressBar(this);
    StageGauge_->setObjectName(QStringLiteral("StageGauge"));
    StageGauge_->setAccessibleName(QStringLiteral("Stage progress"));
    StageGauge_->setRange(0, 100);
    StageGauge_->setValue(0);
    StageGauge_->setFormat(QStringLiteral("%p%"));
    layout->addWidget(StageGauge_);

    ResultLabel_ = FormControls::label(this, "ResultLabel", QString(), QRect());
    QFont huge = ResultLabel_->font();
    huge.setPixelSize(ResultPixels);
    huge.setBold(true);
    ResultLabel_->setFont(huge);
    ResultLabel_->setAlignment(Qt::AlignCenter);
    ResultLabel_->setMinimumHeight(ResultPixels + 16);
    ReasonLabel_ = FormControls::label(this, "ReasonLabel", QString(), QRect());
    ReasonLabel_->setAlignment(Qt::AlignCenter);
    ReasonLabel_->setWordWrap(true);
    ReasonLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(ResultLabel_);
    layout->addWidget(ReasonLabel_);

    auto* bottom = new QHBoxLayout;
    CountLabel_ = FormControls::label(this, "CountLabel", QString(), QRect());
    QPushButton* close =
        FormControls::button(this, "CloseButton", QStringLiteral("Close"), QRect());
    bottom->addWidget(CountLabel_, 1);
    bottom->addWidget(close);
    layout->addLayout(bottom);
    layout->addStretch(1);
    // Until they have something to say, the labels keep their designer names.
    for (QLabel* l : {ResultLabel_, ReasonLabel_, CountLabel_})
        l->setAccessibleName(l->objectName());

    gaugeTimer_ = new QTimer(this);
    gaugeTimer_->setInterval(GaugeRefreshMs);

    connect(open, &QPushButton::clicked, this, &TEDID_Production::GoldenOpenClick);
    connect(choose, &QPushButton::clicked, this, &TEDID_Production::LogChooseClick);
    connect(SerialEdit_, &QLineEdit::returnPressed, this, &TEDID_Production::ProgramClick);
    connect(ProgramButton_, &QPushButton::clicked, this, &TEDID_Production::ProgramClick);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(NumberCount_, &QRadioButton::toggled, NextNumber_, &QWidget::setEnabled);
    NextNumber_->setEnabled(false);
    connect(gaugeTimer_, &QTimer::timeout, this, &TEDID_Production::showGauge);
    connect(&run_, &ProductionRun::stageStarted, this, &TEDID_Production::stageStarted);
    connect(&run_, &ProductionRun::stageEnded, this, &TEDID_Production::stageEnded);
    connect(&run_, &ProductionRun::finished, this, &TEDID_Production::unitFinished);
    SerialEdit_->setFocus();
}

void TEDID_Production::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    showDateChoice();
    SerialEdit_->setFocus();
}

void TEDID_Production::showDateChoice() {
    int year = 0;
    const int week = QDate::currentDate().weekNumber(&year);
    DateToday_->setText(QStringLiteral("Date of this week (week %1 of %2)").arg(week).arg(year));
    DateToday_->setAccessibleName(DateToday_->text());
}

QString TEDID_Production::chooseFile(bool save, const QString& title, const QString& filter) {
    if (fileDialogHook_)
        return fileDialogHook_(save, title, filter);
    QFileDialog dialog(this, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(filter.split(QStringLiteral(";;")));
    if (save) {
        // The log is added to, never replaced: choosing an existing one asks nothing.
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

void TEDID_Production::GoldenOpenClick() {
    const QString path =
        chooseFile(false, QStringLiteral("Open Golden EDID"), TMainForm::OpenFilter);
    if (!path.isEmpty())
        openGolden(path);
}

void TEDID_Production::LogChooseClick() {
    const QString path = chooseFile(true, QStringLiteral("Production Log"),
                                    QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (!path.isEmpty())
        chooseLog(path);
}

bool TEDID_Production::openGolden(const QString& path) {
    GoldenEdid golden;
    QString error;
    if (!GoldenEdid::load(path, golden, error)) {
        main_.showMessage(QStringLiteral("The golden EDID cannot be used."), error);
        return false;
    }
    golden_ = golden;
    GoldenFile_->setText(path);
    GoldenFile_->setAccessibleName(path);
    GoldenSummary_->setPlainText(golden_.lines().join(QLatin1Char('\n')));
    SerialEdit_->setFocus();
    return true;
}

bool TEDID_Production::chooseLog(const QString& path) {
    const QString problem = ProductionLog::writeProblem(path);
    if (!problem.isEmpty()) {
        main_.showMessage(QStringLiteral("The log cannot be written."), problem + QLatin1Char('.'));
        return false;
    }
    logPath_ = path;
    stopped_ = false;
    LogFile_->setText(path);
    LogFile_->setAccessibleName(path);
    SerialEdit_->setFocus();
    return true;
}

IdentityRecipe TEDID_Production::recipe() const {
    IdentityRecipe r;
    if (NumberDigits_->isChecked()) {
        r.number = IdentityRecipe::Number::Digits;
    } else if (NumberCount_->isChecked()) {
        r.number = IdentityRecipe::Number::Given;
        r.givenNumber = quint32(qMin(NextNumber_->text().toULongLong(), 0xFFFFFFFFull));
    }
    r.date = DateToday_->isChecked() ? IdentityRecipe::Date::Today : IdentityRecipe::Date::Golden;
    return r;
}

bool TEDID_Production::readyFor(const QString& serial) {
    QString problem;
    if (!golden_.isLoaded())
        problem = QStringLiteral("Open the golden EDID first.");
    else if (logPath_.isEmpty())
        problem = QStringLiteral("Choose the log file first: every unit is recorded in it.");
    else if (stopped_)
        problem = QStringLiteral(
            "Production has stopped: the last log line could not be written. Choose a log that "
            "can be written to go on.");
    else if (!ProductionLog::writeProblem(logPath_).isEmpty())
        // Gone since it was chosen (a share unmounted, a folder removed): no unit goes unrecorded.
        problem = QStringLiteral("The log cannot be written: %1.")
                      .arg(ProductionLog::writeProblem(logPath_));
    else if (NumberCount_->isChecked() && NextNumber_->text().toULongLong() > 0xFFFFFFFFull)
        problem = QStringLiteral("The next serial number is not 0 to 4294967295.");
    else
        problem = run_.startProblem();
    if (!problem.isEmpty()) {
        main_.showMessage(problem);
        return false;
    }
    QStringList earlier;
    QString error;
    if (!ProductionLog::earlier(logPath_, serial, earlier, error)) {
        main_.showMessage(QStringLiteral("The log cannot be read to look for the serial."), error);
        return false;
    }
    if (earlier.isEmpty())
        return true;
    return main_.confirm(
        QStringLiteral("Serial %1 is already in the log. Program it again?").arg(serial),
        QStringLiteral("Earlier: ") + earlier.join(QStringLiteral("; ")) + QLatin1Char('.'),
        QStringLiteral("Program Again"));
}

void TEDID_Production::ProgramClick() {
    if (run_.busy())
        return;
    // A scanner may end the code with blanks or a line end of its own.
    const QString serial = SerialEdit_->text().trimmed();
    if (serial.isEmpty()) {
        SerialEdit_->setFocus();
        return;
    }
    if (!readyFor(serial)) {
        SerialEdit_->selectAll();
        SerialEdit_->setFocus();
        return;
    }
    serial_ = serial;
    showDateChoice();
    for (int s = 0; s < ProductionRun::StageCount; ++s) {
        QTreeWidgetItem* item = StageList_->topLevelItem(s);
        item->setText(StageTime, QString());
        item->setText(StageText, QString());
        for (int c = 0; c < StageColumns; ++c) item->setForeground(c, palette().text());
    }
    setResult(QStringLiteral("..."), palette().color(QPalette::WindowText),
              QStringLiteral("Programming %1").arg(serial));
    SerialEdit_->setReadOnly(true);
    ProgramButton_->setEnabled(false);
    gaugeTimer_->start();
    run_.start(golden_, recipe(), serial, QDate::currentDate(), logPath_);
}

void TEDID_Production::stageStarted(ProductionRun::Stage stage) {
    QTreeWidgetItem* item = StageList_->topLevelItem(int(stage));
    item->setText(StageText, QStringLiteral("..."));
    StageList_->setCurrentItem(item);
    StageGauge_->setFormat(ProductionRun::stageName(stage) + QStringLiteral(" %p%"));
    StageGauge_->setValue(0);
}

void TEDID_Production::stageEnded(ProductionRun::Stage stage, bool ok, const QString& text) {
    QTreeWidgetItem* item = StageList_->topLevelItem(int(stage));
    const qint64 ms = run_.outcome().stageMs[int(stage)];
    item->setText(StageTime, QStringLiteral("%1 s").arg(ms / 1000.0, 0, 'f', 1));
    item->setText(StageText, text);
    item->setToolTip(StageText, text);
    if (!ok) {
        for (int c = 0; c < StageColumns; ++c) item->setForeground(c, FailColor);
    }
    if (ok)
        StageGauge_->setValue(100);
}

void TEDID_Production::showGauge() {
    const ProductionRun::Stage s = run_.stage();
    if (run_.busy() && (s == ProductionRun::Stage::Upload || s == ProductionRun::Stage::Write ||
                        s == ProductionRun::Stage::ReadBack))
        StageGauge_->setValue(engine_.gauge());
}

void TEDID_Production::setResult(const QString& big, const QColor& colour, const QString& reason) {
    ResultLabel_->setText(big);
    ResultLabel_->setAccessibleName(big);
    VerdictStyle::paintText(ResultLabel_, colour);
    ReasonLabel_->setText(reason);
    ReasonLabel_->setAccessibleName(reason.isEmpty() ? ReasonLabel_->objectName() : reason);
}

void TEDID_Production::unitFinished() {
    gaugeTimer_->stop();
    const ProductionRun::Outcome& o = run_.outcome();
    if (o.pass) {
        ++passed_;
        const EdidIdentity::Fields& f = o.identity;
        setResult(QStringLiteral("PASS"), PassColor,
                  QStringLiteral("%1: serial number %2, %3")
                      .arg(serial_)
                      .arg(f.serialNumber)
                      .arg(EdidIdentity::dateText(f.week, f.year)));
        if (NumberCount_->isChecked())
            NextNumber_->setText(QString::number(qulonglong(f.serialNumber) + 1));
    } else {
        ++failed_;
        setResult(QStringLiteral("FAIL"), FailColor,
                  QStringLiteral("%1 at %2: %3")
                      .arg(serial_, ProductionRun::stageName(o.failedStage), o.message));
    }
    CountLabel_->setText(QStringLiteral("Passed %1, failed %2 since the window was opened")
                             .arg(passed_)
                             .arg(failed_));
    CountLabel_->setAccessibleName(CountLabel_->text());
    StageList_->setCurrentItem(nullptr);
    SerialEdit_->setReadOnly(false);
    ProgramButton_->setEnabled(true);
    // The next scan replaces the serial shown.
    SerialEdit_->selectAll();
    SerialEdit_->setFocus();
    if (!o.logged) {
        stopped_ = true;
        main_.showMessage(
            QStringLiteral("The log line for %1 could not be written. Production stops until a "
                           "log that can be written is chosen.")
                .arg(serial_),
            o.logError);
    }
}
