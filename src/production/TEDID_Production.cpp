#include "production/TEDID_Production.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
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
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "files/SafeFile.h"
#include "link/LinkEngine.h"
#include "production/ProductionLog.h"
#include "production/SerialFormat.h"
#include "resultsui/ResultsLinkRow.h"
#include "ui/ElidedLabel.h"
#include "ui/FormControls.h"
#include "ui/HomePath.h"
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
// The golden summary at its smallest (it scrolls), and the width of its longest lines.
constexpr int MinGoldenLines = 4;
constexpr int GoldenColumns = 56;
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
    run_.setStation(&station_);
    setObjectName(QStringLiteral("EDID_Production"));
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    FormControls::setOuterSize(this, QSize(FormWidth, FormHeight), false);
    // Over the middle of the main window, as a dialog would open, but whole on its screen (and
    // placed by the program, so that no window manager asks where).
    QRect place(QPoint(), QSize(FormWidth, FormHeight));
    place.moveCenter(main.frameGeometry().center());
    if (const QScreen* screen = main.screen()) {
        const QRect free = screen->availableGeometry();
        place.moveLeft(qMax(free.left(), qMin(place.left(), free.right() + 1 - FormWidth)));
        place.moveTop(qMax(free.top(), qMin(place.top(), free.bottom() + 1 - FormHeight)));
    }
    move(place.topLeft());
    auto* layout = new QVBoxLayout(this);

    // The golden EDID, on the left: its summary takes what height is left, and scrolls.
    QGroupBox* golden =
        FormControls::group(this, "GoldenGroup", QStringLiteral("Golden EDID"), QRect());
    auto* goldenLayout = new QGridLayout(golden);
    GoldenFile_ = new ElidedLabel(golden, "GoldenFile", Qt::ElideMiddle);
    GoldenFile_->setFullText(QStringLiteral("(none opened)"));
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
    GoldenSummary_->setMinimumHeight(GoldenSummary_->fontMetrics().lineSpacing() * MinGoldenLines +
                                     12);
    GoldenSummary_->setMinimumWidth(GoldenSummary_->fontMetrics().averageCharWidth() *
                                    GoldenColumns);
    goldenLayout->addWidget(GoldenFile_, 0, 0);
    goldenLayout->addWidget(open, 0, 1);
    goldenLayout->addWidget(GoldenSummary_, 1, 0, 1, 2);
    goldenLayout->setColumnStretch(0, 1);
    goldenLayout->setRowStretch(1, 1);

    // How each unit's identity is made, and the record, on the right.
    QGroupBox* unit = FormControls::group(this, "UnitGroup", QStringLiteral("Each unit"), QRect());
    auto* unitLayout = new QGridLayout(unit);
    unitLayout->addWidget(
        FormControls::label(unit, "SerialTextNote",
                            QStringLiteral("Serial text: the serial as scanned or typed"), QRect()),
        0, 0, 1, 3);
    NumberDigits_ =
        radio(unit, "NumberDigits", QStringLiteral("Serial number from the serial's digits"));
    NumberCount_ = radio(unit, "NumberCount", QStringLiteral("Serial number counting up from"));
    NumberZero_ = radio(unit, "NumberZero",
                        QStringLiteral("Serial number 0 (the serial text identifies the unit)"));
    NumberZero_->setToolTip(
        QStringLiteral("As edid-decode expects of an EDID that carries a serial text"));
    NumberGolden_ =
        radio(unit, "NumberGolden", QStringLiteral("Serial number as in the golden EDID"));
    NextNumber_ = new QLineEdit(QStringLiteral("1"), unit);
    NextNumber_->setObjectName(QStringLiteral("NextNumber"));
    NextNumber_->setAccessibleName(QStringLiteral("Next serial number"));
    NextNumber_->setMaxLength(10);
    NextNumber_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), NextNumber_));
    NextNumber_->setMaximumWidth(
        NextNumber_->fontMetrics().horizontalAdvance(QStringLiteral("4294967295")) + 16);
    NextNumberNote_ = FormControls::label(unit, "NextNumberNote", QString(), QRect());
    NextNumberNote_->setAccessibleName(NextNumberNote_->objectName());
    auto* numbers = new QButtonGroup(unit);
    for (QRadioButton* b : {NumberDigits_, NumberCount_, NumberZero_, NumberGolden_})
        numbers->addButton(b);
    NumberDigits_->setChecked(true);
    unitLayout->addWidget(NumberDigits_, 1, 0, 1, 3);
    unitLayout->addWidget(NumberCount_, 2, 0);
    unitLayout->addWidget(NextNumber_, 2, 1);
    unitLayout->addWidget(NextNumberNote_, 2, 2);
    unitLayout->addWidget(NumberZero_, 3, 0, 1, 3);
    unitLayout->addWidget(NumberGolden_, 4, 0, 1, 3);
    DateToday_ = radio(unit, "DateToday", QString());
    DateGolden_ = radio(unit, "DateGolden", QStringLiteral("Date as in the golden EDID"));
    auto* dates = new QButtonGroup(unit);
    dates->addButton(DateToday_);
    dates->addButton(DateGolden_);
    DateToday_->setChecked(true);
    showDateChoice();
    unitLayout->addWidget(DateToday_, 5, 0, 1, 3);
    unitLayout->addWidget(DateGolden_, 6, 0, 1, 3);
    unitLayout->setColumnStretch(2, 1);
    unitLayout->setRowStretch(7, 1);

    QGroupBox* log = FormControls::group(this, "LogGroup", QStringLiteral("Log"), QRect());
    auto* logLayout = new QGridLayout(log);
    LogFile_ = new ElidedLabel(log, "LogFile", Qt::ElideMiddle);
    LogFile_->setFullText(QStringLiteral("(none chosen)"));
    QPushButton* choose =
        FormControls::button(log, "LogChoose", QStringLiteral("Choose..."), QRect());
    choose->setToolTip(QStringLiteral("Choose the CSV file a line per unit is added to"));
    logLayout->addWidget(LogFile_, 0, 0);
    logLayout->addWidget(choose, 0, 1);
    // Every unit also goes into a results store: beside the log, or the one named here.
    ResultsLink_ = new ResultsLinkRow(station_, log);
    ResultsLink_->Field()->setPlaceholderText(
        QStringLiteral("results.sqlite beside the log, or postgresql://ROLE@HOST/DB"));
    logLayout->addWidget(ResultsLink_, 1, 0, 1, 2);
    logLayout->setColumnStretch(0, 1);

    auto* right = new QVBoxLayout;
    right->addWidget(unit, 1);
    right->addWidget(log);
    auto* top = new QHBoxLayout;
    top->addWidget(golden, 1);
    top->addLayout(right);
    // What is left of the height goes to the golden summary; the unit below keeps all it needs.
    layout->addLayout(top, 1);

    // The unit.
    auto* serialRow = new QHBoxLayout;
    QLabel* serialLabel =
        FormControls::label(this, "SerialLabel", QStringLiteral("&Serial:"), QRect());
    SerialEdit_ = new QLineEdit(this);
    SerialEdit_->setObjectName(QStringLiteral("SerialEdit"));
    SerialEdit_->setAccessibleName(QStringLiteral("Serial"));
    SerialEdit_->setToolTip(QStringLiteral(
        "Scan the unit's barcode, or type its serial and press Enter; while a unit is "
        "programmed, the serial is kept for the next one"));
    QFont big = SerialEdit_->font();
    big.setPixelSize(SerialPixels);
    SerialEdit_->setFont(big);
    serialLabel->setBuddy(SerialEdit_);
    // The serials this line accepts: a stray scan or another product's label is refused.
    SerialFormat_ = new QLineEdit(this);
    SerialFormat_->setObjectName(QStringLiteral("SerialFormat"));
    SerialFormat_->setAccessibleName(QStringLiteral("Serial format"));
    SerialFormat_->setPlaceholderText(QStringLiteral("any serial"));
    SerialFormat_->setMaximumWidth(
        SerialFormat_->fontMetrics().horizontalAdvance(QStringLiteral("^HX-[0-9]{3}-[A-Z]$")) + 24);
    QLabel* formatLabel =
        FormControls::label(this, "SerialFormatLabel", QStringLiteral("Serial &format:"), QRect());
    formatLabel->setBuddy(SerialFormat_);
    NextLabel_ = FormControls::label(this, "NextLabel", QString(), QRect());
    NextLabel_->setAccessibleName(NextLabel_->objectName());
    ProgramButton_ =
        FormControls::button(this, "ProgramButton", QStringLiteral("Program"), QRect());
    StopButton_ = FormControls::button(this, "StopButton", QStringLiteral("Stop"), QRect());
    StopButton_->setToolTip(
        QStringLiteral("Stop the unit while it uploads: nothing is written, and it is logged as "
                       "STOPPED"));
    StopButton_->setEnabled(false);
    // A click on them leaves the focus in Serial, where the next scan goes.
    ProgramButton_->setFocusPolicy(Qt::TabFocus);
    StopButton_->setFocusPolicy(Qt::TabFocus);
    serialRow->addWidget(serialLabel);
    serialRow->addWidget(SerialEdit_, 1);
    serialRow->addWidget(NextLabel_);
    serialRow->addWidget(formatLabel);
    serialRow->addWidget(SerialFormat_);
    serialRow->addWidget(ProgramButton_);
    serialRow->addWidget(StopButton_);
    layout->addLayout(serialRow);

    StageList_ = new QTreeWidget(this);
    StageList_->setObjectName(QStringLiteral("StageList"));
    StageList_->setAccessibleName(QStringLiteral("Stages"));
    StageList_->setColumnCount(StageColumns);
    StageList_->setHeaderLabels(
        {QStringLiteral("Stage"), QStringLiteral("Time"), QStringLiteral("Result")});
    StageList_->setRootIsDecorated(false);
    StageList_->setFocusPolicy(Qt::NoFocus);
    StageList_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StageList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int s = 0; s < ProductionRun::StageCount; ++s)
        new QTreeWidgetItem(
            StageList_, {ProductionRun::stageName(ProductionRun::Stage(s)), QString(), QString()});
    StageList_->header()->setSectionResizeMode(StageText, QHeaderView::Stretch);
    StageList_->setFixedHeight(StageList_->sizeHintForRow(0) * ProductionRun::StageCount +
                               StageList_->header()->sizeHint().height() +
                               2 * StageList_->frameWidth());
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
    ResultLabel_->setFixedHeight(ResultPixels + 16);
    // One line whatever the reason: the whole of it in the tool tip, as in the stage list.
    ReasonLabel_ = new ElidedLabel(this, "ReasonLabel", Qt::ElideRight);
    ReasonLabel_->setAlignment(Qt::AlignCenter);
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
    // Until they have something to say, the labels keep their designer names.
    for (QLabel* l : {ResultLabel_, CountLabel_}) l->setAccessibleName(l->objectName());

    gaugeTimer_ = new QTimer(this);
    gaugeTimer_->setInterval(GaugeRefreshMs);

    connect(open, &QPushButton::clicked, this, &TEDID_Production::GoldenOpenClick);
    connect(choose, &QPushButton::clicked, this, &TEDID_Production::LogChooseClick);
    connect(SerialEdit_, &QLineEdit::returnPressed, this, &TEDID_Production::ProgramClick);
    connect(SerialEdit_, &QLineEdit::textEdited, this, [this] {
        // A serial other than the one kept stands in the field now.
        if (!run_.busy())
            NextLabel_->clear();
    });
    connect(ProgramButton_, &QPushButton::clicked, this, &TEDID_Production::ProgramClick);
    connect(SerialFormat_, &QLineEdit::textChanged, this, &TEDID_Production::showSerialFormat);
    showSerialFormat();
    connect(StopButton_, &QPushButton::clicked, this, &TEDID_Production::StopClick);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(NumberCount_, &QRadioButton::toggled, NextNumber_, &QWidget::setEnabled);
    NextNumber_->setEnabled(false);
    connect(NextNumber_, &QLineEdit::textEdited, this, [this] {
        if (highestInLog_)
            NextNumberNote_->setText(
                QStringLiteral("the highest in the log is %1").arg(*highestInLog_));
        NextNumberNote_->setAccessibleName(NextNumberNote_->text());
    });
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

void TEDID_Production::showSerialFormat() {
    const QString problem = SerialFormat::problem(SerialFormat_->text().trimmed());
    VerdictStyle::paintText(SerialFormat_,
                            problem.isEmpty() ? palette().color(QPalette::Text) : FailColor);
    SerialFormat_->setToolTip(
        problem.isEmpty()
            ? QStringLiteral("A regular expression the serials must match (^HX-[0-9]{3}$); empty: "
                             "any serial")
            : problem);
    SerialFormat_->setAccessibleDescription(problem);
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

void TEDID_Production::showCounts() {
    ResultsLink_->stationOpened();
    QStringList lines;
    if (passed_ + failed_ + stoppedUnits_ > 0)
        lines << QStringLiteral("Passed %1, failed %2%3 since the window was opened")
                     .arg(passed_)
                     .arg(failed_)
                     .arg(stoppedUnits_ ? QStringLiteral(", stopped %1").arg(stoppedUnits_)
                                        : QString());
    const QString today = station_.todayLine(true);
    if (!today.isEmpty())
        lines << today;
    CountLabel_->setText(lines.join(QLatin1Char('\n')));
    CountLabel_->setAccessibleName(lines.isEmpty() ? CountLabel_->objectName()
                                                   : lines.join(QStringLiteral("; ")));
    const QStringList notices = station_.takeNotices();
    if (!notices.isEmpty())
        tell(QStringLiteral("Runs that never ended were found in the results store."),
             notices.join(QLatin1Char('\n')));
}

void TEDID_Production::tell(const QString& text, const QString& detail) {
    main_.showMessageIn(this, text, detail, SerialEdit_);
}

bool TEDID_Production::openGolden(const QString& path) {
    GoldenEdid golden;
    QString error;
    if (!GoldenEdid::load(path, golden, error)) {
        tell(QStringLiteral("The golden EDID cannot be used."), error);
        return false;
    }
    golden_ = golden;
    GoldenFile_->setFullText(HomePath::shown(path));
    GoldenSummary_->setPlainText(golden_.lines().join(QLatin1Char('\n')));
    SerialEdit_->setFocus();
    return true;
}

bool TEDID_Production::chooseLog(const QString& path) {
    const QString problem = SafeFile::writeProblem(path);
    std::optional<quint32> highest;
    QString error;
    if (!problem.isEmpty()) {
        tell(QStringLiteral("The log cannot be written."), problem + QLatin1Char('.'));
        return false;
    }
    if (!ProductionLog::highestNumber(path, highest, error)) {
        tell(QStringLiteral("The log cannot be read to find its serial numbers."), error);
        return false;
    }
    // Every unit goes into the results store beside the log as well.
    if (!station_.open(
            ResultsStation::whereFor(QFileInfo(path).absolutePath(), ResultsLink_->named()),
            error)) {
        tell(QStringLiteral("The results store beside the log cannot be opened."), error);
        return false;
    }
    logPath_ = path;
    stopped_ = false;
    LogFile_->setFullText(HomePath::shown(path));
    showCounts();
    countOnFromLog(highest);
    SerialEdit_->setFocus();
    return true;
}

void TEDID_Production::countOnFromLog(std::optional<quint32> highest) {
    highestInLog_ = highest;
    if (highest) {
        NextNumber_->setText(QString::number(qulonglong(*highest) + 1));
        NextNumberNote_->setText(QStringLiteral("next after %1 in the log").arg(*highest));
    } else {
        NextNumberNote_->setText(QStringLiteral("none in the log yet"));
    }
    NextNumberNote_->setAccessibleName(NextNumberNote_->text());
}

IdentityRecipe TEDID_Production::recipe() const {
    IdentityRecipe r;
    if (NumberDigits_->isChecked()) {
        r.number = IdentityRecipe::Number::Digits;
    } else if (NumberCount_->isChecked()) {
        r.number = IdentityRecipe::Number::Given;
        r.givenNumber = quint32(qMin(NextNumber_->text().toULongLong(), 0xFFFFFFFFull));
    } else if (NumberZero_->isChecked()) {
        r.number = IdentityRecipe::Number::Given;
        r.givenNumber = 0;
    }
    r.date = DateToday_->isChecked() ? IdentityRecipe::Date::Today : IdentityRecipe::Date::Golden;
    return r;
}

std::optional<quint32> TEDID_Production::ownNumber(const QString& serial) const {
    EdidIdentity::Fields f;
    QString error;
    // Where no number can be made the unit fails at Patch, and is logged so.
    if (!(NumberDigits_->isChecked() || NumberCount_->isChecked()) ||
        !recipe().fieldsFor(golden_.image, serial, QDate::currentDate(), f, error))
        return std::nullopt;
    return f.serialNumber;
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
    else if (!SafeFile::writeProblem(logPath_).isEmpty())
        // Gone since it was chosen (a share unmounted, a folder removed): no unit goes unrecorded.
        problem =
            QStringLiteral("The log cannot be written: %1.").arg(SafeFile::writeProblem(logPath_));
    else if (NumberCount_->isChecked() && NextNumber_->text().toULongLong() > 0xFFFFFFFFull)
        problem = QStringLiteral("The next serial number is not 0 to 4294967295.");
    else
        problem = run_.startProblem();
    QString storeError;
    if (problem.isEmpty() &&
        !station_.open(
            ResultsStation::whereFor(QFileInfo(logPath_).absolutePath(), ResultsLink_->named()),
            storeError))
        problem = QStringLiteral("The unit's results cannot be recorded: %1").arg(storeError);
    if (!problem.isEmpty()) {
        tell(problem);
        return false;
    }
    return newToTheLog(serial);
}

bool TEDID_Production::newToTheLog(const QString& serial) {
    const std::optional<quint32> number = ownNumber(serial);
    ProductionLog::Earlier earlier;
    QString error;
    if (!ProductionLog::earlier(logPath_, serial, number, earlier, error)) {
        tell(QStringLiteral("The log cannot be read to look for the serial."), error);
        return false;
    }
    if (earlier.isEmpty())
        return true;
    QString question;
    QStringList detail;
    if (!earlier.sameText.isEmpty()) {
        question =
            earlier.sameNumber.isEmpty()
                ? QStringLiteral("Serial %1 is already in the log. Program it again?").arg(serial)
                : QStringLiteral(
                      "Serial %1 and its serial number %2 are already in the "
                      "log. Program it again?")
                      .arg(serial)
                      .arg(*number);
        detail << QStringLiteral("Earlier: ") + earlier.sameText.join(QStringLiteral("; ")) +
                      QLatin1Char('.');
    } else {
        question = QStringLiteral(
                       "Serial number %1 is already in the log, given to another "
                       "serial. Program %2 with it?")
                       .arg(*number)
                       .arg(serial);
    }
    if (!earlier.sameNumber.isEmpty())
        detail << QStringLiteral("Serial number %1 earlier: ").arg(*number) +
                      earlier.sameNumber.join(QStringLiteral("; ")) + QLatin1Char('.');
    return main_.confirmIn(this, question, detail.join(QLatin1Char('\n')),
                           QStringLiteral("Program Again"), SerialEdit_);
}

void TEDID_Production::clearUnit() {
    for (int s = 0; s < ProductionRun::StageCount; ++s) {
        QTreeWidgetItem* item = StageList_->topLevelItem(s);
        item->setText(StageTime, QString());
        item->setText(StageText, QString());
        item->setToolTip(StageText, QString());
        for (int c = 0; c < StageColumns; ++c) item->setForeground(c, palette().text());
    }
    StageGauge_->setFormat(QStringLiteral("%p%"));
    StageGauge_->setValue(0);
    setResult(QString(), palette().color(QPalette::WindowText), QString());
}

void TEDID_Production::ProgramClick() {
    // A scanner may end the code with blanks or a line end of its own.
    const QString serial = SerialEdit_->text().trimmed();
    if (run_.busy()) {
        // Kept for the next unit, which the operator starts once this one's cable is free.
        if (!serial.isEmpty() && serial != serial_) {
            next_ = serial;
            NextLabel_->setText(QStringLiteral("Next: %1").arg(serial));
            NextLabel_->setAccessibleName(NextLabel_->text());
        }
        SerialEdit_->selectAll();
        return;
    }
    if (serial.isEmpty()) {
        SerialEdit_->setFocus();
        return;
    }
    // Nothing of the last unit stays beside a new serial, taken or not.
    clearUnit();
    NextLabel_->clear();
    NextLabel_->setAccessibleName(NextLabel_->objectName());
    const QString format = SerialFormat_->text().trimmed();
    const QString formatProblem = SerialFormat::problem(format);
    if (!formatProblem.isEmpty()) {
        tell(QStringLiteral("The serial format is not usable: correct it or empty it."),
             formatProblem);
        return;
    }
    if (!SerialFormat::accepts(format, serial)) {
        // A stray scan costs no click: said where the result shows, Serial ready for the next.
        setResult(QString(), palette().color(QPalette::WindowText),
                  QStringLiteral("'%1' does not match the serial format, and was not programmed.")
                      .arg(serial));
        SerialEdit_->selectAll();
        SerialEdit_->setFocus();
        return;
    }
    if (!readyFor(serial)) {
        setResult(QString(), palette().color(QPalette::WindowText),
                  QStringLiteral("%1 was not programmed.").arg(serial));
        SerialEdit_->selectAll();
        SerialEdit_->setFocus();
        return;
    }
    serial_ = serial;
    showDateChoice();
    setResult(QStringLiteral("..."), palette().color(QPalette::WindowText),
              QStringLiteral("Programming %1").arg(serial));
    ProgramButton_->setEnabled(false);
    // A scan while the unit is programmed replaces the serial shown, and is kept for the next.
    SerialEdit_->selectAll();
    gaugeTimer_->start();
    run_.start(golden_, recipe(), serial, QDate::currentDate(), logPath_, format);
}

void TEDID_Production::StopClick() {
    StopButton_->setEnabled(false);
    run_.stop();
}

void TEDID_Production::stageStarted(ProductionRun::Stage stage) {
    QTreeWidgetItem* item = StageList_->topLevelItem(int(stage));
    item->setText(StageText, QStringLiteral("..."));
    StageList_->setCurrentItem(item);
    StageGauge_->setFormat(ProductionRun::stageName(stage) + QStringLiteral(" %p%"));
    StageGauge_->setValue(0);
    StopButton_->setEnabled(run_.stoppable());
}

void TEDID_Production::stageEnded(ProductionRun::Stage stage, bool ok, const QString& text) {
    QTreeWidgetItem* item = StageList_->topLevelItem(int(stage));
    const qint64 ms = run_.outcome().stageMs[int(stage)];
    // The log's and the store's paths as the window shows paths.
    QString shown = text;
    shown.replace(logPath_, HomePath::shown(logPath_));
    if (station_.isOpen())
        shown.replace(station_.name(), HomePath::shown(station_.name()));
    item->setText(StageTime, QStringLiteral("%1 s").arg(ms / 1000.0, 0, 'f', 1));
    item->setText(StageText, shown);
    item->setToolTip(StageText, shown);
    if (!ok) {
        for (int c = 0; c < StageColumns; ++c) item->setForeground(c, FailColor);
    }
    if (ok)
        StageGauge_->setValue(100);
    if (stage == ProductionRun::Stage::Upload)
        StopButton_->setEnabled(false);
}

void TEDID_Production::showGauge() {
    const ProductionRun::Stage s = run_.stage();
    if (run_.busy() && (s == ProductionRun::Stage::Upload || s == ProductionRun::Stage::Write ||
                        s == ProductionRun::Stage::ReadBack))
        StageGauge_->setValue(engine_.gauge());
}

void TEDID_Production::setResult(const QString& big, const QColor& colour, const QString& reason) {
    ResultLabel_->setText(big);
    ResultLabel_->setAccessibleName(big.isEmpty() ? ResultLabel_->objectName() : big);
    VerdictStyle::paintText(ResultLabel_, colour);
    ReasonLabel_->setFullText(reason);
}

void TEDID_Production::unitFinished() {
    gaugeTimer_->stop();
    StopButton_->setEnabled(false);
    const ProductionRun::Outcome& o = run_.outcome();
    const QString stage = ProductionRun::stageName(o.failedStage);
    if (o.pass) {
        ++passed_;
        const EdidIdentity::Fields& f = o.identity;
        setResult(QStringLiteral("PASS"), PassColor,
                  QStringLiteral("%1: serial number %2, %3")
                      .arg(serial_)
                      .arg(f.serialNumber)
                      .arg(EdidIdentity::dateText(f.week, f.year)));
    } else {
        ++(o.stopped ? stoppedUnits_ : failed_);
        const QString big = o.stopped ? QStringLiteral("STOPPED") : QStringLiteral("FAIL");
        setResult(big, o.stopped ? palette().color(QPalette::WindowText) : FailColor,
                  QStringLiteral("%1 at %2: %3").arg(serial_, stage, o.message));
        // An empty gauge that says so: a full one would read as success.
        StageGauge_->setValue(0);
        StageGauge_->setFormat(QStringLiteral("%1 at %2").arg(big, stage));
    }
    // Its number is in the log now, passed or not: the count goes on after the highest.
    if (o.patched)
        countOnFromLog(std::max(highestInLog_.value_or(0), o.identity.serialNumber));
    showCounts();
    StageList_->setCurrentItem(nullptr);
    ProgramButton_->setEnabled(true);
    // A serial scanned meanwhile stands ready, not started: the operator presses Enter once
    // this unit's cable is off. Otherwise the next scan replaces the serial shown.
    if (!next_.isEmpty()) {
        SerialEdit_->setText(next_);
        NextLabel_->setText(QStringLiteral("Next: %1, press Enter to program it").arg(next_));
        NextLabel_->setAccessibleName(NextLabel_->text());
        next_.clear();
    }
    SerialEdit_->selectAll();
    SerialEdit_->setFocus();
    if (!o.logged) {
        stopped_ = true;
        tell(QStringLiteral("The log line for %1 could not be written. Production stops until a "
                            "log that can be written is chosen.")
                 .arg(serial_),
             o.logError);
    }
}
