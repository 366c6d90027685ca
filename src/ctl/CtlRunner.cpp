#include "ctl/CtlRunner.h"

#include <QDate>
#include <QFileInfo>

#include "ctl/ForwardWait.h"
#include "ctl/IdentityCommands.h"
#include "edid/DeclaredTimings.h"
#include "edid/EdidImageFile.h"
#include "link/LinkEngine.h"
#include "link/PortDescription.h"
#include "link/TappedLine.h"
#include "pattern/PatternTable.h"
#include "production/ProductionRun.h"
#include "programme/ProgramPacker.h"
#include "timing/TimingText.h"

CtlRunner::CtlRunner(LinkEngine& engine, ConsoleView& view, const CtlRequest& request,
                     TappedLine* tap)
    : engine_(engine), view_(view), request_(request), tap_(tap) {
    poll_.setInterval(100);
    tick_.setInterval(500);
    connect(&poll_, &QTimer::timeout, this, &CtlRunner::onPoll);
    connect(&tick_, &QTimer::timeout, this, &CtlRunner::onTick);
    view_.plainProgress = request_.progress;
}

void CtlRunner::onPoll() {
    engine_.receivePoll();
    printTrace(false);
}

void CtlRunner::printTrace(bool flush) {
    if (!tap_)
        return;
    std::vector<LinkTrace::Line> lines;
    for (const TappedLine::Event& e : tap_->eventsSince(traceNext_, &traceNext_))
        trace_.feed(e, lines);
    if (flush)
        trace_.flush(lines);
    for (const LinkTrace::Line& l : lines)
        std::fprintf(stderr, "%s\n", qPrintable(trace_.format(l)));
    std::fflush(stderr);
}

void CtlRunner::start() {
    CommandData& data = engine_.data();
    data.SelectedTimingIndex = request_.kind == CtlRequest::Kind::Timing ? request_.index : 0;
    data.SelectedPatternIndex = request_.kind == CtlRequest::Kind::Pattern ? request_.index : 0;
    data.TimingSelection = request_.timings;
    data.PatternSelection = request_.patterns;
    ProgramPacker::PackProgram(request_.programme, data.ProgramUpload);
    engine_.edid() = request_.edid;

    if (request_.kind == CtlRequest::Kind::EdidProvision) {
        // The unit is recorded in the results store beside its log line, or not programmed.
        QString error;
        const ResultsStation::Where location = ResultsStation::whereFor(
            QFileInfo(request_.logFile).absolutePath(), request_.resultsLocation);
        if (!station_.open(location, error)) {
            std::fprintf(stderr, "orve1ctl: the unit cannot be programmed: %s\n",
                         qPrintable(error));
            QTimer::singleShot(0, this, [this] { finish(2); });
            return;
        }
        for (const QString& notice : station_.takeNotices())
            std::fprintf(stderr, "orve1ctl: %s\n", qPrintable(notice));
    }
    if (!engine_.connectPort(request_.port)) {
        QTimer::singleShot(0, this, [this] {
            if (request_.kind == CtlRequest::Kind::EdidProvision)
                startProvision();
            else
                finish(1);
        });
        return;
    }
    if (request_.verbose) {
        std::fprintf(stderr, "orve1ctl: COM %d opened %s\n", request_.port,
                     qPrintable(PortDescription::describe(request_.port).oneLine()));
        if (request_.kind == CtlRequest::Kind::Timing) {
            // The timing as the timing window and its list show it.
            const TimingEntry& t = TimingTable[request_.index];
            const QStringList cells = TimingText::ListCells(t);
            std::fprintf(stderr, "orve1ctl: timing %d is %s\n", t.Number,
                         qPrintable(cells.join(QStringLiteral(", "))));
        } else if (request_.kind == CtlRequest::Kind::Timings && !request_.file.isEmpty()) {
            QList<int> numbers;
            for (int i = 0; i < TimingCount; ++i)
                if (request_.timings[size_t(i)])
                    numbers << i + 1;
            std::fprintf(stderr, "orve1ctl: %s declares timings %s (%d of %d)\n",
                         qPrintable(request_.file), qPrintable(DeclaredTimings::rangeText(numbers)),
                         int(numbers.size()), TimingCount);
        } else if (request_.kind == CtlRequest::Kind::Pattern) {
            const PatternEntry& p = PatternTable[request_.index];
            std::fprintf(stderr, "orve1ctl: pattern %d is %s\n", p.Number, p.Name);
        }
    }
    printTrace(false);
    poll_.start();
    tick_.start();
}

bool CtlRunner::failed() const {
    for (int i = messagesBefore_; i < view_.messages.size(); ++i)
        if (ConsoleView::isFailure(view_.messages[i]))
            return true;
    return false;
}

void CtlRunner::onTick() {
    engine_.supervisionTick();
    printTrace(false);
    // Ticks also run nested inside an upload's yields; judge only from the outermost one.
    if (phase_ == Phase::Done || provision_ || engine_.AnyCommandBusy())
        return;
    const LinkState& st = engine_.state();
    if (phase_ == Phase::Presence) {
        if (!st.devicePresent) {
            // A time-out has said "No Response !!"; an answer without "OK" shows nothing.
            if (view_.messages.size() == messagesBefore_)
                std::fprintf(stderr,
                             "orve1ctl: the generator answered the presence query without "
                             "\"OK\": \"%s\"\n",
                             qPrintable(LinkTrace::text(view_.log)));
            if (request_.kind == CtlRequest::Kind::EdidProvision)
                startProvision();
            else
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
        if (request_.kind == CtlRequest::Kind::EdidProvision) {
            startProvision();
            return;
        }
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

void CtlRunner::startProvision() {
    phase_ = Phase::Command;
    provision_ = new ProductionRun(engine_, this);
    provision_->setStation(&station_);
    IdentityCommands::report(*provision_, view_);
    // Once the engine has finished with the command that ended the unit.
    connect(
        provision_, &ProductionRun::finished, this,
        [this] {
            // With a line's server, once the unit is on it or the forwarder has said why not.
            const int status = IdentityCommands::status(*provision_);
            ForwardWait::after(station_, this, [this, status] { finish(status); });
        },
        Qt::QueuedConnection);
    provision_->start(request_.golden, request_.recipe, request_.serialText, QDate::currentDate(),
                      request_.logFile, request_.serialFormat);
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
    printTrace(true);
    engine_.closePort();
    emit finished(status);
}
