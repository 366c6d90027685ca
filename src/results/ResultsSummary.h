#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "results/ChartModel.h"
#include "results/ResultsQuery.h"

// A self-contained HTML page that sums up a line's results: the yield table, the yield per
// period and the failure Paretos by step and by defect code as inline SVG charts (drawn from
// ChartModel, as a window would draw them), and the failures' tables.
class ResultsSummary {
public:
    struct Content {
        QString scope;  // what the figures cover: "2026-12-01 to 2026-12-31, plan Incoming"
        ResultsQuery::Period by = ResultsQuery::Period::Day;
        QList<YieldRow> yield;
        QList<ParetoRow> pareto;
        QString written;  // when and by whom, for the page's foot
        QList<DefectParetoRow> defects;
    };

    static QByteArray html(const Content& c);
    // The page's charts and its sentence of totals, for a window that shows the same.
    static ChartModel yieldChart(const QList<YieldRow>& rows, ResultsQuery::Period by);
    static ChartModel paretoChart(const QList<ParetoRow>& rows);
    static ChartModel defectChart(const QList<DefectParetoRow>& rows);
    // "120 units in 131 runs: first-pass yield 91.7 %, final yield 98.3 %, 11 retests."
    static QString totals(const QList<YieldRow>& rows);
    // The chart as an SVG element.
    static QString svg(const ChartModel& chart);
    // Writes the page complete or not at all; error names the file and why.
    static bool write(const QString& path, const Content& c, QString& error);
};
