// orve1-sim: a virtual ORVE-1 generator on a pseudo-terminal, for trying and testing the
// control program without hardware. See --help.

#include <cstdio>
#include <string>

#include "EdidFile.h"
#include "GeneratorMemory.h"
#include "ProtocolMachine.h"
#include "PtyPort.h"
#include "SimOptions.h"
#include "SimServer.h"
#include "Version.h"

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    switch (options.parse(argc, argv, &error)) {
        case SimOptions::Outcome::Help:
            std::fputs(SimOptions::helpText(), stdout);
            return 0;
        case SimOptions::Outcome::Version:
            std::printf("orve1-sim %s\n", ORVE1_VERSION);
            return 0;
        case SimOptions::Outcome::Error:
            std::fprintf(stderr, "orve1-sim: %s (see orve1-sim --help)\n", error.c_str());
            return 2;
        case SimOptions::Outcome::Run:
            break;
    }

    GeneratorMemory memory;
    if (!options.edidFile.empty() &&
        EdidFile::load(options.edidFile, &memory.edid, &error) == EdidFile::LoadResult::Failed) {
        std::fprintf(stderr, "orve1-sim: %s\n", error.c_str());
        return 1;
    }

    PtyPort port;
    if (!SimServer::installSignalHandlers(&error) || !port.open(&error) ||
        !port.publish(options.port, &error)) {
        std::fprintf(stderr, "orve1-sim: %s\n", error.c_str());
        return 1;
    }
    SimServer::say("orve1-sim: COM" + std::to_string(options.port) + " -> " + port.slavePath());

    ProtocolMachine machine(options, memory);
    SimServer server(options, port, machine);
    return server.run();
}
