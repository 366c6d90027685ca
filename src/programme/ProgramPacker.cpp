#include "programme/ProgramPacker.h"

#include <QStringList>

#include "pattern/PatternTable.h"
#include "timing/TimingTable.h"

namespace {

// The generator knows only its own timings and patterns and the two units; anything else in a
// field is not a step it could run.
bool legalFields(int timing, int pattern, int unit, qint64 showTime) {
    return timing < TimingCount && pattern < PatternCount && (unit == 0 || unit == 1) &&
           showTime >= ProgramPacker::MinShowTime && showTime <= ProgramPacker::MaxShowTime;
}

}  // namespace

bool ProgramPacker::isLegalStep(const ProgramColumns& table, int step) {
    return legalFields(table.timing[step], table.pattern[step], table.unit[step],
                       table.showTime[step]);
}

bool ProgramPacker::isLegalStep(const ProgramTable& table, int step) {
    return legalFields(table.timing[step], table.pattern[step], table.unit[step],
                       table.showTime[step]);
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

int ProgramPacker::PackProgram(const ProgramTable& table, ProgramColumns& upload) {
    upload.clear();
    int k = 0;
    for (int s = 0; s < ProgramTable::StepCount; ++s) {
        if (!isLegalStep(table, s))
            continue;
        upload.timing[k] = table.timing[s];
        upload.pattern[k] = table.pattern[s];
        upload.unit[k] = table.unit[s];
        // Legal show times are 1..59, so the byte holds them exactly.
        upload.showTime[k] = static_cast<quint8>(table.showTime[s]);
        ++k;
    }
    return k;
}

int ProgramPacker::legalStepCount(const ProgramTable& table) {
    int n = 0;
    for (int s = 0; s < ProgramTable::StepCount; ++s) n += isLegalStep(table, s) ? 1 : 0;
    return n;
}

qint64 ProgramPacker::runSeconds(const ProgramTable& table) {
    qint64 total = 0;
    for (int s = 0; s < ProgramTable::StepCount; ++s) {
        if (isLegalStep(table, s))
            total += table.unit[s] == 1 ? qint64(table.showTime[s]) * SecondsPerMinute
                                        : qint64(table.showTime[s]);
    }
    return total;
}

QString ProgramPacker::durationText(qint64 seconds) {
    const qint64 h = seconds / 3600;
    const qint64 min = seconds % 3600 / SecondsPerMinute;
    const qint64 s = seconds % SecondsPerMinute;
    QStringList parts;
    if (h > 0)
        parts << QStringLiteral("%1 h").arg(h);
    if (min > 0)
        parts << QStringLiteral("%1 min").arg(min);
    if (s > 0 || parts.isEmpty())
        parts << QStringLiteral("%1 s").arg(s);
    return parts.join(QLatin1Char(' '));
}

QString ProgramPacker::summaryText(const ProgramTable& table) {
    const int n = legalStepCount(table);
    if (n == 0)
        return QStringLiteral("No legal step: UpLoad has nothing to send");
    return QStringLiteral("%1 legal step%2, %3 per run")
        .arg(n)
        .arg(n == 1 ? "" : "s")
        .arg(durationText(runSeconds(table)));
}
