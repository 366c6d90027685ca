#include <QApplication>

#include "link/LinkEngine.h"
#include "link/QtSerialLine.h"
#include "link/SteadyClock.h"
#include "link/TappedLine.h"
#include "ui/AppWindows.h"
#include "ui/DebugHooks.h"
#include "ui/TMainForm.h"

int main(int argc, char* argv[]) {
    DebugHooks::markMainStart();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ORVE-1"));

    // The link and its buffers exist before any window.
    SteadyClock clock;
    QtSerialLine line;
    // Every byte to and from the generator is recorded for the Link Monitor.
    TappedLine tap(line);
    LinkEngine engine(tap, clock);

    AppWindows windows(engine, &tap);
    // Closing the main window ends the program even while a list window is open.
    QObject::connect(windows.MainForm.get(), &TMainForm::formClosed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    windows.MainForm->show();
    DebugHooks::install(windows);
    return app.exec();
}
