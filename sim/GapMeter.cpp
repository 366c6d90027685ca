#include "GapMeter.h"

#include <algorithm>
#include <cstdio>

void GapMeter::add(int64_t nanos) {
    if (last_ >= 0)
        gaps_.push_back(nanos - last_);
    last_ = nanos;
}

void GapMeter::reset() {
    gaps_.clear();
    last_ = -1;
}

std::string GapMeter::report() const {
    if (gaps_.empty())
        return "  gaps: 0";
    std::vector<int64_t> sorted = gaps_;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    const double median = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2.0;
    int64_t span = 0;
    for (int64_t g : gaps_) span += g;
    char text[128];
    std::snprintf(text, sizeof text,
                  "  gaps: %zu median %.1f ms max %.1f ms, first to last byte %.2f s", n,
                  median / 1e6, sorted.back() / 1e6, span / 1e9);
    return text;
}
