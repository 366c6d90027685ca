#pragma once

#include "programme/ProgramColumns.h"

// Packs the legal steps of an edited programme to the front of the upload table.
class ProgramPacker {
public:
    static constexpr int MinShowTime = 1;
    static constexpr int MaxShowTime = 59;

    // A step is legal when timing, pattern and unit are set and the show time is 1..59.
    static bool isLegalStep(const ProgramColumns& table, int step);
    // PackProgram: upload := legal steps in order, then empty fields; returns LegalStepCount.
    static int PackProgram(const ProgramColumns& table, ProgramColumns& upload);
};
