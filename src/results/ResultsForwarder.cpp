#include "results/ResultsForwarder.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {

ForwarderStatus::Trouble troubleOf(ResultsStore::Fault f) {
    switch (f) {
        case ResultsStore::Fault::Unreachable:
            return ForwarderStatus::Trouble::Unreachable;
        case ResultsStore::Fault::Refused:
            return ForwarderStatus::Trouble::Refused;
        case ResultsStore::Fault::Schema:
            return ForwarderStatus::Trouble::Schema;
        default:
            return ForwarderStatus::Trouble::Failed;
    }
}

}  // namespace

ResultsForwarder::ResultsForwarder(const QString& spool, const QString& server)
    : spoolLocation_(spool), serverUrl_(server) {}

void ResultsForwarder::setPassword(const QString& password) {
    server_.setPassword(password);
    server_.close();  // the next round connects with it
}

void ResultsForwarder::close() {
    spool_.close();
    server_.close();
}

void ResultsForwarder::troubled(ForwarderStatus::Trouble trouble, const QString& why) {
    if (status_.trouble == ForwarderStatus::Trouble::None)
        status_.troubleSince = QDateTime::currentDateTime();
    status_.trouble = trouble;
    status_.problem = why;
}

bool ResultsForwarder::openSpool() {
    if (spool_.isOpen())
        return true;
    const QString path = ResultsStore::filePath(spoolLocation_);
    QString why;
    if (!QFileInfo::exists(path))
        why = QStringLiteral("%1: no such file").arg(QDir::toNativeSeparators(path));
    // Read and written: an older spool is brought up to date, which queues what it holds.
    else if (spool_.open(path, ResultsStore::Access::ReadWrite, why)) {
        // Only the outbox is written here, and an entry that a crash brings back only sends
        // a record again, which the server skips: no wait for the disk, and none for the
        // station's verdicts behind it.
        QSqlQuery(spool_.database()).exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
        return true;
    }
    troubled(ForwarderStatus::Trouble::Failed, why);
    return false;
}

bool ResultsForwarder::openServer() {
    if (server_.isOpen())
        return true;
    QString why;
    if (server_.open(serverUrl_, ResultsStore::Access::ReadWrite, why))
        return true;
    troubled(troubleOf(server_.fault()), why);
    return false;
}

bool ResultsForwarder::count() {
    if (!openSpool())
        return false;
    QSqlQuery q(spool_.database());
    if (!q.exec(QStringLiteral("SELECT kind, COUNT(*) FROM outbox GROUP BY kind"))) {
        troubled(ForwarderStatus::Trouble::Failed,
                 QStringLiteral("%1: %2").arg(spool_.name(), q.lastError().text()));
        spool_.close();
        return false;
    }
    status_.waitingRuns = status_.waitingUnits = 0;
    while (q.next())
        (q.value(0).toString() == QLatin1String("run") ? status_.waitingRuns
                                                       : status_.waitingUnits) = q.value(1).toInt();
    return true;
}

bool ResultsForwarder::forward() {
    heldUntil_ = QDateTime();
    if (!openSpool())
        return false;
    if (!count())
        return false;
    if (status_.waiting() == 0 && status_.trouble == ForwarderStatus::Trouble::None)
        return true;  // nothing to send: the server is not bothered
    if (!openServer())
        return false;
    status_.lastContact = QDateTime::currentDateTime();
    QString why;
    for (;;) {
        ResultsBatch batch;
        if (!batch.read(spool_, BatchRecords, grace_, why)) {
            spool_.close();
            troubled(ForwarderStatus::Trouble::Failed, why);
            return false;
        }
        heldUntil_ = batch.heldUntil();
        if (batch.isEmpty())
            break;
        int newRuns = 0, newUnits = 0;
        ResultsStore::Fault fault = ResultsStore::Fault::None;
        if (!batch.write(server_, hook_, newRuns, newUnits, fault, why)) {
            server_.close();
            troubled(troubleOf(fault), why);
            count();
            return false;
        }
        status_.lastContact = QDateTime::currentDateTime();
        // Taken: the server has them now (new there, or had them from a round whose end the
        // connection did not see).
        status_.sentRuns += batch.runs();
        status_.sentUnits += batch.units();
        if (!batch.settle(spool_, why)) {
            spool_.close();
            troubled(ForwarderStatus::Trouble::Failed, why);
            count();
            return false;
        }
    }
    status_.trouble = ForwarderStatus::Trouble::None;
    status_.problem.clear();
    status_.troubleSince = QDateTime();
    return count();
}
