#pragma once

#include <QString>

#include "plan/RunRecord.h"

// Where a run's record goes while it happens (the station's results store): each call is
// durable when it returns true; false with why, and the runner then does not go on as if it
// were recorded.
class RunJournal {
public:
    virtual ~RunJournal() = default;
    // Before the first step is sent: the run's row.
    virtual bool runStarted(const RunRecord& r, QString& error) = 0;
    // Step k's verdict, or its withdrawal after Back, before the next step is sent.
    virtual bool stepJudged(const RunRecord& r, int k, QString& error) = 0;
    // A pause, or the Retry that ended it (r.interruptions holds them).
    virtual bool runPaused(const RunRecord& r, QString& error) = 0;
    // The end, with how and the verdict; then the report's file once it is written.
    virtual bool runEnded(const RunRecord& r, QString& error) = 0;
    virtual bool reportWritten(const RunRecord& r, QString& error) = 0;
};
