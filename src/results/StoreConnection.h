#pragma once

#include <QSqlDatabase>
#include <QString>

#include "results/StoreDialect.h"

class QSqlQuery;
class ResultsLocation;

// A results store's database, reached and made ready (ResultsStore opens one): a station's
// SQLite file, looked at before SQLite may touch it and brought up to this program's schema
// when it is to be written, or a line's PostgreSQL server, whose schema must be this program's
// (initServer makes or upgrades it). Also the store's short write transactions, and the texts
// of what went wrong, which name the store ("path: reason").
class StoreConnection {
public:
    enum class Access { ReadOnly, ReadWrite };
    // Why a server could not be opened, for a caller that retries (ResultsForwarder).
    enum class Fault {
        None,
        Unreachable,  // no connection: unknown host, nothing listening, time-out, line lost
        Refused,      // the server refused the role: password, role, database, permissions
        Schema,       // the server's results schema is not this program's
        Other,
    };

    StoreConnection();
    ~StoreConnection();
    StoreConnection(const StoreConnection&) = delete;
    StoreConnection& operator=(const StoreConnection&) = delete;

    // path: an SQLite file. One that is not an SQLite database, not a results store, or of a
    // newer schema is refused, and left exactly as it was; an older one is upgraded
    // (ReadWrite). ReadOnly never creates a file.
    bool openFile(const QString& path, Access access, QString& error);
    // url: a PostgreSQL server's (ResultsLocation), whose schema must be this program's.
    bool openServer(const QString& url, Access access, QString& error);
    // Opens a server with a role that may create tables, and makes or upgrades its schema to
    // this program's; before: the version it had (0: none). Left open ReadWrite.
    bool initServer(const QString& url, int& before, QString& error);
    void close();
    bool isOpen() const;
    bool isServer() const;
    QSqlDatabase database() const;
    const StoreDialect& dialect() const { return *dialect_; }
    // The store as messages name it: the file's path, or the server's URL.
    QString name() const { return name_; }
    // The file's folder; empty for a server.
    QString folder() const { return folder_; }
    Fault fault() const { return fault_; }
    // The server's password, kept in memory only; without one libpq looks in its password file.
    void setPassword(const QString& password) { password_ = password; }

    // False, after error says why, unless the store is open for writing and still there.
    bool writable(QString& error) const;
    // One write transaction, taking the write lock at once; a commit that fails is rolled back.
    bool begin(QString& error);
    bool commit(QString& error);
    void rollback();
    // False, after error says "name: what".
    bool fail(const QString& what, QString& error) const;
    bool failQuery(const QSqlQuery& q, QString& error) const;

private:
    void start(Access access);
    bool openSqlite(const QString& path, QString& error);
    bool reachServer(const QString& url, bool init, int& before, QString& error);
    // Empty when done; else why not (fault_ says which kind). The connection stays for close().
    QString connectServer(const ResultsLocation& where, bool init, int& before);
    // Empty when done; else why not. The connection stays for close() to remove.
    QString connectSqlite(const QString& path, bool readOnly, bool fresh, int& version);
    QString setUpWriter(int version);

    QString connection_;
    QString name_;
    QString folder_;
    Access access_ = Access::ReadOnly;
    QString password_;
    Fault fault_ = Fault::None;
    const StoreDialect* dialect_;
};
