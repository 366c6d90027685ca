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

    // First-pass and final yield per period, all plans of rows together.
    static ChartModel yield(const QList<YieldRow>& rows, const QString& title);
    // The failures per step, most first (at most maxBars), with their cumulative share.
    static ChartModel pareto(const QList<ParetoRow>& rows, const QString& title, int maxBars = 12);
};
