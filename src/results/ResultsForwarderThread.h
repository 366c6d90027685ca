#pragma once

#include <QObject>
#include <QThread>
#include <memory>

#include "results/ForwarderStatus.h"

class ResultsForwarder;
class QTimer;

// A ResultsForwarder in a thread of its own, so that the thread that records verdicts never
// waits for the server: it sends after each record (recorded()), every RetrySeconds, and on
// start. Its connections are made, used and dropped in that thread (Qt SQL connections belong
// to one thread). While the server is in trouble only the timer tries again: a record then
// only updates the count, and the line is not hammered at every unit.
class ResultsForwarderThread : public QObject {
    Q_OBJECT

public:
    static constexpr int RetrySeconds = 30;

    ResultsForwarderThread(const QString& spool, const QString& server, QObject* parent = nullptr);
    // Waits for a round under way to end (at most the connect time-out when connecting).
    ~ResultsForwarderThread() override;

    // Before start(); kept in memory only.
    void setPassword(const QString& password);
    void start();
    // As the last statusChanged said.
    ForwarderStatus status() const { return status_; }

public slots:
    // A record went into the spool: send it (unless the server is in trouble).
    void recorded();
    // Try now, also in trouble (the operator asked, or a password was given).
    void retryNow();

signals:
    void statusChanged(const ForwarderStatus& status);
    // A new problem, once: not again until it changes or the records went up.
    void problemFound(const QString& problem);

private:
    void round(bool asked);  // in the thread

    QThread thread_;
    QObject* context_ = nullptr;  // lives in thread_: what runs there is invoked on it
    QTimer* timer_ = nullptr;
    std::unique_ptr<ResultsForwarder> forwarder_;  // made, used and dropped in thread_
    QString spool_, server_, password_;
    ForwarderStatus status_;
    QString lastProblem_;  // thread_'s
};
