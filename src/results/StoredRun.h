#pragma once

#include <QString>

#include "plan/RunRecord.h"

class StoreConnection;

// A run that never ended, read back from the results store into a RunRecord, so that it can be
// ended as interrupted and its report written: its row, its plan as it was run (from the plan's
// text, repeated), its steps with their verdicts, notes, defect codes and EDID digests, and its
// pauses. It ended, for all anyone knows, at the step it had reached when it was last touched.
class StoredRun {
public:
    // Inside the caller's transaction. False after error names the store and the reason; found
    // false when the run has ended meanwhile, or is no more.
    static bool read(const StoreConnection& db, qint64 key, RunRecord& r, bool& found,
                     QString& error);

private:
    static bool readSteps(const StoreConnection& db, qint64 key, RunRecord& r, QString& error);
    static bool readPauses(const StoreConnection& db, qint64 key, RunRecord& r, QString& error);
};
