#pragma once

#include "programme/ProgramColumns.h"

// Fills step s of a programme in one call.
inline void setStep(ProgramColumns& table, int s, int timing, int pattern, int unit, int time) {
    table.timing[s] = static_cast<quint8>(timing);
    table.pattern[s] = static_cast<quint8>(pattern);
    table.unit[s] = static_cast<quint8>(unit);
    table.showTime[s] = static_cast<quint8>(time);
}
