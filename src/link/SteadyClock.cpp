#include "link/SteadyClock.h"

#include <chrono>
#include <thread>

namespace {

using SteadyTime = std::chrono::steady_clock;

// Sleeping ends a little late by the kernel's timer slack; stop sleeping the long way this
// much before the deadline and close the rest in short naps.
constexpr auto CoarseMargin = std::chrono::microseconds(1000);
constexpr auto FineNap = std::chrono::microseconds(100);

}  // namespace

quint32 SteadyClock::tickMs() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        SteadyTime::now().time_since_epoch());
    return static_cast<quint32>(ms.count());
}

void SteadyClock::waitMs(quint32 ms) {
    const auto deadline = SteadyTime::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left = deadline - SteadyTime::now();
        if (left <= SteadyTime::duration::zero()) return;
        if (left > CoarseMargin + FineNap)
            std::this_thread::sleep_for(left - CoarseMargin);
        else if (left > FineNap)
            std::this_thread::sleep_for(FineNap);
        else
            std::this_thread::yield();
    }
}

void SteadyClock::sleepMs(quint32 ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
