#include "results/ResultsForwarderThread.h"

#include <QTimer>

#include "results/ResultsForwarder.h"

ResultsForwarderThread::ResultsForwarderThread(const QString& spool, const QString& server,
                                               QObject* parent)
    : QObject(parent), spool_(spool), server_(server) {
    qRegisterMetaType<ForwarderStatus>();
    thread_.setObjectName(QStringLiteral("results forwarder"));
    context_ = new QObject;
    timer_ = new QTimer(context_);
    timer_->setInterval(RetrySeconds * 1000);
    context_->moveToThread(&thread_);  // with the timer
    connect(timer_, &QTimer::timeout, context_, [this] { round(true); });
    // The connections go in the thread that made them, as it ends.
    connect(&thread_, &QThread::finished, [this] {
        forwarder_.reset();
        delete context_;
    });
}

ResultsForwarderThread::~ResultsForwarderThread() {
    if (thread_.isRunning()) {
        thread_.quit();
        thread_.wait();
    } else {
        delete context_;
    }
}

void ResultsForwarderThread::setPassword(const QString& password) {
    password_ = password;
    if (thread_.isRunning())
        QMetaObject::invokeMethod(context_, [this, password] {
            if (forwarder_)
                forwarder_->setPassword(password);
            round(true);
        });
}

void ResultsForwarderThread::start() {
    if (thread_.isRunning())
        return;
    thread_.start();
    QMetaObject::invokeMethod(context_, [this] {
        forwarder_ = std::make_unique<ResultsForwarder>(spool_, server_);
        if (!password_.isEmpty())
            forwarder_->setPassword(password_);
        timer_->start();
        round(true);
    });
}

void ResultsForwarderThread::recorded() {
    QMetaObject::invokeMethod(context_, [this] { round(false); });
}

void ResultsForwarderThread::retryNow() {
    QMetaObject::invokeMethod(context_, [this] { round(true); });
}

void ResultsForwarderThread::round(bool asked) {
    if (!forwarder_)
        return;
    const bool inTrouble = forwarder_->status().trouble != ForwarderStatus::Trouble::None;
    if (inTrouble && !asked)
        forwarder_->count();
    else
        forwarder_->forward();
    const ForwarderStatus s = forwarder_->status();
    // A run waiting for its report goes when the wait is over, not at the next tick.
    const QDateTime held = forwarder_->heldUntil();
    if (held.isValid())
        QTimer::singleShot(qMax<qint64>(0, QDateTime::currentDateTimeUtc().msecsTo(held)) + 50,
                           context_, [this] { round(false); });
    QString found;
    if (s.problem != lastProblem_) {
        lastProblem_ = s.problem;
        found = s.problem;
    }
    QMetaObject::invokeMethod(this, [this, s, found] {
        status_ = s;
        emit statusChanged(s);
        if (!found.isEmpty())
            emit problemFound(found);
    });
}
