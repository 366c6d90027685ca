#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

#include "results/ResultsStore.h"

class StoreConnection;
class StoreWriter;

// Records of earlier versions' files put into a results store (ResultsStore::importRuns and
// importUnits, for ResultsImport): each list in one transaction. A record that the store holds
// already is skipped: the same station and serial at the same second, recorded live by this
// version or imported from another file; one imported before has the same key, a UUID made of
// the same.
class StoreImport {
public:
    StoreImport(StoreConnection& db, StoreWriter& rows) : db_(db), rows_(rows) {}

    bool runs(const QList<ResultsStore::ImportedRun>& runs, int& added, int& skipped,
              QString& error);
    bool units(const QList<UnitRecord>& units, int& added, int& skipped, QString& error);

private:
    // Whose record and when, to the second, as the store finds it.
    struct Whose {
        QString serial;
        QString station;
        QDateTime at;
    };
    // Puts record n with the key given; inserted: it was not in the store.
    using Put = std::function<bool(qsizetype n, const QString& key, bool& inserted, QString&)>;

    // kind: "run" or "unit", as its key begins; sameSecond: the count of the store's records
    // of a serial and station in a second.
    bool each(const char* kind, const char* sameSecond, qsizetype count,
              const std::function<Whose(qsizetype n)>& whose, const Put& put, int& added,
              int& skipped, QString& error);

    StoreConnection& db_;
    StoreWriter& rows_;
};
