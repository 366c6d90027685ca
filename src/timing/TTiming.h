#pragma once

#include "ui/TMdiChildForm.h"
#include "ui/TUpDown.h"

class LinkEngine;
class QLineEdit;
class QMdiArea;
class QPushButton;
class TSimpleComboBox;
class TTiming_List;

// The child window "Timing": one timing of the catalogue chosen by number, all its parameters
// with their durations, the list picker, and "Run Timing", which makes the generator output it.
//
// While the window exists, the number field, the shown parameters and SelectedTimingIndex
// always name the same timing, and that timing is always one of 1..35.
class TTiming : public TMdiChildForm {
    Q_OBJECT
public:
    static constexpr int FormLeft = 10;
    static constexpr int FormTop = 10;
    static constexpr int FormWidth = 820;
    static constexpr int FormHeight = 520;

    // list is the list picker that "Show List" shows (none: the button does nothing).
    TTiming(LinkEngine& engine, TTiming_List* list, QWidget* parent = nullptr);

    // Opens the window in the frame's client area showing timing 1, unless a window with the
    // caption "Timing" is already there (then nothing happens). Returns the window opened, or
    // nullptr.
    static TTiming* Open(LinkEngine& engine, TTiming_List* list, QMdiArea* area);

    // Writes every field from the table entry at index; touches neither the number list's
    // selection nor SelectedTimingIndex.
    void Display(int index);
    // The index of the timing the fields show.
    int shownIndex() const { return shownIndex_; }

    TSimpleComboBox* TimingComboBox1() const { return TimingComboBox1_; }
    TUpDown* UpDown1() const { return UpDown1_; }
    QPushButton* Button1() const { return Button1_; }
    QPushButton* Run_Timing() const { return Run_Timing_; }

    void TimingComboBox1Change();
    void TimingComboBox1KeyDown(int key);
    void UpDown1ChangingEx(TUpDown::Direction direction);
    void Button1Click();
    void Run_TimingClick();

protected:
    void FormActivate() override;

private:
    void FormCreate();
    // Text that names no timing gives way to the number of the shown timing again, so the
    // field never disagrees with the display once the operator has left it.
    void restoreShownNumber();
    void selectAndDisplay(int index);

    LinkEngine& engine_;
    TTiming_List* list_;
    int shownIndex_ = 0;

    TSimpleComboBox* TimingComboBox1_ = nullptr;
    TUpDown* UpDown1_ = nullptr;
    QLineEdit* TimingIndexName_ = nullptr;
    QPushButton* Button1_ = nullptr;
    QPushButton* Run_Timing_ = nullptr;
    // The rows of the two groups from the top (total, active, pulse delay, pulse width,
    // polarity, rate): the first field and the duration field (none for the last two).
    static constexpr int GroupRows = 6;
    QLineEdit* hCount_[GroupRows] = {};
    QLineEdit* hTime_[GroupRows] = {};
    QLineEdit* vCount_[GroupRows] = {};
    QLineEdit* vTime_[GroupRows] = {};
    QLineEdit* Timing_HPol_Edit_ = nullptr;
    QLineEdit* Timing_HRat_Edit_ = nullptr;
    QLineEdit* Timing_VPol_Edit_ = nullptr;
    QLineEdit* Timing_VRat_Edit_ = nullptr;
    QLineEdit* Timing_PClk_Edit_ = nullptr;
};
