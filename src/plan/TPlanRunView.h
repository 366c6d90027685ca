#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "link/SteadyClock.h"
#include "results/ResultsStation.h"

class LinkEngine;
class PlanRunner;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class ResultsLinkRow;
class TPlanEditor;

// The Test Plan window's Run tab: the unit's serial scanned or typed, the plan run on it one
// step at a time with the operator's verdicts from the keyboard (P, F, B) or the buttons, and
// the unit's verdict shown big when the run ends, however it ends.
class TPlanRunView : public QWidget {
    Q_OBJECT
public:
    static constexpr int TitlePx = 22;
    static constexpr int InstructionPx = 34;
    static constexpr int VerdictPx = 72;

    // The plan comes from the editor, as it stands when a run starts.
    TPlanRunView(LinkEngine& engine, const TPlanEditor& editor, QWidget* parent = nullptr);
    ~TPlanRunView() override;

    PlanRunner& runner() const { return *runner_; }
    // Shows a message over the window, the focus back on focusAfter (set by the window).
    std::function<void(const QString& text, const QString& detail, QWidget* focusAfter)> message;
    // Asks a yes/no question over the window, "no" the default; true for yes.
    std::function<bool(const QString& text, const QString& yes, const QString& no,
                       QWidget* focusAfter)>
        confirm;
    // A run began or ended.
    std::function<void(bool running)> onRunning;
    // Ready for the next unit: the Serial field focused, what it holds selected.
    void focusSerial();
    // A plan file was loaded: the report folder it names, relative to its own folder (unless
    // station mode was given one).
    void planLoaded(const QString& path, const QString& planReports);
    // Station mode's fields: the report folder (empty: the plan's) and the operator.
    void setStation(const QString& reportFolder, const QString& operatorName);
    // The report folder the field names ("~/..." put back), and a folder shown in it.
    QString reportFolder() const;
    void setReportFolder(const QString& path);
    // The field a box raised now should give the focus back to.
    QWidget* focusAfterBox() const;

    QLineEdit* Serial() const { return Serial_; }
    QLineEdit* OperatorName() const { return Operator_; }
    QLineEdit* ReportFolder() const { return ReportFolder_; }
    QPushButton* StartButton() const { return StartButton_; }
    QLabel* TodayCounts() const { return Today_; }
    QLabel* EarlierRuns() const { return Earlier_; }
    ResultsStation& station() { return station_; }
    ResultsLinkRow* ResultsLink() const { return ResultsLink_; }
    QLabel* StepTitle() const { return StepTitle_; }
    QLabel* StepNames() const { return StepNames_; }
    QLabel* Instruction() const { return Instruction_; }
    QLabel* RunStatus() const { return RunStatus_; }
    QPushButton* PassButton() const { return PassButton_; }
    QPushButton* FailButton() const { return FailButton_; }
    QPushButton* BackButton() const { return BackButton_; }
    QPushButton* StopButton() const { return StopButton_; }
    QPushButton* RetryButton() const { return RetryButton_; }
    QLineEdit* FailNote() const { return FailNote_; }
    QListWidget* DefectList() const { return DefectList_; }
    QLabel* VerdictLabel() const { return Verdict_; }
    QLabel* VerdictDetail() const { return VerdictDetail_; }

public slots:
    void ChooseFolderClick();
    void StartButtonClick();
    void PassButtonClick();
    void FailButtonClick();
    void FailNoteReturn();
    void BackButtonClick();
    void StopButtonClick();
    void RetryButtonClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // A digit typed first into the note picks a defect code.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makeRunTab();
    void showRun();
    void runFinished();
    void closeNote();
    // The next unit waits: why, in the status line, and Serial ready for the next scan.
    void refuseSerial(const QString& why);
    void showIdle(const QString& title);
    // Asks before Stop ends a run; true to stop.
    bool askStop();
    void heldKeyTimeout();
    void setShown(QLabel* label, const QString& text);
    void greyInstruction(bool grey);
    void say(const QString& text, const QString& detail = QString());
    // Today's counts, and any run found interrupted, from the results store.
    void showStoreNews();
    void openStoreOf(const QString& folder);

    const TPlanEditor& editor_;
    SteadyClock clock_;
    ResultsStation station_;
    std::unique_ptr<PlanRunner> runner_;
    QTimer* pollTimer_;
    QTimer* keyHold_;
    int heldKey_ = 0;
    QElapsedTimer sinceKey_;
    bool wasRunning_ = false;
    QString stationReports_;  // station mode: the report folder given on the command line

    QLineEdit* Serial_ = nullptr;
    QLineEdit* Operator_ = nullptr;
    QLineEdit* ReportFolder_ = nullptr;
    QPushButton* ChooseFolder_ = nullptr;
    QPushButton* StartButton_ = nullptr;
    ResultsLinkRow* ResultsLink_ = nullptr;
    QLabel* Today_ = nullptr;
    QLabel* Earlier_ = nullptr;
    QLabel* StepTitle_ = nullptr;
    QLabel* StepNames_ = nullptr;
    QLabel* Instruction_ = nullptr;
    QLabel* RunStatus_ = nullptr;
    QPushButton* PassButton_ = nullptr;
    QPushButton* FailButton_ = nullptr;
    QPushButton* BackButton_ = nullptr;
    QPushButton* StopButton_ = nullptr;
    QPushButton* RetryButton_ = nullptr;
    QWidget* NoteRow_ = nullptr;
    QLineEdit* FailNote_ = nullptr;
    QListWidget* DefectList_ = nullptr;
    QLabel* NoteHint_ = nullptr;
    QLabel* Verdict_ = nullptr;
    QLabel* VerdictDetail_ = nullptr;
};
