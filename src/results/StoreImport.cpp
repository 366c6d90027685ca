#include "results/StoreImport.h"

#include <QSqlQuery>
#include <QUuid>

#include "results/StoreConnection.h"
#include "results/StoreValues.h"
#include "results/StoreWriter.h"

namespace {

// How many records of a serial from a station the store holds within one second: the run by
// its start, the unit by its end.
constexpr const char* SameRunSecond =
    "SELECT COUNT(*) FROM runs WHERE serial = ? AND station = ? AND started >= ? AND started < ?";
constexpr const char* SameUnitSecond =
    "SELECT COUNT(*) FROM units WHERE serial = ? AND station = ? AND ended >= ? AND ended < ?";

// Imported records get a name-based UUID in this namespace, so that a file imported twice
// finds its records by their key.
const QUuid ImportNamespace(QStringLiteral("{6f1d7a52-41b8-4c0e-9a57-0c2f5e7d93a1}"));

}  // namespace

bool StoreImport::each(const char* kind, const char* sameSecond, qsizetype count,
                       const std::function<Whose(qsizetype n)>& whose, const Put& put, int& added,
                       int& skipped, QString& error) {
    added = skipped = 0;
    if (!db_.begin(error))
        return false;
    QSqlQuery same(db_.database());
    same.prepare(QLatin1String(sameSecond));
    for (qsizetype n = 0; n < count; ++n) {
        const Whose w = whose(n);
        const QDateTime second = w.at.addMSecs(-w.at.time().msec());
        const QString utc = StoreValues::moment(second).utc;
        same.addBindValue(w.serial);
        same.addBindValue(w.station);
        same.addBindValue(utc);
        same.addBindValue(StoreValues::moment(second.addSecs(1)).utc);
        if (!same.exec() || !same.next()) {
            db_.failQuery(same, error);
            db_.rollback();
            return false;
        }
        const bool known = same.value(0).toInt() > 0;
        same.finish();
        if (known) {
            ++skipped;
            continue;
        }
        const QString key =
            QUuid::createUuidV5(
                ImportNamespace,
                QStringLiteral("%1|%2|%3|%4").arg(QLatin1String(kind), w.station, w.serial, utc))
                .toString(QUuid::WithoutBraces);
        bool inserted = false;
        if (!put(n, key, inserted, error)) {
            db_.rollback();
            return false;
        }
        ++(inserted ? added : skipped);
    }
    return db_.commit(error);
}

bool StoreImport::runs(const QList<ResultsStore::ImportedRun>& runs, int& added, int& skipped,
                       QString& error) {
    // The same run recorded live by this version, or imported from another file.
    const auto whose = [&](qsizetype n) {
        const RunRecord& r = runs[n].record;
        return Whose{r.serial, r.station, r.started};
    };
    const auto put = [&](qsizetype n, const QString& key, bool& inserted, QString& error) {
        const ResultsStore::ImportedRun& in = runs[n];
        RunRecord r = in.record;
        r.id = key;
        qint64 row = -1;
        bool ok = rows_.putRun(r, StoreWriter::Source::Import, in.verdict, in.stepsDone, inserted,
                               error) &&
                  rows_.runKey(r.id, row, error);
        for (int k = 0; ok && inserted && k < r.steps.size(); ++k)
            if (r.steps[k].verdict != RunRecord::StepVerdict::None)
                ok = rows_.putStep(row, k, r.steps[k], error);
        return ok && (!inserted || rows_.queue("run", row, error));
    };
    return each("run", SameRunSecond, runs.size(), whose, put, added, skipped, error);
}

bool StoreImport::units(const QList<UnitRecord>& units, int& added, int& skipped, QString& error) {
    // A log line is written when the unit ends: its time is the unit's end.
    const auto whose = [&](qsizetype n) {
        const UnitRecord& u = units[n];
        return Whose{u.serial, u.station, u.ended};
    };
    const auto put = [&](qsizetype n, const QString& key, bool& inserted, QString& error) {
        UnitRecord u = units[n];
        u.id = key;
        return rows_.putUnit(u, StoreWriter::Source::Import, inserted, error);
    };
    return each("unit", SameUnitSecond, units.size(), whose, put, added, skipped, error);
}
