#pragma once

#include <QSqlDatabase>
#include <QString>

struct StoreDialect;

// The results store's tables, versioned: a store records its version in schema_info, and an
// older store is brought forward one version at a time, all in one transaction.
class ResultsSchema {
public:
    // The version this program writes and reads.
    static constexpr int Version = 1;

    // The store's version: 0 for a database without tables (a new one); false with why when
    // the database holds tables but is no results store.
    static bool version(QSqlDatabase& db, const StoreDialect& dialect, int& version,
                        QString& reason);
    // Brings the store from version from to Version in one transaction.
    static bool upgrade(QSqlDatabase& db, const StoreDialect& dialect, int from, QString& reason);
};
