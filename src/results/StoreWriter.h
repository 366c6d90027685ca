#pragma once

#include <QString>

#include "plan/RunRecord.h"
#include "production/UnitRecord.h"

class StoreConnection;

// The rows of the records a results store keeps, written inside a transaction that the caller
// holds (StoreConnection::begin): a run with its plan, steps, pauses and end, an EDID unit with
// its stages, and the outbox, which lists the ended records a line's server has yet to take.
// Each returns false after error names the store and the reason.
class StoreWriter {
public:
    enum class Source { Station, Import };

    explicit StoreWriter(StoreConnection& db) : db_(db) {}

    // The run's row unless it has one (inserted: it had none), and its plan's text. verdict:
    // empty while the run goes on.
    bool putRun(const RunRecord& r, Source source, const QString& verdict, int stepsDone,
                bool& inserted, QString& error);
    // A step's verdict, or its withdrawal after Back.
    bool putStep(qint64 run, int step, const RunRecord::Step& s, QString& error);
    // All of the run's pauses again: the last one gains its time once Retry ends it.
    bool putPauses(qint64 run, const RunRecord& r, QString& error);
    // The step a run has reached, and when.
    bool touch(const RunRecord& r, qint64 key, int reached, QString& error);
    // The end of a run whose row was made before it ended.
    bool putEnd(const RunRecord& r, qint64 key, const QString& verdict, QString& error);
    // The end of a run found interrupted, unless it has ended meanwhile.
    bool putInterrupted(const RunRecord& r, qint64 key, QString& error);
    // The unit's row unless it has one (inserted: it had none); a new one with its stages and
    // its place in the outbox.
    bool putUnit(const UnitRecord& u, Source source, bool& inserted, QString& error);
    // The key of the run of uuid; -1: none.
    bool runKey(const QString& uuid, qint64& key, QString& error);
    // An ended record for the server to take; none on the server itself.
    bool queue(const char* kind, qint64 key, QString& error);

private:
    StoreConnection& db_;
};
