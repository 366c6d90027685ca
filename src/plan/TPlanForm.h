#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "plan/Plan.h"
#include "plan/TPlanEditor.h"
#include "plan/TPlanRunView.h"

class LinkEngine;
class PlanRunner;
class QTabWidget;

// Output > Test Plan...: a test plan edited step by step (the Plan tab, TPlanEditor) and run on
// one unit after another (the Run tab, TPlanRunView), each run leaving its report. Non-modal,
// made on first use and only hidden when closed; closing it during a run stops the run, and the
// report says so. The boxes either tab raises are this window's own.
class TPlanForm : public QDialog {
    Q_OBJECT
public:
    static const QString Caption;
    static constexpr int FormWidth = 900;
    static constexpr int FormHeight = 660;

    explicit TPlanForm(LinkEngine& engine, QWidget* parent = nullptr);
    ~TPlanForm() override;

    TPlanEditor& editor() const { return *editor_; }
    TPlanRunView& runView() const { return *runView_; }
    const Plan& plan() const { return editor_->plan(); }
    PlanRunner& runner() const { return runView_->runner(); }
    // A plan is loaded to be run: the Run tab opens with Serial focused.
    bool loadFile(const QString& path) { return editor_->loadFile(path); }
    // Station mode (orve1 --station): the plan file at path on the Run tab, read-only on the
    // Plan tab, the report folder (empty: the plan's) and the operator filled in. False when
    // the plan has an error, which a message has shown with its line; nothing runs until a
    // reload succeeds.
    bool startStation(const QString& path, const QString& reportFolder,
                      const QString& operatorName);
    bool saveFile(const QString& path) { return editor_->saveFile(path); }
    bool addStepsFromEdid(const QString& path) { return editor_->addStepsFromEdid(path); }

    QTabWidget* Tabs() const { return Tabs_; }
    TStringGrid* StepGrid() const { return editor_->StepGrid(); }
    QLineEdit* PlanName() const { return editor_->PlanName(); }
    QLabel* PlanProblem() const { return editor_->PlanProblem(); }
    QLineEdit* Serial() const { return runView_->Serial(); }
    QLineEdit* OperatorName() const { return runView_->OperatorName(); }
    QLineEdit* ReportFolder() const { return runView_->ReportFolder(); }
    QPushButton* StartButton() const { return runView_->StartButton(); }
    QLabel* StepTitle() const { return runView_->StepTitle(); }
    QLabel* StepNames() const { return runView_->StepNames(); }
    QLabel* Instruction() const { return runView_->Instruction(); }
    QLabel* RunStatus() const { return runView_->RunStatus(); }
    QPushButton* PassButton() const { return runView_->PassButton(); }
    QPushButton* FailButton() const { return runView_->FailButton(); }
    QPushButton* BackButton() const { return runView_->BackButton(); }
    QPushButton* StopButton() const { return runView_->StopButton(); }
    QLineEdit* FailNote() const { return runView_->FailNote(); }
    QLabel* VerdictLabel() const { return runView_->VerdictLabel(); }
    QLabel* VerdictDetail() const { return runView_->VerdictDetail(); }
    QPushButton* ReloadButton() const { return editor_->ReloadButton(); }

public slots:
    // The main window is closing: a run in progress ends, and its report is written.
    void mainClosing();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void message(const QString& text, const QString& detail, QWidget* focusAfter);
    bool confirm(const QString& text, const QString& yes, const QString& no, QWidget* focusAfter);
    void showTitle();

    QTabWidget* Tabs_;
    TPlanEditor* editor_;
    TPlanRunView* runView_;
};
