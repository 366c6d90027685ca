#pragma once

#include <QSqlDatabase>
#include <QString>

struct StoreDialect;

// The results store's tables, versioned: a store records its version in schema_info, and an
// older store is brought forward one version at a time, all in one transaction.
class ResultsSchema {
public:
    // The version this program writes and reads.
    static constexpr int Version = 3;

    // The store's version: 0 for a database without tables (a new one); false with why when
    // the database holds tables but is no results store.
    static bool version(QSqlDatabase& db, const StoreDialect& dialect, int& version,
                        QString& reason);
    // Why a store of that version is refused.
    static QString newer(int version);
    // Brings the store to Version in one transaction, from the version it has under the write
    // lock (a store that another program made or upgraded meanwhile is left as it is).
    static bool upgrade(QSqlDatabase& db, const StoreDialect& dialect, QString& reason);
};
