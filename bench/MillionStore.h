#pragma once

#include <QByteArray>
#include <QString>

// The store of a million runs that the results benchmarks ask: 7 steps a run over about two
// years (2025-01-06 to 2026-12-06), six stations, three plans, a skewed Pareto of failures. Made
// once (a few minutes, about 1 GB) and reused.
class MillionStore {
public:
    static constexpr int StepsPerRun = 7;
    static constexpr qint64 Runs = 1000000;

    // Plan k (0..2): "Incoming inspection k+1" with its seven judged steps.
    static QByteArray planText(int k);
    // bench-results beside the build's bin folder.
    static QString defaultFolder();
    // The store in folder, made there first unless it holds the million runs already; empty,
    // after printing why, when it cannot be made.
    static QString ensure(const QString& folder);
};
