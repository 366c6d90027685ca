#pragma once

#include "link/Clock.h"

// The real clock. Waits sleep for most of the interval and poll only its last two milliseconds,
// so a long paced upload neither returns early nor keeps a processor core busy.
class SteadyClock : public Clock {
public:
    quint32 tickMs() override;
    void waitMs(quint32 ms) override;
    void sleepMs(quint32 ms) override;
};
