// Sends 200 (or argv[1]) paced bytes through PaceDelay with the real clock and reports the
// intervals and the processor time the waiting costs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <numeric>
#include <vector>

#include "ScriptedLine.h"
#include "link/LinkEngine.h"
#include "link/SerialLine.h"
#include "link/SteadyClock.h"

namespace {

// A line that only timestamps what it is handed.
class TimestampLine : public ScriptedLine {
public:
    std::vector<std::chrono::steady_clock::time_point> stamps;

protected:
    void onByte(quint8) override { stamps.push_back(std::chrono::steady_clock::now()); }
};

}  // namespace

int main(int argc, char** argv) {
    const int Bytes = argc > 1 ? std::max(2, std::atoi(argv[1])) : 200;
    TimestampLine line;
    SteadyClock clock;
    LinkEngine engine(line, clock);

    const double cpu0 = cpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    for (int i = 0; i < Bytes; ++i) {
        line.putByte(0, 0x20);
        engine.PaceDelay(LinkEngine::PaceMs);
    }
    const auto wall1 = std::chrono::steady_clock::now();
    const double cpu = cpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(wall1 - wall0).count();

    std::vector<double> gaps;
    line.stamps.push_back(wall1);
    for (size_t i = 1; i < line.stamps.size(); ++i)
        gaps.push_back(
            std::chrono::duration<double, std::milli>(line.stamps[i] - line.stamps[i - 1]).count());
    const double mean = std::accumulate(gaps.begin(), gaps.end(), 0.0) / gaps.size();
    const double largest = *std::max_element(gaps.begin(), gaps.end());
    const double smallest = *std::min_element(gaps.begin(), gaps.end());
    std::printf("paced bytes: %d\n", Bytes);
    std::printf("interval mean: %.3f ms  smallest: %.3f ms  largest: %.3f ms\n", mean, smallest,
                largest);
    const long over37 = std::count_if(gaps.begin(), gaps.end(), [](double g) { return g > 37.0; });
    std::printf("intervals above 37 ms: %ld of %zu\n", over37, gaps.size());
    std::printf("cpu time: %.3f s over %.3f s of pacing = %.1f %%\n", cpu, wall,
                100.0 * cpu / wall);
    return 0;
}
