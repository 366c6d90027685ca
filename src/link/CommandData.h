#pragma once

#include <QtGlobal>
#include <array>

#include "programme/ProgramColumns.h"

// Values that the engine sends in data phases. Windows write them; the engine reads them.
struct CommandData {
    static constexpr int TimingCount = 35;
    static constexpr int PatternCount = 39;

    quint8 SelectedTimingIndex = 0;                       // 0..34, the TMIX data byte
    quint8 SelectedPatternIndex = 0;                      // 0..38, the PTIX data byte
    std::array<quint8, TimingCount> TimingSelection{};    // TMGS flags, 0 or 1, table order
    std::array<quint8, PatternCount> PatternSelection{};  // PTNS flags, 0 or 1, table order
    ProgramColumns ProgramUpload;                         // the packed ATRN programme
};
