#pragma once

#include <QString>

#include "results/ResultsQuery.h"

// A result row's fields as a person reads them, the same in orve1ctl's tables and the window.
class ResultsText {
public:
    // "2026-12-08T14:15:03+01:00" as "2026-12-08 14:15:03".
    static QString time(const QString& iso);
    // The verdict, "RUNNING" while a run goes on.
    static QString verdict(const ResultRow& r);
    // The same with how a run that did not complete ended: "FAIL, interrupted at step 3".
    static QString verdictAndEnd(const ResultRow& r);
    // A failed step's defect code and note: "[mura] banding at the left".
    static QString note(const ResultRow::FailedStep& f);
    // The failed steps with their codes and notes ("step 2: [mura] banding; step 5"), the step
    // that could not be shown and why, or a unit's failed stage and message.
    static QString failed(const ResultRow& r);
};
