#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include "results/ResultsQuery.h"

// A bar chart with an optional line over it, laid out once as plain data in abstract units (a
// canvas of width x height, y growing downwards), so that the HTML summary's SVG and a window's
// painter draw the same chart. Series k is drawn in the drawer's k-th colour.
struct ChartModel {
    enum class Anchor { Start, Middle, End };
    struct Bar {
        QRectF rect;
        int series = 0;
        QString tip;  // what the bar stands for, in words
    };
    struct Label {
        QPointF at;  // the text's baseline point
        QString text;
        Anchor anchor = Anchor::Middle;
        bool vertical = false;  // turned a quarter left, reading upwards
    };
    struct Line {
        QPointF from, to;
        bool grid = false;  // a light grid line; else an axis or a tick
    };
    // A legend entry: a swatch in the series' colour and its name after it.
    struct Key {
        QRectF swatch;
        QPointF textAt;  // the name's baseline start
        QString text;
        int series = 0;
    };

    // The colours every drawer paints in (the summary's SVG, a window's painter), as #rrggbb:
    // bar series 0 and 1, then the line series whatever its index.
    static constexpr const char* SeriesInk[] = {"#2f6db5", "#0a7d14", "#c4000b"};
    static constexpr const char* AxisInk = "#333";
    static constexpr const char* GridInk = "#ddd";
    static constexpr const char* FontFamily = "Arial, Helvetica, sans-serif";
    static constexpr double FontSize = 13.0;  // canvas units

    double width = 1000.0;
    double height = 480.0;
    QRectF plot;  // the area inside the axes
    QString title;
    QStringList series;  // legend, one name per series
    QList<Bar> bars;
    QList<Line> lines;
    QList<Label> labels;
    QList<QPointF> curve;  // the line series (series index curveSeries), empty when none
    int curveSeries = -1;
    QList<Key> legend;  // top right, one entry per series

    // The colour series k is drawn in.
    const char* ink(int series) const;

    // First-pass and final yield per period, all plans of rows together.
    static ChartModel yield(const QList<YieldRow>& rows, const QString& title);
    // The failures per step, most first (at most maxBars), with their cumulative share.
    static ChartModel pareto(const QList<ParetoRow>& rows, const QString& title, int maxBars = 12);
    // The same by defect code.
    static ChartModel paretoDefects(const QList<DefectParetoRow>& rows, const QString& title,
                                    int maxBars = 12);
};
