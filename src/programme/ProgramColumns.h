#pragma once

#include <QtGlobal>
#include <array>

// A programme of 32 steps held as four parallel columns. 255 in a field means empty.
struct ProgramColumns {
    static constexpr int StepCount = 32;
    static constexpr quint8 Empty = 255;

    // All zero until a programme is packed into them.
    std::array<quint8, StepCount> timing{};    // timing index 0..34
    std::array<quint8, StepCount> pattern{};   // pattern index 0..38
    std::array<quint8, StepCount> unit{};      // 0 = seconds, 1 = minutes
    std::array<quint8, StepCount> showTime{};  // 1..59 in the unit

    // Every field empty.
    void clear() {
        timing.fill(Empty);
        pattern.fill(Empty);
        unit.fill(Empty);
        showTime.fill(Empty);
    }
};
