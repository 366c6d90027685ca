#pragma once

#include "link/Clock.h"

// Time that passes instantly, so paced sends cost nothing in tests.
class FakeClock : public Clock {
public:
    quint32 now = 0;
    quint32 tickMs() override { return now; }
    void waitMs(quint32 ms) override { now += ms; }
    void sleepMs(quint32 ms) override { now += ms; }
};
