#include "ctl/ResultsArguments.h"

#include <QDate>

#include "ctl/CtlArguments.h"
#include "files/SafeFile.h"
#include "results/ResultsLocation.h"

namespace {

// Columns: option, where its value goes (nullptr: handled by name).
struct Valued {
    const char* name;
    QString CtlRequest::*field;
    QString ResultsFilter::*filter;
};
const Valued ValuedOptions[] = {
    {"--results", &CtlRequest::resultsLocation, nullptr},
    {"--since", nullptr, &ResultsFilter::since},
    {"--until", nullptr, &ResultsFilter::until},
    {"--plan", nullptr, &ResultsFilter::plan},
    {"--station", nullptr, &ResultsFilter::station},
    {"--verdict", nullptr, &ResultsFilter::verdict},
    {"--by", nullptr, nullptr},
    {"--html", &CtlRequest::htmlFile, nullptr},
};

const QStringList Verdicts = {"PASS", "FAIL", "STOPPED", "ERROR", "INTERRUPTED"};

bool validDay(const QString& text) {
    return text.size() == 10 && QDate::fromString(text, Qt::ISODate).isValid();
}

}  // namespace

bool ResultsArguments::takeOption(const QStringList& args, int& i, CtlRequest& out, bool& taken,
                                  QString& error) {
    const QString& a = args[i];
    taken = true;
    if (a == QLatin1String("--csv")) {
        out.csvOutput = true;
        out.resultsOptions << a;
        return true;
    }
    if (a.startsWith(QLatin1String("--csv="))) {
        out.csvOutput = true;
        out.csvFile = a.mid(6);
        out.resultsOptions << QStringLiteral("--csv");
        return true;
    }
    for (const Valued& v : ValuedOptions) {
        const QString name = QLatin1String(v.name);
        QString value;
        const CtlArguments::Option option = CtlArguments::valueOf(args, i, name, value, error);
        if (option == CtlArguments::Option::Missing)
            return false;
        if (option == CtlArguments::Option::NotIt)
            continue;
        out.resultsOptions << name;
        ResultsLocation where;
        if (v.field == &CtlRequest::resultsLocation && !ResultsLocation::parse(value, where, error))
            return false;
        if (v.field)
            out.*(v.field) = value;
        else if (v.filter)
            out.resultsFilter.*(v.filter) = value;
        else if (value == QLatin1String("week") || value == QLatin1String("day"))
            out.resultsByWeek = value == QLatin1String("week");
        else {
            error = QStringLiteral("--by '%1' is not day or week").arg(value);
            return false;
        }
        return true;
    }
    taken = false;
    return true;
}

bool ResultsArguments::check(const QString& command, const CtlRequest& out, QString& error) {
    if (command == QLatin1String("results"))
        return true;
    for (const QString& option : out.resultsOptions) {
        const bool store = option == QLatin1String("--results");
        if (store &&
            (command == QLatin1String("plan") || command == QLatin1String("edid-provision")))
            continue;
        error = store ? QStringLiteral("'--results' goes with results, plan and edid-provision")
                      : QStringLiteral("'%1' goes with results").arg(option);
        return false;
    }
    return true;
}

bool ResultsArguments::parse(const QStringList& words, CtlRequest& out, QString& error) {
    out.kind = CtlRequest::Kind::Results;
    if (words.isEmpty()) {
        error = QStringLiteral(
            "results needs history, runs, yield, export, import, init or "
            "forward");
        return false;
    }
    const QString sub = words[0];
    out.resultsCommand = sub;
    out.resultsOperands = words.mid(1);
    const int operands = int(out.resultsOperands.size());
    ResultsFilter& f = out.resultsFilter;
    const bool filtered = !f.since.isEmpty() || !f.until.isEmpty() || !f.plan.isEmpty() ||
                          !f.station.isEmpty() || !f.verdict.isEmpty() || !f.operatorName.isEmpty();
    auto given = [&](const char* option) {
        return out.resultsOptions.contains(QLatin1String(option));
    };
    auto refuse = [&](const QString& why) {
        error = why;
        return false;
    };
    if (sub == QLatin1String("history")) {
        if (operands != 1)
            return refuse(QStringLiteral("results history takes one serial"));
        if (filtered)
            return refuse(QStringLiteral("results history takes no filters"));
    } else if (sub == QLatin1String("runs") || sub == QLatin1String("yield")) {
        if (operands != 0)
            return refuse(
                QStringLiteral("results %1 takes no operand (filters are options)").arg(sub));
    } else if (sub == QLatin1String("export")) {
        if (out.csvFile.isEmpty() && operands == 1 && out.csvOutput)
            out.csvFile = out.resultsOperands.takeFirst();
        if (out.csvFile.isEmpty() || !out.resultsOperands.isEmpty())
            return refuse(QStringLiteral("results export needs --csv FILE and no operand"));
        if (!SafeFile::writeProblem(out.csvFile).isEmpty())
            return refuse(QStringLiteral("cannot write %1").arg(out.csvFile));
    } else if (sub == QLatin1String("import")) {
        if (operands == 0)
            return refuse(QStringLiteral("results import needs the files to import"));
        if (filtered || given("--csv"))
            return refuse(QStringLiteral("results import takes no filters and no --csv"));
        if (ResultsLocation::isServerUrl(out.resultsLocation))
            return refuse(QStringLiteral(
                "results import goes into a station's own store (--results PATH); results "
                "forward then takes the records to the server"));
    } else if (sub == QLatin1String("init") || sub == QLatin1String("forward")) {
        const QString url = out.resultsOperands.value(0);
        ResultsLocation where;
        if (operands != 1 || !ResultsLocation::isServerUrl(url))
            return refuse(QStringLiteral("results %1 takes the server's URL, "
                                         "postgresql://ROLE@HOST[:PORT]/DATABASE")
                              .arg(sub));
        if (!ResultsLocation::parse(url, where, error))
            return false;
        if (filtered || given("--csv"))
            return refuse(QStringLiteral("results %1 takes no filters and no --csv").arg(sub));
        if (sub == QLatin1String("init") && given("--results"))
            return refuse(QStringLiteral("results init takes only the server's URL"));
        if (ResultsLocation::isServerUrl(out.resultsLocation))
            return refuse(
                QStringLiteral("results forward: --results names the station's own store"));
    } else {
        return refuse(QStringLiteral("unknown results command '%1' (history, runs, yield, "
                                     "export, import, init or forward)")
                          .arg(sub));
    }
    if (sub != QLatin1String("yield") && (given("--by") || given("--html")))
        return refuse(QStringLiteral("--by and --html go with results yield"));
    if (!out.htmlFile.isEmpty() && !SafeFile::writeProblem(out.htmlFile).isEmpty())
        return refuse(QStringLiteral("cannot write %1").arg(out.htmlFile));
    if (!out.csvFile.isEmpty() && sub != QLatin1String("export"))
        return refuse(QStringLiteral("--csv=FILE goes with results export"));
    for (const QString* day : {&f.since, &f.until})
        if (!day->isEmpty() && !validDay(*day))
            return refuse(QStringLiteral("'%1' is not a date YYYY-MM-DD").arg(*day));
    if (!f.since.isEmpty() && !f.until.isEmpty() && f.since > f.until)
        return refuse(QStringLiteral("--since %1 is after --until %2").arg(f.since, f.until));
    if (!f.verdict.isEmpty()) {
        f.verdict = f.verdict.toUpper();
        if (!Verdicts.contains(f.verdict))
            return refuse(QStringLiteral("--verdict '%1' is not %2")
                              .arg(f.verdict, Verdicts.join(QLatin1String(", "))));
    }
    return true;
}
