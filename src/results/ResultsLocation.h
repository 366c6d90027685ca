#pragma once

#include <QList>
#include <QPair>
#include <QString>

// Where a results store is, as the operator names it: an SQLite file, a folder holding
// results.sqlite, or a PostgreSQL server as postgresql://ROLE@HOST[:PORT]/DATABASE with libpq's
// connection parameters as a query string (?sslmode=require&connect_timeout=10).
//
// A password never stands in a location: it would show in plan files, reports, logs and in the
// command line that ps shows. libpq takes it from its password file (~/.pgpass,
// %APPDATA%\postgresql\pgpass.conf, or the file PGPASSFILE names), or the caller hands it over
// in memory (ResultsStore::setPassword).
class ResultsLocation {
public:
    enum class Kind { File, Server };
    static constexpr int DefaultConnectTimeoutSeconds = 5;

    // False with why for a URL that cannot be used; a text that is not a URL is a file.
    static bool parse(const QString& text, ResultsLocation& out, QString& error);
    static bool isServerUrl(const QString& text);

    Kind kind() const { return kind_; }
    bool isServer() const { return kind_ == Kind::Server; }
    // File: the path as given (empty: the current folder's store).
    QString path() const { return path_; }
    // Server: the parts of the URL, decoded.
    QString role() const { return role_; }
    QString host() const { return host_; }
    int port() const { return port_; }  // -1: libpq's default
    QString database() const { return database_; }
    // The parameters as libpq takes them after host, port, dbname and user ("key='value'"
    // separated by ';', as Qt's PostgreSQL driver wants them), with a connect time-out.
    QString connectOptions() const;
    QString parameter(const QString& key) const;
    // The location as messages show it (a URL has no password to hide).
    QString text() const { return text_; }

private:
    Kind kind_ = Kind::File;
    QString text_, path_, role_, host_, database_;
    int port_ = -1;
    QList<QPair<QString, QString>> parameters_;
};
