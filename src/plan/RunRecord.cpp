#include "plan/RunRecord.h"

RunRecord::Verdict RunRecord::verdict() const {
    if (!failedSteps().isEmpty())
        return Verdict::Fail;
    switch (end) {
        case End::Completed:
            return Verdict::Pass;
        case End::CommandFailed:
            return Verdict::Error;
        default:
            return Verdict::Stopped;
    }
}

QList<int> RunRecord::failedSteps() const {
    QList<int> failed;
    for (int k = 0; k < steps.size(); ++k)
        if (steps[k].verdict == StepVerdict::Fail)
            failed << k + 1;
    return failed;
}

int RunRecord::doneSteps() const {
    int n = 0;
    for (const Step& s : steps) n += s.verdict != StepVerdict::None ? 1 : 0;
    return n;
}

QString RunRecord::verdictText(Verdict v) {
    switch (v) {
        case Verdict::Pass:
            return QStringLiteral("PASS");
        case Verdict::Fail:
            return QStringLiteral("FAIL");
        case Verdict::Stopped:
            return QStringLiteral("STOPPED");
        case Verdict::Error:
            break;
    }
    return QStringLiteral("ERROR");
}

QString RunRecord::stepVerdictText(StepVerdict v) {
    switch (v) {
        case StepVerdict::Pass:
            return QStringLiteral("pass");
        case StepVerdict::Fail:
            return QStringLiteral("fail");
        case StepVerdict::Shown:
            return QStringLiteral("shown");
        case StepVerdict::None:
            break;
    }
    return QString();
}

QString RunRecord::endText() const {
    const QString during = QStringLiteral(" during step %1").arg(endStep + 1);
    switch (end) {
        case End::Completed:
            return QStringLiteral("completed");
        case End::Stopped:
            return QStringLiteral("stopped by the operator") + during;
        case End::WindowClosed:
            return QStringLiteral("stopped: the Test Plan window was closed") + during;
        case End::ProgramClosed:
            return QStringLiteral("stopped: the program was closed") + during;
        case End::InputEnded:
            return QStringLiteral("stopped: standard input ended") + during;
        case End::Interrupted:
            return QStringLiteral("interrupted: the program or the computer stopped") + during;
        case End::EdidFailed:
            return QStringLiteral(
                       "stopped: the unit's EDID failed at step %1, and the plan says "
                       "on-fail: stop")
                .arg(endStep + 1);
        case End::CommandFailed:
            break;
    }
    return QStringLiteral("stopped: step %1 could not be shown (%2)").arg(endStep + 1).arg(failure);
}

namespace {

struct EndName {
    RunRecord::End end;
    const char* name;
};
// Columns: how a run ended, its word in the results store and its exports.
constexpr EndName EndNames[] = {
    {RunRecord::End::Completed, "completed"},
    {RunRecord::End::Stopped, "stopped"},
    {RunRecord::End::WindowClosed, "window-closed"},
    {RunRecord::End::ProgramClosed, "program-closed"},
    {RunRecord::End::InputEnded, "input-ended"},
    {RunRecord::End::CommandFailed, "command-failed"},
    {RunRecord::End::Interrupted, "interrupted"},
    {RunRecord::End::EdidFailed, "edid-failed"},
};

}  // namespace

QString RunRecord::endName(End e) {
    for (const EndName& n : EndNames)
        if (n.end == e)
            return QLatin1String(n.name);
    return QString();
}

bool RunRecord::endFromName(const QString& name, End& e) {
    for (const EndName& n : EndNames)
        if (name == QLatin1String(n.name)) {
            e = n.end;
            return true;
        }
    return false;
}

QString RunRecord::Step::noteText() const {
    if (defect.isEmpty())
        return note;
    const QString code = QLatin1Char('[') + defect + QLatin1Char(']');
    return note.isEmpty() ? code : code + QLatin1Char(' ') + note;
}
