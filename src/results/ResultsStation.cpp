#include "results/ResultsStation.h"

#include <QDir>
#include <QFileInfo>

#include "plan/RunReport.h"
#include "results/ResultsForwarderThread.h"
#include "results/ResultsLocation.h"
#include "results/ResultsStore.h"

ResultsStation::ResultsStation() : store_(std::make_unique<ResultsStore>()) {}

ResultsStation::~ResultsStation() = default;

ResultsStation::Where ResultsStation::whereFor(const QString& reportFolder, const QString& named,
                                               const QString& relativeTo) {
    Where w;
    w.spool = QDir(reportFolder).filePath(QLatin1String(ResultsStore::DefaultFileName));
    if (ResultsLocation::isServerUrl(named))
        w.server = named;
    else if (!named.isEmpty())
        w.spool = relativeTo.isEmpty() ? named : QDir(relativeTo).absoluteFilePath(named);
    return w;
}

QString ResultsStation::locationFor(const QString& reportFolder, const QString& named) {
    return whereFor(reportFolder, named).spool;
}

bool ResultsStation::open(const QString& location, QString& error) {
    return open(Where{location, QString()}, error);
}

bool ResultsStation::open(const Where& where, QString& error) {
    const QString clean = QDir::cleanPath(where.spool);
    if (store_->isOpen() && clean == location_ && where.server == server_)
        return true;
    if (!where.server.isEmpty()) {
        ResultsLocation server;
        if (!ResultsLocation::parse(where.server, server, error))
            return false;
    }
    forwarder_.reset();
    store_->close();
    location_.clear();
    server_.clear();
    if (!store_->open(clean, ResultsStore::Access::ReadWrite, error))
        return false;
    location_ = clean;
    server_ = where.server;
    takeInterrupted();
    startForwarder();
    return true;
}

void ResultsStation::startForwarder() {
    forwarder_.reset();
    if (server_.isEmpty())
        return;
    // The spool as the store opened it (a folder named resolves to its results.sqlite).
    forwarder_ =
        std::make_unique<ResultsForwarderThread>(ResultsStore::filePath(location_), server_);
    if (!password_.isEmpty())
        forwarder_->setPassword(password_);
    forwarder_->start();
}

void ResultsStation::setServerPassword(const QString& password) {
    password_ = password;
    if (store_->isOpen())
        startForwarder();
}

QString ResultsStation::forwardSentence() const {
    return forwarder_ ? forwarder_->status().sentence() : QString();
}

void ResultsStation::forwardSoon() {
    if (forwarder_)
        forwarder_->recorded();
}

bool ResultsStation::isOpen() const {
    return store_->isOpen();
}

QString ResultsStation::name() const {
    return store_->isOpen() ? store_->name() : QDir::toNativeSeparators(location_);
}

QStringList ResultsStation::takeNotices() {
    QStringList out;
    out.swap(notices_);
    return out;
}

void ResultsStation::takeInterrupted() {
    QString error;
    const QList<RunRecord> runs = store_->takeInterrupted(error);
    if (!error.isEmpty())
        notices_ << QStringLiteral("Unfinished runs in %1 could not be looked at: %2")
                        .arg(store_->name(), error);
    for (const RunRecord& r : runs) {
        // Its report and results line, as any run's, now that it is known to have ended.
        QString path;
        QString reportError;
        RunReport::write(r, r.reportFolder, path, reportError);
        QString notice = QStringLiteral(
                             "The run of %1 (%2) was interrupted during step %3 when "
                             "the program or the computer stopped; %4 of %5 steps "
                             "were judged. It is recorded as interrupted")
                             .arg(r.serial, r.plan.name)
                             .arg(r.endStep + 1)
                             .arg(r.doneSteps())
                             .arg(r.steps.size());
        if (!path.isEmpty()) {
            QString ignored;
            store_->reportWritten(r.id, QFileInfo(path).fileName(), ignored);
            notice += QStringLiteral(", report: %1").arg(QDir::toNativeSeparators(path));
        }
        if (!reportError.isEmpty())
            notice += QStringLiteral("; not written: %1").arg(reportError);
        notices_ << notice + QLatin1Char('.');
    }
}

QString ResultsStation::todayLine(bool edid) const {
    if (!store_->isOpen())
        return QString();
    ResultsQuery q(*store_);
    TodayCounts counts;
    QString error;
    if (!q.todayCounts(store_->station(), QDate::currentDate(), counts, error))
        return QString();
    const DayCounts& c = edid ? counts.edid : counts.runs;
    if (c.units == 0)
        return QStringLiteral("Today at this station: no units yet");
    return QStringLiteral(
               "Today at this station: %1 unit%2, %3 passed, %4 failed, first-pass "
               "yield %5%")
        .arg(c.units)
        .arg(c.units == 1 ? "" : "s")
        .arg(c.passed)
        .arg(c.failed())
        .arg(qRound(100.0 * c.firstPassYield()));
}

QString ResultsStation::previousLine(const QString& serial) const {
    if (!store_->isOpen())
        return QString();
    ResultsQuery q(*store_);
    PreviousRuns previous;
    QString error;
    if (!q.previousRuns(serial, previous, error))
        return QString();
    return previous.sentence(QDate::currentDate());
}

bool ResultsStation::ready(QString& error) const {
    if (store_->isOpen())
        return true;
    error = QStringLiteral("no results store is open");
    return false;
}

bool ResultsStation::runStarted(const RunRecord& r, QString& error) {
    return ready(error) && store_->runStarted(r, error);
}

bool ResultsStation::stepJudged(const RunRecord& r, int k, QString& error) {
    return ready(error) && store_->stepJudged(r, k, error);
}

bool ResultsStation::runPaused(const RunRecord& r, QString& error) {
    return ready(error) && store_->runPaused(r, error);
}

bool ResultsStation::runEnded(const RunRecord& r, QString& error) {
    return ready(error) && store_->runEnded(r, error);
}

bool ResultsStation::reportWritten(const RunRecord& r, QString& error) {
    // The run goes up with its report's name.
    const bool ok = ready(error) && store_->reportWritten(r.id, r.reportFile, error);
    forwardSoon();
    return ok;
}

bool ResultsStation::unitRecorded(const UnitRecord& u, QString& error) {
    const bool ok = ready(error) && store_->unitRecorded(u, error);
    if (ok)
        forwardSoon();
    return ok;
}
