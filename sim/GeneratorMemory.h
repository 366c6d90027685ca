#pragma once

#include <QtGlobal>
#include <array>

#include "edid/EdidImage.h"
#include "pattern/PatternTable.h"
#include "timing/TimingTable.h"

// What the generator remembers between commands.
class GeneratorMemory {
public:
    static constexpr int ProgrammeSteps = 32;
    static constexpr quint8 Empty = 255;  // an unset programme field

    // One programme step: timing index, pattern index, unit (0 = s, 1 = min), show time.
    using Step = std::array<quint8, 4>;

    quint8 timing = 0;
    quint8 pattern = 0;
    std::array<quint8, TimingCount> offeredTimings{};
    std::array<quint8, PatternCount> offeredPatterns{};
    std::array<Step, ProgrammeSteps> programme{};
    EdidImage edid = builtinEdid();

    GeneratorMemory() { restoreDefaults(); }

    // What DFSET brings back; the EDID image is not part of it.
    void restoreDefaults();

    // A plausible monitor: base block and one CEA extension, both with valid checksums.
    static EdidImage builtinEdid();
};
