#include "ctl/ResultsCommands.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QSysInfo>

#include "Version.h"
#include "files/SafeFile.h"
#include "plan/RunReport.h"
#include "results/ResultsForwarder.h"
#include "results/ResultsImport.h"
#include "results/ResultsSchema.h"
#include "results/ResultsStore.h"
#include "results/ResultsSummary.h"
#include "results/ResultsText.h"

namespace {

using Table = QList<QStringList>;

// Columns padded to their widest cell, two blanks apart; the last one as it is.
QString aligned(const Table& rows) {
    QList<int> widths;
    for (const QStringList& r : rows)
        for (int c = 0; c < r.size(); ++c) {
            if (widths.size() <= c)
                widths << 0;
            widths[c] = qMax(widths[c], int(r[c].size()));
        }
    QString out;
    for (const QStringList& r : rows) {
        QString line;
        for (int c = 0; c < r.size(); ++c)
            line += c + 1 < r.size() ? r[c].leftJustified(widths[c] + 2) : r[c];
        out += line.trimmed() + QLatin1Char('\n');
    }
    return out;
}

QString csv(const Table& rows) {
    QString out;
    for (const QStringList& r : rows) {
        QStringList fields;
        for (const QString& f : r) fields << RunReport::csvField(f);
        out += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return out;
}

QString kindText(const ResultRow& r) {
    return r.kind == ResultRow::Kind::Run ? QStringLiteral("run") : QStringLiteral("edid");
}

QString percent(int part, int whole) {
    return whole ? QString::number(100.0 * part / whole, 'f', 1) : QStringLiteral("-");
}

// The run as a line of results.csv, as RunReport writes one.
QStringList exportFields(const ResultRow& r) {
    QStringList failed;
    QStringList notes;
    for (const ResultRow::FailedStep& f : r.failed) {
        failed << QString::number(f.step);
        const QString note = ResultsText::note(f);
        if (!note.isEmpty())
            notes << QStringLiteral("%1: %2").arg(f.step).arg(note);
    }
    if (!r.failure.isEmpty() && r.endStep >= 0)
        notes << QStringLiteral("%1: %2").arg(r.endStep + 1).arg(r.failure);
    return {r.started,
            r.ended,
            r.serial,
            r.operatorName,
            r.station,
            r.plan,
            r.planSha256,
            QStringLiteral("orve1 ") + r.program,
            r.port,
            r.verdict,
            r.endText,
            QString::number(r.steps),
            QString::number(r.stepsDone),
            failed.join(QLatin1Char(' ')),
            notes.join(QLatin1String(" | ")),
            QString::number(r.seconds()),
            QFileInfo(r.report).fileName()};
}

int history(ResultsQuery& q, const CtlRequest& r, QString& out, QString& err) {
    const QString serial = r.resultsOperands.value(0);
    QList<ResultRow> rows;
    if (!q.history(serial, rows, err))
        return ResultsCommands::BadInput;
    if (rows.isEmpty()) {
        err = QStringLiteral("no run or EDID unit of serial %1").arg(serial);
        return ResultsCommands::NothingMatched;
    }
    Table t;
    if (r.csvOutput)
        t << QStringList{"kind",    "time", "station", "serial", "plan",
                         "verdict", "run",  "failed",  "report", "id"};
    else
        t << QStringList{"Time",    "Kind",   "Station", "Plan or golden EDID",
                         "Verdict", "Failed", "Report"};
    for (const ResultRow& row : rows) {
        const QString verdict = ResultsText::verdict(row);
        if (r.csvOutput) {
            t << QStringList{kindText(row), row.started, row.station, row.serial,
                             row.plan,      verdict,     row.endText, ResultsText::failed(row),
                             row.report,    row.id};
            continue;
        }
        t << QStringList{ResultsText::time(row.started),
                         kindText(row),
                         row.station,
                         row.plan,
                         ResultsText::verdictAndEnd(row),
                         ResultsText::failed(row),
                         row.report};
    }
    out = r.csvOutput ? csv(t) : QStringLiteral("Serial %1\n").arg(serial) + aligned(t);
    return ResultsCommands::Done;
}

int runs(ResultsQuery& q, const CtlRequest& r, QString& out, QString& err) {
    Table t;
    if (r.csvOutput)
        t << QString::fromUtf8(RunReport::csvHeader()).trimmed().split(QLatin1Char(','));
    else
        t << QStringList{"Started", "Station", "Serial", "Operator", "Plan", "Verdict", "Failed"};
    const bool ok = q.eachRun(
        r.resultsFilter,
        [&](const ResultRow& row) {
            if (r.csvOutput)
                t << exportFields(row);
            else
                t << QStringList{ResultsText::time(row.started),
                                 row.station,
                                 row.serial,
                                 row.operatorName,
                                 row.plan,
                                 ResultsText::verdict(row),
                                 ResultsText::failed(row)};
        },
        err);
    if (!ok)
        return ResultsCommands::BadInput;
    if (t.size() == 1) {
        err = QStringLiteral("no run matches");
        return ResultsCommands::NothingMatched;
    }
    out = r.csvOutput
              ? csv(t)
              : aligned(t) +
                    QStringLiteral("%1 run%2\n").arg(t.size() - 1).arg(t.size() == 2 ? "" : "s");
    return ResultsCommands::Done;
}

int yield(ResultsQuery& q, const CtlRequest& r, QString& out, QString& err) {
    ResultsSummary::Content c;
    c.by = r.resultsByWeek ? ResultsQuery::Period::Week : ResultsQuery::Period::Day;
    c.scope = r.resultsFilter.scope();
    if (!q.yield(r.resultsFilter, c.by, c.yield, err) ||
        !q.pareto(r.resultsFilter, c.pareto, err) ||
        !q.paretoDefects(r.resultsFilter, c.defects, err))
        return ResultsCommands::BadInput;
    if (c.yield.isEmpty()) {
        err = QStringLiteral("no ended run matches");
        return ResultsCommands::NothingMatched;
    }
    Table t;
    if (r.csvOutput)
        t << QStringList{"plan",         "period",     "units",   "first_pass",
                         "first_pass_%", "final_pass", "final_%", "retests"};
    else
        t << QStringList{"Plan", "Period", "Units", "First pass", "%", "Final", "%", "Retests"};
    for (const YieldRow& y : c.yield)
        t << QStringList{y.plan,
                         y.period,
                         QString::number(y.units),
                         QString::number(y.firstPass),
                         percent(y.firstPass, y.units),
                         QString::number(y.finalPass),
                         percent(y.finalPass, y.units),
                         QString::number(y.retests())};
    // For a person the failures by defect code follow; --csv stays one table for scripts (the
    // HTML summary has both).
    Table d;
    d << QStringList{"Defect", "Failures", "Cumulative %"};
    for (const DefectParetoRow& p : c.defects)
        d << QStringList{p.name(), QString::number(p.count),
                         QString::number(p.cumulative * 100.0, 'f', 1)};
    if (r.csvOutput)
        out = csv(t);
    else
        out = aligned(t) + QStringLiteral("\nFailures by defect code\n") +
              (c.defects.isEmpty() ? QStringLiteral("No step failed.\n") : aligned(d));
    if (!r.htmlFile.isEmpty()) {
        c.written = QStringLiteral("Written by orve1ctl %1 on %2, %3, from %4")
                        .arg(QStringLiteral(ORVE1_VERSION), QSysInfo::machineHostName(),
                             QDateTime::currentDateTime().toString(Qt::ISODate),
                             QDir::toNativeSeparators(
                                 r.resultsLocation.isEmpty()
                                     ? QString::fromLatin1(ResultsStore::DefaultFileName)
                                     : r.resultsLocation));
        if (!ResultsSummary::write(r.htmlFile, c, err))
            return ResultsCommands::BadInput;
    }
    return ResultsCommands::Done;
}

int exportRuns(ResultsQuery& q, const CtlRequest& r, QString& out, QString& err) {
    QByteArray bytes = RunReport::csvHeader();
    int n = 0;
    const bool ok = q.eachRun(
        r.resultsFilter,
        [&](const ResultRow& row) {
            if (row.verdict.isEmpty())
                return;  // still running: its line comes when it ends
            QStringList fields;
            for (const QString& f : exportFields(row)) fields << RunReport::csvField(f);
            bytes += (fields.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8();
            ++n;
        },
        err);
    if (!ok)
        return ResultsCommands::BadInput;
    if (n == 0) {
        err = QStringLiteral("no ended run matches; %1 not written").arg(r.csvFile);
        return ResultsCommands::NothingMatched;
    }
    if (!SafeFile::replace(r.csvFile, bytes, err))
        return ResultsCommands::BadInput;
    out = QStringLiteral("%1 runs written to %2\n").arg(n).arg(QDir::toNativeSeparators(r.csvFile));
    return ResultsCommands::Done;
}

QString counted(qint64 n, const char* one) {
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(one)).arg(n == 1 ? "" : "s");
}

int init(const CtlRequest& r, QString& out, QString& err) {
    ResultsStore store;
    int before = 0;
    if (!store.initServer(r.resultsOperands.value(0), before, err))
        return ResultsCommands::BadInput;
    const int now = ResultsSchema::Version;
    if (before == 0)
        out = QStringLiteral("made the results tables (schema version %1) on %2\n")
                  .arg(now)
                  .arg(store.name());
    else if (before < now)
        out = QStringLiteral("brought the results tables on %1 from schema version %2 to %3\n")
                  .arg(store.name())
                  .arg(before)
                  .arg(now);
    else
        out = QStringLiteral("the results tables on %1 are up to date (schema version %2)\n")
                  .arg(store.name())
                  .arg(now);
    return ResultsCommands::Done;
}

// By hand, in this thread: nothing else waits on it, and a run just ended goes at once.
int forward(const CtlRequest& r, QString& out, QString& err) {
    ResultsForwarder f(r.resultsLocation, r.resultsOperands.value(0));
    f.setReportGrace(0);
    const bool ok = f.forward();
    const ForwarderStatus& s = f.status();
    if (!ok && !f.spoolOpen() && s.sentRuns + s.sentUnits == 0) {
        err = s.problem;  // the spool itself cannot be read
        return ResultsCommands::BadInput;
    }
    out = QStringLiteral("sent %1 and %2; %3\n")
              .arg(counted(s.sentRuns, "run"), counted(s.sentUnits, "EDID unit"),
                   s.waiting() == 0 ? QStringLiteral("nothing left waiting")
                                    : QStringLiteral("%1 left waiting").arg(s.waiting()));
    if (ok)
        return ResultsCommands::Done;
    err = s.problem;
    return ResultsCommands::NothingMatched;
}

}  // namespace

int ResultsCommands::run(const CtlRequest& r, QString& out, QString& err) {
    if (r.resultsCommand == QLatin1String("init"))
        return init(r, out, err);
    if (r.resultsCommand == QLatin1String("forward"))
        return forward(r, out, err);
    const bool import = r.resultsCommand == QLatin1String("import");
    ResultsStore store;
    if (!store.open(r.resultsLocation,
                    import ? ResultsStore::Access::ReadWrite : ResultsStore::Access::ReadOnly, err))
        return BadInput;
    if (import) {
        ResultsImport::Outcome o;
        if (!ResultsImport::run(store, r.resultsOperands, o, err))
            return BadInput;
        out = QStringLiteral("%1 records added, %2 skipped (already in %3)\n")
                  .arg(o.added)
                  .arg(o.skipped)
                  .arg(store.name());
        err = o.notes.join(QLatin1Char('\n'));
        return Done;
    }
    ResultsQuery q(store);
    if (r.resultsCommand == QLatin1String("history"))
        return history(q, r, out, err);
    if (r.resultsCommand == QLatin1String("runs"))
        return runs(q, r, out, err);
    if (r.resultsCommand == QLatin1String("yield"))
        return yield(q, r, out, err);
    return exportRuns(q, r, out, err);
}
