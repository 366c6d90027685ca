#pragma once

#include <QColor>
#include <QWidget>
#include <functional>

#include "production/GoldenEdid.h"
#include "production/IdentityRecipe.h"
#include "production/ProductionRun.h"

class LinkEngine;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QTreeWidget;
class TMainForm;

// EDID > Production...: programs one unit after another from a golden EDID. The operator scans
// (or types) each unit's serial into the Serial field and presses Enter; the unit's EDID is
// patched, uploaded, written, read back and compared, each stage shown in the stage list and
// the gauge, the result shown big, and every attempt logged. The program's own EDID image is
// not touched. Non-modal; made on first use and only hidden when closed.
class TEDID_Production : public QWidget {
    Q_OBJECT
public:
    static const QString Caption;
    static const QColor PassColor;
    static const QColor FailColor;
    static constexpr int FormWidth = 660;
    static constexpr int FormHeight = 820;
    // Shows a file dialog; the chosen path, or empty on cancel. Tests replace it.
    using FileDialogHook =
        std::function<QString(bool save, const QString& title, const QString& filter)>;

    TEDID_Production(LinkEngine& engine, TMainForm& main, QWidget* parent = nullptr);

    void setFileDialogHook(FileDialogHook hook) { fileDialogHook_ = std::move(hook); }
    // False, after a message, when the file does not hold a sound EDID (the golden in use
    // stays).
    bool openGolden(const QString& path);
    // False, after a message, when a log cannot be written there.
    bool chooseLog(const QString& path);
    // How each unit's identity is made, as the controls say.
    IdentityRecipe recipe() const;
    ProductionRun& run() { return run_; }
    // Production stopped because a log line could not be written.
    bool stopped() const { return stopped_; }

    void GoldenOpenClick();
    void LogChooseClick();
    // Enter in the Serial field: programs the unit with that serial.
    void ProgramClick();

    QLabel* GoldenFile() const { return GoldenFile_; }
    QPlainTextEdit* GoldenSummary() const { return GoldenSummary_; }
    QRadioButton* NumberDigits() const { return NumberDigits_; }
    QRadioButton* NumberCount() const { return NumberCount_; }
    QRadioButton* NumberGolden() const { return NumberGolden_; }
    QLineEdit* NextNumber() const { return NextNumber_; }
    QRadioButton* DateToday() const { return DateToday_; }
    QRadioButton* DateGolden() const { return DateGolden_; }
    QLabel* LogFile() const { return LogFile_; }
    QLineEdit* SerialEdit() const { return SerialEdit_; }
    QTreeWidget* StageList() const { return StageList_; }
    QProgressBar* StageGauge() const { return StageGauge_; }
    QLabel* ResultLabel() const { return ResultLabel_; }
    QLabel* ReasonLabel() const { return ReasonLabel_; }
    QLabel* CountLabel() const { return CountLabel_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString chooseFile(bool save, const QString& title, const QString& filter);
    // False, after a message, when the unit should not be programmed now.
    bool readyFor(const QString& serial);
    void stageStarted(ProductionRun::Stage stage);
    void stageEnded(ProductionRun::Stage stage, bool ok, const QString& text);
    void unitFinished();
    void showGauge();
    void showDateChoice();
    void setResult(const QString& big, const QColor& colour, const QString& reason);

    LinkEngine& engine_;
    TMainForm& main_;
    ProductionRun run_;
    GoldenEdid golden_;
    QString logPath_;
    QString serial_;  // of the unit being programmed
    bool stopped_ = false;
    int passed_ = 0;
    int failed_ = 0;
    FileDialogHook fileDialogHook_;

    QLabel* GoldenFile_;
    QPlainTextEdit* GoldenSummary_;
    QRadioButton* NumberDigits_;
    QRadioButton* NumberCount_;
    QRadioButton* NumberGolden_;
    QLineEdit* NextNumber_;
    QRadioButton* DateToday_;
    QRadioButton* DateGolden_;
    QLabel* LogFile_;
    QLineEdit* SerialEdit_;
    QPushButton* ProgramButton_;
    QTreeWidget* StageList_;
    QProgressBar* StageGauge_;
    QLabel* ResultLabel_;
    QLabel* ReasonLabel_;
    QLabel* CountLabel_;
    QTimer* gaugeTimer_;
};
