#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The gaps between the bytes of one exchange, to show how well the program paces.
class GapMeter {
public:
    // A byte read at monotonic time nanos.
    void add(int64_t nanos);
    // Starts a new exchange.
    void reset();
    // "  gaps: <count> median <ms> ms max <ms> ms, first to last byte <s> s".
    std::string report() const;

private:
    std::vector<int64_t> gaps_;
    int64_t last_ = -1;
};
