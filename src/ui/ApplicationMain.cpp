#include "ui/ApplicationMain.h"

#include <QApplication>
#include <QProcessEnvironment>
#include <cstdio>
#include <memory>

#include "Version.h"
#include "link/LinkEngine.h"
#include "link/PlatformLine.h"
#include "link/SteadyClock.h"
#include "link/TappedLine.h"
#include "ui/AppWindows.h"
#include "ui/ProgramStart.h"
#include "ui/TMainForm.h"

int ApplicationMain::run(int argc, char* argv[],
                         const std::function<void(AppWindows&)>& afterShow) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    switch (ProgramStart::parse(args)) {
        case ProgramStart::Action::Help:
            std::fputs(qPrintable(ProgramStart::usage()), stdout);
            return 0;
        case ProgramStart::Action::Version:
            std::fputs(qPrintable(ProgramStart::versionLine()), stdout);
            return 0;
        case ProgramStart::Action::Run:
            break;
    }
    // Without a display the toolkit would abort with a page of advice; say it in one line.
    const QString noDisplay =
        ProgramStart::displayProblem(args, QProcessEnvironment::systemEnvironment());
    if (!noDisplay.isEmpty()) {
        std::fprintf(stderr, "orve1: %s\n", qPrintable(noDisplay));
        return ProgramStart::ExitNoDisplay;
    }
    ProgramStart::keepNoSettings();

    ProgramStart::holdToolkitMessages();
    QApplication app(argc, argv);
    ProgramStart::toolkitStarted();
    QApplication::setApplicationName(QStringLiteral("ORVE-1"));
    QApplication::setApplicationVersion(QStringLiteral(ORVE1_VERSION));
    // Lets the desktop match the windows with the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(ORVE1_APP_ID));
    QStringList rest = app.arguments().mid(1);
    ProgramStart::Station station;
    QString usageError;
    if (!ProgramStart::takeStation(rest, station, usageError))
        rest = QStringList{usageError};
    const QString leftOver =
        usageError.isEmpty() ? ProgramStart::leftOverProblem(rest) : usageError;
    if (!leftOver.isEmpty()) {
        std::fprintf(stderr, "orve1: %s\n", qPrintable(leftOver));
        return ProgramStart::ExitUsage;
    }
    // A station shortcut not yet pointed at a plan: the plan is asked for, or nothing starts.
    if (station.on && station.plan.isEmpty()) {
        station.plan = AppWindows::askStationPlan();
        if (station.plan.isEmpty())
            return 0;
    }

    // The link and its buffers exist before any window.
    SteadyClock clock;
    const std::unique_ptr<SerialLine> line = PlatformLine::make();
    // Every byte to and from the generator is recorded for the Link Monitor.
    TappedLine tap(*line);
    LinkEngine engine(tap, clock);

    // The main window first; the others follow in their order once it is on screen.
    AppWindows windows(engine, &tap, AppWindows::Start::MainFirst);
    // Closing the main window ends the program even while a list window is open.
    QObject::connect(windows.MainForm.get(), &TMainForm::formClosed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    windows.MainForm->show();
    if (station.on)
        windows.startStation(station);
    if (afterShow)
        afterShow(windows);
    return app.exec();
}
