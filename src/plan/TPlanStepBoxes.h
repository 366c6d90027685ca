#pragma once

#include <QWidget>

#include "plan/Plan.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The boxes under the Plan tab's grid that edit the step it has selected: timing, pattern, mode,
// show time and instruction, or for an edid step its golden file and identity choices.
class TPlanStepBoxes : public QWidget {
    Q_OBJECT
public:
    explicit TPlanStepBoxes(QWidget* parent = nullptr);

    // Fills the boxes with step, saying nothing of it as an edit.
    void show(const PlanStep& step);
    // What the boxes say, into step (its line and what they do not edit kept).
    void readInto(PlanStep& step) const;
    // any: a step is selected; edit: it may be changed; mode: the selected step's.
    void setEditable(bool any, bool edit, PlanStep::Mode mode);
    // Station mode: the texts are shown, never typed in.
    void setReadOnly(bool readOnly);
    void setGolden(const QString& path);
    void focusInstruction();

    QLineEdit* GoldenFile() const { return GoldenFile_; }

signals:
    // The operator changed a box.
    void edited();
    // The golden file's Browse... was pressed.
    void goldenBrowseClicked();

private:
    bool showing_ = false;
    QComboBox* TimingBox_;
    QComboBox* PatternBox_;
    QComboBox* ModeBox_;
    QSpinBox* ShowTime_;
    QComboBox* UnitBox_;
    QLineEdit* StepInstruction_;
    QLabel* ShowTimeCaption_;
    QLabel* InstructionCaption_;
    QWidget* EdidDetails_;
    QLineEdit* GoldenFile_;
    QPushButton* GoldenBrowse_;
    QComboBox* SerialTextBox_;
    QComboBox* SerialNumberBox_;
    QComboBox* DateBox_;
};
