#pragma once

#include <QColor>
#include <QWidget>
#include <functional>
#include <optional>

#include "production/GoldenEdid.h"
#include "production/IdentityRecipe.h"
#include "production/ProductionRun.h"
#include "results/ResultsStation.h"

class ElidedLabel;
class LinkEngine;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class ResultsLinkRow;
class QTreeWidget;
class TMainForm;

// EDID > Production...: programs one unit after another from a golden EDID. The operator scans
// (or types) each unit's serial into the Serial field and presses Enter; the unit's EDID is
// patched, uploaded, written, read back and compared, each stage shown in the stage list and
// the gauge, the result shown big, and every attempt logged. The program's own EDID image is
// not touched. A serial scanned while a unit is programmed is kept for the next one, never
// started by itself. Non-modal, so its boxes are its own; made on first use and only hidden
// when closed.
class TEDID_Production : public QWidget {
    Q_OBJECT
public:
    static const QString Caption;
    static const QColor PassColor;
    static const QColor FailColor;
    // Fits a 1366 x 768 or 1280 x 800 line-side screen, frame included, above a taskbar.
    static constexpr int FormWidth = 900;
    static constexpr int ScreenHeight = 768;
    static constexpr int TaskbarMargin = 48;
    static constexpr int FormHeight = ScreenHeight - TaskbarMargin;
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
    // Enter in the Serial field: programs the unit with that serial; while a unit is being
    // programmed, keeps the serial for the next one.
    void ProgramClick();
    // Stops the unit while it uploads: nothing is written, and it is logged as STOPPED.
    void StopClick();

    ElidedLabel* GoldenFile() const { return GoldenFile_; }
    QPlainTextEdit* GoldenSummary() const { return GoldenSummary_; }
    QRadioButton* NumberDigits() const { return NumberDigits_; }
    QRadioButton* NumberCount() const { return NumberCount_; }
    QRadioButton* NumberGolden() const { return NumberGolden_; }
    QRadioButton* NumberZero() const { return NumberZero_; }
    QLineEdit* NextNumber() const { return NextNumber_; }
    QLabel* NextNumberNote() const { return NextNumberNote_; }
    QRadioButton* DateToday() const { return DateToday_; }
    QRadioButton* DateGolden() const { return DateGolden_; }
    ElidedLabel* LogFile() const { return LogFile_; }
    QLineEdit* SerialEdit() const { return SerialEdit_; }
    QLineEdit* SerialFormatEdit() const { return SerialFormat_; }
    QLabel* NextLabel() const { return NextLabel_; }
    QPushButton* StopButton() const { return StopButton_; }
    QTreeWidget* StageList() const { return StageList_; }
    QProgressBar* StageGauge() const { return StageGauge_; }
    QLabel* ResultLabel() const { return ResultLabel_; }
    ElidedLabel* ReasonLabel() const { return ReasonLabel_; }
    QLabel* CountLabel() const { return CountLabel_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString chooseFile(bool save, const QString& title, const QString& filter);
    // The window's own boxes: over it, and the focus back in Serial after them.
    void tell(const QString& text, const QString& detail = QString());
    // The counts of the window and of this station's day, from the results store.
    void showCounts();
    // False, after a message, when the unit should not be programmed now.
    bool readyFor(const QString& serial);
    // False, after the question, when the log holds the serial or its serial number and the
    // operator does not want it programmed again.
    bool newToTheLog(const QString& serial);
    // The serial number the unit with this serial would get where it is its own (from the
    // digits or counted); none where every unit shares it.
    std::optional<quint32> ownNumber(const QString& serial) const;
    // Counting up goes on after the highest serial number in the log.
    void countOnFromLog(std::optional<quint32> highest);
    void clearUnit();
    void stageStarted(ProductionRun::Stage stage);
    void stageEnded(ProductionRun::Stage stage, bool ok, const QString& text);
    void unitFinished();
    void showGauge();
    void showDateChoice();
    // The Serial format field in the fail colour, with what is wrong, while it is unusable.
    void showSerialFormat();
    void setResult(const QString& big, const QColor& colour, const QString& reason);

    LinkEngine& engine_;
    TMainForm& main_;
    ProductionRun run_;
    ResultsStation station_;
    ResultsLinkRow* ResultsLink_ = nullptr;
    GoldenEdid golden_;
    QString logPath_;
    QString serial_;  // of the unit being programmed
    QString next_;    // scanned while it was: the next unit's
    std::optional<quint32> highestInLog_;
    bool stopped_ = false;
    int passed_ = 0;
    int failed_ = 0;
    int stoppedUnits_ = 0;
    FileDialogHook fileDialogHook_;

    ElidedLabel* GoldenFile_;
    QPlainTextEdit* GoldenSummary_;
    QRadioButton* NumberDigits_;
    QRadioButton* NumberCount_;
    QRadioButton* NumberZero_;
    QRadioButton* NumberGolden_;
    QLineEdit* NextNumber_;
    QLabel* NextNumberNote_;
    QRadioButton* DateToday_;
    QRadioButton* DateGolden_;
    ElidedLabel* LogFile_;
    QLineEdit* SerialEdit_;
    QLineEdit* SerialFormat_;
    QLabel* NextLabel_;
    QPushButton* ProgramButton_;
    QPushButton* StopButton_;
    QTreeWidget* StageList_;
    QProgressBar* StageGauge_;
    QLabel* ResultLabel_;
    ElidedLabel* ReasonLabel_;
    QLabel* CountLabel_;
    QTimer* gaugeTimer_;
};
