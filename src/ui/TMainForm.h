#pragma once

#include <QColor>
#include <QMainWindow>
#include <QPointer>
#include <functional>

#include "link/LinkView.h"

class LinkEngine;
class QAction;
class QDialog;
class QFileDialog;
class QMdiArea;
class QMenu;
class QPainter;
class QPlainTextEdit;
class QTimer;
class QToolBar;
class TAboutBox;
class TCGauge;
class TCOM_PORT_SETTING_FORM;
class TLinkMonitor;
class TPattern_List;
class TStatusBar;
class TStatusPanel;
class TTiming_List;

// The frame window: MDI client area, menus, toolbar, status bar with the presence panel and
// the progress gauge, the hidden reply log and the two timers that drive the link.
class TMainForm : public QMainWindow, public LinkView {
    Q_OBJECT
public:
    // Shows a modal box with one OK button; tests replace it so that nothing blocks.
    using MessageHook = std::function<void(const QString& text, const QString& detail)>;
    // Asks a question in a modal box with an accepting button and "Cancel"; true when accepted.
    using ConfirmHook =
        std::function<bool(const QString& text, const QString& detail, const QString& acceptText)>;
    enum class FileDialogKind { Open, Save };
    // Shows OpenDialog1 or SaveDialog1 with its filter; the chosen path, or empty on cancel.
    using FileDialogHook = std::function<QString(FileDialogKind kind, const QString& filter)>;

    // The windows that the menus show; they are created after this one.
    struct Forms {
        TAboutBox* AboutBox = nullptr;
        TCOM_PORT_SETTING_FORM* COM_PORT_SETTING_FORM = nullptr;
        TTiming_List* Timing_List = nullptr;
        QDialog* Timings = nullptr;
        QDialog* Patterns = nullptr;
        TPattern_List* Pattern_List = nullptr;
        QDialog* Programmer_Form = nullptr;
        QDialog* EDID_Block = nullptr;
        // Made on first use; without a tap there is no Link Monitor and its entry is disabled.
        std::function<TLinkMonitor*()> LinkMonitor;
        std::function<QDialog*()> EDID_Import;
        std::function<QWidget*()> EDID_Examiner;
        // Output > Test Plan...: makes the window on first use (start-up stays fast).
        std::function<QWidget*()> TestPlan;
        // Makes (on first use) and returns the production window.
        std::function<QWidget*()> EDID_Production;
        // Output > Results...: made on first use.
        std::function<QWidget*()> Results;
    };

    enum class TileMode { Horizontal, Vertical };

    static constexpr int FormLeft = 100;
    static constexpr int FormTop = 45;
    static constexpr int FormWidth = 900;
    static constexpr int FormHeight = 694;
    static constexpr int ToolBarHeight = 30;
    static const QColor ClientColor;
    static const QString ExistText;
    static const QString NotExistText;
    // The file dialogs' filters, in Qt's notation; the dialogs show the names only.
    static const QString OpenFilter;
    static const QString SaveFilter;
    static const QString OpenFileErrorText;
    static const QString UploadQuestionText;

    explicit TMainForm(LinkEngine& engine, QWidget* parent = nullptr);
    ~TMainForm() override;

    void setForms(const Forms& forms);
    // Station mode: the generator changes only through the test plan, so every entry that would
    // change it otherwise is disabled (Edit, Output > Timing and Pattern and their buttons, the
    // EDID menu's read, upload, write and production). Connect and Disconnect stay, for the
    // cable, and so do the entries that only show or keep things.
    void setStationMode();
    // Makes the windows the menus show when they are not made yet (set while start-up ends
    // after the main window is on screen).
    std::function<void()> needForms;
    // An empty hook restores the real message box.
    void setMessageHook(MessageHook hook) { messageHook_ = std::move(hook); }
    // Empty hooks restore the real boxes and dialogs.
    void setConfirmHook(ConfirmHook hook) { confirmHook_ = std::move(hook); }
    void setFileDialogHook(FileDialogHook hook) { fileDialogHook_ = std::move(hook); }
    bool confirm(const QString& text, const QString& detail, const QString& acceptText);
    // ... with another text than "Cancel" on the button that refuses (the default button).
    bool confirm(const QString& text, const QString& detail, const QString& acceptText,
                 const QString& cancelText);
    // The same boxes raised by a window of their own (the Test Plan and Production windows,
    // which are not modal): the box is owned by that window, so that it opens over it and the
    // window keeps the front when it closes, and the focus goes back to focusAfter (the window's
    // Serial field) at once, ready for the next scan. The hooks answer them as they answer the
    // others.
    void showMessageIn(QWidget* owner, const QString& text, const QString& detail = QString(),
                       QWidget* focusAfter = nullptr);
    bool confirmIn(QWidget* owner, const QString& text, const QString& detail,
                   const QString& acceptText, QWidget* focusAfter = nullptr,
                   const QString& cancelText = QString());
    // The window that owned the last box shown or asked (this window for its own boxes).
    QWidget* lastBoxOwner() const { return lastBoxOwner_; }

    // The two EDID file operations after their dialogs; "Open file error" when they fail.
    bool loadEdidFile(const QString& path);
    bool saveEdidFile(const QString& path);
    // File > Import EDID Text: the EDID in text into the image as a file opens (up to 256
    // bytes from byte 0, the rest kept). False, after one message saying what the text holds,
    // with the image unchanged, when it holds no single EDID.
    bool importEdidText(const QString& text);

    // LinkView
    void showMessage(const QString& text, const QString& detail = QString()) override;
    void showDevicePresent() override;
    void showDeviceAbsent() override;
    void setGauge(int percent) override;
    void clearLog() override;
    void appendLog(const QByteArray& bytes) override;
    void setPanel0OwnerDrawn() override;
    void processEventsOnce() override;

    // How the reply log shows received bytes: printable ASCII and line feeds as they are,
    // everything else as \xNN.
    static QString logText(const QByteArray& bytes);

    QMdiArea* mdiArea() const { return mdiArea_; }
    TStatusBar* StatusBar1() const { return StatusBar1_; }
    TCGauge* ProgressGauge() const { return ProgressGauge_; }
    QPlainTextEdit* Memo1() const { return Memo1_; }
    QToolBar* ToolBar2() const { return ToolBar2_; }
    QAction* ConnectButton() const { return ConnectButton_; }
    QAction* DisConnectButton() const { return DisConnectButton_; }
    QAction* Timing_Run() const { return Timing_Run_; }
    QAction* Pattern_Run() const { return Pattern_Run_; }
    QTimer* Timer1() const { return Timer1_; }
    QTimer* Timer2() const { return Timer2_; }
    QMenu* WindowMenu() const { return WindowMenu_; }
    TileMode tileMode() const { return tileMode_; }
    // The text that the presence panel shows now.
    QString presenceText() const;

    // Owner drawing of status panels.
    void StatusBar1DrawPanel(TStatusBar& bar, TStatusPanel& panel, QPainter& painter,
                             const QRect& rect);

signals:
    // The window has closed; the program ends with it.
    void formClosed();
    // The EDID image may hold other bytes: a file opened, a text imported, the editor's OK, a
    // read completed.
    void edidChanged();

public slots:
    void FileOpenItemClick();
    void FileSaveAsItemClick();
    void FileImportItemClick();
    void FileExit1Execute();
    void Timing2Click();
    void Pattern2Click();
    void Program1Click();
    void DefaultSettingClick();
    void COMPort1Click();
    void LinkMonitor1Click();
    void Timing1Click();
    void Pattern1Click();
    void TestPlan1Click();
    void Results1Click();
    void EDID_READClick();
    void WRITE_EDIDClick();
    void WriteEDID1Click();
    void EDID_MemorysClick();
    void EDID_InspectClick();
    void EDID_ProductionClick();
    void WindowCascadeItemClick();
    void WindowTileItemClick();
    void WindowTileItem2Click();
    void HelpAbout1Execute();
    void ConnectButtonClick();
    void DisConnectButtonClick();
    void Timing_RunClick();
    void Pattern_RunClick();
    void Timer1Timer();
    void Timer2Timer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct PanelLook {
        QColor brush;
        QColor font;
        QString text;
    };

    void FormCreate();
    void FormClose();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void rebuildWindowList();
    void tile();
    // Brush, font colour and text of an owner-drawn panel.
    PanelLook ownerDrawLook(const TStatusPanel& panel) const;
    // Keeps the panels' accessible names equal to what they show.
    void refreshShownTexts();
    static void showModal(QDialog* dialog);
    QString chooseFile(FileDialogKind kind);
    QFileDialog* fileDialog(FileDialogKind kind);

    LinkEngine& engine_;
    Forms forms_;
    // forms_, made first when they are not yet.
    const Forms& forms();
    MessageHook messageHook_;
    ConfirmHook confirmHook_;
    QPointer<QWidget> lastBoxOwner_;
    // Owner of the box about to be shown; null: whatever modal window is up, else this one.
    QWidget* boxOwner_ = nullptr;
    FileDialogHook fileDialogHook_;
    TileMode tileMode_ = TileMode::Horizontal;

    QMdiArea* mdiArea_;
    TStatusBar* StatusBar1_ = nullptr;
    TCGauge* ProgressGauge_ = nullptr;
    QPlainTextEdit* Memo1_;
    QToolBar* ToolBar2_ = nullptr;
    QTimer* Timer1_;
    QTimer* Timer2_;

    QAction* FileOpenItem_ = nullptr;
    QAction* FileSaveAsItem_ = nullptr;
    QAction* FileImportItem_ = nullptr;
    QAction* FileExit1_ = nullptr;
    QAction* Timing2_ = nullptr;
    QAction* Pattern2_ = nullptr;
    QAction* Program1_ = nullptr;
    QAction* DefaultSetting_ = nullptr;
    QAction* COMPort1_ = nullptr;
    QAction* LinkMonitor1_ = nullptr;
    QAction* Timing1_ = nullptr;
    QAction* Pattern1_ = nullptr;
    QAction* TestPlan1_ = nullptr;
    QAction* Results1_ = nullptr;
    QAction* EDID_READ_ = nullptr;
    QAction* WRITE_EDID_ = nullptr;
    QAction* WriteEDID1_ = nullptr;
    QAction* EDID_Memorys_ = nullptr;
    QAction* EDID_Inspect_ = nullptr;
    QAction* EDID_Production_ = nullptr;
    QAction* WindowCascadeItem_ = nullptr;
    QAction* WindowTileItem_ = nullptr;
    QAction* WindowTileItem2_ = nullptr;
    QAction* HelpAbout1_ = nullptr;
    QMenu* WindowMenu_ = nullptr;
    QMenu* EditMenu_ = nullptr;
    // Made on first use and kept, so that each reopens in the folder used last.
    QFileDialog* OpenDialog1_ = nullptr;
    QFileDialog* SaveDialog1_ = nullptr;
    QAction* windowListSeparator_ = nullptr;

    QAction* ConnectButton_ = nullptr;
    QAction* DisConnectButton_ = nullptr;
    QAction* Timing_Run_ = nullptr;
    QAction* Pattern_Run_ = nullptr;
};
