#include "results/StoredRun.h"

#include <QSqlQuery>

#include "plan/PlanFile.h"
#include "results/StoreConnection.h"
#include "results/StoreValues.h"

namespace {

QDateTime localTime(const QVariant& utc) {
    return QDateTime::fromString(utc.toString(), Qt::ISODateWithMs).toLocalTime();
}

}  // namespace

bool StoredRun::read(const StoreConnection& db, qint64 key, RunRecord& r, bool& found,
                     QString& error) {
    found = false;
    QSqlQuery q(db.database());
    q.prepare(QStringLiteral(
        "SELECT r.uuid, r.station, r.serial, r.operator, r.plan_name, r.plan_file,"
        " r.plan_sha256, r.program, r.port, r.repeats, r.started, r.touched, r.reached,"
        " r.steps_total, r.report_folder, r.report_file, r.end_kind, p.text, r.station_mode"
        " FROM runs r LEFT JOIN plans p ON p.sha256 = r.plan_sha256 WHERE r.id = ?"));
    q.addBindValue(key);
    if (!q.exec())
        return db.failQuery(q, error);
    if (!q.next() || !q.value(16).isNull())
        return true;
    RunRecord read;
    read.id = q.value(0).toString();
    read.station = q.value(1).toString();
    read.serial = q.value(2).toString();
    read.operatorName = q.value(3).toString();
    read.plan.name = q.value(4).toString();
    read.planFile = q.value(5).toString();
    read.planDigest = q.value(6).toString();
    read.version = q.value(7).toString();
    read.port = q.value(8).toString();
    read.repeat = qMax(1, q.value(9).toInt());
    read.started = localTime(q.value(10));
    read.ended = localTime(q.value(11));
    read.endStep = q.value(12).toInt();
    const int total = q.value(13).toInt();
    read.reportFolder = q.value(14).toString();
    read.reportFile = q.value(15).toString();
    read.planText = q.value(17).toString().toUtf8();
    read.stationMode = q.value(18).toInt() != 0;
    q.finish();
    Plan plan;
    QString why;
    if (!read.planText.isEmpty() && PlanFile::parse(read.planText, plan, why)) {
        const QString name = read.plan.name;
        read.plan = plan.repeated(read.repeat);
        read.plan.name = name;
    }
    read.steps.resize(total);
    if (!readSteps(db, key, read, error) || !readPauses(db, key, read, error))
        return false;
    r = read;
    found = true;
    return true;
}

bool StoredRun::readSteps(const StoreConnection& db, qint64 key, RunRecord& r, QString& error) {
    QSqlQuery s(db.database());
    s.prepare(QStringLiteral(
        "SELECT step, verdict, note, ms, redone, defect, edid_identity, edid_golden_sha256,"
        " edid_written_sha256, edid_read_back_sha256 FROM run_steps WHERE run = ?"));
    s.addBindValue(key);
    if (!s.exec())
        return db.failQuery(s, error);
    while (s.next()) {
        const int k = s.value(0).toInt();
        if (k < 0 || k >= r.steps.size())
            continue;
        RunRecord::Step& step = r.steps[k];
        step.verdict = StoreValues::stepVerdictFrom(s.value(1).toString());
        step.note = s.value(2).toString();
        step.ms = s.value(3).toLongLong();
        step.redone = s.value(4).toInt() != 0;
        step.defect = s.value(5).toString();
        RunRecord::Step::Edid& e = step.edid;
        e.identity = s.value(6).toString();
        e.goldenSha256 = s.value(7).toString();
        e.writtenSha256 = s.value(8).toString();
        e.readBackSha256 = s.value(9).toString();
        // A programmed unit always has its golden's digest: the golden was read first.
        e.done = !e.goldenSha256.isEmpty();
    }
    return true;
}

bool StoredRun::readPauses(const StoreConnection& db, qint64 key, RunRecord& r, QString& error) {
    QSqlQuery p(db.database());
    p.prepare(
        QStringLiteral("SELECT step, paused_at, reason, paused_ms FROM run_pauses WHERE run = ?"
                       " ORDER BY pause"));
    p.addBindValue(key);
    if (!p.exec())
        return db.failQuery(p, error);
    while (p.next()) {
        RunRecord::Interruption i;
        i.step = p.value(0).toInt();
        i.at = localTime(p.value(1));
        i.reason = p.value(2).toString();
        i.pausedMs = p.value(3).toLongLong();
        r.interruptions << i;
    }
    return true;
}
