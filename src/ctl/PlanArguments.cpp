#include "ctl/PlanArguments.h"

#include <QDir>
#include <QFileInfo>

#include "ctl/CtlArguments.h"
#include "plan/PlanFile.h"
#include "plan/RunReport.h"
#include "programme/ProgramPacker.h"
#include "results/ResultsStation.h"

namespace {

constexpr int MaxRepeat = 10000;
// A repeated plan is one run, and its report lists every step shown.
constexpr int MaxRunSteps = 10000;
constexpr int MaxSerialChars = 200;

bool hasControl(const QString& text) {
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}

}  // namespace

bool PlanArguments::takeOption(const QStringList& args, int& i, CtlRequest& out, bool& taken,
                               QString& error) {
    const QString& a = args[i];
    taken = true;
    if (a == QLatin1String("--auto")) {
        out.autoRun = true;
        return true;
    }
    if (a == QLatin1String("--as-programme")) {
        out.asProgramme = true;
        return true;
    }
    // Columns: option, where its value goes (nullptr: --repeat).
    struct Valued {
        const char* name;
        QString CtlRequest::*field;
    };
    static const Valued valued[] = {
        {"--serial", &CtlRequest::serial},
        {"--operator", &CtlRequest::operatorName},
        {"--report", &CtlRequest::reportDir},
        {"--repeat", nullptr},
    };
    for (const Valued& v : valued) {
        const QString name = QLatin1String(v.name);
        QString value;
        const CtlArguments::Option option = CtlArguments::valueOf(args, i, name, value, error);
        if (option == CtlArguments::Option::Missing)
            return false;
        if (option == CtlArguments::Option::NotIt)
            continue;
        if (v.field) {
            out.*(v.field) = value.trimmed();
            return true;
        }
        bool ok = false;
        out.repeat = value.toInt(&ok);
        if (!ok || out.repeat < 1 || out.repeat > MaxRepeat) {
            error = QStringLiteral("--repeat '%1' is not 1..%2").arg(value).arg(MaxRepeat);
            return false;
        }
        return true;
    }
    taken = false;
    return true;
}

bool PlanArguments::anyGiven(const CtlRequest& r) {
    return !r.serial.isEmpty() || !r.operatorName.isEmpty() || !r.reportDir.isEmpty() ||
           r.autoRun || r.repeat != 1 || r.asProgramme;
}

bool PlanArguments::parse(const QString& file, CtlRequest& out, QString& error) {
    QByteArray bytes;
    Plan plan;
    if (!PlanFile::load(file, plan, bytes, error))
        return false;
    if (out.asProgramme) {
        if (!out.serial.isEmpty() || !out.operatorName.isEmpty() || !out.reportDir.isEmpty() ||
            out.autoRun || out.repeat != 1) {
            error = QStringLiteral(
                "--as-programme uploads the plan; it takes no --serial, --operator, --report, "
                "--auto or --repeat");
            return false;
        }
        const QString problem = plan.programmeProblem();
        if (!problem.isEmpty()) {
            error =
                QStringLiteral("%1: cannot be the generator's programme: %2").arg(file, problem);
            return false;
        }
        ProgramPacker::PackProgram(plan.programme(), out.programme);
        out.kind = CtlRequest::Kind::Programme;
        return true;
    }
    if (out.serial.isEmpty()) {
        error = QStringLiteral("plan needs --serial S, the unit's serial number");
        return false;
    }
    if (out.serial.size() > MaxSerialChars || hasControl(out.serial) ||
        hasControl(out.operatorName)) {
        error = QStringLiteral("--serial and --operator take one line of at most %1 characters")
                    .arg(MaxSerialChars);
        return false;
    }
    // A stray scan or another product's label: nothing is sent for it.
    const QString refused = plan.serialProblem(out.serial);
    if (!refused.isEmpty()) {
        error = refused;
        return false;
    }
    if (out.repeat != 1 && !out.autoRun) {
        error = QStringLiteral("--repeat goes with --auto");
        return false;
    }
    if (out.autoRun && !plan.needsNoVerdict()) {
        for (int k = 0; k < plan.steps.size(); ++k)
            if (plan.steps[k].mode == PlanStep::Mode::Judge) {
                error = QStringLiteral(
                            "%1: --auto runs only steps without verdicts (timed or edid); "
                            "step %2 (line %3) is judged")
                            .arg(file)
                            .arg(k + 1)
                            .arg(plan.steps[k].line);
                break;
            }
        return false;
    }
    if (qint64(out.repeat) * plan.steps.size() > MaxRunSteps) {
        error = QStringLiteral("--repeat %1 of %2 steps is more than %3 steps in one run")
                    .arg(out.repeat)
                    .arg(plan.steps.size())
                    .arg(MaxRunSteps);
        return false;
    }
    // The folder named on the line, else the plan's own (beside the plan file), else here.
    const QFileInfo info(file);
    QString dir = out.reportDir;
    if (dir.isEmpty() && !plan.reportFolder.isEmpty())
        dir = QDir(info.absolutePath()).absoluteFilePath(plan.reportFolder);
    if (dir.isEmpty())
        dir = QDir::currentPath();
    if (!RunReport::prepareFolder(dir, error))
        return false;
    const QFileInfo folder(dir);
    out.reportDir = QDir::cleanPath(folder.absoluteFilePath());
    // The results store named on the line, else the plan's results: (a file relative to the
    // plan's folder, or a line's server), else the report folder's.
    if (out.resultsLocation.isEmpty() && !plan.results.isEmpty()) {
        const ResultsStation::Where where =
            ResultsStation::whereFor(out.reportDir, plan.results, info.absolutePath());
        out.resultsLocation = where.server.isEmpty() ? where.spool : where.server;
    }
    out.file = info.absoluteFilePath();
    out.planDigest = PlanFile::digest(bytes);
    out.planText = bytes;
    out.plan = plan.repeated(out.repeat);
    return true;
}
