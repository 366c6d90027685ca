#include "programme/ProgramPacker.h"

bool ProgramPacker::isLegalStep(const ProgramColumns& table, int step) {
    return table.timing[step] != ProgramColumns::Empty &&
           table.pattern[step] != ProgramColumns::Empty &&
           table.unit[step] != ProgramColumns::Empty && table.showTime[step] >= MinShowTime &&
           table.showTime[step] <= MaxShowTime;
}

int ProgramPacker::PackProgram(const ProgramColumns& table, ProgramColumns& upload) {
    upload.clear();
    int k = 0;
    for (int s = 0; s < ProgramColumns::StepCount; ++s) {
        if (!isLegalStep(table, s))
            continue;
        upload.timing[k] = table.timing[s];
        upload.pattern[k] = table.pattern[s];
        upload.unit[k] = table.unit[s];
        upload.showTime[k] = table.showTime[s];
        ++k;
    }
    return k;
}
