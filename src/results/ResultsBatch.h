#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>

#include "results/ResultsStore.h"

// Records on their way from a station's spool to the line's server: the oldest ones of the
// spool's outbox, read together, written to the server in one transaction, then taken out of
// the outbox. A record the server has already (the same UUID: a batch sent again after the
// connection dropped behind its commit) is skipped there with its steps or stages, so sending
// twice never makes two.
class ResultsBatch {
public:
    // Called before each statement on the server ("plans", "runs", "run_steps", "run_pauses",
    // "units", "unit_stages", "commit"): tests cut the line there.
    using Hook = std::function<void(const QString& statement)>;

    // The next records of spool's outbox in order, at most maxRecords. A run whose report is
    // not written yet waits for it until graceSeconds after it was queued (its report's name
    // goes up with it): reading stops there, and heldUntil says until when.
    bool read(ResultsStore& spool, int maxRecords, int graceSeconds, QString& error);
    bool isEmpty() const { return runs_.rows.isEmpty() && units_.rows.isEmpty(); }
    int runs() const { return int(runs_.rows.size()); }
    int units() const { return int(units_.rows.size()); }
    QDateTime heldUntil() const { return heldUntil_; }

    // Into server, in one transaction; newRuns and newUnits: those it did not have. On failure
    // the transaction is rolled back (or went with the line), and fault says which kind.
    bool write(ResultsStore& server, const Hook& hook, int& newRuns, int& newUnits,
               ResultsStore::Fault& fault, QString& error) const;
    // Out of spool's outbox, once the server has them.
    bool settle(ResultsStore& spool, QString& error) const;

private:
    // One kind of record as read: rows of the parent table (the spool's key first, then
    // its columns), and by child table the child rows (the parent's spool key first, then
    // theirs).
    struct Part {
        QList<QVariantList> rows;
        QHash<QString, QList<QVariantList>> children;
    };
    struct Entry {
        QString kind;
        qint64 record;
    };

    QList<QVariantList> plans_;
    Part runs_, units_;
    QList<Entry> entries_;
    QDateTime heldUntil_;
};
