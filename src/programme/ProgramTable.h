#pragma once

#include <QtGlobal>
#include <array>

// The programme as the editor holds it: 32 steps in four parallel columns, 255 in a field
// meaning empty. The show time is kept whole as the operator typed it, so that a number
// such as 315 or 256 is never mistaken for a legal 59 or 0 by cutting it to a byte.
struct ProgramTable {
    static constexpr int StepCount = 32;
    static constexpr int Empty = 255;

    std::array<quint8, StepCount> timing{};    // timing index 0..34
    std::array<quint8, StepCount> pattern{};   // pattern index 0..38
    std::array<quint8, StepCount> unit{};      // 0 = seconds, 1 = minutes
    std::array<qint32, StepCount> showTime{};  // as entered; legal only 1..59

    ProgramTable() { clear(); }

    // Every field of every step empty.
    void clear() {
        timing.fill(Empty);
        pattern.fill(Empty);
        unit.fill(Empty);
        showTime.fill(Empty);
    }
    void clearStep(int s) {
        timing[s] = pattern[s] = unit[s] = Empty;
        showTime[s] = Empty;
    }
    // At least one of the step's four fields is set.
    bool hasAnyField(int s) const {
        return timing[s] != Empty || pattern[s] != Empty || unit[s] != Empty ||
               showTime[s] != Empty;
    }
    bool operator==(const ProgramTable& o) const {
        return timing == o.timing && pattern == o.pattern && unit == o.unit &&
               showTime == o.showTime;
    }
    bool operator!=(const ProgramTable& o) const { return !(*this == o); }
};
