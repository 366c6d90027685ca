#pragma once

#include <QString>

// What differs between the databases the results store runs on: a station's SQLite file, and
// a line's PostgreSQL server. Everything else (tables, queries) is written once in SQL both run.
struct StoreDialect {
    enum class Kind { Sqlite, Postgresql };

    Kind kind;
    const char* driver;  // Qt's SQL driver
    // The key of a table whose child rows refer to it by a small number.
    const char* identityKey;
    // After a table whose rows are found only by their primary key: stored once, in key order.
    const char* compactTable;
    // A write transaction that takes the write lock at once, so that a second writer waits at
    // its start instead of failing at its end.
    const char* beginWrite;
    // How many tables the database holds (0: a new one).
    const char* tableCount;
    // Run by a writer once the schema is known to be this program's (';' between statements).
    const char* writerSetup;
    // Taken in the transaction that makes or upgrades the schema, where beginWrite does not
    // already keep a second one out (empty: it does).
    const char* schemaLock;
    // Run on a connection that only reads, so that nothing it does can change the store.
    const char* readOnlySetup;

    static const StoreDialect& of(Kind kind);
    // The statement with {id} and {compact} put in for this dialect.
    QString expand(const char* statement) const;
};
