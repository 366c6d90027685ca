#include "ctl/CtlRunner.h"

#include "edid/EdidImageFile.h"
#include "link/LinkEngine.h"
#include "programme/ProgramPacker.h"

namespace {

// Messages that mean the command did not do its work.
bool isFailure(const QString& m) {
    return m == QLatin1String("Error!!") || m == QLatin1String("Error") ||
           m == QLatin1String("No Response !!") || m == QLatin1String("Write EDID Fail!!") ||
           m.startsWith(QLatin1String("Open COM Port"));
}

}  // namespace

CtlRunner::CtlRunner(LinkEngine& engine, ConsoleView& view, const CtlRequest& request)
    : engine_(engine), view_(view), request_(request) {
    poll_.setInterval(100);
    tick_.setInterval(500);
    connect(&poll_, &QTimer::timeout, this, [this] { engine_.receivePoll(); });
    connect(&tick_, &QTimer::timeout, this, &CtlRunner::onTick);
}

void CtlRunner::start() {
    CommandData& data = engine_.data();
    data.SelectedTimingIndex = request_.kind == CtlRequest::Kind::Timing ? request_.index : 0;
    data.SelectedPatternIndex = request_.kind == CtlRequest::Kind::Pattern ? request_.index : 0;
    data.TimingSelection = request_.timings;
    data.PatternSelection = request_.patterns;
    ProgramPacker::PackProgram(request_.programme, data.ProgramUpload);
    engine_.edid() = request_.edid;

    if (!engine_.connectPort(request_.port)) {
        QTimer::singleShot(0, this, [this] { finish(1); });
        return;
    }
    poll_.start();
    tick_.start();
}

bool CtlRunner::failed() const {
    for (int i = messagesBefore_; i < view_.messages.size(); ++i)
        if (isFailure(view_.messages[i]))
            return true;
    return false;
}

void CtlRunner::onTick() {
    engine_.supervisionTick();
    // Ticks also run nested inside an upload's yields; judge only from the outermost one.
    if (phase_ == Phase::Done || engine_.AnyCommandBusy())
        return;
    const LinkState& st = engine_.state();
    if (phase_ == Phase::Presence) {
        if (!st.devicePresent) {
            if (view_.messages.size() == messagesBefore_)
                std::fprintf(stderr, "orve1ctl: the generator did not answer the presence query\n");
            finish(1);
            return;
        }
        if (request_.kind == CtlRequest::Kind::Probe) {
            std::fprintf(stdout, "present\n");
            finish(0);
            return;
        }
        phase_ = Phase::Command;
        messagesBefore_ = view_.messages.size();
        if (!engine_.startCommand(request_.command())) {
            std::fprintf(stderr, "orve1ctl: the command could not be started\n");
            finish(1);
        }
        return;
    }
    // The command's slot is idle again.
    if (failed() || !st.devicePresent) {
        finish(1);
        return;
    }
    if (request_.kind == CtlRequest::Kind::EdidRead && !writeEdidFile()) {
        finish(1);
        return;
    }
    finish(0);
}

bool CtlRunner::writeEdidFile() {
    QString error;
    if (!EdidImageFile::save(request_.file, engine_.edid(), error)) {
        std::fprintf(stderr, "orve1ctl: cannot write %s\n", qPrintable(error));
        return false;
    }
    return true;
}

void CtlRunner::finish(int status) {
    if (phase_ == Phase::Done)
        return;
    phase_ = Phase::Done;
    poll_.stop();
    tick_.stop();
    view_.endProgress();
    engine_.closePort();
    emit finished(status);
}
