#pragma once

#include <QObject>
#include <QTimer>

#include "ctl/ConsoleView.h"
#include "ctl/CtlRequest.h"
#include "link/LinkTrace.h"
#include "results/ResultsStation.h"

class LinkEngine;
class ProductionRun;
class TappedLine;

// Drives one request through the engine on the real timers: connect, presence query, the
// command, and the exit status once its slot is idle again.
class CtlRunner : public QObject {
    Q_OBJECT

public:
    // With a tap, the wire record goes to standard error as it happens (--trace).
    CtlRunner(LinkEngine& engine, ConsoleView& view, const CtlRequest& request,
              TappedLine* tap = nullptr);
    // Starts the run; finished(status) follows from the event loop.
    void start();

signals:
    void finished(int status);

private:
    enum class Phase { Presence, Command, Done };

    void onPoll();
    void onTick();
    void finish(int status);
    bool failed() const;
    bool writeEdidFile();
    // edid-provision: the unit's stages, logged whether or not the generator is there.
    void startProvision();
    // Prints the wire record gathered since the last call.
    void printTrace(bool flush);

    LinkEngine& engine_;
    ConsoleView& view_;
    CtlRequest request_;
    TappedLine* tap_;
    LinkTrace trace_;
    quint64 traceNext_ = 0;
    QTimer poll_;
    QTimer tick_;
    Phase phase_ = Phase::Presence;
    int messagesBefore_ = 0;
    ProductionRun* provision_ = nullptr;
    ResultsStation station_;  // edid-provision: where the unit is recorded besides the log
};
