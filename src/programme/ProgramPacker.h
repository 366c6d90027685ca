#pragma once

#include <QString>
#include <QtGlobal>

#include "programme/ProgramColumns.h"
#include "programme/ProgramTable.h"

// Packs the legal steps of an edited programme to the front of the upload table.
class ProgramPacker {
public:
    static constexpr int MinShowTime = 1;
    static constexpr int MaxShowTime = 59;
    static constexpr int SecondsPerMinute = 60;

    // A step is legal when timing, pattern and unit are set and the show time is 1..59.
    static bool isLegalStep(const ProgramColumns& table, int step);
    static bool isLegalStep(const ProgramTable& table, int step);
    // PackProgram: upload := legal steps in order, then empty fields; returns LegalStepCount.
    static int PackProgram(const ProgramColumns& table, ProgramColumns& upload);
    static int PackProgram(const ProgramTable& table, ProgramColumns& upload);

    static int legalStepCount(const ProgramTable& table);
    // One run through the legal steps, in seconds.
    static qint64 runSeconds(const ProgramTable& table);
    // "3 legal steps, 2 min 15 s per run": what UpLoad would send.
    static QString summaryText(const ProgramTable& table);
    // "1 h 5 min", "2 min 15 s", "45 s", "0 s".
    static QString durationText(qint64 seconds);
};
