#include "production/UnitRecord.h"

namespace {

// Stage names in the order the stages run.
constexpr const char* StageNames[UnitRecord::StageCount] = {
    "Patch", "Upload", "Write", "Read back", "Compare", "Log",
};

}  // namespace

QString UnitRecord::stageName(int stage) {
    return stage >= 0 && stage < StageCount ? QLatin1String(StageNames[stage]) : QString();
}

int UnitRecord::stageFromName(const QString& name) {
    for (int k = 0; k < StageCount; ++k)
        if (name == QLatin1String(StageNames[k]))
            return k;
    return -1;
}

QString UnitRecord::verdictText(Verdict v) {
    switch (v) {
        case Verdict::Pass:
            return QStringLiteral("PASS");
        case Verdict::Stopped:
            return QStringLiteral("STOPPED");
        case Verdict::Fail:
            break;
    }
    return QStringLiteral("FAIL");
}
