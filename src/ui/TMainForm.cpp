#include "ui/TMainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "edid/EdidHeader.h"
#include "edid/EdidImageFile.h"
#include "edid/EdidText.h"
#include "link/CommandTable.h"
#include "link/LinkEngine.h"
#include "link/LinkTrace.h"
#include "pattern/TPatternForm.h"
#include "port/TCOM_PORT_SETTING_FORM.h"
#include "timing/TTiming.h"
#include "ui/FormControls.h"
#include "ui/Icons.h"
#include "ui/TAboutBox.h"
#include "ui/TCGauge.h"
#include "ui/TLinkMonitor.h"
#include "ui/TStatusBar.h"

const QColor TMainForm::ClientColor(200, 200, 200);
const QString TMainForm::ExistText = QStringLiteral(" ORVE-1 Status : Exist");
const QString TMainForm::NotExistText = QStringLiteral(" ORVE-1 Status : Not Exist");
const QString TMainForm::OpenFilter = QStringLiteral("Binary Files (*.bin);;All Files (*)");
const QString TMainForm::SaveFilter = QStringLiteral("Binary files (*.bin);;All files (*)");
const QString TMainForm::OpenFileErrorText = QStringLiteral("Open file error");
const QString TMainForm::UploadQuestionText =
    QStringLiteral("The EDID image does not start with the EDID header %1. Upload it anyway?")
        .arg(EdidHeader::text());

namespace {

constexpr int ReceivePollMs = 100;
constexpr int SupervisionTickMs = 500;
constexpr int PresencePanel = 2;

QAction* addItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

}  // namespace

TMainForm::TMainForm(LinkEngine& engine, QWidget* parent) : QMainWindow(parent), engine_(engine) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("ORVE-1"));
    setAccessibleName(QStringLiteral("ORVE-1"));
    setWindowIcon(Icons::program());
    // No toolbar-hiding context menu: the toolbar carries Connect and Disconnect.
    setContextMenuPolicy(Qt::NoContextMenu);

    mdiArea_ = new QMdiArea(this);
    mdiArea_->setObjectName(QStringLiteral("ClientArea"));
    mdiArea_->setAccessibleName(QStringLiteral("Client area"));
    setCentralWidget(mdiArea_);

    createMenus();
    createToolBar();
    createStatusBar();

    Memo1_ = new QPlainTextEdit(this);
    Memo1_->setObjectName(QStringLiteral("Memo1"));
    Memo1_->setAccessibleName(QStringLiteral("Memo1"));
    Memo1_->setReadOnly(true);
    Memo1_->setPlainText(QStringLiteral("Memo1"));
    // The reply log is kept for diagnosis only; the operator never sees it.
    Memo1_->hide();

    Timer2_ = new QTimer(this);
    Timer2_->setObjectName(QStringLiteral("Timer2"));
    Timer2_->setInterval(ReceivePollMs);
    connect(Timer2_, &QTimer::timeout, this, &TMainForm::Timer2Timer);
    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setInterval(SupervisionTickMs);
    connect(Timer1_, &QTimer::timeout, this, &TMainForm::Timer1Timer);

    FormCreate();

    Timer2_->start();
    Timer1_->start();
}

TMainForm::~TMainForm() {
    engine_.setView(nullptr);
}

const TMainForm::Forms& TMainForm::forms() {
    if (needForms) {
        const std::function<void()> need = std::move(needForms);
        needForms = nullptr;
        need();
    }
    return forms_;
}

void TMainForm::setForms(const Forms& forms) {
    needForms = nullptr;
    forms_ = forms;
    LinkMonitor1_->setEnabled(bool(forms_.LinkMonitor));
}

void TMainForm::setStationMode() {
    EditMenu_->menuAction()->setEnabled(false);
    for (QAction* a :
         {Timing2_, Pattern2_, Program1_, DefaultSetting_, Timing1_, Pattern1_, Timing_Run_,
          Pattern_Run_, EDID_READ_, WRITE_EDID_, WriteEDID1_, EDID_Production_})
        a->setEnabled(false);
}

void TMainForm::FormCreate() {
    ProgressGauge_ = new TCGauge(StatusBar1_);
    ProgressGauge_->setObjectName(QStringLiteral("ProgressGauge"));
    ProgressGauge_->setAccessibleName(QStringLiteral("Progress"));
    ProgressGauge_->setGeometry(2, 2, StatusBar1_->panel(0).panelWidth() - 4,
                                TStatusBar::BarHeight - 4);
    ProgressGauge_->setForeColor(QColor(0, 0, 255));
    ProgressGauge_->setBackColor(palette().color(QPalette::Button));
    ProgressGauge_->setRange(0, 100);
    ProgressGauge_->setProgress(0);
    ProgressGauge_->raise();

    move(FormLeft, FormTop);
    // 900 x 694 with its frame, as the window system draws it.
    FormControls::setOuterSize(this, QSize(FormWidth, FormHeight), false);
    mdiArea_->setBackground(ClientColor);

    engine_.setView(this);
    if (engine_.state().devicePresent == 1)
        engine_.ShowDevicePresent();
    else
        engine_.ShowDeviceAbsent();
}

void TMainForm::createMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    bar->setAccessibleName(QStringLiteral("Menu bar"));

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    FileOpenItem_ = addItem(file, "FileOpenItem", QStringLiteral("&Open"));
    FileOpenItem_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    FileSaveAsItem_ = addItem(file, "FileSaveAsItem", QStringLiteral("Save &As..."));
    FileImportItem_ = addItem(file, "FileImportItem", QStringLiteral("Import EDID Text..."));
    FileExit1_ = addItem(file, "FileExit1", QStringLiteral("E&xit"));
    connect(FileOpenItem_, &QAction::triggered, this, &TMainForm::FileOpenItemClick);
    connect(FileSaveAsItem_, &QAction::triggered, this, &TMainForm::FileSaveAsItemClick);
    connect(FileImportItem_, &QAction::triggered, this, &TMainForm::FileImportItemClick);
    connect(FileExit1_, &QAction::triggered, this, &TMainForm::FileExit1Execute);

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("Edit1"));
    EditMenu_ = edit;
    Timing2_ = addItem(edit, "Timing2", QStringLiteral("Timing"));
    Pattern2_ = addItem(edit, "Pattern2", QStringLiteral("Pattern"));
    Program1_ = addItem(edit, "Program1", QStringLiteral("Program"));
    edit->addSeparator();
    DefaultSetting_ = addItem(edit, "DefaultSetting", QStringLiteral("Default Setting"));
    connect(Timing2_, &QAction::triggered, this, &TMainForm::Timing2Click);
    connect(Pattern2_, &QAction::triggered, this, &TMainForm::Pattern2Click);
    connect(Program1_, &QAction::triggered, this, &TMainForm::Program1Click);
    connect(DefaultSetting_, &QAction::triggered, this, &TMainForm::DefaultSettingClick);

    QMenu* config = bar->addMenu(QStringLiteral("Config"));
    config->setObjectName(QStringLiteral("Config1"));
    COMPort1_ = addItem(config, "COMPort1", QStringLiteral("COM Port"));
    COMPort1_->setIcon(Icons::connect());
    connect(COMPort1_, &QAction::triggered, this, &TMainForm::COMPort1Click);
    LinkMonitor1_ = addItem(config, "LinkMonitor1", QStringLiteral("Link Monitor"));
    LinkMonitor1_->setEnabled(false);
    connect(LinkMonitor1_, &QAction::triggered, this, &TMainForm::LinkMonitor1Click);

    QMenu* output = bar->addMenu(QStringLiteral("Output"));
    output->setObjectName(QStringLiteral("Output1"));
    Timing1_ = addItem(output, "Timing1", QStringLiteral("Timing"));
    Timing1_->setIcon(Icons::timing());
    Pattern1_ = addItem(output, "Pattern1", QStringLiteral("Pattern"));
    Pattern1_->setIcon(Icons::pattern());
    connect(Timing1_, &QAction::triggered, this, &TMainForm::Timing1Click);
    connect(Pattern1_, &QAction::triggered, this, &TMainForm::Pattern1Click);
    output->addSeparator();
    TestPlan1_ = addItem(output, "TestPlan1", QStringLiteral("Test Plan..."));
    connect(TestPlan1_, &QAction::triggered, this, &TMainForm::TestPlan1Click);
    Results1_ = addItem(output, "Results1", QStringLiteral("Results..."));
    connect(Results1_, &QAction::triggered, this, &TMainForm::Results1Click);

    QMenu* edid = bar->addMenu(QStringLiteral("EDID"));
    edid->setObjectName(QStringLiteral("EDID1"));
    EDID_READ_ = addItem(edid, "EDID_READ", QStringLiteral("Read EDID"));
    WRITE_EDID_ = addItem(edid, "WRITE_EDID", QStringLiteral("Upload EDID"));
    WriteEDID1_ = addItem(edid, "WriteEDID1", QStringLiteral("Write EDID"));
    EDID_Memorys_ = addItem(edid, "EDID_Memorys", QStringLiteral("Memory"));
    EDID_Inspect_ = addItem(edid, "EDID_Inspect", QStringLiteral("Inspect..."));
    connect(EDID_READ_, &QAction::triggered, this, &TMainForm::EDID_READClick);
    connect(WRITE_EDID_, &QAction::triggered, this, &TMainForm::WRITE_EDIDClick);
    connect(WriteEDID1_, &QAction::triggered, this, &TMainForm::WriteEDID1Click);
    connect(EDID_Memorys_, &QAction::triggered, this, &TMainForm::EDID_MemorysClick);
    connect(EDID_Inspect_, &QAction::triggered, this, &TMainForm::EDID_InspectClick);
    EDID_Production_ = addItem(edid, "EDID_Production", QStringLiteral("Production..."));
    connect(EDID_Production_, &QAction::triggered, this, &TMainForm::EDID_ProductionClick);

    WindowMenu_ = bar->addMenu(QStringLiteral("&Window"));
    WindowMenu_->setObjectName(QStringLiteral("Window1"));
    WindowCascadeItem_ = addItem(WindowMenu_, "WindowCascadeItem", QStringLiteral("&Cascade"));
    WindowTileItem_ = addItem(WindowMenu_, "WindowTileItem", QStringLiteral("Tile &Horizontally"));
    WindowTileItem2_ = addItem(WindowMenu_, "WindowTileItem2", QStringLiteral("Tile &Vertically"));
    windowListSeparator_ = WindowMenu_->addSeparator();
    windowListSeparator_->setVisible(false);
    connect(WindowCascadeItem_, &QAction::triggered, this, &TMainForm::WindowCascadeItemClick);
    connect(WindowTileItem_, &QAction::triggered, this, &TMainForm::WindowTileItemClick);
    connect(WindowTileItem2_, &QAction::triggered, this, &TMainForm::WindowTileItem2Click);
    connect(WindowMenu_, &QMenu::aboutToShow, this, &TMainForm::rebuildWindowList);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    HelpAbout1_ = addItem(help, "HelpAbout1", QStringLiteral("&About..."));
    connect(HelpAbout1_, &QAction::triggered, this, &TMainForm::HelpAbout1Execute);
}

void TMainForm::createToolBar() {
    ToolBar2_ = new QToolBar(QStringLiteral("ToolBar2"), this);
    ToolBar2_->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2_->setAccessibleName(QStringLiteral("Toolbar"));
    ToolBar2_->setFixedHeight(ToolBarHeight);
    ToolBar2_->setMovable(false);
    ToolBar2_->setFloatable(false);
    ToolBar2_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar2_->setIconSize(QSize(16, 16));
    addToolBar(Qt::TopToolBarArea, ToolBar2_);

    struct Button {
        QAction*& action;
        const char* name;
        QString caption;
        QString hint;
        QIcon icon;
        void (TMainForm::*handler)();
    };
    const Button buttons[] = {
        {ConnectButton_, "ConnectButton", QStringLiteral("Connect"),
         QStringLiteral("Connect: open a COM port"), Icons::connect(),
         &TMainForm::ConnectButtonClick},
        {DisConnectButton_, "DisConnectButton", QStringLiteral("Disconnect"),
         QStringLiteral("Disconnect: close the COM port"), Icons::disconnect(),
         &TMainForm::DisConnectButtonClick},
        {Timing_Run_, "Timing_Run", QStringLiteral("Timing"),
         QStringLiteral("Open the Timing window"), Icons::timing(), &TMainForm::Timing_RunClick},
        {Pattern_Run_, "Pattern_Run", QStringLiteral("Pattern"),
         QStringLiteral("Open the Pattern window"), Icons::pattern(), &TMainForm::Pattern_RunClick},
    };
    for (const Button& b : buttons) {
        b.action = ToolBar2_->addAction(b.icon, b.caption);
        b.action->setObjectName(QLatin1String(b.name));
        b.action->setToolTip(b.hint);
        connect(b.action, &QAction::triggered, this, b.handler);
        if (QWidget* w = ToolBar2_->widgetForAction(b.action)) {
            w->setObjectName(QLatin1String(b.name));
            w->setAccessibleName(b.caption);
            w->setAccessibleDescription(b.hint);
        }
    }
}

void TMainForm::createStatusBar() {
    StatusBar1_ = new TStatusBar(this);
    StatusBar1_->setPanelWidths(250, 450, 100);
    setStatusBar(StatusBar1_);
}

// ---- LinkView ------------------------------------------------------------------------------

void TMainForm::showMessage(const QString& text, const QString& detail) {
    // A completed read has just put the generator's EDID into the image; whoever shows it
    // hears of it before the box waits for the operator.
    if (text == QLatin1String(commandRow(Command::Redid).successMessage))
        emit edidChanged();
    QWidget* owner = boxOwner_;
    if (!owner)
        // Over whatever modal window is up (the port dialog, an upload dialog), else the frame.
        owner = QApplication::activeModalWidget();
    lastBoxOwner_ = owner ? owner : this;
    if (messageHook_) {
        messageHook_(text, detail);
        return;
    }
    QMessageBox box(lastBoxOwner_);
    box.setWindowTitle(QStringLiteral("ORVE-1"));
    box.setText(text);
    // Informative text rather than details: details would add a second button.
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool TMainForm::confirm(const QString& text, const QString& detail, const QString& acceptText) {
    return confirm(text, detail, acceptText, QStringLiteral("Cancel"));
}

bool TMainForm::confirm(const QString& text, const QString& detail, const QString& acceptText,
                        const QString& cancelText) {
    QWidget* owner = boxOwner_ ? boxOwner_ : QApplication::activeModalWidget();
    lastBoxOwner_ = owner ? owner : this;
    if (confirmHook_)
        return confirmHook_(text, detail, acceptText);
    QMessageBox box(lastBoxOwner_);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(QStringLiteral("ORVE-1"));
    box.setText(text);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    QPushButton* accept = box.addButton(acceptText, QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(cancelText, QMessageBox::RejectRole);
    // A hurried Return or Escape must not do what was asked about.
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == accept;
}

namespace {

// After a box of a non-modal window: that window in front and its field ready for typing.
void giveFocusBack(QWidget* owner, QWidget* focusAfter) {
    if (!focusAfter)
        return;
    if (owner && owner->isVisible()) {
        owner->raise();
        owner->activateWindow();
    }
    focusAfter->setFocus(Qt::OtherFocusReason);
}

}  // namespace

void TMainForm::showMessageIn(QWidget* owner, const QString& text, const QString& detail,
                              QWidget* focusAfter) {
    QWidget* const before = boxOwner_;
    boxOwner_ = owner;
    showMessage(text, detail);
    boxOwner_ = before;
    giveFocusBack(owner, focusAfter);
}

bool TMainForm::confirmIn(QWidget* owner, const QString& text, const QString& detail,
                          const QString& acceptText, QWidget* focusAfter,
                          const QString& cancelText) {
    QWidget* const before = boxOwner_;
    boxOwner_ = owner;
    const bool accepted = confirm(text, detail, acceptText,
                                  cancelText.isEmpty() ? QStringLiteral("Cancel") : cancelText);
    boxOwner_ = before;
    giveFocusBack(owner, focusAfter);
    return accepted;
}

void TMainForm::showDevicePresent() {
    ConnectButton_->setEnabled(false);
    DisConnectButton_->setEnabled(true);
    TStatusPanel& presence = StatusBar1_->panel(PresencePanel);
    presence.setPanelStyle(TStatusPanel::Style::Text);
    StatusBar1_->OnDrawPanel = nullptr;
    StatusBar1_->repaintPanels();
    presence.setPanelText(ExistText);
    refreshShownTexts();
}

void TMainForm::showDeviceAbsent() {
    ConnectButton_->setEnabled(true);
    DisConnectButton_->setEnabled(false);
    StatusBar1_->panel(PresencePanel).setPanelStyle(TStatusPanel::Style::OwnerDraw);
    StatusBar1_->OnDrawPanel = [this](TStatusBar& bar, TStatusPanel& panel, QPainter& painter,
                                      const QRect& rect) {
        StatusBar1DrawPanel(bar, panel, painter, rect);
    };
    StatusBar1_->repaintPanels();
    refreshShownTexts();
}

void TMainForm::setGauge(int percent) {
    ProgressGauge_->setProgress(percent);
}

void TMainForm::clearLog() {
    Memo1_->clear();
}

void TMainForm::appendLog(const QByteArray& bytes) {
    // Chunks split replies anywhere, so they are joined without line breaks of their own.
    QTextCursor cursor(Memo1_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(logText(bytes));
}

QString TMainForm::logText(const QByteArray& bytes) {
    return LinkTrace::text(bytes, true);
}

void TMainForm::setPanel0OwnerDrawn() {
    StatusBar1_->panel(0).setPanelStyle(TStatusPanel::Style::OwnerDraw);
    StatusBar1_->OnDrawPanel = [this](TStatusBar& bar, TStatusPanel& panel, QPainter& painter,
                                      const QRect& rect) {
        StatusBar1DrawPanel(bar, panel, painter, rect);
    };
    StatusBar1_->repaintPanels();
    refreshShownTexts();
}

void TMainForm::processEventsOnce() {
    QCoreApplication::processEvents();
}

// ---- Status bar ----------------------------------------------------------------------------

TMainForm::PanelLook TMainForm::ownerDrawLook(const TStatusPanel& panel) const {
    if (panel.index() == PresencePanel)
        return {QColor(255, 0, 0), Qt::white, NotExistText};
    return {palette().color(QPalette::Button), Qt::black, panel.panelText()};
}

void TMainForm::StatusBar1DrawPanel(TStatusBar&, TStatusPanel& panel, QPainter& painter,
                                    const QRect& rect) {
    const PanelLook look = ownerDrawLook(panel);
    painter.fillRect(rect, look.brush);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(look.font);
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, look.text);
}

void TMainForm::refreshShownTexts() {
    for (int i = 0; i < TStatusBar::PanelCount; ++i) {
        TStatusPanel& panel = StatusBar1_->panel(i);
        QString shown = panel.panelText();
        if (panel.panelStyle() == TStatusPanel::Style::OwnerDraw)
            shown = StatusBar1_->OnDrawPanel ? ownerDrawLook(panel).text : QString();
        panel.setShownText(shown);
    }
}

QString TMainForm::presenceText() const {
    return StatusBar1_->panel(PresencePanel).text();
}

// ---- Menus and toolbar ---------------------------------------------------------------------

void TMainForm::showModal(QDialog* dialog) {
    if (dialog)
        dialog->exec();
}

QFileDialog* TMainForm::fileDialog(FileDialogKind kind) {
    const bool open = kind == FileDialogKind::Open;
    QFileDialog*& dialog = open ? OpenDialog1_ : SaveDialog1_;
    if (dialog)
        return dialog;
    dialog = new QFileDialog(this, open ? QStringLiteral("Open") : QStringLiteral("Save As"));
    dialog->setObjectName(open ? QStringLiteral("OpenDialog1") : QStringLiteral("SaveDialog1"));
    // The same dialog on every desktop, and one that screen readers and tests can drive.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    // The filter list shows "Binary Files" and "All Files", without the patterns.
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setNameFilters((open ? OpenFilter : SaveFilter).split(QStringLiteral(";;")));
    if (open) {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
    } else {
        // An existing file is replaced without a question, as the operator chose it.
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
    }
    return dialog;
}

QString TMainForm::chooseFile(FileDialogKind kind) {
    const QString filter = kind == FileDialogKind::Open ? OpenFilter : SaveFilter;
    if (fileDialogHook_)
        return fileDialogHook_(kind, filter);
    QFileDialog* dialog = fileDialog(kind);
    if (dialog->exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog->selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

bool TMainForm::loadEdidFile(const QString& path) {
    QString error;
    if (!EdidImageFile::load(path, engine_.edid(), error)) {
        showMessage(OpenFileErrorText, error);
        return false;
    }
    emit edidChanged();
    return true;
}

bool TMainForm::importEdidText(const QString& text) {
    QByteArray bytes;
    QString error;
    if (!EdidText::parse(text, bytes, error)) {
        showMessage(error, QStringLiteral("The EDID image is unchanged."));
        return false;
    }
    EdidImage& image = engine_.edid();
    std::copy_n(bytes.constBegin(), std::min<qsizetype>(bytes.size(), qsizetype(image.size())),
                image.begin());
    emit edidChanged();
    return true;
}

bool TMainForm::saveEdidFile(const QString& path) {
    QString error;
    if (!EdidImageFile::save(path, engine_.edid(), error)) {
        showMessage(OpenFileErrorText, error);
        return false;
    }
    return true;
}

void TMainForm::FileOpenItemClick() {
    const QString path = chooseFile(FileDialogKind::Open);
    if (!path.isEmpty())
        loadEdidFile(path);
}

void TMainForm::FileSaveAsItemClick() {
    const QString path = chooseFile(FileDialogKind::Save);
    if (!path.isEmpty())
        saveEdidFile(path);
}

void TMainForm::FileImportItemClick() {
    showModal(forms().EDID_Import ? forms().EDID_Import() : nullptr);
}

void TMainForm::FileExit1Execute() {
    close();
}

void TMainForm::Timing2Click() {
    showModal(forms().Timings);
}

void TMainForm::Pattern2Click() {
    showModal(forms().Patterns);
}

void TMainForm::Program1Click() {
    showModal(forms().Programmer_Form);
}

void TMainForm::DefaultSettingClick() {
    // Refused silently unless the port is open, the generator present and nothing outstanding.
    engine_.startCommand(Command::Dfset);
}

void TMainForm::COMPort1Click() {
    showModal(forms().COM_PORT_SETTING_FORM);
}

void TMainForm::LinkMonitor1Click() {
    // Non-modal: the operator watches the line while working in the other windows.
    if (TLinkMonitor* monitor = forms().LinkMonitor ? forms().LinkMonitor() : nullptr)
        monitor->showMonitor();
}

void TMainForm::Timing1Click() {
    // Nothing happens while a timing window is open, not even bringing it to the front.
    TTiming::Open(engine_, forms().Timing_List, mdiArea_);
}

void TMainForm::Pattern1Click() {
    TPatternForm::Open(engine_, *this, forms().Pattern_List);
}

void TMainForm::TestPlan1Click() {
    QWidget* plan = forms().TestPlan ? forms().TestPlan() : nullptr;
    if (!plan)
        return;
    plan->show();
    plan->raise();
    plan->activateWindow();
}

void TMainForm::Results1Click() {
    QWidget* results = forms().Results ? forms().Results() : nullptr;
    if (!results)
        return;
    results->show();
    results->raise();
    results->activateWindow();
}

void TMainForm::EDID_READClick() {
    engine_.startCommand(Command::Redid);
}

void TMainForm::WRITE_EDIDClick() {
    // Refused silently unless the port is open, the generator present and nothing outstanding;
    // only an upload that could start is asked about.
    if (!engine_.mayStart())
        return;
    // Uploaded and then written, an image nobody put there (all zeros after start-up) would
    // replace the generator's EDID.
    const EdidImage& image = engine_.edid();
    const QString problem = EdidHeader::problem(image);
    if (!problem.isEmpty()) {
        QString detail = problem.left(1).toUpper() + problem.mid(1) + QLatin1Char('.');
        if (EdidHeader::allZero(image))
            detail += QStringLiteral(
                " So is the image at start-up, before an EDID is opened, read or entered.");
        detail += QStringLiteral(" Uploaded and then written, it replaces the generator's EDID.");
        if (!confirm(UploadQuestionText, detail, QStringLiteral("Upload")))
            return;
    }
    engine_.startCommand(Command::Uedid);
}

void TMainForm::WriteEDID1Click() {
    engine_.startCommand(Command::Wedid);
}

void TMainForm::EDID_MemorysClick() {
    if (forms().EDID_Block && forms().EDID_Block->exec() == QDialog::Accepted)
        emit edidChanged();
}

void TMainForm::EDID_InspectClick() {
    QWidget* inspector = forms().EDID_Examiner ? forms().EDID_Examiner() : nullptr;
    if (!inspector)
        return;
    inspector->show();
    inspector->raise();
    inspector->activateWindow();
}

void TMainForm::EDID_ProductionClick() {
    QWidget* production = forms().EDID_Production ? forms().EDID_Production() : nullptr;
    if (!production)
        return;
    production->show();
    production->raise();
    production->activateWindow();
}

void TMainForm::WindowCascadeItemClick() {
    mdiArea_->cascadeSubWindows();
}

void TMainForm::WindowTileItemClick() {
    tileMode_ = TileMode::Horizontal;
    tile();
}

void TMainForm::WindowTileItem2Click() {
    tileMode_ = TileMode::Vertical;
    tile();
}

void TMainForm::HelpAbout1Execute() {
    showModal(forms().AboutBox);
}

void TMainForm::ConnectButtonClick() {
    COMPort1Click();
}

void TMainForm::DisConnectButtonClick() {
    engine_.disconnectPort();
}

void TMainForm::Timing_RunClick() {
    Timing1Click();
}

void TMainForm::Pattern_RunClick() {
    Pattern1Click();
}

void TMainForm::Timer1Timer() {
    engine_.supervisionTick();
}

void TMainForm::Timer2Timer() {
    engine_.receivePoll();
}

// ---- Child windows -------------------------------------------------------------------------

// Horizontal tiling stacks the windows one above the other, each as wide as the client area;
// vertical tiling sets them side by side, each as high as the client area.
void TMainForm::tile() {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* w : mdiArea_->subWindowList()) {
        if (w->isVisible() && !w->isMinimized())
            windows << w;
    }
    if (windows.isEmpty())
        return;
    const QRect area = mdiArea_->viewport()->rect();
    const int n = static_cast<int>(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = windows[i];
        if (w->isMaximized())
            w->showNormal();
        QRect r;
        if (tileMode_ == TileMode::Horizontal) {
            const int h = area.height() / n;
            const int top = area.top() + i * h;
            r = QRect(area.left(), top, area.width(), i == n - 1 ? area.bottom() + 1 - top : h);
        } else {
            const int wd = area.width() / n;
            const int left = area.left() + i * wd;
            r = QRect(left, area.top(), i == n - 1 ? area.right() + 1 - left : wd, area.height());
        }
        w->setGeometry(r);
    }
}

void TMainForm::rebuildWindowList() {
    // Drop the list of the previous showing: everything after the separator.
    const QList<QAction*> actions = WindowMenu_->actions();
    const qsizetype sep = actions.indexOf(windowListSeparator_);
    for (qsizetype i = sep + 1; i < actions.size(); ++i) {
        WindowMenu_->removeAction(actions[i]);
        actions[i]->deleteLater();
    }
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList();
    windowListSeparator_->setVisible(!windows.isEmpty());
    int number = 1;
    for (QMdiSubWindow* w : windows) {
        QString caption = w->windowTitle();
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* item = WindowMenu_->addAction(
            number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(caption) : caption);
        item->setCheckable(true);
        item->setChecked(w == mdiArea_->activeSubWindow());
        connect(item, &QAction::triggered, this, [this, w] {
            if (mdiArea_->subWindowList().contains(w))
                mdiArea_->setActiveSubWindow(w);
        });
        ++number;
    }
}

// ---- Closing -------------------------------------------------------------------------------

void TMainForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
    emit formClosed();
}

void TMainForm::FormClose() {
    // Whatever the state of the link, including a port that was never opened (port 0).
    engine_.closePort();
}
