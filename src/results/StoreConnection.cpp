#include "results/StoreConnection.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include "files/SafeFile.h"
#include "results/ResultsLocation.h"
#include "results/ResultsSchema.h"

namespace {

constexpr int BusyTimeoutMs = 5000;
const QByteArray SqliteMagic("SQLite format 3\0", 16);

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

StoreConnection::StoreConnection() : dialect_(&StoreDialect::of(StoreDialect::Kind::Sqlite)) {}

StoreConnection::~StoreConnection() {
    close();
}

bool StoreConnection::isOpen() const {
    return !connection_.isEmpty();
}

bool StoreConnection::isServer() const {
    return dialect_->kind == StoreDialect::Kind::Postgresql;
}

QSqlDatabase StoreConnection::database() const {
    return QSqlDatabase::database(connection_, false);
}

void StoreConnection::close() {
    if (connection_.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
    connection_.clear();
}

void StoreConnection::start(Access access) {
    close();
    access_ = access;
    fault_ = Fault::None;
}

bool StoreConnection::openFile(const QString& path, Access access, QString& error) {
    start(access);
    name_ = QDir::toNativeSeparators(path);
    folder_ = QFileInfo(path).absolutePath();
    dialect_ = &StoreDialect::of(StoreDialect::Kind::Sqlite);
    return openSqlite(path, error);
}

bool StoreConnection::openServer(const QString& url, Access access, QString& error) {
    start(access);
    int before = 0;
    return reachServer(url, false, before, error);
}

bool StoreConnection::initServer(const QString& url, int& before, QString& error) {
    start(Access::ReadWrite);
    if (!ResultsLocation::isServerUrl(url)) {
        error = QStringLiteral(
                    "%1: not a PostgreSQL server's URL (an SQLite store is made by the first "
                    "program that records to it)")
                    .arg(url);
        return false;
    }
    return reachServer(url, true, before, error);
}

bool StoreConnection::reachServer(const QString& url, bool init, int& before, QString& error) {
    dialect_ = &StoreDialect::of(StoreDialect::Kind::Postgresql);
    folder_.clear();
    ResultsLocation where;
    const bool parsed = ResultsLocation::parse(url, where, error);
    name_ = where.text();
    if (!parsed) {
        fault_ = Fault::Other;
        return false;
    }
    const QString why = connectServer(where, init, before);
    if (why.isEmpty())
        return true;
    close();
    return fail(why, error);
}

QString StoreConnection::connectServer(const ResultsLocation& where, bool init, int& before) {
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
    if (access_ == Access::ReadOnly) {
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

bool StoreConnection::openSqlite(const QString& path, QString& error) {
    const QFileInfo info(path);
    bool fresh = false;
    if (!info.exists()) {
        if (access_ == Access::ReadOnly)
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
        if (head.isEmpty() && access_ == Access::ReadWrite)
            fresh = true;  // left empty by a store that was being made: nothing in it to lose
        else if (head != SqliteMagic)
            return fail(QStringLiteral("not an SQLite database"), error);
        else if (access_ == Access::ReadWrite && !info.isWritable())
            return fail(QStringLiteral("the file may not be written"), error);
    }

    // The schema is read over a read-only connection first, so that a store this program
    // cannot use is not touched at all (no journal mode switched, no upgrade).
    int version = 0;
    for (const bool readOnly : {true, false}) {
        if (readOnly && fresh)
            continue;
        if (!readOnly && access_ == Access::ReadOnly)
            break;
        const QString why = connectSqlite(path, readOnly, fresh, version);
        if (!why.isEmpty() || (readOnly && access_ == Access::ReadWrite))
            close();
        if (!why.isEmpty())
            return fail(why, error);
    }
    if (access_ == Access::ReadOnly)
        return true;

    const QString why = setUpWriter(version);
    if (!why.isEmpty()) {
        close();
        return fail(why, error);
    }
    return true;
}

QString StoreConnection::setUpWriter(int version) {
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

QString StoreConnection::connectSqlite(const QString& path, bool readOnly, bool fresh,
                                       int& version) {
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

bool StoreConnection::fail(const QString& what, QString& error) const {
    error = QStringLiteral("%1: %2").arg(name_, what);
    return false;
}

bool StoreConnection::failQuery(const QSqlQuery& q, QString& error) const {
    const QSqlError e = q.lastError();
    return fail(e.databaseText().isEmpty() ? e.text() : e.databaseText(), error);
}

bool StoreConnection::writable(QString& error) const {
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

bool StoreConnection::begin(QString& error) {
    if (!writable(error))
        return false;
    QSqlQuery q(database());
    return q.exec(QLatin1String(dialect_->beginWrite)) || failQuery(q, error);
}

bool StoreConnection::commit(QString& error) {
    QSqlQuery q(database());
    if (q.exec(QStringLiteral("COMMIT")))
        return true;
    failQuery(q, error);
    rollback();
    return false;
}

void StoreConnection::rollback() {
    QSqlQuery q(database());
    q.exec(QStringLiteral("ROLLBACK"));
}
