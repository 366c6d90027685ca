#include "results/ResultsSchema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include "results/StoreDialect.h"

namespace {

// One version's changes. {id} and {compact} stand for what differs between the databases
// (StoreDialect); statements are separated by ';', which no statement holds otherwise.
struct Migration {
    int version;  // the version the statements bring the store to
    const char* statements;
};

// Columns: version reached, its statements. Times are text: started and ended in UTC
// (yyyy-MM-ddTHH:mm:ss.zzzZ, which sorts as time), *_local in ISO 8601 with the station's offset,
// day (yyyy-MM-dd) and week (yyyy-Www) of the station's local date, for grouping.
constexpr Migration Migrations[] = {
    {1,
     "CREATE TABLE IF NOT EXISTS schema_info (version INTEGER NOT NULL);"
     "CREATE TABLE plans (sha256 TEXT PRIMARY KEY, name TEXT NOT NULL, text TEXT NOT NULL);"
     "CREATE TABLE runs (id {id}, uuid TEXT NOT NULL UNIQUE, station TEXT NOT NULL,"
     " serial TEXT NOT NULL, operator TEXT NOT NULL, plan_name TEXT NOT NULL,"
     " plan_file TEXT NOT NULL, plan_sha256 TEXT NOT NULL, program TEXT NOT NULL,"
     " port TEXT NOT NULL, repeats INTEGER NOT NULL, started TEXT NOT NULL,"
     " started_local TEXT NOT NULL, day TEXT NOT NULL, week TEXT NOT NULL, ended TEXT,"
     " ended_local TEXT, touched TEXT NOT NULL, reached INTEGER NOT NULL, end_kind TEXT,"
     " end_step INTEGER, failure TEXT NOT NULL, verdict TEXT, steps_total INTEGER NOT NULL,"
     " steps_done INTEGER NOT NULL, report_folder TEXT NOT NULL, report_file TEXT NOT NULL,"
     " source TEXT NOT NULL);"
     "CREATE INDEX runs_serial ON runs (serial, started);"
     "CREATE INDEX runs_started ON runs (started);"
     "CREATE INDEX runs_day ON runs (day);"
     "CREATE INDEX runs_open ON runs (station) WHERE end_kind IS NULL;"
     "CREATE TABLE run_steps (run BIGINT NOT NULL REFERENCES runs (id) ON DELETE CASCADE,"
     " step INTEGER NOT NULL, verdict TEXT NOT NULL, note TEXT NOT NULL, ms BIGINT NOT NULL,"
     " redone INTEGER NOT NULL, PRIMARY KEY (run, step)){compact};"
     "CREATE TABLE units (id {id}, uuid TEXT NOT NULL UNIQUE, station TEXT NOT NULL,"
     " serial TEXT NOT NULL, started TEXT NOT NULL, started_local TEXT NOT NULL,"
     " day TEXT NOT NULL, week TEXT NOT NULL, ended TEXT NOT NULL, ended_local TEXT NOT NULL,"
     " patched INTEGER NOT NULL, serial_text TEXT NOT NULL, serial_number BIGINT NOT NULL,"
     " mfg_week INTEGER NOT NULL, mfg_year INTEGER NOT NULL, golden_file TEXT NOT NULL,"
     " golden_sha256 TEXT NOT NULL, written_sha256 TEXT NOT NULL,"
     " read_back_sha256 TEXT NOT NULL, verdict TEXT NOT NULL, failed_stage INTEGER,"
     " message TEXT NOT NULL, log_file TEXT NOT NULL, source TEXT NOT NULL);"
     "CREATE INDEX units_serial ON units (serial, started);"
     "CREATE INDEX units_started ON units (started);"
     "CREATE INDEX units_day ON units (day);"
     "CREATE TABLE unit_stages (unit BIGINT NOT NULL REFERENCES units (id) ON DELETE CASCADE,"
     " stage INTEGER NOT NULL, ok INTEGER NOT NULL, ms BIGINT NOT NULL, text TEXT NOT NULL,"
     " PRIMARY KEY (unit, stage)){compact}"},
    // A station's records that the line's server has not taken yet, in the order they ended
    // (kind 'run' or 'unit', record: the row's id, queued: UTC when it was queued, empty for the
    // records of a version 1 store, all of which it queues). Stays empty on a server.
    {2,
     "CREATE TABLE outbox (seq {id}, kind TEXT NOT NULL, record BIGINT NOT NULL,"
     " queued TEXT NOT NULL, UNIQUE (kind, record));"
     "INSERT INTO outbox (kind, record, queued) SELECT kind, id, '' FROM"
     " (SELECT 'run' AS kind, id, ended FROM runs WHERE end_kind IS NOT NULL UNION ALL"
     " SELECT 'unit' AS kind, id, ended FROM units) e ORDER BY ended, kind, id"},
    // Station mode; a failed step's defect code; an edid step's identity written and the
    // digests of its golden, of what was uploaded and of what was read back; the serials an
    // EDID unit had to match; a run's pauses in their order (pause 0, 1, ...), the step paused
    // on, when, the failed command's words and how long until Retry (-1: the run ended
    // paused). Older rows read as before: empty texts and 0.
    {3,
     "ALTER TABLE runs ADD COLUMN station_mode INTEGER NOT NULL DEFAULT 0;"
     "ALTER TABLE run_steps ADD COLUMN defect TEXT NOT NULL DEFAULT '';"
     "ALTER TABLE run_steps ADD COLUMN edid_identity TEXT NOT NULL DEFAULT '';"
     "ALTER TABLE run_steps ADD COLUMN edid_golden_sha256 TEXT NOT NULL DEFAULT '';"
     "ALTER TABLE run_steps ADD COLUMN edid_written_sha256 TEXT NOT NULL DEFAULT '';"
     "ALTER TABLE run_steps ADD COLUMN edid_read_back_sha256 TEXT NOT NULL DEFAULT '';"
     "ALTER TABLE units ADD COLUMN serial_format TEXT NOT NULL DEFAULT '';"
     "CREATE TABLE run_pauses (run BIGINT NOT NULL REFERENCES runs (id) ON DELETE CASCADE,"
     " pause INTEGER NOT NULL, step INTEGER NOT NULL, paused_at TEXT NOT NULL,"
     " paused_at_local TEXT NOT NULL, reason TEXT NOT NULL, paused_ms BIGINT NOT NULL,"
     " PRIMARY KEY (run, pause)){compact}"},
};

static_assert(sizeof(Migrations) / sizeof(Migrations[0]) == ResultsSchema::Version,
              "one migration per version");

bool exec(QSqlDatabase& db, const QString& sql, QString& reason) {
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    reason = q.lastError().text();
    return false;
}

}  // namespace

QString ResultsSchema::newer(int version) {
    return QStringLiteral(
               "written by a newer version of the program (results schema %1; this one knows "
               "up to %2)")
        .arg(version)
        .arg(Version);
}

bool ResultsSchema::version(QSqlDatabase& db, const StoreDialect& dialect, int& version,
                            QString& reason) {
    QSqlQuery q(db);
    if (!q.exec(QLatin1String(dialect.tableCount)) || !q.next()) {
        reason = q.lastError().text();
        return false;
    }
    if (q.value(0).toInt() == 0) {
        version = 0;
        return true;
    }
    q.finish();
    if (!q.exec(QStringLiteral("SELECT version FROM schema_info")) || !q.next()) {
        reason = QStringLiteral("not a results store (it holds other tables)");
        return false;
    }
    version = q.value(0).toInt();
    return true;
}

bool ResultsSchema::upgrade(QSqlDatabase& db, const StoreDialect& dialect, QString& reason) {
    QString ignored;
    if (!exec(db, QLatin1String(dialect.beginWrite), reason))
        return false;
    if (*dialect.schemaLock && !exec(db, QLatin1String(dialect.schemaLock), reason)) {
        exec(db, QStringLiteral("ROLLBACK"), ignored);
        return false;
    }
    // Read again under the write lock: another program may have made or upgraded the store
    // since it was first looked at.
    int from = 0;
    if (!version(db, dialect, from, reason) || from > Version) {
        if (from > Version)
            reason = newer(from);
        exec(db, QStringLiteral("ROLLBACK"), ignored);
        return false;
    }
    if (from == Version)
        return exec(db, QStringLiteral("COMMIT"), reason);
    for (const Migration& m : Migrations) {
        if (m.version <= from)
            continue;
        const QStringList statements =
            dialect.expand(m.statements).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const QString& s : statements)
            if (!exec(db, s, reason)) {
                reason = QStringLiteral("upgrading to version %1: %2").arg(m.version).arg(reason);
                exec(db, QStringLiteral("ROLLBACK"), ignored);
                return false;
            }
    }
    QSqlQuery q(db);
    const bool ok = q.exec(QStringLiteral("DELETE FROM schema_info")) &&
                    q.prepare(QStringLiteral("INSERT INTO schema_info (version) VALUES (?)"));
    q.addBindValue(Version);
    if (!ok || !q.exec()) {
        reason = q.lastError().text();
        exec(db, QStringLiteral("ROLLBACK"), ignored);
        return false;
    }
    if (!exec(db, QStringLiteral("COMMIT"), reason)) {
        exec(db, QStringLiteral("ROLLBACK"), ignored);
        return false;
    }
    return true;
}
