#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// What orve1 settles before its first window: its own options, whether there is a display to
// open, and that it keeps nothing between runs. A desktop program started from a terminal
// without a display must end with one line that says why, not with the toolkit's abort.
class ProgramStart {
public:
    enum class Action { Run, Help, Version };
    // orve1 --station PLAN [--reports DIR] [--operator NAME] [--port N]: the program as a line
    // station, running one plan and nothing else.
    struct Station {
        bool on = false;
        QString plan;  // empty: asked for with an open dialog
        QString reports;
        QString operatorName;
        int port = 0;  // 0: the plan's port: line, else COM 1
    };
    static constexpr int MaxPort = 8;

    // --help (-h) and --version; anything else is left for Qt, which takes its own options
    // (-platform NAME, -style NAME, ...). Help wins over version.
    static Action parse(const QStringList& args);
    static QString usage();
    static QString versionLine();

    // Takes --station and its options out of args (what Qt left of the command line), wherever
    // they stand; false with the one line to print when they are unusable.
    static bool takeStation(QStringList& args, Station& station, QString& error);

    // Arguments that Qt did not take: what is left in QCoreApplication::arguments() after the
    // program's name. Empty when none, else the one line to print.
    static QString leftOverProblem(const QStringList& leftOver);

    // Empty when the toolkit may find a display; else the one line to print. Only the plain
    // case is judged here (no display named at all); a named display that cannot be opened is
    // caught while the toolkit starts (holdToolkitMessages).
    static QString displayProblem(const QStringList& args, const QProcessEnvironment& env);

    // The line for a toolkit that gave up while starting, from what it said before it did.
    static QString toolkitFailure(const QStringList& said, const QProcessEnvironment& env);

    // From now until toolkitStarted(): the toolkit's messages are held back, and a fatal one
    // ends the program with "orve1: " + toolkitFailure(...) on standard error and status 1.
    static void holdToolkitMessages();
    // Shows the held messages through the previous handler and restores it.
    static void toolkitStarted();

    // Qt's own file dialog saves its history in the user's configuration folder when it is
    // closed; the program keeps no settings between runs and writes nothing of its own.
    static void keepNoSettings();

    static constexpr int ExitNoDisplay = 1;
    static constexpr int ExitUsage = 2;
};
