#include "results/ResultsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSqlQuery>
#include <QSysInfo>

#include "results/ResultsLocation.h"
#include "results/StoreImport.h"
#include "results/StoreValues.h"
#include "results/StoredRun.h"

ResultsStore::ResultsStore() : station_(QSysInfo::machineHostName()) {}

ResultsStore::~ResultsStore() {
    close();
}

bool ResultsStore::isOpen() const {
    return db_.isOpen();
}

bool ResultsStore::isServer() const {
    return db_.isServer();
}

QSqlDatabase ResultsStore::database() const {
    return db_.database();
}

void ResultsStore::close() {
    live_.clear();
    db_.close();
}

QString ResultsStore::filePath(const QString& location) {
    QString path = location.isEmpty() ? QString::fromLatin1(DefaultFileName) : location;
    if (QFileInfo(path).isDir())
        path = QDir(path).filePath(QLatin1String(DefaultFileName));
    return QFileInfo(path).absoluteFilePath();
}

bool ResultsStore::open(const QString& location, Access access, QString& error) {
    close();
    if (ResultsLocation::isServerUrl(location))
        return db_.openServer(location, access, error);
    return db_.openFile(filePath(location), access, error);
}

bool ResultsStore::initServer(const QString& url, int& before, QString& error) {
    close();
    return db_.initServer(url, before, error);
}

bool ResultsStore::liveRecords(QString& error) const {
    // Live runs need this station's lock files and must never wait on a network: they go to
    // the station's own store, and the forwarder takes them to the server once they ended.
    // Imports too: the stations' role may only add rows, and a run's steps are upserted.
    if (isServer())
        return db_.fail(QStringLiteral("a station records into its own results store (its "
                                       "spool); the server takes the ended records from there"),
                        error);
    return true;
}

QString ResultsStore::lockPath(const QString& runId) const {
    return QDir(folder()).filePath(QStringLiteral(".results-%1.lock").arg(runId));
}

bool ResultsStore::runStarted(const RunRecord& r, QString& error) {
    if (!db_.writable(error) || !liveRecords(error))
        return false;
    if (!live_.contains(r.id)) {
        // Held until the run ends: while it is, no other program takes the run for interrupted.
        auto lock = std::make_shared<QLockFile>(lockPath(r.id));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0))
            return db_.fail(QStringLiteral("cannot make the lock file of run %1 (%2)")
                                .arg(r.id, QDir::toNativeSeparators(lockPath(r.id))),
                            error);
        live_.insert(r.id, lock);
    }
    bool inserted = false;
    bool ok = db_.begin(error);
    if (ok &&
        !rows_.putRun(r, StoreWriter::Source::Station, QString(), r.doneSteps(), inserted, error)) {
        db_.rollback();
        ok = false;
    }
    if (ok && db_.commit(error))
        return true;
    live_.remove(r.id);
    return false;
}

bool ResultsStore::liveStep(const RunRecord& r, int reached, const Change& change, QString& error) {
    if (!liveRecords(error) || !db_.begin(error))
        return false;
    qint64 key = -1;
    bool inserted = false;
    const bool ok =
        rows_.putRun(r, StoreWriter::Source::Station, QString(), r.doneSteps(), inserted, error) &&
        rows_.runKey(r.id, key, error) && change(key, error) && rows_.touch(r, key, reached, error);
    if (!ok) {
        db_.rollback();
        return false;
    }
    return db_.commit(error);
}

bool ResultsStore::stepJudged(const RunRecord& r, int step, QString& error) {
    if (step < 0 || step >= r.steps.size())
        return db_.fail(QStringLiteral("run %1 has no step %2").arg(r.id).arg(step + 1), error);
    const RunRecord::Step& s = r.steps[step];
    // After a verdict the run goes on to the next step; after Back it shows this one again.
    const int reached =
        s.verdict == RunRecord::StepVerdict::None ? step : qMin(step + 1, int(r.steps.size()) - 1);
    return liveStep(
        r, reached, [&](qint64 key, QString& why) { return rows_.putStep(key, step, s, why); },
        error);
}

bool ResultsStore::runPaused(const RunRecord& r, QString& error) {
    // A run pauses on the step it shows: the step it has reached.
    const int reached = r.interruptions.isEmpty() ? 0 : r.interruptions.last().step;
    return liveStep(
        r, reached, [&](qint64 key, QString& why) { return rows_.putPauses(key, r, why); }, error);
}

bool ResultsStore::runEnded(const RunRecord& r, QString& error) {
    if (!liveRecords(error) || !db_.begin(error))
        return false;
    qint64 key = -1;
    bool inserted = false;
    const QString verdict = RunRecord::verdictText(r.verdict());
    bool ok =
        rows_.putRun(r, StoreWriter::Source::Station, verdict, r.doneSteps(), inserted, error) &&
        rows_.runKey(r.id, key, error);
    for (int k = 0; ok && k < r.steps.size(); ++k)
        if (r.steps[k].verdict != RunRecord::StepVerdict::None || r.steps[k].redone)
            ok = rows_.putStep(key, k, r.steps[k], error);
    ok = ok && rows_.putPauses(key, r, error);
    if (ok && !inserted)
        ok = rows_.putEnd(r, key, verdict, error);
    ok = ok && rows_.queue("run", key, error);
    if (!ok) {
        db_.rollback();
        return false;
    }
    if (!db_.commit(error))
        return false;
    live_.remove(r.id);  // the lock file goes with it
    return true;
}

bool ResultsStore::reportWritten(const QString& runId, const QString& reportFile, QString& error) {
    if (!liveRecords(error) || !db_.begin(error))
        return false;
    QSqlQuery q(database());
    q.prepare(QStringLiteral("UPDATE runs SET report_file = ? WHERE uuid = ?"));
    q.addBindValue(StoreValues::text(reportFile));
    q.addBindValue(runId);
    if (!q.exec()) {
        db_.failQuery(q, error);
        db_.rollback();
        return false;
    }
    if (q.numRowsAffected() != 1) {
        db_.rollback();
        return db_.fail(QStringLiteral("no run %1").arg(runId), error);
    }
    return db_.commit(error);
}

bool ResultsStore::unitRecorded(const UnitRecord& u, QString& error) {
    if (!liveRecords(error) || !db_.begin(error))
        return false;
    bool inserted = false;
    if (!rows_.putUnit(u, StoreWriter::Source::Station, inserted, error)) {
        db_.rollback();
        return false;
    }
    return db_.commit(error);
}

QList<RunRecord> ResultsStore::takeInterrupted(QString& error) {
    QList<RunRecord> taken;
    error.clear();
    if (!db_.writable(error) || !liveRecords(error))
        return taken;
    QList<QPair<qint64, QString>> open;
    {
        QSqlQuery q(database());
        q.prepare(QStringLiteral(
            "SELECT id, uuid FROM runs WHERE station = ? AND end_kind IS NULL ORDER BY started"));
        q.addBindValue(station_);
        if (!q.exec()) {
            db_.failQuery(q, error);
            return taken;
        }
        while (q.next()) open.append({q.value(0).toLongLong(), q.value(1).toString()});
    }
    for (const auto& [key, uuid] : open) {
        if (live_.contains(uuid))
            continue;
        // Taken only from a program that is gone: a lock held by a live one is never stale.
        QLockFile lock(lockPath(uuid));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue;
        RunRecord r;
        if (!interrupt(key, r, error))
            return taken;
        if (!r.id.isEmpty())
            taken << r;
    }
    return taken;
}

bool ResultsStore::interrupt(qint64 key, RunRecord& r, QString& error) {
    if (!db_.begin(error))
        return false;
    RunRecord read;
    bool found = false;
    if (!StoredRun::read(db_, key, read, found, error)) {
        db_.rollback();
        return false;
    }
    if (!found) {
        db_.rollback();  // ended meanwhile: nothing to take
        return true;
    }
    read.end = RunRecord::End::Interrupted;
    if (!rows_.putInterrupted(read, key, error) || !rows_.queue("run", key, error)) {
        db_.rollback();
        return false;
    }
    if (!db_.commit(error))
        return false;
    r = read;
    return true;
}

bool ResultsStore::importRuns(const QList<ImportedRun>& runs, int& added, int& skipped,
                              QString& error) {
    added = skipped = 0;
    return liveRecords(error) && StoreImport(db_, rows_).runs(runs, added, skipped, error);
}

bool ResultsStore::importUnits(const QList<UnitRecord>& units, int& added, int& skipped,
                               QString& error) {
    added = skipped = 0;
    return liveRecords(error) && StoreImport(db_, rows_).units(units, added, skipped, error);
}
