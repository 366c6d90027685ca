#pragma once

#include <vector>

#include "link/Clock.h"

// A clock that only moves when waited on or moved by hand.
class FakeClock : public Clock {
public:
    quint32 now = 0;
    std::vector<quint32> waits;   // every waitMs in order
    std::vector<quint32> sleeps;  // every sleepMs in order

    quint32 tickMs() override { return now; }
    void waitMs(quint32 ms) override {
        waits.push_back(ms);
        now += ms;
    }
    void sleepMs(quint32 ms) override {
        sleeps.push_back(ms);
        now += ms;
    }
};
