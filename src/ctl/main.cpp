// orve1ctl: one generator command from the command line, for scripts on production lines.
#include <QCoreApplication>
#include <cstdio>

#include "ctl/ConsoleView.h"
#include "ctl/CtlArguments.h"
#include "ctl/CtlRunner.h"
#include "link/LinkEngine.h"
#include "link/QtSerialLine.h"
#include "link/SteadyClock.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::fputs(qPrintable(CtlArguments::usage()), stdout);
        return 0;
    }
    CtlRequest request;
    QString error;
    if (!CtlArguments::parse(args, request, error)) {
        std::fprintf(stderr, "orve1ctl: %s\n", qPrintable(error));
        return 2;
    }

    QtSerialLine line;
    SteadyClock clock;
    LinkEngine engine(line, clock);
    ConsoleView view;
    engine.setView(&view);
    CtlRunner runner(engine, view, request);
    QObject::connect(&runner, &CtlRunner::finished, &app, &QCoreApplication::exit);
    runner.start();
    return app.exec();
}
