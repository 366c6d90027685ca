#include "plan/Plan.h"

#include <QDir>
#include <QRegularExpression>

#include "pattern/PatternTable.h"
#include "production/SerialFormat.h"
#include "timing/TimingTable.h"

QString PlanStep::modeText() const {
    if (mode == Mode::Judge)
        return QStringLiteral("judge");
    if (mode == Mode::Edid)
        return QStringLiteral("edid");
    return QString::number(showTime) +
           (unit == Unit::Minutes ? QLatin1Char('m') : QLatin1Char('s'));
}

IdentityRecipe PlanStep::recipe() const {
    IdentityRecipe r;
    r.keepSerialText = serialText == SerialText::Golden;
    r.number = serialNumber == SerialNumber::Digits   ? IdentityRecipe::Number::Digits
               : serialNumber == SerialNumber::Golden ? IdentityRecipe::Number::Golden
                                                      : IdentityRecipe::Number::Given;
    r.givenNumber = 0;
    r.date = date == Date::Week ? IdentityRecipe::Date::Today : IdentityRecipe::Date::Golden;
    return r;
}

QString PlanStep::goldenPath(const QString& planFolder) const {
    return QDir::cleanPath(QDir(planFolder).absoluteFilePath(golden));
}

QString PlanStep::edidText() const {
    return QStringLiteral("EDID %1: text %2, number %3, date %4")
        .arg(golden,
             serialText == SerialText::Scan ? QStringLiteral("from the scan")
                                            : QStringLiteral("of the golden"),
             serialNumber == SerialNumber::Digits   ? QStringLiteral("from its digits")
             : serialNumber == SerialNumber::Golden ? QStringLiteral("of the golden")
                                                    : QStringLiteral("0"),
             date == Date::Week ? QStringLiteral("of this week") : QStringLiteral("of the golden"));
}

namespace {

// The nearest step up to k whose field names an index; -1 when none does.
template <typename Field>
int namedAt(const QList<PlanStep>& steps, int k, Field field) {
    for (int i = k; i >= 0; --i)
        if (steps[i].*field >= 0)
            return steps[i].*field;
    return -1;
}

QString shownText(int own, int at, const QString& named) {
    if (own != PlanStep::Keep)
        return named;
    return at < 0 ? QStringLiteral("as shown") : QStringLiteral("as shown (%1)").arg(named);
}

}  // namespace

int Plan::timingAt(int k) const {
    return namedAt(steps, k, &PlanStep::timing);
}

int Plan::patternAt(int k) const {
    return namedAt(steps, k, &PlanStep::pattern);
}

int Plan::timingToSend(int k) const {
    return steps[k].timing == PlanStep::Keep ? -1 : timingAt(k);
}

int Plan::patternToSend(int k) const {
    return steps[k].pattern == PlanStep::Keep ? -1 : patternAt(k);
}

QString Plan::timingShown(int k) const {
    return shownText(steps[k].timing, timingAt(k), timingText(timingAt(k)));
}

QString Plan::patternShown(int k) const {
    return shownText(steps[k].pattern, patternAt(k), patternText(patternAt(k)));
}

bool Plan::needsNoVerdict() const {
    for (const PlanStep& s : steps)
        if (s.mode == PlanStep::Mode::Judge)
            return false;
    return true;
}

QStringList Plan::splitDefects(const QString& text) {
    QStringList out;
    if (text.trimmed().isEmpty())
        return out;
    for (const QString& d : text.split(QLatin1Char(','))) out << d.trimmed();
    return out;
}

QString Plan::defectsProblem(const QStringList& list) {
    if (list.size() > MaxDefects)
        return QStringLiteral("%1 defects; at most %2, so that a digit key picks each")
            .arg(list.size())
            .arg(MaxDefects);
    for (int i = 0; i < list.size(); ++i) {
        if (list[i].isEmpty())
            return QStringLiteral("defect %1 is empty").arg(i + 1);
        for (int j = 0; j < i; ++j)
            if (list[j].compare(list[i], Qt::CaseInsensitive) == 0)
                return QStringLiteral("the defect '%1' is listed twice").arg(list[i]);
    }
    return QString();
}

QString Plan::serialProblem(const QString& serial) const {
    if (SerialFormat::accepts(serialFormat, serial))
        return QString();
    return QStringLiteral("'%1' is not a serial of this plan").arg(serial);
}

void Plan::pickDefect(const QString& line, QString& defect, QString& note) const {
    static const QRegularExpression picked(QStringLiteral("^([1-9])(?:\\s+(.*))?$"));
    const QString text = line.trimmed();
    const QRegularExpressionMatch m = picked.match(text);
    const int n = m.hasMatch() ? m.captured(1).toInt() : 0;
    if (n >= 1 && n <= defects.size()) {
        defect = defects[n - 1];
        note = m.captured(2).trimmed();
    } else {
        defect.clear();
        note = text;
    }
}

QString Plan::problem() const {
    if (name.trimmed().isEmpty())
        return QStringLiteral("the plan has no name");
    const QString defectProblem = defectsProblem(defects);
    if (!defectProblem.isEmpty())
        return defectProblem;
    const QString formatProblem = SerialFormat::problem(serialFormat);
    if (!formatProblem.isEmpty())
        return QStringLiteral("the serial format ") + formatProblem;
    if (port != 0 && (port < 1 || port > MaxPort))
        return QStringLiteral("the port must be COM 1..%1").arg(MaxPort);
    if (steps.isEmpty())
        return QStringLiteral("the plan has no steps");
    if (steps.size() > MaxSteps)
        return QStringLiteral("the plan has more than %1 steps").arg(MaxSteps);
    for (int k = 0; k < steps.size(); ++k) {
        const PlanStep& s = steps[k];
        const QString where = QStringLiteral("step %1: ").arg(k + 1);
        if (s.timing >= TimingCount || s.timing < PlanStep::Keep)
            return where + QStringLiteral("no such timing");
        if (s.pattern >= PatternCount || s.pattern < PlanStep::Keep)
            return where + QStringLiteral("no such pattern");
        if (s.timing == PlanStep::Same && timingAt(k) < 0)
            return where + QStringLiteral("\"same\" timing, but no step before it names one");
        if (s.pattern == PlanStep::Same && patternAt(k) < 0)
            return where + QStringLiteral("\"same\" pattern, but no step before it names one");
        if (s.mode == PlanStep::Mode::Edid) {
            if (s.timing != PlanStep::Keep || s.pattern != PlanStep::Keep)
                return where + QStringLiteral("an edid step sends no timing or pattern (- -)");
            if (s.golden.trimmed().isEmpty())
                return where + QStringLiteral("the edid step has no golden EDID file");
            // The file writes a name with blanks in quotes, and has no way to write a quote.
            if (s.golden.contains(QLatin1Char('"')))
                return where + QStringLiteral("the golden file's name cannot hold a \"");
            continue;
        }
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
    for (int k = 0; k < steps.size(); ++k) {
        if (steps[k].mode != PlanStep::Mode::Timed)
            return QStringLiteral("step %1: only timed steps can run on the generator by itself")
                .arg(k + 1);
        if (timingAt(k) < 0 || patternAt(k) < 0)
            return QStringLiteral(
                       "step %1: a programme step needs a timing and a pattern, and no step up "
                       "to it names one")
                .arg(k + 1);
    }
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
