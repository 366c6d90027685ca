#pragma once

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "plan/RunRecord.h"
#include "production/UnitRecord.h"
#include "results/StoreConnection.h"
#include "results/StoreDialect.h"
#include "results/StoreWriter.h"

class QLockFile;

// The results database of a line: every plan run and every EDID unit, written as it happens,
// kept for questions by serial, yield and failures (ResultsQuery). A station's store is an
// SQLite file ("results.sqlite" in a folder that several programs and stations may share). A
// line's PostgreSQL server is opened the same way (ResultsLocation) for questions, for its
// schema (initServer) and for the ended records that stations forward to it (ResultsForwarder,
// from the station's own store, its spool, whose outbox lists what the server has not taken).
// Callers never see SQL. The database is reached and made ready by StoreConnection, the rows
// are written by StoreWriter, a run that never ended is read back by StoredRun, and earlier
// files are imported by StoreImport.
//
// Every write is one short transaction, durable when it returns true; false with an error
// that names the store and the reason (the caller then does not take the verdict).
class ResultsStore {
public:
    static constexpr const char* DefaultFileName = "results.sqlite";
    using Access = StoreConnection::Access;

    ResultsStore();
    ~ResultsStore();
    ResultsStore(const ResultsStore&) = delete;
    ResultsStore& operator=(const ResultsStore&) = delete;

    // Why a server could not be opened, for a caller that retries (ResultsForwarder): None,
    // Unreachable, Refused, Schema or Other.
    using Fault = StoreConnection::Fault;

    // location: an SQLite file, or a folder holding DefaultFileName. A file that is not an
    // SQLite database, not a results store, or of a newer schema is refused, and left exactly
    // as it was; an older one is upgraded (ReadWrite). ReadOnly never creates a file.
    // Or a PostgreSQL server's URL (ResultsLocation): its schema must be this program's (a
    // station never changes it; initServer does), and it takes no live records and no
    // imports, only the records forwarded from stations' spools (ResultsForwarder).
    bool open(const QString& location, Access access, QString& error);
    // The server's password, kept in memory only; without one libpq looks in its password file.
    void setPassword(const QString& password) { db_.setPassword(password); }
    // Opens a server with a role that may create tables, and makes or upgrades its schema to
    // this program's; before: the version it had (0: none). Left open ReadWrite.
    bool initServer(const QString& url, int& before, QString& error);
    bool isServer() const;
    Fault fault() const { return db_.fault(); }
    // The SQLite file that a location of a file or folder stands for.
    static QString filePath(const QString& location);
    void close();
    bool isOpen() const;
    // The store as messages name it (the file's path).
    QString name() const { return db_.name(); }
    // The folder that lock files of live runs go to.
    QString folder() const { return db_.folder(); }
    // The station whose runs takeInterrupted looks at: this computer's host name, unless set.
    void setStation(const QString& station) { station_ = station; }
    QString station() const { return station_; }

    // A run as it happens: its row (made when its first step is shown), each step's verdict or
    // its withdrawal after Back, its pauses (all of them each time, the Retry that ended one
    // too), its end, and its report once written.
    bool runStarted(const RunRecord& r, QString& error);
    bool stepJudged(const RunRecord& r, int step, QString& error);
    bool runPaused(const RunRecord& r, QString& error);
    bool runEnded(const RunRecord& r, QString& error);
    bool reportWritten(const QString& runId, const QString& reportFile, QString& error);
    // One EDID unit with its stages.
    bool unitRecorded(const UnitRecord& u, QString& error);
    // This station's runs that never ended and whose program is gone (killed, the computer
    // off): marked interrupted at the step they had reached, and returned for their reports.
    QList<RunRecord> takeInterrupted(QString& error);

    // Records of earlier versions' files (ResultsImport): each list in one transaction; one
    // that is in the store already (the same station, serial and start to the second) or was
    // imported before is skipped.
    struct ImportedRun {
        RunRecord record;  // steps: as many as the run had, the failed ones with their notes
        QString verdict;   // as the file says
        int stepsDone = 0;
    };
    bool importRuns(const QList<ImportedRun>& runs, int& added, int& skipped, QString& error);
    bool importUnits(const QList<UnitRecord>& units, int& added, int& skipped, QString& error);

    // For ResultsQuery: the open connection and what kind of database it is.
    QSqlDatabase database() const;
    const StoreDialect& dialect() const { return db_.dialect(); }

private:
    // False, after error says why, on a server: live records and imports go to a station's own
    // store.
    bool liveRecords(QString& error) const;
    // What changed at the run's key, with the run's row (made if it has none) and the step it
    // has reached: one transaction.
    using Change = std::function<bool(qint64 key, QString& error)>;
    bool liveStep(const RunRecord& r, int reached, const Change& change, QString& error);
    QString lockPath(const QString& runId) const;
    bool interrupt(qint64 key, RunRecord& r, QString& error);

    StoreConnection db_;
    StoreWriter rows_{db_};
    QString station_;
    QHash<QString, std::shared_ptr<QLockFile>> live_;  // the runs this object has going
};
