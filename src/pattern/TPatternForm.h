#pragma once

#include <QString>

#include "ui/TMdiChildForm.h"
#include "ui/TUpDown.h"

class LinkEngine;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TMainForm;
class TPattern_List;
class TSimpleComboBox;

// The child window in which the operator picks a pattern by its number and makes the
// generator output it. At most one exists; it is found among the frame's children by its
// caption and freed when closed.
class TPatternForm : public TMdiChildForm {
    Q_OBJECT
public:
    static constexpr int FormWidth = 693;
    static constexpr int FormHeight = 520;
    static const QString Caption;

    // Output > Pattern: opens the window unless one is open (which is then left as it is, not
    // even brought to the front). Returns the new window, or nullptr when one was open.
    static TPatternForm* Open(LinkEngine& engine, TMainForm& mainForm, TPattern_List* list);

    QGroupBox* GroupBox1() const { return GroupBox1_; }
    QLabel* Label1() const { return Label1_; }
    TSimpleComboBox* PatternComboBox3() const { return PatternComboBox3_; }
    TUpDown* UpDown1() const { return UpDown1_; }
    QLineEdit* PatternIndexName() const { return PatternIndexName_; }
    QPushButton* ShowButton1() const { return ShowButton1_; }
    QPushButton* Run_Pattern() const { return Run_Pattern_; }

    // Shows the number and name of a pattern; touches neither the number box's item nor the
    // selected pattern.
    void ShowPatternRow(quint8 index);

    void PatternComboBox3Change();
    void PatternComboBox3Click();
    void PatternComboBox3KeyDown(int key);
    void UpDown1ChangingEx(TUpDown::Direction direction);
    void ShowButton1Click();
    void Run_PatternClick();

protected:
    void FormActivate() override;

private:
    TPatternForm(LinkEngine& engine, TMainForm& mainForm, TPattern_List* list);
    void FormCreate();
    // What a change of the number box's item does, typed or chosen.
    void followNumberBox();
    // The selected pattern as the number box's text names it.
    void takeIndexFromText();

    LinkEngine& engine_;
    TMainForm& mainForm_;
    TPattern_List* list_;

    QGroupBox* GroupBox1_;
    QLabel* Label1_;
    TSimpleComboBox* PatternComboBox3_;
    TUpDown* UpDown1_;
    QLineEdit* PatternIndexName_;
    QPushButton* ShowButton1_;
    QPushButton* Run_Pattern_;
};
