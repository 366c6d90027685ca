#include "results/StoreWriter.h"

#include <QSqlQuery>

#include "plan/PlanFile.h"
#include "results/StoreConnection.h"
#include "results/StoreValues.h"

namespace {

using Moment = StoreValues::Moment;

// Every text column is bound through it (never NULL): short, for the long lists below.
QVariant text(const QString& s) {
    return StoreValues::text(s);
}

QVariant sourceName(StoreWriter::Source source) {
    return QVariant(source == StoreWriter::Source::Import ? QStringLiteral("import")
                                                          : QStringLiteral("station"));
}

}  // namespace

bool StoreWriter::queue(const char* kind, qint64 key, QString& error) {
    if (db_.isServer())
        return true;
    QSqlQuery q(db_.database());
    q.prepare(
        QStringLiteral("INSERT INTO outbox (kind, record, queued) VALUES (?, ?, ?)"
                       " ON CONFLICT (kind, record) DO NOTHING"));
    q.addBindValue(QLatin1String(kind));
    q.addBindValue(key);
    q.addBindValue(StoreValues::moment(QDateTime::currentDateTime()).utc);
    return q.exec() || db_.failQuery(q, error);
}

bool StoreWriter::runKey(const QString& uuid, qint64& key, QString& error) {
    QSqlQuery q(db_.database());
    q.prepare(QStringLiteral("SELECT id FROM runs WHERE uuid = ?"));
    q.addBindValue(uuid);
    if (!q.exec())
        return db_.failQuery(q, error);
    key = q.next() ? q.value(0).toLongLong() : -1;
    return true;
}

bool StoreWriter::putRun(const RunRecord& r, Source source, const QString& verdict, int stepsDone,
                         bool& inserted, QString& error) {
    inserted = false;
    QSqlDatabase db = db_.database();
    const QString digest = r.planText.isEmpty() ? r.planDigest : PlanFile::digest(r.planText);
    if (!r.planText.isEmpty()) {
        QSqlQuery p(db);
        p.prepare(
            QStringLiteral("INSERT INTO plans (sha256, name, text) VALUES (?, ?, ?) "
                           "ON CONFLICT (sha256) DO NOTHING"));
        p.addBindValue(digest);
        p.addBindValue(text(r.plan.name));
        p.addBindValue(QString::fromUtf8(r.planText));
        if (!p.exec())
            return db_.failQuery(p, error);
    }
    const Moment start = StoreValues::moment(r.started);
    const bool ended = !verdict.isEmpty();
    const Moment end = StoreValues::moment(ended ? r.ended : QDateTime::currentDateTime());
    const QVariant nullText = StoreValues::nullText();
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO runs (uuid, station, serial, operator, plan_name, plan_file, plan_sha256,"
        " program, port, repeats, started, started_local, day, week, ended, ended_local, touched,"
        " reached, end_kind, end_step, failure, verdict, steps_total, steps_done, report_folder,"
        " report_file, source, station_mode)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?,"
        " ?) ON CONFLICT (uuid) DO NOTHING"));
    for (const QVariant& v : {
             text(r.id),
             text(r.station),
             text(r.serial),
             text(r.operatorName),
             text(r.plan.name),
             text(r.planFile),
             text(digest),
             text(r.version),
             text(r.port),
             QVariant(r.repeat),
             text(start.utc),
             text(start.local),
             text(start.day),
             text(start.week),
             ended ? text(end.utc) : nullText,
             ended ? text(end.local) : nullText,
             text(end.utc),
             QVariant(qMax(0, r.endStep)),
             ended ? QVariant(RunRecord::endName(r.end)) : nullText,
             ended && r.endStep >= 0 ? QVariant(r.endStep) : StoreValues::nullNumber(),
             text(r.failure),
             ended ? text(verdict) : nullText,
             QVariant(int(r.steps.size())),
             QVariant(stepsDone),
             text(r.reportFolder),
             text(r.reportFile),
             sourceName(source),
             QVariant(r.stationMode ? 1 : 0),
         })
        q.addBindValue(v);
    if (!q.exec())
        return db_.failQuery(q, error);
    inserted = q.numRowsAffected() == 1;
    return true;
}

bool StoreWriter::putStep(qint64 run, int step, const RunRecord::Step& s, QString& error) {
    QSqlQuery q(db_.database());
    q.prepare(QStringLiteral(
        "INSERT INTO run_steps (run, step, verdict, note, ms, redone, defect, edid_identity,"
        " edid_golden_sha256, edid_written_sha256, edid_read_back_sha256)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
        " ON CONFLICT (run, step) DO UPDATE SET verdict = excluded.verdict,"
        " note = excluded.note, ms = excluded.ms, redone = excluded.redone,"
        " defect = excluded.defect, edid_identity = excluded.edid_identity,"
        " edid_golden_sha256 = excluded.edid_golden_sha256,"
        " edid_written_sha256 = excluded.edid_written_sha256,"
        " edid_read_back_sha256 = excluded.edid_read_back_sha256"));
    for (const QVariant& v :
         {QVariant(run), QVariant(step), QVariant(StoreValues::stepVerdictName(s.verdict)),
          text(s.note), QVariant(s.ms), QVariant(s.redone ? 1 : 0), text(s.defect),
          text(s.edid.identity), text(s.edid.goldenSha256), text(s.edid.writtenSha256),
          text(s.edid.readBackSha256)})
        q.addBindValue(v);
    return q.exec() || db_.failQuery(q, error);
}

bool StoreWriter::putPauses(qint64 run, const RunRecord& r, QString& error) {
    QSqlQuery d(db_.database());
    d.prepare(QStringLiteral("DELETE FROM run_pauses WHERE run = ?"));
    d.addBindValue(run);
    if (!d.exec())
        return db_.failQuery(d, error);
    QSqlQuery q(db_.database());
    q.prepare(
        QStringLiteral("INSERT INTO run_pauses (run, pause, step, paused_at, paused_at_local,"
                       " reason, paused_ms) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (int n = 0; n < r.interruptions.size(); ++n) {
        const RunRecord::Interruption& i = r.interruptions[n];
        const Moment at = StoreValues::moment(i.at);
        for (const QVariant& v : {QVariant(run), QVariant(n), QVariant(i.step), text(at.utc),
                                  text(at.local), text(i.reason), QVariant(i.pausedMs)})
            q.addBindValue(v);
        if (!q.exec())
            return db_.failQuery(q, error);
    }
    return true;
}

bool StoreWriter::touch(const RunRecord& r, qint64 key, int reached, QString& error) {
    QSqlQuery q(db_.database());
    q.prepare(
        QStringLiteral("UPDATE runs SET touched = ?, reached = ?, steps_done = ? WHERE id = ?"));
    q.addBindValue(StoreValues::moment(QDateTime::currentDateTime()).utc);
    q.addBindValue(reached);
    q.addBindValue(r.doneSteps());
    q.addBindValue(key);
    return q.exec() || db_.failQuery(q, error);
}

bool StoreWriter::putEnd(const RunRecord& r, qint64 key, const QString& verdict, QString& error) {
    const Moment end = StoreValues::moment(r.ended);
    QSqlQuery q(db_.database());
    q.prepare(QStringLiteral(
        "UPDATE runs SET ended = ?, ended_local = ?, touched = ?, reached = ?, end_kind = ?,"
        " end_step = ?, failure = ?, verdict = ?, steps_done = ?, report_folder = ?,"
        " report_file = ? WHERE id = ?"));
    for (const QVariant& v : {
             text(end.utc),
             text(end.local),
             text(end.utc),
             QVariant(r.endStep < 0 ? int(r.steps.size()) - 1 : r.endStep),
             QVariant(RunRecord::endName(r.end)),
             r.endStep >= 0 ? QVariant(r.endStep) : StoreValues::nullNumber(),
             text(r.failure),
             text(verdict),
             QVariant(r.doneSteps()),
             text(r.reportFolder),
             text(r.reportFile),
             QVariant(key),
         })
        q.addBindValue(v);
    return q.exec() || db_.failQuery(q, error);
}

bool StoreWriter::putInterrupted(const RunRecord& r, qint64 key, QString& error) {
    const Moment end = StoreValues::moment(r.ended);
    QSqlQuery q(db_.database());
    q.prepare(QStringLiteral(
        "UPDATE runs SET ended = ?, ended_local = ?, end_kind = ?, end_step = ?, verdict = ?,"
        " steps_done = ? WHERE id = ? AND end_kind IS NULL"));
    for (const QVariant& v :
         {text(end.utc), text(end.local), QVariant(RunRecord::endName(r.end)), QVariant(r.endStep),
          QVariant(RunRecord::verdictText(r.verdict())), QVariant(r.doneSteps()), QVariant(key)})
        q.addBindValue(v);
    return q.exec() || db_.failQuery(q, error);
}

bool StoreWriter::putUnit(const UnitRecord& u, Source source, bool& inserted, QString& error) {
    inserted = false;
    QSqlDatabase db = db_.database();
    const Moment start = StoreValues::moment(u.started);
    const Moment end = StoreValues::moment(u.ended);
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO units (uuid, station, serial, started, started_local, day, week, ended,"
        " ended_local, patched, serial_text, serial_number, mfg_week, mfg_year, golden_file,"
        " golden_sha256, written_sha256, read_back_sha256, verdict, failed_stage, message,"
        " log_file, source, serial_format)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
        " ON CONFLICT (uuid) DO NOTHING"));
    for (const QVariant& v : {
             text(u.id),
             text(u.station),
             text(u.serial),
             text(start.utc),
             text(start.local),
             text(start.day),
             text(start.week),
             text(end.utc),
             text(end.local),
             QVariant(u.patched ? 1 : 0),
             text(u.serialText),
             QVariant(qint64(u.serialNumber)),
             QVariant(u.week),
             QVariant(u.year),
             text(u.goldenFile),
             text(u.goldenSha256),
             text(u.writtenSha256),
             text(u.readBackSha256),
             QVariant(UnitRecord::verdictText(u.verdict)),
             u.verdict == UnitRecord::Verdict::Pass || u.failedStage < 0 ? StoreValues::nullNumber()
                                                                         : QVariant(u.failedStage),
             text(u.message),
             text(u.logFile),
             sourceName(source),
             text(u.serialFormat),
         })
        q.addBindValue(v);
    if (!q.exec())
        return db_.failQuery(q, error);
    if (q.numRowsAffected() != 1)
        return true;  // recorded before
    inserted = true;
    QSqlQuery k(db);
    k.prepare(QStringLiteral("SELECT id FROM units WHERE uuid = ?"));
    k.addBindValue(u.id);
    if (!k.exec() || !k.next())
        return db_.failQuery(k, error);
    const qint64 key = k.value(0).toLongLong();
    k.finish();
    if (!queue("unit", key, error))
        return false;
    QSqlQuery s(db);
    s.prepare(QStringLiteral(
        "INSERT INTO unit_stages (unit, stage, ok, ms, text) VALUES (?, ?, ?, ?, ?)"));
    for (int n = 0; n < UnitRecord::StageCount; ++n) {
        const UnitRecord::Stage& st = u.stages[n];
        if (!st.reached)
            continue;
        s.addBindValue(key);
        s.addBindValue(n);
        s.addBindValue(st.ok ? 1 : 0);
        s.addBindValue(st.ms);
        s.addBindValue(text(st.text));
        if (!s.exec())
            return db_.failQuery(s, error);
    }
    return true;
}
