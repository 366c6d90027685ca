#include "link/SteadyClock.h"

#include <chrono>
#include <thread>

namespace {

using SteadyTime = std::chrono::steady_clock;

// A sleep can end a millisecond or more late, and short naps once more at the end let the
// scheduler (or a virtual machine's host) push the wake-up later still. Sleep until this much
// before the deadline and poll the clock for the rest: about 6 % of a core while pacing.
constexpr auto CoarseMargin = std::chrono::microseconds(2000);

}  // namespace

quint32 SteadyClock::tickMs() {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyTime::now().time_since_epoch());
    return static_cast<quint32>(ms.count());
}

void SteadyClock::waitMs(quint32 ms) {
    const auto deadline = SteadyTime::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left = deadline - SteadyTime::now();
        if (left <= SteadyTime::duration::zero())
            return;
        if (left > CoarseMargin)
            std::this_thread::sleep_for(left - CoarseMargin);
        else
            std::this_thread::yield();
    }
}

void SteadyClock::sleepMs(quint32 ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
