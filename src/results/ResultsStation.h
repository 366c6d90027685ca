#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <memory>

#include "plan/RunJournal.h"
#include "production/UnitRecord.h"
#include "results/ResultsQuery.h"

class ResultsForwarderThread;
class ResultsStore;

// A station's results: the store its runs and units are recorded in as they happen (the
// report folder's results.sqlite unless it is told another), opened for writing when first
// needed and kept open. With a line's server, that store is the station's spool, and a
// forwarder (in a thread of its own) sends the server what it has not yet taken. Opening it finds
// the runs this station left unfinished (the program killed, the computer off): they are marked
// interrupted and their reports and results lines are written then, and notices() tells of each
// once. The Test Plan window, EDID > Production and orve1ctl each record through one of these.
class ResultsStation : public RunJournal {
public:
    ResultsStation();
    ~ResultsStation() override;
    ResultsStation(const ResultsStation&) = delete;
    ResultsStation& operator=(const ResultsStation&) = delete;

    // Where a run's results go: the spool (a file or a folder holding results.sqlite) and the
    // line's server, if any.
    struct Where {
        QString spool;
        QString server;  // postgresql://ROLE@HOST[:PORT]/DB, or empty
        bool operator==(const Where& o) const { return spool == o.spool && server == o.server; }
    };
    // What the plan or the operator names: a file or folder (relative to relativeTo), or a
    // server URL whose spool is the report folder's; else the report folder's results.sqlite.
    static Where whereFor(const QString& reportFolder, const QString& named = QString(),
                          const QString& relativeTo = QString());
    static QString locationFor(const QString& reportFolder, const QString& named = QString());

    // Opens the store at location for writing, unless it is open there already. False with
    // why (the store named) when it cannot be opened or written.
    bool open(const QString& location, QString& error);
    // ... with the line's server it forwards to, when where names one (a URL that cannot be
    // used is refused here).
    bool open(const Where& where, QString& error);
    // The forwarder while a server is named (for its status and problems), else null.
    ResultsForwarderThread* forwarder() const { return forwarder_.get(); }
    // "Results: 12 waiting for the server (no connection since 14:02)"; empty without one.
    QString forwardSentence() const;
    // A password the operator gave for the server, kept in memory only: the forwarder starts
    // again with it.
    void setServerPassword(const QString& password);
    bool isOpen() const;
    QString location() const { return location_; }
    QString name() const;
    ResultsStore& store() { return *store_; }
    // What opening found, once: "The run of SN-4711 (Incoming) was interrupted during step 3
    // ...; recorded as interrupted, report: PATH".
    QStringList takeNotices();

    // "Today at this station: 12 units, 10 passed, 2 failed, first-pass yield 83%" (runs or
    // EDID units); empty while the store is not open or has none.
    QString todayLine(bool edid) const;
    // "2nd run of this unit: last FAIL at step 2, 14:02, station line3-b"; empty for a unit
    // the store has not seen.
    QString previousLine(const QString& serial) const;

    // RunJournal
    bool runStarted(const RunRecord& r, QString& error) override;
    bool stepJudged(const RunRecord& r, int k, QString& error) override;
    bool runPaused(const RunRecord& r, QString& error) override;
    bool runEnded(const RunRecord& r, QString& error) override;
    bool reportWritten(const RunRecord& r, QString& error) override;
    // One EDID unit, whole.
    bool unitRecorded(const UnitRecord& u, QString& error);

private:
    bool ready(QString& error) const;
    void takeInterrupted();

    void startForwarder();
    void forwardSoon();

    std::unique_ptr<ResultsStore> store_;
    std::unique_ptr<ResultsForwarderThread> forwarder_;
    QString location_;
    QString server_;
    QString password_;
    QStringList notices_;
};
