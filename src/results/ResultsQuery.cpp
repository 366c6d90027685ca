#include "results/ResultsQuery.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <algorithm>
#include <map>

#include "plan/PlanFile.h"
#include "plan/RunRecord.h"
#include "production/UnitRecord.h"
#include "results/ResultsStore.h"

namespace {

// The run columns every run question reads, in the order readRun takes them; s.step, s.note
// and s.defect are a failed step's (NULL for a run without one).
const char* const RunColumns =
    "r.id, r.uuid, r.started, r.started_local, r.ended_local, r.station, r.serial, r.operator,"
    " r.plan_name, r.plan_sha256, r.program, r.port, r.verdict, r.end_kind, r.end_step,"
    " r.failure, r.steps_total, r.steps_done, r.report_folder, r.report_file, s.step, s.note,"
    " s.defect";

// The filter as SQL conditions on the runs of alias, with its values to bind.
QString conditions(const ResultsFilter& f, const QString& alias, QVariantList& binds,
                   bool withVerdict = true, bool timeIndex = true) {
    QStringList c;
    auto add = [&](const QString& condition, const QString& value) {
        if (value.isEmpty())
            return;
        c << alias + condition;
        binds << value;
    };
    add(QStringLiteral("day >= ?"), f.since);
    add(QStringLiteral("day <= ?"), f.until);
    // The same range on the UTC start, a day wider on each side than any offset from UTC, so
    // that the time index finds a range's rows without reading every later run. A count needs
    // none: the day index alone counts the range.
    const QDate since = timeIndex ? QDate::fromString(f.since, Qt::ISODate) : QDate();
    const QDate until = timeIndex ? QDate::fromString(f.until, Qt::ISODate) : QDate();
    if (since.isValid())
        add(QStringLiteral("started >= ?"), since.addDays(-1).toString(Qt::ISODate));
    if (until.isValid())
        add(QStringLiteral("started < ?"), until.addDays(2).toString(Qt::ISODate));
    add(QStringLiteral("plan_name = ?"), f.plan);
    add(QStringLiteral("station = ?"), f.station);
    add(QStringLiteral("operator = ?"), f.operatorName);
    if (withVerdict && f.verdict == QLatin1String("INTERRUPTED"))
        add(QStringLiteral("end_kind = ?"), RunRecord::endName(RunRecord::End::Interrupted));
    else if (withVerdict)
        add(QStringLiteral("verdict = ?"), f.verdict);
    return c.isEmpty() ? QString() : c.join(QLatin1String(" AND "));
}

QString whereClause(const QString& conditions) {
    return conditions.isEmpty() ? QString() : QStringLiteral(" WHERE ") + conditions;
}

bool run(QSqlQuery& q, const QString& sql, const QVariantList& binds) {
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return false;
    for (const QVariant& v : binds) q.addBindValue(v);
    return q.exec();
}

QString endTextOf(const QString& kind, const QVariant& endStep, const QString& failure) {
    RunRecord r;
    if (!RunRecord::endFromName(kind, r.end))
        return kind;
    r.endStep = endStep.isNull() ? -1 : endStep.toInt();
    r.failure = failure;
    return r.endText();
}

// Each row's share of all the rows' failures, its own and those of the rows before it.
template <typename Row>
void cumulate(QList<Row>& rows) {
    int total = 0;
    for (const Row& p : rows) total += p.count;
    int sum = 0;
    for (Row& p : rows) {
        sum += p.count;
        p.cumulative = total ? double(sum) / total : 0.0;
    }
}

QString joinPath(const QString& folder, const QString& file) {
    if (file.isEmpty())
        return QString();
    return folder.isEmpty() ? file : QDir::toNativeSeparators(QDir(folder).filePath(file));
}

}  // namespace

QString DefectParetoRow::name() const {
    return defect.isEmpty() ? QLatin1String(NoCode) : defect;
}

qint64 ResultRow::seconds() const {
    const QDateTime a = QDateTime::fromString(started, Qt::ISODate);
    const QDateTime b = QDateTime::fromString(ended, Qt::ISODate);
    return a.isValid() && b.isValid() ? qMax<qint64>(0, a.secsTo(b)) : 0;
}

QString PreviousRuns::ordinal(int n) {
    const int tens = n % 100;
    const char* suffix = "th";
    if (tens < 11 || tens > 13) {
        switch (n % 10) {
            case 1:
                suffix = "st";
                break;
            case 2:
                suffix = "nd";
                break;
            case 3:
                suffix = "rd";
                break;
            default:
                break;
        }
    }
    return QString::number(n) + QLatin1String(suffix);
}

QString PreviousRuns::sentence(const QDate& today) const {
    if (count == 0)
        return QString();
    QString where;
    if (!failedSteps.isEmpty()) {
        QStringList steps;
        for (int n : failedSteps) steps << QString::number(n);
        where = QStringLiteral(" at step%1 %2")
                    .arg(steps.size() == 1 ? "" : "s", steps.join(QLatin1String(", ")));
    } else if (verdict != QLatin1String("PASS") && endStep >= 0) {
        where = QStringLiteral(" at step %1").arg(endStep + 1);
    }
    const QDateTime at = QDateTime::fromString(started, Qt::ISODate);
    const QString time = at.date() == today ? at.toString(QStringLiteral("HH:mm"))
                                            : at.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return QStringLiteral("%1 run of this unit: last %2%3, %4, station %5")
        .arg(ordinal(count + 1), verdict, where, time, station);
}

ResultsFilter ResultsQuery::narrowest(const ResultsFilter& filter) const {
    if (filter.since.isEmpty() && filter.until.isEmpty())
        return filter;
    // Two index look-ups (MIN and MAX in one SELECT would read every row).
    QSqlQuery q(store_.database());
    if (!run(q, QStringLiteral("SELECT (SELECT MIN(day) FROM runs), (SELECT MAX(day) FROM runs)"),
             {}) ||
        !q.next() || q.value(0).isNull())
        return filter;
    ResultsFilter f = filter;
    if (f.since <= q.value(0).toString())
        f.since.clear();
    if (!f.until.isEmpty() && f.until >= q.value(1).toString())
        f.until.clear();
    return f;
}

QString ResultsQuery::failuresWhere(const ResultsFilter& filter, QVariantList& binds) const {
    const QString where = conditions(narrowest(filter), QStringLiteral("r."), binds, false);
    return QStringLiteral(" WHERE s.verdict = 'fail' AND r.verdict IS NOT NULL") +
           (where.isEmpty() ? QString() : QStringLiteral(" AND ") + where);
}

QString ResultsFilter::scope() const {
    QStringList parts;
    if (!since.isEmpty() || !until.isEmpty())
        parts << QStringLiteral("%1 to %2")
                     .arg(since.isEmpty() ? QStringLiteral("the start") : since,
                          until.isEmpty() ? QStringLiteral("today") : until);
    if (!plan.isEmpty())
        parts << QStringLiteral("plan %1").arg(plan);
    if (!station.isEmpty())
        parts << QStringLiteral("station %1").arg(station);
    if (!operatorName.isEmpty())
        parts << QStringLiteral("operator %1").arg(operatorName);
    return parts.isEmpty() ? QStringLiteral("all runs") : parts.join(QLatin1String(", "));
}

bool ResultsQuery::fail(const QString& why, QString& error) const {
    error = QStringLiteral("%1: %2").arg(store_.name(), why);
    return false;
}

bool ResultsQuery::runRows(const QString& sql, const QVariantList& binds,
                           const std::function<void(const ResultRow&)>& take, QString& error) {
    QSqlQuery q(store_.database());
    if (!run(q, sql, binds))
        return fail(q.lastError().text(), error);
    ResultRow row;
    qint64 current = -1;
    while (q.next()) {
        const qint64 key = q.value(0).toLongLong();
        if (key != current) {
            if (current >= 0)
                take(row);
            current = key;
            row = ResultRow();
            row.id = q.value(1).toString();
            row.startedUtc = q.value(2).toString();
            row.started = q.value(3).toString();
            row.ended = q.value(4).toString();
            row.station = q.value(5).toString();
            row.serial = q.value(6).toString();
            row.operatorName = q.value(7).toString();
            row.plan = q.value(8).toString();
            row.planSha256 = q.value(9).toString();
            row.program = q.value(10).toString();
            row.port = q.value(11).toString();
            row.verdict = q.value(12).toString();
            const QString kind = q.value(13).toString();
            row.failure = q.value(15).toString();
            row.endText = kind.isEmpty() ? QString() : endTextOf(kind, q.value(14), row.failure);
            row.endStep = q.value(14).isNull() ? -1 : q.value(14).toInt();
            if (kind != RunRecord::endName(RunRecord::End::CommandFailed))
                row.failure.clear();
            row.steps = q.value(16).toInt();
            row.stepsDone = q.value(17).toInt();
            row.report = joinPath(q.value(18).toString(), q.value(19).toString());
        }
        if (!q.value(20).isNull())
            row.failed.append(
                {q.value(20).toInt() + 1, q.value(21).toString(), q.value(22).toString()});
    }
    if (current >= 0)
        take(row);
    return true;
}

bool ResultsQuery::history(const QString& serial, QList<ResultRow>& out, QString& error) {
    out.clear();
    QList<ResultRow> found;
    const QString sql = QStringLiteral(
                            "SELECT %1 FROM runs r LEFT JOIN run_steps s ON s.run = r.id AND"
                            " s.verdict = 'fail' WHERE r.serial = ?"
                            " ORDER BY r.started DESC, r.id DESC, s.step")
                            .arg(QLatin1String(RunColumns));
    if (!runRows(
            sql, {serial}, [&](const ResultRow& r) { found << r; }, error))
        return false;

    QSqlQuery q(store_.database());
    if (!run(q,
             QStringLiteral(
                 "SELECT uuid, started_local, ended_local, station, serial, golden_file, verdict,"
                 " failed_stage, message, log_file, golden_sha256, started FROM units WHERE serial "
                 "= ?"
                 " ORDER BY started DESC, id DESC"),
             {serial}))
        return fail(q.lastError().text(), error);
    while (q.next()) {
        ResultRow row;
        row.kind = ResultRow::Kind::Unit;
        row.id = q.value(0).toString();
        row.started = q.value(1).toString();
        row.ended = q.value(2).toString();
        row.station = q.value(3).toString();
        row.serial = q.value(4).toString();
        row.plan = q.value(5).toString();
        row.verdict = q.value(6).toString();
        if (!q.value(7).isNull())
            row.failure = QStringLiteral("%1: %2").arg(UnitRecord::stageName(q.value(7).toInt()),
                                                       q.value(8).toString());
        row.report = QDir::toNativeSeparators(q.value(9).toString());
        row.planSha256 = q.value(10).toString();
        row.startedUtc = q.value(11).toString();
        found << row;
    }
    std::stable_sort(found.begin(), found.end(), [](const ResultRow& a, const ResultRow& b) {
        return a.startedUtc > b.startedUtc;
    });
    out = found;
    return true;
}

bool ResultsQuery::runs(const ResultsFilter& filter, int offset, int limit, QList<ResultRow>& out,
                        QString& error) {
    out.clear();
    QVariantList binds;
    const QString where = whereClause(conditions(narrowest(filter), QString(), binds));
    binds << limit << offset;
    const QString sql = QStringLiteral(
                            "SELECT %1 FROM (SELECT * FROM runs%2 ORDER BY started DESC, id DESC"
                            " LIMIT ? OFFSET ?) r LEFT JOIN run_steps s ON s.run = r.id AND"
                            " s.verdict = 'fail' ORDER BY r.started DESC, r.id DESC, s.step")
                            .arg(QLatin1String(RunColumns), where);
    return runRows(
        sql, binds, [&](const ResultRow& r) { out << r; }, error);
}

bool ResultsQuery::eachRun(const ResultsFilter& filter,
                           const std::function<void(const ResultRow&)>& take, QString& error) {
    QVariantList binds;
    const QString where = whereClause(conditions(narrowest(filter), QStringLiteral("r."), binds));
    const QString sql = QStringLiteral(
                            "SELECT %1 FROM runs r LEFT JOIN run_steps s ON s.run = r.id AND"
                            " s.verdict = 'fail'%2 ORDER BY r.started DESC, r.id DESC, s.step")
                            .arg(QLatin1String(RunColumns), where);
    return runRows(sql, binds, take, error);
}

bool ResultsQuery::runCount(const ResultsFilter& filter, qint64& count, QString& error) {
    QVariantList binds;
    const QString where = whereClause(conditions(narrowest(filter), QString(), binds, true, false));
    QSqlQuery q(store_.database());
    if (!run(q, QStringLiteral("SELECT COUNT(*) FROM runs") + where, binds) || !q.next())
        return fail(q.lastError().text(), error);
    count = q.value(0).toLongLong();
    return true;
}

bool ResultsQuery::choices(const ResultsFilter& filter, ResultsChoices& out, QString& error) {
    out = ResultsChoices();
    ResultsFilter days;
    days.since = filter.since;
    days.until = filter.until;
    QVariantList binds;
    const QString where = whereClause(conditions(narrowest(days), QString(), binds));
    QSqlQuery q(store_.database());
    if (!run(q, QStringLiteral("SELECT DISTINCT plan_name, station, operator FROM runs") + where,
             binds))
        return fail(q.lastError().text(), error);
    QSet<QString> sets[3];
    while (q.next())
        for (int c = 0; c < 3; ++c) sets[c].insert(q.value(c).toString());
    QStringList* lists[] = {&out.plans, &out.stations, &out.operators};
    for (int c = 0; c < 3; ++c) {
        *lists[c] = QStringList(sets[c].cbegin(), sets[c].cend());
        lists[c]->sort(Qt::CaseInsensitive);
    }
    return true;
}

bool ResultsQuery::yield(const ResultsFilter& filter, Period by, QList<YieldRow>& out,
                         QString& error) {
    out.clear();
    QVariantList binds;
    QString where = conditions(narrowest(filter), QString(), binds, false);
    where = QStringLiteral(" WHERE verdict IS NOT NULL") +
            (where.isEmpty() ? QString() : QStringLiteral(" AND ") + where);
    // Each unit's runs in order, summed up here: one sort, where first and last run by window
    // functions take SQLite two and several times as long.
    const QString sql =
        QStringLiteral(
            "SELECT plan_name, serial, %1, verdict FROM runs%2"
            " ORDER BY plan_name, serial, started, id")
            .arg(by == Period::Week ? QLatin1String("week") : QLatin1String("day"), where);
    QSqlQuery q(store_.database());
    if (!run(q, sql, binds))
        return fail(q.lastError().text(), error);
    std::map<std::pair<QString, QString>, YieldRow> rows;  // plan, period
    QString plan, serial, verdictBefore;
    YieldRow* first = nullptr;  // the period of the current unit's first run
    while (q.next()) {
        const QString p = q.value(0).toString();
        const QString s = q.value(1).toString();
        const QString verdict = q.value(3).toString();
        YieldRow& row = rows[{p, q.value(2).toString()}];
        ++row.runs;
        if (!first || p != plan || s != serial) {
            // A new unit: the one before ended with the run before this one.
            if (first && verdictBefore == QLatin1String("PASS"))
                ++first->finalPass;
            plan = p;
            serial = s;
            first = &row;
            ++row.units;
            if (verdict == QLatin1String("PASS"))
                ++row.firstPass;
        }
        verdictBefore = verdict;
    }
    if (first && verdictBefore == QLatin1String("PASS"))
        ++first->finalPass;
    for (auto& [key, row] : rows) {
        row.plan = key.first;
        row.period = key.second;
        out << row;
    }
    return true;
}

bool ResultsQuery::pareto(const ResultsFilter& filter, QList<ParetoRow>& out, QString& error) {
    out.clear();
    QVariantList binds;
    const QString sql =
        QStringLiteral(
            "SELECT r.plan_name, r.plan_sha256, s.step, COUNT(*) AS n FROM run_steps s"
            " JOIN runs r ON r.id = s.run%1"
            " GROUP BY r.plan_name, r.plan_sha256, s.step ORDER BY n DESC, r.plan_name, s.step")
            .arg(failuresWhere(filter, binds));
    QSqlQuery q(store_.database());
    if (!run(q, sql, binds))
        return fail(q.lastError().text(), error);
    while (q.next()) {
        ParetoRow p;
        p.plan = q.value(0).toString();
        p.planSha256 = q.value(1).toString();
        p.step = q.value(2).toInt() + 1;
        p.count = q.value(3).toInt();
        out << p;
    }
    q.finish();
    // The instruction comes from the plan's text (none for runs imported without it).
    QHash<QString, Plan> plans;
    QSqlQuery t(store_.database());
    t.prepare(QStringLiteral("SELECT text FROM plans WHERE sha256 = ?"));
    for (ParetoRow& p : out) {
        if (!plans.contains(p.planSha256)) {
            Plan plan;
            QString why;
            t.addBindValue(p.planSha256);
            if (t.exec() && t.next())
                PlanFile::parse(t.value(0).toString().toUtf8(), plan, why);
            t.finish();
            plans.insert(p.planSha256, plan);
        }
        const Plan& plan = plans[p.planSha256];
        if (!plan.steps.isEmpty())
            p.instruction = plan.steps[(p.step - 1) % plan.steps.size()].instruction;
    }
    cumulate(out);
    return true;
}

bool ResultsQuery::paretoDefects(const ResultsFilter& filter, QList<DefectParetoRow>& out,
                                 QString& error) {
    out.clear();
    QVariantList binds;
    const QString sql =
        QStringLiteral(
            "SELECT s.defect, COUNT(*) AS n FROM run_steps s JOIN runs r ON r.id = s.run%1"
            " GROUP BY s.defect ORDER BY n DESC, s.defect")
            .arg(failuresWhere(filter, binds));
    QSqlQuery q(store_.database());
    if (!run(q, sql, binds))
        return fail(q.lastError().text(), error);
    DefectParetoRow uncoded;
    while (q.next()) {
        DefectParetoRow p;
        p.defect = q.value(0).toString();
        p.count = q.value(1).toInt();
        if (p.defect.isEmpty())
            uncoded = p;
        else
            out << p;
    }
    // Uncoded failures last, as a Pareto's "other": the codes rank among themselves, and the
    // shares stay those of every failure, so that a line sees how many went without a code.
    if (uncoded.count > 0)
        out << uncoded;
    cumulate(out);
    return true;
}

bool ResultsQuery::todayCounts(const QString& station, const QDate& day, TodayCounts& out,
                               QString& error) {
    out = TodayCounts();
    const QString d = day.toString(QStringLiteral("yyyy-MM-dd"));
    const QString runs = QStringLiteral(
        "SELECT serial, verdict, started, id, 0 AS kind FROM runs"
        " WHERE station = ? AND day = ? AND verdict IS NOT NULL");
    const QString units = QStringLiteral(
        "SELECT serial, verdict, started, id, 1 AS kind FROM units WHERE station = ? AND day = ?");
    // Columns: the records, their values, where the counts go.
    const struct {
        QString records;
        QVariantList binds;
        DayCounts* counts;
    } sets[] = {
        {runs, {station, d}, &out.runs},
        {units, {station, d}, &out.edid},
        {runs + QStringLiteral(" UNION ALL ") + units, {station, d, station, d}, &out.together},
    };
    for (const auto& set : sets) {
        const QString sql =
            QStringLiteral(
                "SELECT COUNT(*), SUM(CASE WHEN last_verdict = 'PASS' THEN 1 ELSE 0 END),"
                " SUM(CASE WHEN verdict = 'PASS' THEN 1 ELSE 0 END) FROM (SELECT verdict,"
                " ROW_NUMBER() OVER (PARTITION BY serial ORDER BY started, kind, id) AS first_n,"
                " FIRST_VALUE(verdict) OVER (PARTITION BY serial"
                " ORDER BY started DESC, kind DESC, id DESC) AS last_verdict FROM (%1) a) t"
                " WHERE first_n = 1")
                .arg(set.records);
        QSqlQuery q(store_.database());
        if (!run(q, sql, set.binds) || !q.next())
            return fail(q.lastError().text(), error);
        set.counts->units = q.value(0).toInt();
        set.counts->passed = q.value(1).toInt();
        set.counts->firstPass = q.value(2).toInt();
    }
    return true;
}

bool ResultsQuery::previousRuns(const QString& serial, PreviousRuns& out, QString& error) {
    out = PreviousRuns();
    QSqlQuery q(store_.database());
    if (!run(q,
             QStringLiteral("SELECT COUNT(*) FROM runs WHERE serial = ? AND verdict IS NOT NULL"),
             {serial}) ||
        !q.next())
        return fail(q.lastError().text(), error);
    out.count = q.value(0).toInt();
    q.finish();
    if (out.count == 0)
        return true;
    QList<ResultRow> last;
    const QString sql = QStringLiteral(
                            "SELECT %1 FROM (SELECT * FROM runs WHERE serial = ? AND verdict IS NOT"
                            " NULL ORDER BY started DESC, id DESC LIMIT 1) r LEFT JOIN run_steps s"
                            " ON s.run = r.id AND s.verdict = 'fail' ORDER BY s.step")
                            .arg(QLatin1String(RunColumns));
    if (!runRows(
            sql, {serial}, [&](const ResultRow& r) { last << r; }, error))
        return false;
    if (last.isEmpty())
        return true;
    out.verdict = last[0].verdict;
    out.started = last[0].started;
    out.station = last[0].station;
    for (const ResultRow::FailedStep& f : last[0].failed) out.failedSteps << f.step;
    QSqlQuery e(store_.database());
    if (run(e, QStringLiteral("SELECT end_step FROM runs WHERE uuid = ?"), {last[0].id}) &&
        e.next() && !e.value(0).isNull())
        out.endStep = e.value(0).toInt();
    return true;
}
