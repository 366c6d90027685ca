#include "programme/TProgrammer_Form.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include "link/LinkEngine.h"
#include "pattern/PatternTable.h"
#include "programme/ProgramFile.h"
#include "programme/ProgramPacker.h"
#include "timing/TimingTable.h"
#include "ui/FormControls.h"
#include "ui/TMainForm.h"
#include "ui/TStringGrid.h"

const QString TProgrammer_Form::ShownBlank = QStringLiteral("       ");
const QString TProgrammer_Form::DeletedBlank = QStringLiteral("   ");

namespace {

constexpr int FontPx = 16;
constexpr int RowHeight = 24;
constexpr int BoxHeight = 24;
constexpr int MaxShowTimeItem = 59;
constexpr int BusyWatchMs = 200;
constexpr int ColTiming = 1;
constexpr int ColPattern = 2;
constexpr int ColUnit = 3;
constexpr int ColShowTime = 4;
const QString FileFilter = QStringLiteral("Programme files (*.txt);;All files (*)");

// Columns: heading (leading blanks as shown), width in pixels.
struct GridColumn {
    const char* heading;
    int width;
};
constexpr GridColumn GridColumns[] = {
    {"Seq.", 33},           {"         Timing", 140}, {"            Pattern", 183},
    {"         Unit", 115}, {" Show Time", 106},
};

// Columns: caption's designer name, caption, box's designer name, x in pixels, box width in
// pixels. Captions sit at y 40 and boxes at y 72.
struct StepField {
    const char* labelName;
    const char* caption;
    const char* boxName;
    int x;
    int boxWidth;
};
constexpr StepField StepFields[] = {
    {"Label1", "Timing ", "PCBox1", 24, 161},
    {"Label2", "Pattern", "PCBox2", 208, 169},
    {"Label3", "Unit", "PCBox3", 392, 97},
    {"Label4", "Show Time", "PCBox4", 512, 89},
};
constexpr int CaptionY = 40;
constexpr int BoxY = 72;

constexpr const char* UnitNames[] = {"Second", "Minute"};

QString unitText(int unit) {
    return unit == 0 ? QString::fromLatin1(UnitNames[0]) : QString::fromLatin1(UnitNames[1]);
}

}  // namespace

TProgrammer_Form::TProgrammer_Form(LinkEngine& engine, QWidget* parent)
    : TFormDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      engine_(engine) {
    setObjectName(QStringLiteral("Programmer_Form"));
    setWindowTitle(QStringLiteral("Program"));
    setAccessibleName(QStringLiteral("Program"));
    FormControls::setOuterSize(this, QSize(FormWidth, FormHeight), true);

    const QFont arial = FormControls::arial(FontPx);
    QComboBox** boxes[] = {&PCBox1_, &PCBox2_, &PCBox3_, &PCBox4_};
    for (int i = 0; i < 4; ++i) {
        const StepField& f = StepFields[i];
        QLabel* caption = FormControls::label(this, f.labelName, QString::fromLatin1(f.caption),
                                              QRect(f.x, CaptionY, f.boxWidth, FontPx + 4));
        caption->setFont(arial);
        *boxes[i] = makeBox(f.boxName, QRect(f.x, BoxY, f.boxWidth, BoxHeight));
        // Screen readers announce the box with its caption.
        caption->setBuddy(*boxes[i]);
    }

    StringGrid5_ = new TStringGrid(5, 2, 0, 1, this);
    StringGrid5_->setObjectName(QStringLiteral("StringGrid5"));
    StringGrid5_->setAccessibleName(QStringLiteral("StringGrid5"));
    StringGrid5_->setGeometry(24, 120, 617, 209);
    StringGrid5_->setFont(arial);
    StringGrid5_->horizontalHeader()->setFont(arial);  // the heading row uses the grid's font
    StringGrid5_->setDefaultRowHeight(RowHeight);
    StringGrid5_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid5_->OnMouseDown = [this](Qt::MouseButton b, bool dbl) {
        StringGrid5MouseDown(b, dbl);
    };
    StringGrid5_->OnDrawCell = [this](QPainter& p, int col, int row, const QRect& r) {
        StringGrid5DrawCell(p, col, row, r);
    };
    StringGrid5_->installEventFilter(this);

    // What UpLoad would send, in the narrow band between the grid and the note.
    ProgramSummary_ = FormControls::readOnlyField(this, "ProgramSummary", QRect(24, 330, 617, 14));
    ProgramSummary_->setFrame(false);
    ProgramSummary_->setFont(FormControls::arial(12));
    ProgramSummary_->setTextMargins(0, 0, 0, 0);
    ProgramSummary_->setFocusPolicy(Qt::ClickFocus);
    QPalette flat = ProgramSummary_->palette();
    flat.setColor(QPalette::Base, palette().color(QPalette::Window));
    ProgramSummary_->setPalette(flat);

    Label5_ = FormControls::label(
        this, "Label5",
        QStringLiteral("Note.  For every timing pattern have to shown at least 3 seconds"),
        QRect(96, 344, 0, 0));
    QFont times(QStringLiteral("Times New Roman"));
    times.setPixelSize(FontPx);
    Label5_->setFont(times);
    QPalette red = Label5_->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    Label5_->setPalette(red);

    Button1_ =
        FormControls::button(this, "Button1", QStringLiteral("UpLoad"), QRect(504, 344, 137, 25));
    connect(Button1_, &QPushButton::clicked, this, &TProgrammer_Form::Button1Click);
    // The only free room that leaves every other control where it belongs: above the captions.
    LoadButton_ =
        FormControls::button(this, "LoadButton", QStringLiteral("Load..."), QRect(430, 8, 100, 25));
    LoadButton_->setToolTip(QStringLiteral("Load a programme from a text file"));
    connect(LoadButton_, &QPushButton::clicked, this, &TProgrammer_Form::LoadButtonClick);
    SaveButton_ =
        FormControls::button(this, "SaveButton", QStringLiteral("Save..."), QRect(541, 8, 100, 25));
    SaveButton_->setToolTip(QStringLiteral("Save the programme as a text file"));
    connect(SaveButton_, &QPushButton::clicked, this, &TProgrammer_Form::SaveButtonClick);

    busyWatch_ = new QTimer(this);
    busyWatch_->setInterval(BusyWatchMs);
    connect(busyWatch_, &QTimer::timeout, this, &TProgrammer_Form::refreshFileButtons);

    FormCreate();
}

QComboBox* TProgrammer_Form::makeBox(const char* name, const QRect& geometry) {
    auto* box = new QComboBox(this);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(QLatin1String(name));
    box->setEditable(true);
    // Typed text names an item only when it is the whole item text: no completion to a
    // longer item, and Return never adds the typed text to the list.
    box->setCompleter(nullptr);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->lineEdit()->setAccessibleName(QLatin1String(name));
    box->setGeometry(geometry);
    return box;
}

void TProgrammer_Form::FormCreate() {
    CurrentStepRow = 1;
    for (const TimingEntry& t : TimingTable) PCBox1_->addItem(QString::fromLatin1(t.Name));
    for (const PatternEntry& p : PatternTable) PCBox2_->addItem(QString::fromLatin1(p.Name));
    for (const char* u : UnitNames) PCBox3_->addItem(QString::fromLatin1(u));
    for (int n = 1; n <= MaxShowTimeItem; ++n) PCBox4_->addItem(QString::number(n));
    for (QComboBox* box : {PCBox1_, PCBox2_, PCBox3_, PCBox4_}) box->setCurrentIndex(0);

    // Connected after the first selection, which is no operator's change.
    connect(PCBox1_, &QComboBox::editTextChanged, this, &TProgrammer_Form::PCBox1Change);
    connect(PCBox2_, &QComboBox::editTextChanged, this, &TProgrammer_Form::PCBox2Change);
    connect(PCBox3_, &QComboBox::editTextChanged, this, &TProgrammer_Form::PCBox3Change);
    connect(PCBox4_, &QComboBox::editTextChanged, this, &TProgrammer_Form::PCBox4Change);

    for (int c = 0; c < 5; ++c) {
        StringGrid5_->setCells(c, 0, QString::fromLatin1(GridColumns[c].heading));
        StringGrid5_->setColWidth(c, GridColumns[c].width);
    }
    StringGrid5_->setRowCountTotal(StepRows + 1);
    for (int r = 1; r <= StepRows; ++r) StringGrid5_->setCells(0, r, QString::number(r - 1));
    refreshSummary();
}

void TProgrammer_Form::fitNote() {
    // Measured when first shown: the serif face is loaded only then, not at start-up. Where
    // Times New Roman is missing a wider serif stands in and would run under UpLoad; narrowed,
    // the whole note stays readable.
    if (noteFitted_)
        return;
    noteFitted_ = true;
    Label5_->adjustSize();
    const int room = 504 - 96 - 4;
    if (Label5_->width() > room) {
        QFont times = Label5_->font();
        times.setStretch(qMax(50, 100 * room / Label5_->width()));
        Label5_->setFont(times);
        Label5_->adjustSize();
    }
}

void TProgrammer_Form::showEvent(QShowEvent* event) {
    fitNote();
    QDialog::showEvent(event);
    // A window system's re-show (after minimising) is not an opening and keeps the programme.
    if (!event->spontaneous())
        FormShow();
    refreshFileButtons();
    busyWatch_->start();
}

void TProgrammer_Form::hideEvent(QHideEvent* event) {
    busyWatch_->stop();
    QDialog::hideEvent(event);
}

void TProgrammer_Form::refreshFileButtons() {
    const bool idle = !engine_.AnyCommandBusy();
    LoadButton_->setEnabled(idle);
    SaveButton_->setEnabled(idle);
}

void TProgrammer_Form::FormShow() {
    clearProgramme();
}

void TProgrammer_Form::clearProgramme() {
    CurrentStepRow = 1;
    ProgramTable_.clear();
    for (int r = 1; r <= StepRows; ++r)
        for (int c = ColTiming; c <= ColShowTime; ++c) StringGrid5_->setCells(c, r, ShownBlank);
    StringGrid5_->setCurrentCell(0, 1);
    StringGrid5_->scrollToTop();
    StringGrid5_->repaintGrid();
    refreshSummary();
}

// ---- Grid ----------------------------------------------------------------------------------

void TProgrammer_Form::StringGrid5MouseDown(Qt::MouseButton, bool) {
    CurrentStepRow = StringGrid5_->Row();
    StringGrid5_->repaintGrid();
}

void TProgrammer_Form::StringGrid5DrawCell(QPainter& painter, int col, int row, const QRect& rect) {
    if (row < StringGrid5_->FixedRows())
        return;
    const QColor fill =
        row == CurrentStepRow ? TStringGrid::activeCaptionColor() : StringGrid5_->windowColor();
    StringGrid5_->fillCell(painter, rect, fill, StringGrid5_->Cells(col, row),
                           StringGrid5_->font());
}

bool TProgrammer_Form::eventFilter(QObject* watched, QEvent* event) {
    if (watched == StringGrid5_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete) {
            StringGrid5KeyDown(key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TProgrammer_Form::StringGrid5KeyDown(int key) {
    if (key != Qt::Key_Delete)
        return;
    // The step last chosen with the mouse, wherever the keyboard has moved the selection.
    ProgramTable_.clearStep(CurrentStepRow - 1);
    for (int c = ColTiming; c <= ColShowTime; ++c)
        StringGrid5_->setCells(c, CurrentStepRow, DeletedBlank);
    refreshSummary();
}

// ---- Combo boxes ---------------------------------------------------------------------------

int TProgrammer_Form::selectedItem(const QComboBox* box) {
    const QString text = box->currentText();
    const int current = box->currentIndex();
    if (current >= 0 && box->itemText(current) == text)
        return current;
    return box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void TProgrammer_Form::PCBox1Change() {
    const int item = selectedItem(PCBox1_);
    ProgramTable_.timing[CurrentStepRow - 1] =
        static_cast<quint8>(item < 0 ? ProgramTable::Empty : item);
    // No timing named: an empty cell, never a table row looked up with 255.
    StringGrid5_->setCells(ColTiming, CurrentStepRow,
                           item < 0 ? QString() : QString::fromLatin1(TimingTable[item].Name));
    refreshSummary();
}

void TProgrammer_Form::PCBox2Change() {
    const int item = selectedItem(PCBox2_);
    ProgramTable_.pattern[CurrentStepRow - 1] =
        static_cast<quint8>(item < 0 ? ProgramTable::Empty : item);
    StringGrid5_->setCells(ColPattern, CurrentStepRow,
                           item < 0 ? QString() : QString::fromLatin1(PatternTable[item].Name));
    refreshSummary();
}

void TProgrammer_Form::PCBox3Change() {
    const int item = selectedItem(PCBox3_);
    ProgramTable_.unit[CurrentStepRow - 1] =
        static_cast<quint8>(item < 0 ? ProgramTable::Empty : item);
    // An empty unit shows as empty rather than as "Minute": the step will not be sent.
    StringGrid5_->setCells(ColUnit, CurrentStepRow, item < 0 ? QString() : unitText(item));
    refreshSummary();
}

void TProgrammer_Form::PCBox4Change() {
    const QString text = PCBox4_->currentText();
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok) {
        showMessage(QStringLiteral("'%1' is not a valid integer value").arg(text));
        return;
    }
    // Held whole: 315 stays 315 (not legal) rather than becoming 59 in a byte.
    ProgramTable_.showTime[CurrentStepRow - 1] = value;
    StringGrid5_->setCells(ColShowTime, CurrentStepRow, text);
    refreshSummary();
}

// ---- Upload --------------------------------------------------------------------------------

void TProgrammer_Form::Button1Click() {
    // Packed aside first: the table the engine sends is replaced only when this upload really
    // starts, so a press while an upload is outstanding cannot change what goes out.
    ProgramColumns packed;
    LegalStepCount = ProgramPacker::PackProgram(ProgramTable_, packed);
    if (LegalStepCount == 0) {
        showMessage(QStringLiteral("There is no legal item"));
        return;
    }
    const LinkState& link = engine_.state();
    if (link.portOpen != 1 || link.devicePresent != 1)
        return;
    clearReplyLog();
    if (engine_.AnyCommandBusy())
        return;
    engine_.data().ProgramUpload = packed;
    engine_.startCommand(Command::Atrn);
    refreshFileButtons();
}

// ---- Programme files -----------------------------------------------------------------------

void TProgrammer_Form::LoadButtonClick() {
    QFileDialog dialog(this, QStringLiteral("Load programme"), lastDir_, FileFilter);
    dialog.setObjectName(QStringLiteral("LoadDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    loadFile(dialog.selectedFiles().constFirst());
}

void TProgrammer_Form::SaveButtonClick() {
    bool any = false;
    for (int s = 0; s < StepRows; ++s) any = any || ProgramTable_.hasAnyField(s);
    if (!any) {
        showMessage(QStringLiteral("There is no step to save"));
        return;
    }
    QFileDialog dialog(this, QStringLiteral("Save programme"), lastDir_, FileFilter);
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    saveFile(dialog.selectedFiles().constFirst());
}

bool TProgrammer_Form::loadFile(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    ProgramTable table;
    QString error;
    QList<int> lines;
    if (!ProgramFile::load(path, table, error, &lines)) {
        showMessage(QStringLiteral("Cannot load %1: %2").arg(shown, error));
        return false;
    }
    if (lines.isEmpty()) {
        showMessage(QStringLiteral("Cannot load %1: the file holds no steps").arg(shown));
        return false;
    }
    lastDir_ = QFileInfo(path).absolutePath();
    loadTable(table);
    return true;
}

bool TProgrammer_Form::saveFile(const QString& path) {
    QString error;
    if (!ProgramFile::save(path, ProgramTable_, error)) {
        showMessage(
            QStringLiteral("Cannot save %1: %2").arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    lastDir_ = QFileInfo(path).absolutePath();
    return true;
}

void TProgrammer_Form::loadTable(const ProgramTable& table) {
    clearProgramme();
    ProgramTable_ = table;
    for (int s = 0; s < StepRows; ++s) showStepCells(s);
    StringGrid5_->repaintGrid();
    refreshSummary();
}

void TProgrammer_Form::showStepCells(int s) {
    const int row = s + 1;
    const ProgramTable& t = ProgramTable_;
    if (t.timing[s] < TimingCount)
        StringGrid5_->setCells(ColTiming, row, QString::fromLatin1(TimingTable[t.timing[s]].Name));
    if (t.pattern[s] < PatternCount)
        StringGrid5_->setCells(ColPattern, row,
                               QString::fromLatin1(PatternTable[t.pattern[s]].Name));
    if (t.unit[s] != ProgramTable::Empty)
        StringGrid5_->setCells(ColUnit, row, unitText(t.unit[s]));
    if (t.showTime[s] != ProgramTable::Empty)
        StringGrid5_->setCells(ColShowTime, row, QString::number(t.showTime[s]));
}

// ---- Helpers -------------------------------------------------------------------------------

void TProgrammer_Form::refreshSummary() {
    ProgramSummary_->setText(ProgramPacker::summaryText(ProgramTable_));
    ProgramSummary_->setCursorPosition(0);
}

void TProgrammer_Form::showMessage(const QString& text) {
    // Through the main window, which puts its boxes over whatever modal window is up.
    if (auto* main = qobject_cast<TMainForm*>(parentWidget())) {
        main->showMessage(text);
        return;
    }
    QMessageBox::information(this, QStringLiteral("ORVE-1"), text);
}

void TProgrammer_Form::clearReplyLog() {
    if (auto* main = qobject_cast<TMainForm*>(parentWidget()))
        main->clearLog();
}
