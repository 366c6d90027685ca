// orve1ctl: one generator command from the command line, for scripts on production lines.
#include <QCoreApplication>
#include <cstdio>
#include <memory>

#include "Version.h"
#include "ctl/ConsoleView.h"
#include "ctl/CtlArguments.h"
#include "ctl/CtlPlanRunner.h"
#include "ctl/CtlRunner.h"
#include "ctl/EdidCommands.h"
#include "ctl/IdentityCommands.h"
#include "ctl/ResultsCommands.h"
#include "ctl/StdinLines.h"
#include "link/LinkEngine.h"
#include "link/PlatformLine.h"
#include "link/PortDescription.h"
#include "link/SteadyClock.h"
#include "link/TappedLine.h"

namespace {

void listPorts() {
    for (const PortDescription& port : PortDescription::describeAll(8))
        std::printf("COM %d  %s\n", port.number(), qPrintable(port.oneLine()));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    CtlRequest request;
    QString error;
    if (!CtlArguments::parse(app.arguments().mid(1), request, error)) {
        std::fprintf(stderr, "orve1ctl: %s\n", qPrintable(error));
        return 2;
    }
    switch (request.kind) {
        case CtlRequest::Kind::Help:
            std::fputs(qPrintable(CtlArguments::usage()), stdout);
            return 0;
        case CtlRequest::Kind::Version:
            std::printf("orve1ctl %s\n", ORVE1_VERSION);
            return 0;
        case CtlRequest::Kind::Ports:
            listPorts();
            return 0;
        case CtlRequest::Kind::EdidInfo:
        case CtlRequest::Kind::EdidDiff:
        case CtlRequest::Kind::EdidIdentity:
        case CtlRequest::Kind::EdidPatch:
        case CtlRequest::Kind::Results: {
            QString out;
            QString err;
            int status = 0;
            if (request.kind == CtlRequest::Kind::EdidInfo)
                status = request.listTimings ? EdidCommands::timings(request.file, out, err)
                                             : EdidCommands::info(request.file, out, err);
            else if (request.kind == CtlRequest::Kind::EdidDiff)
                status = EdidCommands::diff(request.file, request.otherFile, out, err);
            else if (request.kind == CtlRequest::Kind::EdidIdentity)
                status = IdentityCommands::identity(request.file, out, err);
            else if (request.kind == CtlRequest::Kind::EdidPatch)
                status = IdentityCommands::patch(request, out, err);
            else
                status = ResultsCommands::run(request, out, err);
            std::fputs(out.toUtf8().constData(), stdout);
            if (!err.isEmpty())
                std::fprintf(stderr, "orve1ctl: %s\n", err.toUtf8().constData());
            return status;
        }
        default:
            break;
    }

    const std::unique_ptr<SerialLine> line = PlatformLine::make();
    std::unique_ptr<TappedLine> tap;
    if (request.trace)
        tap = std::make_unique<TappedLine>(*line);
    SteadyClock clock;
    LinkEngine engine(tap ? static_cast<SerialLine&>(*tap) : *line, clock);
    ConsoleView view;
    engine.setView(&view);
    if (request.kind == CtlRequest::Kind::Plan) {
        CtlPlanRunner plan(engine, clock, view, request);
        StdinLines input;
        QObject::connect(&input, &StdinLines::lineRead, &plan, &CtlPlanRunner::takeLine);
        QObject::connect(&input, &StdinLines::ended, &plan, &CtlPlanRunner::inputEnded);
        QObject::connect(&plan, &CtlPlanRunner::finished, &app, &QCoreApplication::exit);
        plan.start();
        return app.exec();
    }
    CtlRunner runner(engine, view, request, tap.get());
    QObject::connect(&runner, &CtlRunner::finished, &app, &QCoreApplication::exit);
    runner.start();
    return app.exec();
}
