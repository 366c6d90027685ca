#pragma once

#include <QByteArray>
#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>

#include "link/SteadyClock.h"
#include "plan/Plan.h"

class LinkEngine;
class PlanRunner;
class QComboBox;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTimer;
class QWidget;
class TStringGrid;

// Output > Test Plan...: a test plan edited step by step (Plan tab) and run on one unit after
// another (Run tab), each run leaving its report. Non-modal, made on first use and only hidden
// when closed; closing it during a run stops the run, and the report says so.
class TPlanForm : public QDialog {
    Q_OBJECT
public:
    static const QString Caption;
    static constexpr int FormWidth = 900;
    static constexpr int FormHeight = 660;
    static constexpr int TitlePx = 22;
    static constexpr int InstructionPx = 34;
    static constexpr int VerdictPx = 72;

    explicit TPlanForm(LinkEngine& engine, QWidget* parent = nullptr);
    ~TPlanForm() override;

    const Plan& plan() const { return plan_; }
    PlanRunner& runner() const { return *runner_; }
    // Loads a plan file; false, after a message that names the line that is wrong, with the
    // plan shown before kept.
    bool loadFile(const QString& path);
    bool saveFile(const QString& path);
    // Appends one judged step a built-in timing that the EDID file at path declares, each with
    // the pattern chosen beside "Steps from EDID...". False, after a message saying why, when
    // the file cannot be read or declares none; the plan is then unchanged.
    bool addStepsFromEdid(const QString& path);
    // Chooses the EDID file for "Steps from EDID..."; tests replace it. Empty: cancelled.
    std::function<QString()> chooseEdidFile;

    QTabWidget* Tabs() const { return Tabs_; }
    TStringGrid* StepGrid() const { return StepGrid_; }
    QLineEdit* PlanName() const { return PlanName_; }
    QLabel* PlanProblem() const { return PlanProblem_; }
    QLineEdit* Serial() const { return Serial_; }
    QLineEdit* OperatorName() const { return Operator_; }
    QLineEdit* ReportFolder() const { return ReportFolder_; }
    QPushButton* StartButton() const { return StartButton_; }
    QLabel* StepTitle() const { return StepTitle_; }
    QLabel* StepNames() const { return StepNames_; }
    QLabel* Instruction() const { return Instruction_; }
    QLabel* RunStatus() const { return RunStatus_; }
    QPushButton* PassButton() const { return PassButton_; }
    QPushButton* FailButton() const { return FailButton_; }
    QPushButton* BackButton() const { return BackButton_; }
    QPushButton* StopButton() const { return StopButton_; }
    QLineEdit* FailNote() const { return FailNote_; }
    QLabel* VerdictLabel() const { return Verdict_; }
    QLabel* VerdictDetail() const { return VerdictDetail_; }

public slots:
    void LoadButtonClick();
    void SaveButtonClick();
    void UploadButtonClick();
    void AddButtonClick();
    void RemoveButtonClick();
    void UpButtonClick();
    void DownButtonClick();
    void StepsFromEdidClick();
    void ChooseFolderClick();
    void StartButtonClick();
    void PassButtonClick();
    void FailButtonClick();
    void FailNoteReturn();
    void BackButtonClick();
    void StopButtonClick();
    // The main window is closing: a run in progress ends, and its report is written.
    void mainClosing();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* makePlanTab();
    QWidget* makeRunTab();
    void showPlan();
    void showStepRow(int k);
    void selectStep(int k);
    void showStepEditor();
    void stepEdited();
    void planEdited();
    void StepGridDrawCell(QPainter& painter, int col, int row, const QRect& rect);
    void showRun();
    void runFinished();
    void closeNote();
    // Asks before Stop ends a run; true to stop.
    bool askStop();
    void setShown(QLabel* label, const QString& text);
    void greyInstruction(bool grey);
    void heldKeyTimeout();
    void message(const QString& text, const QString& detail = QString());

    LinkEngine& engine_;
    SteadyClock clock_;
    std::unique_ptr<PlanRunner> runner_;
    Plan plan_;
    int current_ = 0;        // the step the editor shows
    bool showing_ = false;   // the editor is being filled, not edited
    QString planFile_;       // the file the plan was loaded from or saved to
    QByteArray planBytes_;   // that file's bytes
    bool modified_ = false;  // changed since loaded or saved
    QString lastDir_;
    QTimer* pollTimer_;
    QTimer* keyHold_;
    int heldKey_ = 0;
    QElapsedTimer sinceKey_;

    QTabWidget* Tabs_;
    QLineEdit* PlanName_ = nullptr;
    QLineEdit* PlanFolder_ = nullptr;
    QPushButton* LoadButton_ = nullptr;
    QPushButton* SaveButton_ = nullptr;
    QPushButton* UploadButton_ = nullptr;
    TStringGrid* StepGrid_ = nullptr;
    QComboBox* TimingBox_ = nullptr;
    QComboBox* PatternBox_ = nullptr;
    QComboBox* ModeBox_ = nullptr;
    QSpinBox* ShowTime_ = nullptr;
    QComboBox* UnitBox_ = nullptr;
    QLineEdit* StepInstruction_ = nullptr;
    QPushButton* AddButton_ = nullptr;
    QPushButton* RemoveButton_ = nullptr;
    QPushButton* UpButton_ = nullptr;
    QPushButton* DownButton_ = nullptr;
    QPushButton* StepsFromEdid_ = nullptr;
    QComboBox* EdidPatternBox_ = nullptr;
    QLabel* PlanProblem_ = nullptr;

    QLineEdit* Serial_ = nullptr;
    QLineEdit* Operator_ = nullptr;
    QLineEdit* ReportFolder_ = nullptr;
    QPushButton* ChooseFolder_ = nullptr;
    QPushButton* StartButton_ = nullptr;
    QLabel* StepTitle_ = nullptr;
    QLabel* StepNames_ = nullptr;
    QLabel* Instruction_ = nullptr;
    QLabel* RunStatus_ = nullptr;
    QPushButton* PassButton_ = nullptr;
    QPushButton* FailButton_ = nullptr;
    QPushButton* BackButton_ = nullptr;
    QPushButton* StopButton_ = nullptr;
    QWidget* NoteRow_ = nullptr;
    QLineEdit* FailNote_ = nullptr;
    QLabel* Verdict_ = nullptr;
    QLabel* VerdictDetail_ = nullptr;
};
