#include "ctl/ForwardWait.h"

#include <QTimer>
#include <cstdio>

#include "results/ResultsForwarderThread.h"
#include "results/ResultsStation.h"

void ForwardWait::after(ResultsStation& station, QObject* parent, std::function<void()> done) {
    if (!station.forwarder()) {
        QTimer::singleShot(0, parent, std::move(done));
        return;
    }
    new ForwardWait(station, parent, std::move(done));
}

ForwardWait::ForwardWait(ResultsStation& station, QObject* parent, std::function<void()> done)
    : QObject(parent), station_(station), done_(std::move(done)) {
    connect(station.forwarder(), &ResultsForwarderThread::statusChanged, this, [this] {
        heard_ = true;
        check(false);
    });
    QTimer::singleShot(MaxWaitMs, this, [this] { check(true); });
    // The record may have gone up before this began to listen.
    QTimer::singleShot(0, this, [this] { check(false); });
}

void ForwardWait::check(bool timedOut) {
    if (!done_)
        return;
    const ForwarderStatus s = station_.forwarder()->status();
    const bool settled =
        heard_ && (s.waiting() == 0 || s.trouble != ForwarderStatus::Trouble::None);
    if (!settled && !timedOut)
        return;
    if (s.waiting() > 0) {
        QString line = s.sentence();
        if (!s.problem.isEmpty())
            line += QStringLiteral(": ") + s.problem;
        std::fprintf(stderr, "orve1ctl: %s\n", line.toLocal8Bit().constData());
        std::fflush(stderr);
    }
    const std::function<void()> done = std::move(done_);
    done_ = nullptr;
    done();
    deleteLater();
}
