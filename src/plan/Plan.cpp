#include "plan/Plan.h"

#include "pattern/PatternTable.h"
#include "timing/TimingTable.h"

QString PlanStep::modeText() const {
    if (mode == Mode::Judge)
        return QStringLiteral("judge");
    return QString::number(showTime) +
           (unit == Unit::Minutes ? QLatin1Char('m') : QLatin1Char('s'));
}

int Plan::timingAt(int k) const {
    for (int i = k; i >= 0; --i)
        if (steps[i].timing != PlanStep::Same)
            return steps[i].timing;
    return -1;
}

int Plan::patternAt(int k) const {
    for (int i = k; i >= 0; --i)
        if (steps[i].pattern != PlanStep::Same)
            return steps[i].pattern;
    return -1;
}

bool Plan::allTimed() const {
    for (const PlanStep& s : steps)
        if (s.mode != PlanStep::Mode::Timed)
            return false;
    return true;
}

QString Plan::problem() const {
    if (name.trimmed().isEmpty())
        return QStringLiteral("the plan has no name");
    if (steps.isEmpty())
        return QStringLiteral("the plan has no steps");
    if (steps.size() > MaxSteps)
        return QStringLiteral("the plan has more than %1 steps").arg(MaxSteps);
    for (int k = 0; k < steps.size(); ++k) {
        const PlanStep& s = steps[k];
        const QString where = QStringLiteral("step %1: ").arg(k + 1);
        if (s.timing != PlanStep::Same && (s.timing < 0 || s.timing >= TimingCount))
            return where + QStringLiteral("no such timing");
        if (s.pattern != PlanStep::Same && (s.pattern < 0 || s.pattern >= PatternCount))
            return where + QStringLiteral("no such pattern");
        if (timingAt(k) < 0)
            return where + QStringLiteral("\"same\" timing, but no step before it names one");
        if (patternAt(k) < 0)
            return where + QStringLiteral("\"same\" pattern, but no step before it names one");
        if (s.mode == PlanStep::Mode::Timed &&
            (s.showTime < PlanStep::MinShowTime || s.showTime > PlanStep::MaxShowTime))
            return where + QStringLiteral("the show time must be %1..%2")
                               .arg(PlanStep::MinShowTime)
                               .arg(PlanStep::MaxShowTime);
        if (s.mode == PlanStep::Mode::Judge && s.instruction.trimmed().isEmpty())
            return where + QStringLiteral("a judged step needs an instruction for the operator");
    }
    return QString();
}

QString Plan::programmeProblem() const {
    const QString p = problem();
    if (!p.isEmpty())
        return p;
    if (steps.size() > ProgramTable::StepCount)
        return QStringLiteral("the generator's programme holds at most %1 steps; the plan has %2")
            .arg(ProgramTable::StepCount)
            .arg(steps.size());
    for (int k = 0; k < steps.size(); ++k)
        if (steps[k].mode != PlanStep::Mode::Timed)
            return QStringLiteral("step %1: only timed steps can run on the generator by itself")
                .arg(k + 1);
    return QString();
}

ProgramTable Plan::programme() const {
    ProgramTable t;
    for (int k = 0; k < steps.size() && k < ProgramTable::StepCount; ++k) {
        t.timing[k] = quint8(timingAt(k));
        t.pattern[k] = quint8(patternAt(k));
        t.unit[k] = steps[k].unit == PlanStep::Unit::Minutes ? 1 : 0;
        t.showTime[k] = steps[k].showTime;
    }
    return t;
}

Plan Plan::repeated(int n) const {
    Plan p = *this;
    for (int r = 1; r < n; ++r) p.steps += steps;
    return p;
}

QString Plan::timingText(int index) {
    if (index < 0 || index >= TimingCount)
        return QString();
    return QStringLiteral("%1 %2").arg(index + 1).arg(QLatin1String(TimingTable[index].Name));
}

QString Plan::patternText(int index) {
    if (index < 0 || index >= PatternCount)
        return QString();
    return QStringLiteral("%1 %2").arg(index + 1).arg(QLatin1String(PatternTable[index].Name));
}
