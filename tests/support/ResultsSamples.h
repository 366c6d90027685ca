#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>

#include "plan/PlanFile.h"
#include "plan/RunRecord.h"
#include "production/UnitRecord.h"
#include "results/ResultsStore.h"

// Runs and EDID units as the results store tests record them.
namespace samples {

inline const QByteArray PlanText =
    "name: Incoming\n10 1 judge White field\nsame 8 judge Black field\nsame 15 judge Gray steps\n";

inline QDateTime at(const QDate& d, int h, int m) {
    return QDateTime(d, QTime(h, m));
}

// A run of PlanText: verdicts p (pass), f (fail, noted "note N"), - (not reached).
inline RunRecord makeRun(const QString& serial, const QDateTime& start, const QString& verdicts,
                         RunRecord::End end = RunRecord::End::Completed,
                         const QString& station = "line3-b") {
    RunRecord r;
    r.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QString error;
    PlanFile::parse(PlanText, r.plan, error);
    r.planText = PlanText;
    r.planDigest = PlanFile::digest(PlanText);
    r.planFile = "plan.txt";
    r.serial = serial;
    r.operatorName = "Ann";
    r.station = station;
    r.version = "1.0.0";
    r.port = "COM 1";
    r.started = start;
    r.ended = start.addSecs(60);
    r.reportFolder = "/srv/reports";
    r.steps.resize(3);
    for (int k = 0; k < verdicts.size(); ++k) {
        if (verdicts[k] == 'p')
            r.steps[k].verdict = RunRecord::StepVerdict::Pass;
        if (verdicts[k] == 'f') {
            r.steps[k].verdict = RunRecord::StepVerdict::Fail;
            r.steps[k].note = QStringLiteral("note %1").arg(k + 1);
        }
        r.steps[k].ms = 1000 * (k + 1);
    }
    r.end = end;
    r.endStep = end == RunRecord::End::Completed ? -1 : int(verdicts.indexOf('-'));
    return r;
}

// Records a run as the runner would: started, each verdict, ended (unless ended is false).
inline bool record(ResultsStore& store, const RunRecord& r, bool ended = true) {
    QString e;
    bool ok = store.runStarted(r, e);
    for (int k = 0; ok && k < r.steps.size(); ++k)
        if (r.steps[k].verdict != RunRecord::StepVerdict::None)
            ok = store.stepJudged(r, k, e);
    ok = ok && (!ended || store.runEnded(r, e));
    if (!ok)
        qWarning("%s", qPrintable(e));
    return ok;
}

// An EDID unit that passed (or failed at Read back), with two stages.
inline UnitRecord makeUnit(const QString& serial, const QDateTime& start, bool pass = true,
                           const QString& station = "line3-b") {
    UnitRecord u;
    u.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    u.started = start;
    u.ended = start.addSecs(40);
    u.station = station;
    u.serial = serial;
    u.goldenFile = "golden.bin";
    u.verdict = pass ? UnitRecord::Verdict::Pass : UnitRecord::Verdict::Fail;
    u.stages[0] = {true, true, 3, "patched"};
    u.stages[1] = {true, pass, 30000, pass ? "" : "no answer"};
    if (!pass) {
        u.failedStage = 3;
        u.message = "byte 12 differs";
    }
    return u;
}

// The SQLite store at path as a program of schema version 1 or 2 left it: its records kept,
// what later versions added gone.
inline bool downgrade(const QString& path, int version) {
    QStringList statements = {"DROP TABLE run_pauses", "ALTER TABLE runs DROP COLUMN station_mode",
                              "ALTER TABLE units DROP COLUMN serial_format"};
    for (const char* c : {"defect", "edid_identity", "edid_golden_sha256", "edid_written_sha256",
                          "edid_read_back_sha256"})
        statements << QStringLiteral("ALTER TABLE run_steps DROP COLUMN %1").arg(c);
    if (version < 2)
        statements << "DROP TABLE outbox";
    statements << QStringLiteral("UPDATE schema_info SET version = %1").arg(version);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "downgrade");
        db.setDatabaseName(path);
        ok = db.open();
        for (const QString& s : statements) ok = ok && QSqlQuery(db).exec(s);
        db.close();
    }
    QSqlDatabase::removeDatabase("downgrade");
    return ok;
}

}  // namespace samples
