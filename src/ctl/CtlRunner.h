#pragma once

#include <QObject>
#include <QTimer>

#include "ctl/ConsoleView.h"
#include "ctl/CtlRequest.h"

class LinkEngine;

// Drives one request through the engine on the real timers: connect, presence query, the
// command, and the exit status once its slot is idle again.
class CtlRunner : public QObject {
    Q_OBJECT

public:
    CtlRunner(LinkEngine& engine, ConsoleView& view, const CtlRequest& request);
    // Starts the run; finished(status) follows from the event loop.
    void start();

signals:
    void finished(int status);

private:
    enum class Phase { Presence, Command, Done };

    void onTick();
    void finish(int status);
    bool failed() const;
    bool writeEdidFile();

    LinkEngine& engine_;
    ConsoleView& view_;
    CtlRequest request_;
    QTimer poll_;
    QTimer tick_;
    Phase phase_ = Phase::Presence;
    int messagesBefore_ = 0;
};
