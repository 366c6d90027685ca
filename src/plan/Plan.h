#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "production/IdentityRecipe.h"
#include "programme/ProgramTable.h"

// One step of a test plan: what the generator shows, and what the operator does with it.
struct PlanStep {
    static constexpr int Same = -1;  // timing or pattern: the one of the step before
    static constexpr int Keep = -2;  // timing or pattern: nothing sent, the generator keeps it
    // Judge: the operator passes or fails the step; Timed: shown for its time; Edid: the unit's
    // EDID programmed from a golden file (timing and pattern Keep, no instruction).
    enum class Mode { Judge, Timed, Edid };
    enum class Unit { Seconds, Minutes };
    // An edid step's identity for the unit; the first of each is the default.
    enum class SerialText { Scan, Golden };            // the scanned serial, or the golden's
    enum class SerialNumber { Digits, Golden, Zero };  // the scan's digits, the golden's, 0
    enum class Date { Week, Golden };                  // this week, or the golden's
    static constexpr int MinShowTime = 1;
    static constexpr int MaxShowTime = 59;

    int timing = 0;   // index 0..34, Same or Keep
    int pattern = 0;  // index 0..38, Same or Keep
    Mode mode = Mode::Judge;
    int showTime = 5;  // 1..59 in unit; timed steps only
    Unit unit = Unit::Seconds;
    QString instruction;  // what the operator is told; free text
    int line = 0;         // line of the plan file it came from (0: made in the window)
    // Edid steps only.
    QString golden;  // the golden EDID file as written: relative to the plan's folder, or not
    SerialText serialText = SerialText::Scan;
    SerialNumber serialNumber = SerialNumber::Digits;
    Date date = Date::Week;

    qint64 showMs() const { return qint64(showTime) * (unit == Unit::Minutes ? 60000 : 1000); }
    // "judge", "5s", "2m", "edid": the mode as the plan file writes it.
    QString modeText() const;
    // The edid step's identity choices as EDID > Production makes them; the unit's scanned serial
    // goes to IdentityRecipe::apply (for its text, its digits, or both).
    IdentityRecipe recipe() const;
    // The golden file: as written when absolute, else in planFolder.
    QString goldenPath(const QString& planFolder) const;
    // "EDID golden.bin: text from the scan, number from its digits, date of this week".
    QString edidText() const;
    bool operator==(const PlanStep& o) const {
        return timing == o.timing && pattern == o.pattern && mode == o.mode &&
               showTime == o.showTime && unit == o.unit && instruction == o.instruction &&
               golden == o.golden && serialText == o.serialText && serialNumber == o.serialNumber &&
               date == o.date;
    }
};

// A test plan: a name, what the line around it needs to know, and the steps shown one after
// the other.
struct Plan {
    static constexpr int MaxSteps = 500;
    // A digit key picks each defect code.
    static constexpr int MaxDefects = 9;
    static constexpr int MaxPort = 8;
    // What a run does after a failed edid step.
    enum class OnFail { Stop, Continue };

    QString name;
    QString reportFolder;  // where reports go unless the operator says otherwise; may be empty
    QStringList defects;   // the codes a failed step is given, at most 9; may be empty
    QString serialFormat;  // the serials the plan accepts (SerialFormat); empty: any
    OnFail onFail = OnFail::Stop;
    QString results;  // where the run's results database is (a path or URL), as written
    int port = 0;     // the generator's COM port in station mode, 1..8; 0: not given
    QList<PlanStep> steps;

    // The timing and pattern index the generator shows at step k: the nearest step up to k
    // that names one (same and - resolved); -1 when none does.
    int timingAt(int k) const;
    int patternAt(int k) const;
    // What step k sends: the index, or -1 for nothing (a - step).
    int timingToSend(int k) const;
    int patternToSend(int k) const;
    // Step k's timing and pattern as a report shows them: "10 1024x768-60"; a - step's as
    // "as shown", with what that is when an earlier step named it.
    QString timingShown(int k) const;
    QString patternShown(int k) const;
    // No step waits for the operator: every one is timed or an edid step (orve1ctl --auto).
    bool needsNoVerdict() const;
    // "" when the plan can run; else what is wrong, starting with "step N: " where a step is.
    // The golden files of edid steps are checked where the plan's folder is known
    // (PlanFile::goldenProblem).
    QString problem() const;
    // "" when the serial is one this plan accepts, else "'pHX-103' is not a serial of this plan".
    QString serialProblem(const QString& serial) const;
    // A fail note as orve1ctl reads it: "2", "2 banding at the left" (a number 1..N of the
    // defects, then a blank or the end) picks defect 2; anything else is all note.
    void pickDefect(const QString& line, QString& defect, QString& note) const;
    // "" when the plan can be uploaded as the generator's auto-run programme; else why not.
    QString programmeProblem() const;
    // The steps as the programme editor holds them (call only when programmeProblem is "").
    ProgramTable programme() const;
    // The plan run n times over, as one run (orve1ctl plan --repeat).
    Plan repeated(int n) const;
    // "10 1024x768-60", "13 Color Bar": a timing or pattern index as the operator knows it.
    static QString timingText(int index);
    static QString patternText(int index);
    // A defects: line's list: split at commas, each trimmed (empty ones kept, for defectsProblem).
    static QStringList splitDefects(const QString& text);
    // "" when the list can be the plan's defects, else what is wrong.
    static QString defectsProblem(const QStringList& defects);

    bool operator==(const Plan& o) const {
        return name == o.name && reportFolder == o.reportFolder && defects == o.defects &&
               serialFormat == o.serialFormat && onFail == o.onFail && results == o.results &&
               port == o.port && steps == o.steps;
    }
    bool operator!=(const Plan& o) const { return !(*this == o); }
};
