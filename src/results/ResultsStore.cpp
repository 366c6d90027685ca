#include "results/ResultsStore.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QUuid>

#include "files/SafeFile.h"
#include "plan/PlanFile.h"
#include "results/ResultsLocation.h"
#include "results/ResultsSchema.h"

namespace {

constexpr int BusyTimeoutMs = 5000;
const QByteArray SqliteMagic("SQLite format 3\0", 16);
// Imported records get a name-based UUID in this namespace, so that a file imported twice
// finds its records by their key.
const QUuid ImportNamespace(QStringLiteral("{6f1d7a52-41b8-4c0e-9a57-0c2f5e7d93a1}"));

// The time columns of a moment, as the schema keeps them.
struct Moment {
    QString utc;    // 2026-12-08T13:15:03.000Z: sorts as time
    QString local;  // 2026-12-08T14:15:03+01:00: as the report shows it
    QString day;    // 2026-12-08: the station's date
    QString week;   // 2026-W50: its ISO week
};

Moment moment(const QDateTime& t) {
    Moment m;
    m.utc = t.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
    const QDateTime local = t.toOffsetFromUtc(t.offsetFromUtc());
    m.local = local.toString(Qt::ISODate);
    m.day = local.date().toString(QStringLiteral("yyyy-MM-dd"));
    int year = 0;
    const int week = local.date().weekNumber(&year);
    m.week = QStringLiteral("%1-W%2")
                 .arg(year, 4, 10, QLatin1Char('0'))
                 .arg(week, 2, 10, QLatin1Char('0'));
    return m;
}

QString stepVerdictName(RunRecord::StepVerdict v) {
    // A withdrawn verdict (Back) is kept as such: the step was judged once.
    return v == RunRecord::StepVerdict::None ? QStringLiteral("withdrawn")
                                             : RunRecord::stepVerdictText(v);
}

RunRecord::StepVerdict stepVerdictFrom(const QString& name) {
    for (auto v : {RunRecord::StepVerdict::Pass, RunRecord::StepVerdict::Fail,
                   RunRecord::StepVerdict::Shown})
        if (RunRecord::stepVerdictText(v) == name)
            return v;
    return RunRecord::StepVerdict::None;
}

// Bound text is never NULL: an empty field is an empty text in every column that holds text.
QVariant text(const QString& s) {
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}

QVariant nullText() {
    return QVariant(QMetaType::fromType<QString>());
}

QVariant nullNumber() {
    return QVariant(QMetaType::fromType<int>());
}

// libpq's message on one line: "connection to server at ... failed: FATAL:  password ...".
QString oneLine(const QSqlError& e) {
    const QString text = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    return text.simplified();
}

// What the caller is to run when a server's schema is not this program's.
QString schemaMismatch(int server, const ResultsLocation& where) {
    const QString init =
        QStringLiteral(
            "run orve1ctl results init postgresql://ROLE@%1/%2 with a role that may "
            "create tables")
            .arg(where.port() < 0 ? where.host()
                                  : QStringLiteral("%1:%2").arg(where.host()).arg(where.port()),
                 where.database());
    if (server == 0)
        return QStringLiteral("the server holds no results store yet: ") + init;
    return QStringLiteral("the server's results schema is version %1 and this program's is %2: %3")
        .arg(server)
        .arg(ResultsSchema::Version)
        .arg(server < ResultsSchema::Version
                 ? init
                 : QStringLiteral("install the program's newer version on this station (the "
                                  "version that made the server's tables)"));
}

QString newConnectionName() {
    static QAtomicInteger<int> counter;
    return QStringLiteral("orve1-results-%1").arg(counter.fetchAndAddOrdered(1));
}

}  // namespace

ResultsStore::ResultsStore()
    : station_(QSysInfo::machineHostName()),
      dialect_(&StoreDialect::of(StoreDialect::Kind::Sqlite)) {}

ResultsStore::~ResultsStore() {
    close();
}

bool ResultsStore::isOpen() const {
    return !connection_.isEmpty();
}

QSqlDatabase ResultsStore::database() const {
    return QSqlDatabase::database(connection_, false);
}

void ResultsStore::close() {
    live_.clear();
    if (connection_.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
    connection_.clear();
}

QString ResultsStore::filePath(const QString& location) {
    QString path = location.isEmpty() ? QString::fromLatin1(DefaultFileName) : location;
    if (QFileInfo(path).isDir())
        path = QDir(path).filePath(QLatin1String(DefaultFileName));
    return QFileInfo(path).absoluteFilePath();
}

bool ResultsStore::isServer() const {
    return dialect_->kind == StoreDialect::Kind::Postgresql;
}

bool ResultsStore::open(const QString& location, Access access, QString& error) {
    close();
    access_ = access;
    fault_ = Fault::None;
    if (ResultsLocation::isServerUrl(location)) {
        int before = 0;
        return openServer(location, access, false, before, error);
    }
    const QString path = filePath(location);
    name_ = QDir::toNativeSeparators(path);
    folder_ = QFileInfo(path).absolutePath();
    dialect_ = &StoreDialect::of(StoreDialect::Kind::Sqlite);
    return openSqlite(path, access, error);
}

bool ResultsStore::initServer(const QString& url, int& before, QString& error) {
    close();
    access_ = Access::ReadWrite;
    fault_ = Fault::None;
    if (!ResultsLocation::isServerUrl(url)) {
        error = QStringLiteral(
                    "%1: not a PostgreSQL server's URL (an SQLite store is made by the first "
                    "program that records to it)")
                    .arg(url);
        return false;
    }
    return openServer(url, Access::ReadWrite, true, before, error);
}

bool ResultsStore::openServer(const QString& url, Access access, bool init, int& before,
                              QString& error) {
    dialect_ = &StoreDialect::of(StoreDialect::Kind::Postgresql);
    folder_.clear();
    ResultsLocation where;
    const bool parsed = ResultsLocation::parse(url, where, error);
    name_ = where.text();
    if (!parsed) {
        fault_ = Fault::Other;
        return false;
    }
    const QString why = connectServer(where, access, init, before);
    if (why.isEmpty())
        return true;
    close();
    return fail(why, error);
}

QString ResultsStore::connectServer(const ResultsLocation& where, Access access, bool init,
                                    int& before) {
    connection_ = newConnectionName();
    QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(dialect_->driver), connection_);
    auto refuse = [&](Fault f, const QString& why) {
        fault_ = f;
        return why;
    };
    if (!db.isValid())
        return refuse(Fault::Other,
                      QStringLiteral("Qt's PostgreSQL driver (QPSQL) is not installed beside "
                                     "the program"));
    db.setHostName(where.host());
    db.setPort(where.port());
    db.setDatabaseName(where.database());
    db.setUserName(where.role());
    if (!password_.isEmpty())
        db.setPassword(password_);
    db.setConnectOptions(where.connectOptions());
    if (!db.open()) {
        // The server answered and said no (FATAL), or libpq had no password to give it; else
        // no server was reached.
        const QString why = oneLine(db.lastError());
        const bool refused = why.contains(QLatin1String("FATAL")) ||
                             why.contains(QLatin1String("no password supplied"));
        return refuse(refused ? Fault::Refused : Fault::Unreachable, why);
    }
    if (access == Access::ReadOnly) {
        QSqlQuery q(db);
        if (!q.exec(QLatin1String(dialect_->readOnlySetup)))
            return refuse(Fault::Other, oneLine(q.lastError()));
    }
    int version = 0;
    QString why;
    if (!ResultsSchema::version(db, *dialect_, version, why))
        return refuse(Fault::Other, why);
    before = version;
    if (!init && version != ResultsSchema::Version)
        return refuse(Fault::Schema, schemaMismatch(version, where));
    if (init && version > ResultsSchema::Version)
        return refuse(Fault::Schema, schemaMismatch(version, where));
    if (init && version < ResultsSchema::Version && !ResultsSchema::upgrade(db, *dialect_, why))
        return refuse(
            why.contains(QLatin1String("permission denied")) ? Fault::Refused : Fault::Other,
            why.simplified());
    return QString();
}

bool ResultsStore::openSqlite(const QString& path, Access access, QString& error) {
    const QFileInfo info(path);
    bool fresh = false;
    if (!info.exists()) {
        if (access == Access::ReadOnly)
            return fail(QStringLiteral("no such file"), error);
        if (!QFileInfo(folder_).isDir())
            return fail(QStringLiteral("its folder does not exist"), error);
        fresh = true;
    } else {
        // Nothing but an SQLite file is handed to SQLite: it would take other bytes for a
        // database to make, or a journal to roll back.
        QByteArray head;
        QString why;
        if (!SafeFile::readRegular(path, SqliteMagic.size(), head, why)) {
            error = QDir::toNativeSeparators(why);
            return false;
        }
        if (head.isEmpty() && access == Access::ReadWrite)
            fresh = true;  // left empty by a store that was being made: nothing in it to lose
        else if (head != SqliteMagic)
            return fail(QStringLiteral("not an SQLite database"), error);
        else if (access == Access::ReadWrite && !info.isWritable())
            return fail(QStringLiteral("the file may not be written"), error);
    }

    // The schema is read over a read-only connection first, so that a store this program
    // cannot use is not touched at all (no journal mode switched, no upgrade).
    int version = 0;
    for (const bool readOnly : {true, false}) {
        if (readOnly && fresh)
            continue;
        if (!readOnly && access == Access::ReadOnly)
            break;
        const QString why = connectSqlite(path, readOnly, fresh, version);
        if (!why.isEmpty() || (readOnly && access == Access::ReadWrite))
            close();
        if (!why.isEmpty())
            return fail(why, error);
    }
    if (access == Access::ReadOnly)
        return true;

    const QString why = setUpWriter(version);
    if (!why.isEmpty()) {
        close();
        return fail(why, error);
    }
    return true;
}

QString ResultsStore::setUpWriter(int version) {
    QSqlDatabase db = database();
    QString why;
    if (version < ResultsSchema::Version && !ResultsSchema::upgrade(db, *dialect_, why))
        return why;
    for (const QString& s :
         QString::fromLatin1(dialect_->writerSetup).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        QSqlQuery q(db);
        if (!q.exec(s))
            return q.lastError().text();
    }
    return QString();
}

QString ResultsStore::connectSqlite(const QString& path, bool readOnly, bool fresh, int& version) {
    connection_ = newConnectionName();
    QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(dialect_->driver), connection_);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                             .arg(BusyTimeoutMs)
                             .arg(readOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
    if (!db.open())
        return db.lastError().text();
    QString why;
    if (!fresh && !ResultsSchema::version(db, *dialect_, version, why))
        return why;
    if (version > ResultsSchema::Version)
        return ResultsSchema::newer(version);
    if (readOnly && access_ == Access::ReadOnly && version < ResultsSchema::Version)
        return QStringLiteral(
                   "an older results store (schema %1): open it once with a program that "
                   "records results to bring it up to date")
            .arg(version);
    return QString();
}

bool ResultsStore::fail(const QString& what, QString& error) const {
    error = QStringLiteral("%1: %2").arg(name_, what);
    return false;
}

bool ResultsStore::failQuery(const QSqlQuery& q, QString& error) const {
    const QSqlError e = q.lastError();
    return fail(e.databaseText().isEmpty() ? e.text() : e.databaseText(), error);
}

bool ResultsStore::writable(QString& error) const {
    if (!isOpen())
        return fail(QStringLiteral("the results store is not open"), error);
    if (access_ != Access::ReadWrite)
        return fail(QStringLiteral("opened for reading only"), error);
    // An open file whose folder was removed or unmounted still takes writes that no one will
    // ever read: the verdict must not count as recorded.
    if (!isServer() && !QFileInfo::exists(name_))
        return fail(QStringLiteral("the store is gone (its folder was removed or unmounted)"),
                    error);
    return true;
}

bool ResultsStore::begin(QString& error) {
    if (!writable(error))
        return false;
    QSqlQuery q(database());
    return q.exec(QLatin1String(dialect_->beginWrite)) || failQuery(q, error);
}

bool ResultsStore::commit(QString& error) {
    QSqlQuery q(database());
    if (q.exec(QStringLiteral("COMMIT")))
        return true;
    failQuery(q, error);
    rollback();
    return false;
}

void ResultsStore::rollback() {
    QSqlQuery q(database());
    q.exec(QStringLiteral("ROLLBACK"));
}

bool ResultsStore::liveRecords(QString& error) const {
    // Live runs need this station's lock files and must never wait on a network: they go to
    // the station's own store, and the forwarder takes them to the server once they ended.
    // Imports too: the stations' role may only add rows, and a run's steps are upserted.
    if (isServer())
        return fail(QStringLiteral("a station records into its own results store (its spool); "
                                   "the server takes the ended records from there"),
                    error);
    return true;
}

bool ResultsStore::queue(const char* kind, qint64 key, QString& error) {
    if (isServer())
        return true;
    QSqlQuery q(database());
    q.prepare(
        QStringLiteral("INSERT INTO outbox (kind, record, queued) VALUES (?, ?, ?)"
                       " ON CONFLICT (kind, record) DO NOTHING"));
    q.addBindValue(QLatin1String(kind));
    q.addBindValue(key);
    q.addBindValue(moment(QDateTime::currentDateTime()).utc);
    return q.exec() || failQuery(q, error);
}

QString ResultsStore::lockPath(const QString& runId) const {
    return QDir(folder_).filePath(QStringLiteral(".results-%1.lock").arg(runId));
}

bool ResultsStore::runKey(const QString& uuid, qint64& key, QString& error) {
    QSqlQuery q(database());
    q.prepare(QStringLiteral("SELECT id FROM runs WHERE uuid = ?"));
    q.addBindValue(uuid);
    if (!q.exec())
        return failQuery(q, error);
    key = q.next() ? q.value(0).toLongLong() : -1;
    return true;
}

bool ResultsStore::putRun(const RunRecord& r, Source source, const QString& verdict, int stepsDone,
                          bool& inserted, QString& error) {
    inserted = false;
    QSqlDatabase db = database();
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
            return failQuery(p, error);
    }
    const Moment start = moment(r.started);
    const bool ended = !verdict.isEmpty();
    const Moment end = ended ? moment(r.ended) : moment(QDateTime::currentDateTime());
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
             ended ? text(end.utc) : nullText(),
             ended ? text(end.local) : nullText(),
             text(end.utc),
             QVariant(qMax(0, r.endStep)),
             ended ? QVariant(RunRecord::endName(r.end)) : nullText(),
             ended && r.endStep >= 0 ? QVariant(r.endStep) : nullNumber(),
             text(r.failure),
             ended ? text(verdict) : nullText(),
             QVariant(int(r.steps.size())),
             QVariant(stepsDone),
             text(r.reportFolder),
             text(r.reportFile),
             QVariant(source == Source::Import ? QStringLiteral("import")
                                               : QStringLiteral("station")),
             QVariant(r.stationMode ? 1 : 0),
         })
        q.addBindValue(v);
    if (!q.exec())
        return failQuery(q, error);
    inserted = q.numRowsAffected() == 1;
    return true;
}

bool ResultsStore::putStep(qint64 run, int step, const RunRecord::Step& s, QString& error) {
    QSqlQuery q(database());
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
         {QVariant(run), QVariant(step), QVariant(stepVerdictName(s.verdict)), text(s.note),
          QVariant(s.ms), QVariant(s.redone ? 1 : 0), text(s.defect), text(s.edid.identity),
          text(s.edid.goldenSha256), text(s.edid.writtenSha256), text(s.edid.readBackSha256)})
        q.addBindValue(v);
    return q.exec() || failQuery(q, error);
}

bool ResultsStore::putPauses(qint64 run, const RunRecord& r, QString& error) {
    // All of them again: the last one gains its time once Retry ends it.
    QSqlQuery d(database());
    d.prepare(QStringLiteral("DELETE FROM run_pauses WHERE run = ?"));
    d.addBindValue(run);
    if (!d.exec())
        return failQuery(d, error);
    QSqlQuery q(database());
    q.prepare(
        QStringLiteral("INSERT INTO run_pauses (run, pause, step, paused_at, paused_at_local,"
                       " reason, paused_ms) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (int n = 0; n < r.interruptions.size(); ++n) {
        const RunRecord::Interruption& i = r.interruptions[n];
        const Moment at = moment(i.at);
        for (const QVariant& v : {QVariant(run), QVariant(n), QVariant(i.step), text(at.utc),
                                  text(at.local), text(i.reason), QVariant(i.pausedMs)})
            q.addBindValue(v);
        if (!q.exec())
            return failQuery(q, error);
    }
    return true;
}

bool ResultsStore::touch(const RunRecord& r, qint64 key, int reached, QString& error) {
    QSqlQuery q(database());
    q.prepare(
        QStringLiteral("UPDATE runs SET touched = ?, reached = ?, steps_done = ? WHERE id = ?"));
    q.addBindValue(moment(QDateTime::currentDateTime()).utc);
    q.addBindValue(reached);
    q.addBindValue(r.doneSteps());
    q.addBindValue(key);
    return q.exec() || failQuery(q, error);
}

bool ResultsStore::runStarted(const RunRecord& r, QString& error) {
    if (!writable(error) || !liveRecords(error))
        return false;
    if (!live_.contains(r.id)) {
        // Held until the run ends: while it is, no other program takes the run for interrupted.
        auto lock = std::make_shared<QLockFile>(lockPath(r.id));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0))
            return fail(QStringLiteral("cannot make the lock file of run %1 (%2)")
                            .arg(r.id, QDir::toNativeSeparators(lockPath(r.id))),
                        error);
        live_.insert(r.id, lock);
    }
    bool inserted = false;
    bool ok = begin(error);
    if (ok && !putRun(r, Source::Station, QString(), r.doneSteps(), inserted, error)) {
        rollback();
        ok = false;
    }
    if (ok && commit(error))
        return true;
    live_.remove(r.id);
    return false;
}

bool ResultsStore::stepJudged(const RunRecord& r, int step, QString& error) {
    if (step < 0 || step >= r.steps.size())
        return fail(QStringLiteral("run %1 has no step %2").arg(r.id).arg(step + 1), error);
    if (!liveRecords(error) || !begin(error))
        return false;
    qint64 key = -1;
    bool inserted = false;
    const RunRecord::Step& s = r.steps[step];
    // After a verdict the run goes on to the next step; after Back it shows this one again.
    const int reached =
        s.verdict == RunRecord::StepVerdict::None ? step : qMin(step + 1, int(r.steps.size()) - 1);
    const bool ok = putRun(r, Source::Station, QString(), r.doneSteps(), inserted, error) &&
                    runKey(r.id, key, error) && putStep(key, step, s, error) &&
                    touch(r, key, reached, error);
    if (!ok) {
        rollback();
        return false;
    }
    return commit(error);
}

bool ResultsStore::runPaused(const RunRecord& r, QString& error) {
    if (!liveRecords(error) || !begin(error))
        return false;
    qint64 key = -1;
    bool inserted = false;
    // A run pauses on the step it shows: the step it has reached.
    const int reached = r.interruptions.isEmpty() ? 0 : r.interruptions.last().step;
    const bool ok = putRun(r, Source::Station, QString(), r.doneSteps(), inserted, error) &&
                    runKey(r.id, key, error) && putPauses(key, r, error) &&
                    touch(r, key, reached, error);
    if (!ok) {
        rollback();
        return false;
    }
    return commit(error);
}

bool ResultsStore::runEnded(const RunRecord& r, QString& error) {
    if (!liveRecords(error) || !begin(error))
        return false;
    qint64 key = -1;
    bool inserted = false;
    const QString verdict = RunRecord::verdictText(r.verdict());
    bool ok = putRun(r, Source::Station, verdict, r.doneSteps(), inserted, error) &&
              runKey(r.id, key, error);
    for (int k = 0; ok && k < r.steps.size(); ++k)
        if (r.steps[k].verdict != RunRecord::StepVerdict::None || r.steps[k].redone)
            ok = putStep(key, k, r.steps[k], error);
    ok = ok && putPauses(key, r, error);
    if (ok && !inserted) {
        const Moment end = moment(r.ended);
        QSqlQuery q(database());
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
                 r.endStep >= 0 ? QVariant(r.endStep) : nullNumber(),
                 text(r.failure),
                 text(verdict),
                 QVariant(r.doneSteps()),
                 text(r.reportFolder),
                 text(r.reportFile),
                 QVariant(key),
             })
            q.addBindValue(v);
        ok = q.exec() || failQuery(q, error);
    }
    ok = ok && queue("run", key, error);
    if (!ok) {
        rollback();
        return false;
    }
    if (!commit(error))
        return false;
    live_.remove(r.id);  // the lock file goes with it
    return true;
}

bool ResultsStore::reportWritten(const QString& runId, const QString& reportFile, QString& error) {
    if (!liveRecords(error) || !begin(error))
        return false;
    QSqlQuery q(database());
    q.prepare(QStringLiteral("UPDATE runs SET report_file = ? WHERE uuid = ?"));
    q.addBindValue(text(reportFile));
    q.addBindValue(runId);
    if (!q.exec()) {
        failQuery(q, error);
        rollback();
        return false;
    }
    if (q.numRowsAffected() != 1) {
        rollback();
        return fail(QStringLiteral("no run %1").arg(runId), error);
    }
    return commit(error);
}

bool ResultsStore::putUnit(const UnitRecord& u, Source source, bool& inserted, QString& error) {
    inserted = false;
    QSqlDatabase db = database();
    const Moment start = moment(u.started);
    const Moment end = moment(u.ended);
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
             u.verdict == UnitRecord::Verdict::Pass || u.failedStage < 0 ? nullNumber()
                                                                         : QVariant(u.failedStage),
             text(u.message),
             text(u.logFile),
             QVariant(source == Source::Import ? QStringLiteral("import")
                                               : QStringLiteral("station")),
             text(u.serialFormat),
         })
        q.addBindValue(v);
    if (!q.exec())
        return failQuery(q, error);
    if (q.numRowsAffected() != 1)
        return true;  // recorded before
    inserted = true;
    QSqlQuery k(db);
    k.prepare(QStringLiteral("SELECT id FROM units WHERE uuid = ?"));
    k.addBindValue(u.id);
    if (!k.exec() || !k.next())
        return failQuery(k, error);
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
            return failQuery(s, error);
    }
    return true;
}

bool ResultsStore::unitRecorded(const UnitRecord& u, QString& error) {
    if (!liveRecords(error) || !begin(error))
        return false;
    bool inserted = false;
    if (!putUnit(u, Source::Station, inserted, error)) {
        rollback();
        return false;
    }
    return commit(error);
}

QList<RunRecord> ResultsStore::takeInterrupted(QString& error) {
    QList<RunRecord> taken;
    error.clear();
    if (!writable(error) || !liveRecords(error))
        return taken;
    QList<QPair<qint64, QString>> open;
    {
        QSqlQuery q(database());
        q.prepare(QStringLiteral(
            "SELECT id, uuid FROM runs WHERE station = ? AND end_kind IS NULL ORDER BY started"));
        q.addBindValue(station_);
        if (!q.exec()) {
            failQuery(q, error);
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
    if (!begin(error))
        return false;
    QSqlDatabase db = database();
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "SELECT r.uuid, r.station, r.serial, r.operator, r.plan_name, r.plan_file,"
        " r.plan_sha256, r.program, r.port, r.repeats, r.started, r.touched, r.reached,"
        " r.steps_total, r.report_folder, r.report_file, r.end_kind, p.text, r.station_mode"
        " FROM runs r LEFT JOIN plans p ON p.sha256 = r.plan_sha256 WHERE r.id = ?"));
    q.addBindValue(key);
    if (!q.exec()) {
        failQuery(q, error);
        rollback();
        return false;
    }
    if (!q.next() || !q.value(16).isNull()) {
        rollback();  // ended meanwhile: nothing to take
        return true;
    }
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
    read.started = QDateTime::fromString(q.value(10).toString(), Qt::ISODateWithMs).toLocalTime();
    read.ended = QDateTime::fromString(q.value(11).toString(), Qt::ISODateWithMs).toLocalTime();
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
    QSqlQuery s(db);
    s.prepare(QStringLiteral(
        "SELECT step, verdict, note, ms, redone, defect, edid_identity, edid_golden_sha256,"
        " edid_written_sha256, edid_read_back_sha256 FROM run_steps WHERE run = ?"));
    s.addBindValue(key);
    if (!s.exec()) {
        failQuery(s, error);
        rollback();
        return false;
    }
    while (s.next()) {
        const int k = s.value(0).toInt();
        if (k < 0 || k >= read.steps.size())
            continue;
        RunRecord::Step& step = read.steps[k];
        step.verdict = stepVerdictFrom(s.value(1).toString());
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
    s.finish();
    QSqlQuery p(db);
    p.prepare(
        QStringLiteral("SELECT step, paused_at, reason, paused_ms FROM run_pauses WHERE run = ?"
                       " ORDER BY pause"));
    p.addBindValue(key);
    if (!p.exec()) {
        failQuery(p, error);
        rollback();
        return false;
    }
    while (p.next()) {
        RunRecord::Interruption i;
        i.step = p.value(0).toInt();
        i.at = QDateTime::fromString(p.value(1).toString(), Qt::ISODateWithMs).toLocalTime();
        i.reason = p.value(2).toString();
        i.pausedMs = p.value(3).toLongLong();
        read.interruptions << i;
    }
    p.finish();
    read.end = RunRecord::End::Interrupted;
    const Moment end = moment(read.ended);
    QSqlQuery u(db);
    u.prepare(QStringLiteral(
        "UPDATE runs SET ended = ?, ended_local = ?, end_kind = ?, end_step = ?, verdict = ?,"
        " steps_done = ? WHERE id = ? AND end_kind IS NULL"));
    for (const QVariant& v :
         {text(end.utc), text(end.local), QVariant(RunRecord::endName(read.end)),
          QVariant(read.endStep), QVariant(RunRecord::verdictText(read.verdict())),
          QVariant(read.doneSteps()), QVariant(key)})
        u.addBindValue(v);
    if (!u.exec() || !queue("run", key, error)) {
        if (u.lastError().isValid())
            failQuery(u, error);
        rollback();
        return false;
    }
    if (!commit(error))
        return false;
    r = read;
    return true;
}

bool ResultsStore::importRuns(const QList<ImportedRun>& runs, int& added, int& skipped,
                              QString& error) {
    added = skipped = 0;
    if (!liveRecords(error) || !begin(error))
        return false;
    QSqlQuery same(database());
    same.prepare(
        QStringLiteral("SELECT COUNT(*) FROM runs WHERE serial = ? AND station = ? AND started >= ?"
                       " AND started < ?"));
    for (const ImportedRun& in : runs) {
        RunRecord r = in.record;
        // The same run recorded live by this version, or imported from another file.
        const QDateTime second = r.started.addMSecs(-r.started.time().msec());
        same.addBindValue(r.serial);
        same.addBindValue(r.station);
        same.addBindValue(moment(second).utc);
        same.addBindValue(moment(second.addSecs(1)).utc);
        if (!same.exec() || !same.next()) {
            failQuery(same, error);
            rollback();
            return false;
        }
        const bool known = same.value(0).toInt() > 0;
        same.finish();
        if (known) {
            ++skipped;
            continue;
        }
        r.id = QUuid::createUuidV5(
                   ImportNamespace,
                   QStringLiteral("run|%1|%2|%3").arg(r.station, r.serial, moment(second).utc))
                   .toString(QUuid::WithoutBraces);
        bool inserted = false;
        qint64 key = -1;
        bool ok = putRun(r, Source::Import, in.verdict, in.stepsDone, inserted, error) &&
                  runKey(r.id, key, error);
        for (int k = 0; ok && inserted && k < r.steps.size(); ++k)
            if (r.steps[k].verdict != RunRecord::StepVerdict::None)
                ok = putStep(key, k, r.steps[k], error);
        ok = ok && (!inserted || queue("run", key, error));
        if (!ok) {
            rollback();
            return false;
        }
        ++(inserted ? added : skipped);
    }
    return commit(error);
}

bool ResultsStore::importUnits(const QList<UnitRecord>& units, int& added, int& skipped,
                               QString& error) {
    added = skipped = 0;
    if (!liveRecords(error) || !begin(error))
        return false;
    QSqlQuery same(database());
    same.prepare(
        QStringLiteral("SELECT COUNT(*) FROM units WHERE serial = ? AND station = ? AND ended >= ?"
                       " AND ended < ?"));
    for (const UnitRecord& in : units) {
        UnitRecord u = in;
        // A log line is written when the unit ends: its time is the unit's end.
        const QDateTime second = u.ended.addMSecs(-u.ended.time().msec());
        same.addBindValue(u.serial);
        same.addBindValue(u.station);
        same.addBindValue(moment(second).utc);
        same.addBindValue(moment(second.addSecs(1)).utc);
        if (!same.exec() || !same.next()) {
            failQuery(same, error);
            rollback();
            return false;
        }
        const bool known = same.value(0).toInt() > 0;
        same.finish();
        if (known) {
            ++skipped;
            continue;
        }
        u.id = QUuid::createUuidV5(
                   ImportNamespace,
                   QStringLiteral("unit|%1|%2|%3").arg(u.station, u.serial, moment(second).utc))
                   .toString(QUuid::WithoutBraces);
        bool inserted = false;
        if (!putUnit(u, Source::Import, inserted, error)) {
            rollback();
            return false;
        }
        ++(inserted ? added : skipped);
    }
    return commit(error);
}
