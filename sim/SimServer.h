#pragma once

#include <QByteArray>
#include <cstdint>
#include <deque>
#include <string>

#include "GapMeter.h"
#include "ProtocolMachine.h"
#include "PtyPort.h"
#include "SimOptions.h"

// The single-threaded poll loop: reads the line, feeds the protocol machine, and sends its
// answers when they are due (late or byte by byte under the fault options).
class SimServer {
public:
    SimServer(const SimOptions& options, PtyPort& port, ProtocolMachine& machine);

    // Routes SIGINT, SIGTERM and SIGHUP into the loop; call before the link is published so
    // that an early signal still removes it.
    static bool installSignalHandlers(std::string* error);
    // Writes one line to stdout and flushes it at once: tests read it through a pipe.
    static void say(const std::string& line);

    // Serves until a signal or a hang-up; returns the exit status.
    int run();

private:
    struct Pending {
        int64_t due;  // CLOCK_MONOTONIC, ns
        QByteArray bytes;
    };

    // False when the line was hung up.
    bool readInput(int* status);
    void schedule(const ProtocolMachine::Outcome& outcome);
    void sendDue(int64_t now);
    int pollTimeoutMs(int64_t now) const;
    QByteArray burstBytes();

    const SimOptions& options_;
    PtyPort& port_;
    ProtocolMachine& machine_;
    GapMeter meter_;
    std::deque<Pending> queue_;
    int64_t lastDue_ = 0;
    bool writeBlocked_ = false;
    uint32_t random_ = 0x2545F491u;
};
