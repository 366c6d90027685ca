#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include "programme/ProgramTable.h"

// One step of a test plan: what the generator shows, and what the operator does with it.
struct PlanStep {
    static constexpr int Same = -1;  // timing or pattern: keep the one of the step before
    enum class Mode { Judge, Timed };
    enum class Unit { Seconds, Minutes };
    static constexpr int MinShowTime = 1;
    static constexpr int MaxShowTime = 59;

    int timing = 0;   // index 0..34, or Same
    int pattern = 0;  // index 0..38, or Same
    Mode mode = Mode::Judge;
    int showTime = 5;  // 1..59 in unit; timed steps only
    Unit unit = Unit::Seconds;
    QString instruction;  // what the operator is told; free text
    int line = 0;         // line of the plan file it came from (0: made in the window)

    qint64 showMs() const { return qint64(showTime) * (unit == Unit::Minutes ? 60000 : 1000); }
    // "judge", "5s", "2m": the mode as the plan file writes it.
    QString modeText() const;
    bool operator==(const PlanStep& o) const {
        return timing == o.timing && pattern == o.pattern && mode == o.mode &&
               showTime == o.showTime && unit == o.unit && instruction == o.instruction;
    }
};

// A test plan: a name and the steps shown one after the other.
struct Plan {
    static constexpr int MaxSteps = 500;

    QString name;
    QString reportFolder;  // where reports go unless the operator says otherwise; may be empty
    QList<PlanStep> steps;

    // The timing and pattern index that step k shows, "same" resolved; -1 when nothing
    // before it names one.
    int timingAt(int k) const;
    int patternAt(int k) const;
    bool allTimed() const;
    // "" when the plan can run; else what is wrong, starting with "step N: " where a step is.
    QString problem() const;
    // "" when the plan can be uploaded as the generator's auto-run programme; else why not.
    QString programmeProblem() const;
    // The steps as the programme editor holds them (call only when programmeProblem is "").
    ProgramTable programme() const;
    // The plan run n times over, as one run (orve1ctl plan --repeat).
    Plan repeated(int n) const;
    // "10 1024x768-60", "13 Color Bar": a timing or pattern index as the operator knows it.
    static QString timingText(int index);
    static QString patternText(int index);

    bool operator==(const Plan& o) const {
        return name == o.name && reportFolder == o.reportFolder && steps == o.steps;
    }
    bool operator!=(const Plan& o) const { return !(*this == o); }
};
