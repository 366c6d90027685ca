#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include "ctl/CtlRequest.h"
#include "plan/PlanRunner.h"
#include "results/ResultsStation.h"

class Clock;
class ConsoleView;
class LinkEngine;

// orve1ctl plan: connects, asks for the generator, then runs the plan on one unit, printing
// each step and taking the verdicts from standard input a line at a time ("p", "f" and a note
// line, "b", "s"), so that a person, a pipe or a script can answer. --auto takes no verdicts.
class CtlPlanRunner : public QObject {
    Q_OBJECT
public:
    CtlPlanRunner(LinkEngine& engine, Clock& clock, ConsoleView& view, const CtlRequest& request);
    // Starts; finished(status) follows from the event loop: 0 passed, 1 anything else, 2 when
    // the results store cannot be opened (nothing sent).
    void start();

public slots:
    void takeLine(const QString& line);
    void inputEnded();

signals:
    void finished(int status);

private:
    void onTick();
    void stepChanged();
    void takeInput();
    void runFinished();
    void finish(int status);

    LinkEngine& engine_;
    ConsoleView& view_;
    CtlRequest request_;
    ResultsStation station_;
    PlanRunner runner_;
    QTimer poll_;
    QTimer tick_;
    bool presence_ = true;
    bool done_ = false;
    QStringList input_;
    bool inputEnded_ = false;
    bool awaitingNote_ = false;
    int printedStep_ = -1;
    bool pauseShown_ = false;
};
