#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <functional>

#include "plan/Plan.h"

class ElidedLabel;
class LinkEngine;
class QComboBox;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QSpinBox;
class TPlanStepBoxes;
class TStringGrid;
struct RunSetup;

// The Test Plan window's Plan tab: the plan edited step by step in a grid and the boxes under
// it, loaded from and saved to its text file, steps added from an EDID, and a plan of timed
// steps uploaded as the generator's programme. In station mode it only shows the plan as its
// file holds it, with the file's SHA-256, and re-reads it on "Reload plan".
class TPlanEditor : public QWidget {
    Q_OBJECT
public:
    explicit TPlanEditor(LinkEngine& engine, QWidget* parent = nullptr);

    const Plan& plan() const { return plan_; }
    // Loads a plan file; false, after a message that names the line that is wrong, with the
    // plan shown before kept.
    bool loadFile(const QString& path);
    bool saveFile(const QString& path);
    // Appends one judged step for each built-in timing that the EDID file at path declares,
    // each with the pattern chosen beside "Steps from EDID...". False, after a message saying
    // why, when the file cannot be read or declares none; the plan is then unchanged.
    bool addStepsFromEdid(const QString& path);
    // Chooses the EDID file for "Steps from EDID..."; tests replace it. Empty: cancelled.
    std::function<QString()> chooseEdidFile;
    // Chooses an edid step's golden EDID file (Browse...); tests replace it. Empty: cancelled.
    std::function<QString()> chooseGoldenFile;
    // Shows a message over the window (set by the window).
    std::function<void(const QString& text, const QString& detail)> message;
    // Where the plan of a run comes from, for its report: the file and its digest and bytes, or
    // the plan as it would be saved now when it was made or changed in the window.
    void describeForRun(RunSetup& setup) const;
    // A run holds the plan: nothing replaces or uploads it meanwhile.
    void setRunning(bool running);
    // Station mode from now on: the plan file at path loaded (after a message naming the line
    // that is wrong, when it has an error) and shown read-only. False when it has an error.
    bool startStation(const QString& path);
    bool station() const { return station_; }
    // Station mode: reads the plan file again ("Reload plan"); false, after a message with the
    // line that is wrong, when it now has an error, and nothing runs until a reload succeeds.
    bool reloadFile();
    // Why the next unit must not start; empty when it may. In station mode: a plan that could not
    // be loaded, or a file changed on disk since it was loaded (detail: both digests). Always: an
    // edid step's golden EDID that cannot be used.
    QString runRefusal(QString& detail) const;
    // The folder the plan's relative paths start from: its file's, else the current one.
    QString planFolder() const;
    // The file the plan was loaded from or saved to; empty for one made in the window.
    QString planFile() const { return planFile_; }

    TStringGrid* StepGrid() const { return StepGrid_; }
    QLineEdit* PlanName() const { return PlanName_; }
    QLabel* PlanProblem() const { return PlanProblem_; }
    QLineEdit* Defects() const { return Defects_; }
    QLineEdit* SerialFormat() const { return SerialFormat_; }
    QLineEdit* GoldenFile() const;
    QPushButton* ReloadButton() const { return ReloadButton_; }
    QLabel* StationDigest() const { return StationDigest_; }

signals:
    // A plan file was loaded: path is its absolute path.
    void loaded(const QString& path);

public slots:
    void LoadButtonClick();
    void SaveButtonClick();
    void UploadButtonClick();
    void AddButtonClick();
    void RemoveButtonClick();
    void UpButtonClick();
    void DownButtonClick();
    void StepsFromEdidClick();
    void GoldenBrowseClick();

private:
    void makePlanTab();
    void showPlan();
    void showStepRow(int k);
    void selectStep(int k);
    void showStepEditor();
    void stepEdited();
    void planEdited();
    // What stops the plan from running, golden files included; empty when nothing does.
    QString problem() const;
    // The edit controls follow the step's mode and station mode.
    void enableEditing();
    void showStation();
    void StepGridDrawCell(QPainter& painter, int col, int row, const QRect& rect);

    LinkEngine& engine_;
    Plan plan_;
    int current_ = 0;        // the step the editor shows
    bool showing_ = false;   // the editor is being filled, not edited
    QString planFile_;       // the file the plan was loaded from or saved to
    QByteArray planBytes_;   // that file's bytes
    bool modified_ = false;  // changed since loaded or saved
    QString lastDir_;
    bool station_ = false;
    QString stationError_;  // station mode: why the plan file could not be loaded

    QLineEdit* PlanName_ = nullptr;
    QLineEdit* PlanFolder_ = nullptr;
    QPushButton* LoadButton_ = nullptr;
    QPushButton* SaveButton_ = nullptr;
    QPushButton* UploadButton_ = nullptr;
    TStringGrid* StepGrid_ = nullptr;
    QLineEdit* Defects_ = nullptr;
    QLineEdit* SerialFormat_ = nullptr;
    QWidget* StationRow_ = nullptr;
    ElidedLabel* StationFile_ = nullptr;
    QLabel* StationDigest_ = nullptr;
    QPushButton* ReloadButton_ = nullptr;
    QPushButton* AddButton_ = nullptr;
    QPushButton* RemoveButton_ = nullptr;
    QPushButton* UpButton_ = nullptr;
    QPushButton* DownButton_ = nullptr;
    QPushButton* StepsFromEdid_ = nullptr;
    QComboBox* EdidPatternBox_ = nullptr;
    TPlanStepBoxes* Boxes_ = nullptr;
    QLabel* PlanProblem_ = nullptr;
};
