#pragma once

#include <QDateTime>
#include <QString>

#include "results/ForwarderStatus.h"
#include "results/ResultsBatch.h"
#include "results/ResultsStore.h"

// Store and forward: a station records everything into its own store (the spool, an SQLite
// file, durable at once whatever the network does), and this sends what the line's server has
// not taken yet, oldest first, many records to a transaction. A server that cannot be reached
// or refuses leaves every record in the spool; the next round sends them.
//
// Each call works in the calling thread with connections of its own, and may wait for the
// server (at most the connect time-out to connect): orve1ctl calls it directly, a window
// through ResultsForwarderThread.
class ResultsForwarder {
public:
    static constexpr int BatchRecords = 500;
    // A run goes up with its report's name: it waits at most this long for the report.
    static constexpr int ReportGraceSeconds = 10;

    // spool: the station's store (a file or a folder, as ResultsStore takes it); server: the
    // line's server as postgresql://ROLE@HOST[:PORT]/DATABASE.
    ResultsForwarder(const QString& spool, const QString& server);
    void setPassword(const QString& password);
    // 0: every ended run at once (a forward by hand).
    void setReportGrace(int seconds) { grace_ = seconds; }
    void setStatementHook(const ResultsBatch::Hook& hook) { hook_ = hook; }

    // Counts what waits in the spool; no server is asked.
    bool count();
    // Sends everything waiting, until the spool's outbox is empty, a run waits for its report
    // (heldUntil) or something fails (then the server's connection is dropped and the next
    // call connects again). True when nothing failed.
    bool forward();
    const ForwarderStatus& status() const { return status_; }
    QDateTime heldUntil() const { return heldUntil_; }
    QString server() const { return serverUrl_; }
    // False after the spool could not be opened or read.
    bool spoolOpen() const { return spool_.isOpen(); }
    // Drops both connections (in the thread that made them).
    void close();

private:
    bool openSpool();
    bool openServer();
    void troubled(ForwarderStatus::Trouble trouble, const QString& why);

    QString spoolLocation_, serverUrl_;
    ResultsStore spool_, server_;
    ResultsBatch::Hook hook_;
    int grace_ = ReportGraceSeconds;
    ForwarderStatus status_;
    QDateTime heldUntil_;
};
