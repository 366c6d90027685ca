#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// Where a station's records stand on their way to the line's server (ResultsForwarder), as
// plain data for a status line or a window, and as its sentence.
struct ForwarderStatus {
    enum class Trouble {
        None,
        Unreachable,  // no connection: unknown host, nothing listening, time-out, line lost
        Refused,      // the server refused the role: password, role, database, permissions
        Schema,       // the server's results schema is not this program's
        Failed,       // the spool could not be read, or a statement failed on the server
    };

    int waitingRuns = 0, waitingUnits = 0;  // in the spool, not yet taken by the server
    qint64 sentRuns = 0, sentUnits = 0;     // taken by the server since the forwarder started
    Trouble trouble = Trouble::None;
    QString problem;         // the reason, in the server's words where it gave one
    QDateTime troubleSince;  // when it began (the first failed attempt)
    QDateTime lastContact;   // when the server last took records or answered

    int waiting() const { return waitingRuns + waitingUnits; }
    // "Results: 12 waiting for the server (no connection since 14:02)",
    // "Results: all on the server".
    QString sentence() const;
};

Q_DECLARE_METATYPE(ForwarderStatus)
