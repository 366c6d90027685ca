#pragma once

#include <QDialog>
#include <QString>

#include "programme/ProgramTable.h"
#include "ui/TFormDialog.h"

class LinkEngine;
class QComboBox;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QTimer;
class TStringGrid;

// Edits the generator's automatic run programme of up to 32 steps and uploads it. Each opening
// starts with an empty programme; the four combo boxes write into the step last chosen with the
// mouse. Load... and Save... keep programmes in the text format that orve1ctl reads too.
class TProgrammer_Form : public TFormDialog {
    Q_OBJECT
public:
    static constexpr int FormWidth = 661;
    static constexpr int FormHeight = 414;
    static constexpr int StepRows = ProgramTable::StepCount;
    static constexpr int AtrnDataBytes = 130;  // count, 128 step bytes, checksum
    // Cell texts of a step after the editor is shown and after Delete.
    static const QString ShownBlank;
    static const QString DeletedBlank;

    explicit TProgrammer_Form(LinkEngine& engine, QWidget* parent = nullptr);

    QComboBox* PCBox1() const { return PCBox1_; }
    QComboBox* PCBox2() const { return PCBox2_; }
    QComboBox* PCBox3() const { return PCBox3_; }
    QComboBox* PCBox4() const { return PCBox4_; }
    TStringGrid* StringGrid5() const { return StringGrid5_; }
    QLabel* Label5() const { return Label5_; }
    QPushButton* Button1() const { return Button1_; }
    QPushButton* LoadButton() const { return LoadButton_; }
    QPushButton* SaveButton() const { return SaveButton_; }
    QLineEdit* ProgramSummary() const { return ProgramSummary_; }

    const ProgramTable& programTable() const { return ProgramTable_; }
    int currentStepRow() const { return CurrentStepRow; }
    int legalStepCount() const { return LegalStepCount; }

    // The work of Load... and Save... after their file dialogs. On failure the operator gets
    // one message naming the file and what is wrong, and the editor is left as it was.
    bool loadFile(const QString& path);
    bool saveFile(const QString& path);
    // Clears the editor as on opening, then shows table's steps from row 1.
    void loadTable(const ProgramTable& table);

public slots:
    void PCBox1Change();
    void PCBox2Change();
    void PCBox3Change();
    void PCBox4Change();
    void Button1Click();
    void LoadButtonClick();
    void SaveButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitNote();
    void FormCreate();
    void FormShow();
    void StringGrid5MouseDown(Qt::MouseButton button, bool doubleClick);
    void StringGrid5DrawCell(QPainter& painter, int col, int row, const QRect& rect);
    void StringGrid5KeyDown(int key);

    QComboBox* makeBox(const char* name, const QRect& geometry);
    // The item that the box's text names, or -1 when the text names none.
    static int selectedItem(const QComboBox* box);
    // The editor's usual clearing: empty steps, blank cells, row 1 current.
    void clearProgramme();
    void showStepCells(int step);
    void refreshSummary();
    void showMessage(const QString& text);
    void clearReplyLog();
    // Load... and Save... open modal file dialogs. Opened from inside an upload's event
    // yields they would hold its remaining bytes back, so they wait until the link is idle.
    void refreshFileButtons();

    LinkEngine& engine_;
    ProgramTable ProgramTable_;
    int CurrentStepRow = 1;
    int LegalStepCount = 0;
    QString lastDir_;
    bool noteFitted_ = false;  // the note measured and fitted, on the first showing

    QComboBox* PCBox1_ = nullptr;
    QComboBox* PCBox2_ = nullptr;
    QComboBox* PCBox3_ = nullptr;
    QComboBox* PCBox4_ = nullptr;
    TStringGrid* StringGrid5_ = nullptr;
    QLabel* Label5_ = nullptr;
    QPushButton* Button1_ = nullptr;
    QPushButton* LoadButton_ = nullptr;
    QPushButton* SaveButton_ = nullptr;
    QLineEdit* ProgramSummary_ = nullptr;
    QTimer* busyWatch_ = nullptr;
};
