#include "results/ResultsBatch.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include "results/StoreDialect.h"

namespace {

// A kind of record and how it is copied. Columns: outbox kind, table, its columns after the
// key (the UUID first).
struct RecordKind {
    const char* kind;
    const char* table;
    const char* columns;
};
constexpr RecordKind Kinds[] = {
    {"run", "runs",
     "uuid, station, serial, operator, plan_name, plan_file, plan_sha256, program, port, repeats,"
     " started, started_local, day, week, ended, ended_local, touched, reached, end_kind,"
     " end_step, failure, verdict, steps_total, steps_done, report_folder, report_file, source,"
     " station_mode"},
    {"unit", "units",
     "uuid, station, serial, started, started_local, day, week, ended, ended_local, patched,"
     " serial_text, serial_number, mfg_week, mfg_year, golden_file, golden_sha256,"
     " written_sha256, read_back_sha256, verdict, failed_stage, message, log_file, source,"
     " serial_format"},
};
// The rows that belong to a record and go with it. Columns: the record's outbox kind, child
// table, its column naming the parent, its other columns.
struct ChildTable {
    const char* kind;
    const char* table;
    const char* parent;
    const char* columns;
};
constexpr ChildTable Children[] = {
    {"run", "run_steps", "run",
     "step, verdict, note, ms, redone, defect, edid_identity, edid_golden_sha256,"
     " edid_written_sha256, edid_read_back_sha256"},
    {"run", "run_pauses", "run", "pause, step, paused_at, paused_at_local, reason, paused_ms"},
    {"unit", "unit_stages", "unit", "stage, ok, ms, text"},
};
const char* const PlanColumns = "sha256, name, text";

// Bound values in one statement: PostgreSQL takes up to 65535, SQLite 32766.
constexpr int MaxValues = 30000;

QString utc(const QDateTime& t) {
    return t.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

int columnCount(const char* columns) {
    return int(QByteArray(columns).count(',')) + 1;
}

QString reason(const QSqlQuery& q) {
    const QSqlError e = q.lastError();
    return (e.databaseText().isEmpty() ? e.text() : e.databaseText()).simplified();
}

// Rows read by sql (with bound values), every column as it comes.
bool readRows(QSqlDatabase& db, const QString& sql, const QVariantList& binds,
              QList<QVariantList>& out, QString& error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        error = reason(q);
        return false;
    }
    for (const QVariant& v : binds) q.addBindValue(v);
    if (!q.exec()) {
        error = reason(q);
        return false;
    }
    const int n = q.record().count();
    while (q.next()) {
        QVariantList row;
        row.reserve(n);
        for (int c = 0; c < n; ++c) row << q.value(c);
        out << row;
    }
    return true;
}

// rows (from column `from` on) into table as multi-row INSERTs with bound values; with
// returning, each chunk's RETURNING rows go to returned. A failure rolls the transaction back
// while the statement still stands (PostgreSQL frees it only outside a failed transaction).
bool insertRows(QSqlDatabase& db, const QString& table, const char* columns,
                const QList<QVariantList>& rows, int from, const QString& suffix,
                QList<QVariantList>* returned, QString& error) {
    const int n = columnCount(columns);
    const int perChunk = qMax(1, MaxValues / n);
    const QString one =
        QLatin1Char('(') + QStringLiteral("?, ").repeated(n - 1) + QStringLiteral("?)");
    for (int start = 0; start < rows.size(); start += perChunk) {
        const int count = qMin(perChunk, int(rows.size()) - start);
        QString sql =
            QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(table, QLatin1String(columns));
        sql.reserve(sql.size() + count * (one.size() + 2) + suffix.size());
        for (int k = 0; k < count; ++k) {
            if (k)
                sql += QLatin1String(", ");
            sql += one;
        }
        sql += suffix;
        QSqlQuery q(db);
        q.setForwardOnly(true);
        bool ok = q.prepare(sql);
        for (int k = start; ok && k < start + count; ++k)
            for (int c = from; c < rows[k].size(); ++c) q.addBindValue(rows[k][c]);
        if (!ok || !q.exec()) {
            error = reason(q);
            if (db.isOpen())
                QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            return false;
        }
        while (returned && q.next()) returned->append({q.value(0), q.value(1)});
    }
    return true;
}

// After a statement failed on the server and its transaction was rolled back: the line gone
// (the server no longer answers), a role without the right, or something else.
ResultsStore::Fault faultOf(QSqlDatabase& db, const QString& why) {
    QSqlQuery probe(db);
    if (!db.isOpen() || !probe.exec(QStringLiteral("SELECT 1")))
        return ResultsStore::Fault::Unreachable;
    return why.contains(QLatin1String("permission denied")) ? ResultsStore::Fault::Refused
                                                            : ResultsStore::Fault::Other;
}

}  // namespace

bool ResultsBatch::read(ResultsStore& spool, int maxRecords, int graceSeconds, QString& error) {
    *this = ResultsBatch();
    QSqlDatabase db = spool.database();
    QString why;
    auto failed = [&](const QString& w) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        error = QStringLiteral("%1: %2").arg(spool.name(), w);
        *this = ResultsBatch();
        return false;
    };
    // One snapshot: the records the station adds meanwhile come in the next batch.
    QSqlQuery begin(db);
    if (!begin.exec(QStringLiteral("BEGIN"))) {
        error = QStringLiteral("%1: %2").arg(spool.name(), reason(begin));
        return false;
    }
    QList<QVariantList> queued;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!readRows(db,
                  QStringLiteral("SELECT o.seq, o.kind, o.record, o.queued, r.report_file FROM"
                                 " outbox o LEFT JOIN runs r ON o.kind = 'run' AND r.id = o.record"
                                 " ORDER BY o.seq LIMIT ?"),
                  {maxRecords}, queued, why))
        return failed(why);
    const QString cutoff = utc(now.addSecs(-graceSeconds));
    qint64 last = -1;
    for (const QVariantList& q : queued) {
        const QString kind = q[1].toString();
        const QString at = q[3].toString();
        if (kind == QLatin1String("run") && q[4].toString().isEmpty() && !at.isEmpty() &&
            at > cutoff) {
            heldUntil_ = QDateTime::fromString(at, Qt::ISODateWithMs).addSecs(graceSeconds);
            break;
        }
        entries_.append({kind, q[2].toLongLong()});
        last = q[0].toLongLong();
    }
    if (entries_.isEmpty()) {
        QSqlQuery(db).exec(QStringLiteral("COMMIT"));
        return true;
    }
    for (const RecordKind& k : Kinds) {
        Part& part = QLatin1String(k.kind) == QLatin1String("run") ? runs_ : units_;
        const QVariantList binds = {QLatin1String(k.kind), last};
        if (!readRows(db,
                      QStringLiteral("SELECT t.id, %1 FROM %2 t JOIN outbox o ON o.kind = ? AND"
                                     " o.record = t.id WHERE o.seq <= ? ORDER BY o.seq")
                          .arg(QLatin1String(k.columns), QLatin1String(k.table)),
                      binds, part.rows, why))
            return failed(why);
    }
    for (const ChildTable& c : Children) {
        Part& part = QLatin1String(c.kind) == QLatin1String("run") ? runs_ : units_;
        if (!readRows(
                db,
                QStringLiteral("SELECT c.%1, %2 FROM %3 c JOIN outbox o ON o.kind = ? AND"
                               " o.record = c.%1 WHERE o.seq <= ?")
                    .arg(QLatin1String(c.parent), QLatin1String(c.columns), QLatin1String(c.table)),
                {QLatin1String(c.kind), last}, part.children[QLatin1String(c.table)], why))
            return failed(why);
    }
    if (!readRows(db,
                  QStringLiteral("SELECT DISTINCT p.sha256, p.name, p.text FROM plans p JOIN runs r"
                                 " ON r.plan_sha256 = p.sha256 JOIN outbox o ON o.kind = 'run' AND"
                                 " o.record = r.id WHERE o.seq <= ?"),
                  {last}, plans_, why))
        return failed(why);
    QSqlQuery(db).exec(QStringLiteral("COMMIT"));
    return true;
}

bool ResultsBatch::write(ResultsStore& server, const Hook& hook, int& newRuns, int& newUnits,
                         ResultsStore::Fault& fault, QString& error) const {
    newRuns = newUnits = 0;
    fault = ResultsStore::Fault::None;
    QSqlDatabase db = server.database();
    QString why;
    auto failed = [&](bool rolledBack = false) {
        if (!rolledBack && db.isOpen())
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        fault = faultOf(db, why);
        error = QStringLiteral("%1: %2").arg(server.name(), why);
        return false;
    };
    auto step = [&](const char* name) {
        if (hook)
            hook(QLatin1String(name));
    };
    QSqlQuery begin(db);
    if (!begin.exec(QStringLiteral("BEGIN"))) {
        why = reason(begin);
        return failed();
    }
    step("plans");
    if (!insertRows(db, QStringLiteral("plans"), PlanColumns, plans_, 0,
                    QStringLiteral(" ON CONFLICT (sha256) DO NOTHING"), nullptr, why))
        return failed(true);
    for (const RecordKind& k : Kinds) {
        const bool isRun = QLatin1String(k.kind) == QLatin1String("run");
        const Part& part = isRun ? runs_ : units_;
        if (part.rows.isEmpty())
            continue;
        step(k.table);
        // The server's keys of the records it did not have, by UUID.
        QList<QVariantList> made;
        if (!insertRows(db, QLatin1String(k.table), k.columns, part.rows, 1,
                        QStringLiteral(" ON CONFLICT (uuid) DO NOTHING RETURNING id, uuid"), &made,
                        why))
            return failed(true);
        QHash<QString, qint64> byUuid;
        for (const QVariantList& m : made) byUuid.insert(m[1].toString(), m[0].toLongLong());
        QHash<qint64, qint64> serverKey;  // spool key -> server key, new records only
        for (const QVariantList& r : part.rows) {
            const auto it = byUuid.constFind(r[1].toString());
            if (it != byUuid.constEnd())
                serverKey.insert(r[0].toLongLong(), *it);
        }
        (isRun ? newRuns : newUnits) = int(serverKey.size());
        for (const ChildTable& c : Children) {
            if (QLatin1String(c.kind) != QLatin1String(k.kind))
                continue;
            QList<QVariantList> children;
            for (const QVariantList& row : part.children.value(QLatin1String(c.table))) {
                const auto it = serverKey.constFind(row[0].toLongLong());
                if (it == serverKey.constEnd())
                    continue;  // the server had the record, and so its child rows
                QVariantList copy = row;
                copy[0] = *it;
                children << copy;
            }
            step(c.table);
            const QByteArray columns =
                QByteArray(c.parent) + QByteArrayLiteral(", ") + QByteArray(c.columns);
            if (!insertRows(db, QLatin1String(c.table), columns.constData(), children, 0, QString(),
                            nullptr, why))
                return failed(true);
        }
    }
    step("commit");
    QSqlQuery commit(db);
    if (!commit.exec(QStringLiteral("COMMIT"))) {
        why = reason(commit);
        return failed();
    }
    return true;
}

bool ResultsBatch::settle(ResultsStore& spool, QString& error) const {
    if (entries_.isEmpty())
        return true;
    QSqlDatabase db = spool.database();
    QSqlQuery q(db);
    auto failed = [&]() {
        error = QStringLiteral("%1: %2").arg(spool.name(), reason(q));
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    if (!q.exec(QLatin1String(spool.dialect().beginWrite)))
        return failed();
    // By kind and record, not by position: another forwarder of the same spool may have
    // settled these and a new record taken a freed position.
    if (!q.prepare(QStringLiteral("DELETE FROM outbox WHERE kind = ? AND record = ?")))
        return failed();
    for (const Entry& e : entries_) {
        q.addBindValue(e.kind);
        q.addBindValue(e.record);
        if (!q.exec())
            return failed();
    }
    if (!q.exec(QStringLiteral("COMMIT")))
        return failed();
    return true;
}
