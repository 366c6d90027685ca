#include "results/ResultsSummary.h"

#include <QDir>
#include <algorithm>

#include "files/SafeFile.h"

namespace {

QString esc(const QString& s) {
    return s.toHtmlEscaped();
}

QString num(double v) {
    return QString::number(v, 'f', 1);
}

QString percent(int part, int whole) {
    return whole ? QString::number(100.0 * part / whole, 'f', 1) + QStringLiteral(" %")
                 : QStringLiteral("-");
}

const char* const Style = R"(
body { font-family: Arial, Helvetica, sans-serif; font-size: 10pt; color: #000; margin: 12pt; }
h1 { font-size: 15pt; margin: 0 0 6pt 0; }
h2 { font-size: 12pt; margin: 14pt 0 4pt 0; }
table { border-collapse: collapse; }
th, td { border: 0.5pt solid #999; padding: 2pt 6pt; text-align: left; vertical-align: top; }
th { background: #eee; }
td.num { text-align: right; white-space: nowrap; }
svg { width: 100%; max-width: 900px; height: auto; display: block; }
.foot { margin-top: 10pt; font-size: 8pt; color: #555; }
)";

}  // namespace

QString ResultsSummary::svg(const ChartModel& c) {
    QString s =
        QStringLiteral(
            "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %1 %2\" role=\"img\" "
            "aria-label=\"%3\" font-family=\"%4\" font-size=\"%5\">\n")
            .arg(num(c.width), num(c.height), esc(c.title), QLatin1String(ChartModel::FontFamily),
                 QString::number(ChartModel::FontSize));
    for (const ChartModel::Line& l : c.lines)
        s += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\" stroke=\"%5\"/>\n")
                 .arg(num(l.from.x()), num(l.from.y()), num(l.to.x()), num(l.to.y()),
                      QLatin1String(l.grid ? ChartModel::GridInk : ChartModel::AxisInk));
    for (const ChartModel::Bar& b : c.bars)
        s += QStringLiteral(
                 "<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"><title>%6</title>"
                 "</rect>\n")
                 .arg(num(b.rect.x()), num(b.rect.y()), num(b.rect.width()), num(b.rect.height()),
                      QLatin1String(c.ink(b.series)), esc(b.tip));
    if (!c.curve.isEmpty()) {
        QStringList points;
        for (const QPointF& p : c.curve) points << num(p.x()) + QLatin1Char(',') + num(p.y());
        const QString colour = QLatin1String(c.ink(c.curveSeries));
        s += QStringLiteral(
                 "<polyline points=\"%1\" fill=\"none\" stroke=\"%2\" stroke-width=\"2\"/>\n")
                 .arg(points.join(QLatin1Char(' ')), colour);
        for (const QPointF& p : c.curve)
            s += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"3.5\" fill=\"%3\"/>\n")
                     .arg(num(p.x()), num(p.y()), colour);
    }
    for (const ChartModel::Label& l : c.labels) {
        const char* anchor = l.anchor == ChartModel::Anchor::Start ? "start"
                             : l.anchor == ChartModel::Anchor::End ? "end"
                                                                   : "middle";
        const QString turn = l.vertical ? QStringLiteral(" transform=\"rotate(-90 %1 %2)\"")
                                              .arg(num(l.at.x()), num(l.at.y()))
                                        : QString();
        s += QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"%3\"%4>%5</text>\n")
                 .arg(num(l.at.x()), num(l.at.y()), QLatin1String(anchor), turn, esc(l.text));
    }
    for (const ChartModel::Key& k : c.legend)
        s += QStringLiteral(
                 "<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"/>"
                 "<text x=\"%6\" y=\"%7\" text-anchor=\"start\">%8</text>\n")
                 .arg(num(k.swatch.x()), num(k.swatch.y()), num(k.swatch.width()),
                      num(k.swatch.height()), QLatin1String(c.ink(k.series)), num(k.textAt.x()),
                      num(k.textAt.y()), esc(k.text));
    return s + QStringLiteral("</svg>\n");
}

ChartModel ResultsSummary::yieldChart(const QList<YieldRow>& rows, ResultsQuery::Period by) {
    return ChartModel::yield(rows,
                             QStringLiteral("First-pass and final yield per %1")
                                 .arg(by == ResultsQuery::Period::Week ? QStringLiteral("week")
                                                                       : QStringLiteral("day")));
}

ChartModel ResultsSummary::paretoChart(const QList<ParetoRow>& rows) {
    return ChartModel::pareto(rows, QStringLiteral("The steps that failed most"));
}

ChartModel ResultsSummary::defectChart(const QList<DefectParetoRow>& rows) {
    return ChartModel::paretoDefects(rows, QStringLiteral("The defects found most"));
}

QString ResultsSummary::totals(const QList<YieldRow>& rows) {
    int units = 0, firstPass = 0, finalPass = 0, runs = 0;
    for (const YieldRow& y : rows) {
        units += y.units;
        firstPass += y.firstPass;
        finalPass += y.finalPass;
        runs += y.runs;
    }
    return QStringLiteral("%1 units in %2 runs: first-pass yield %3, final yield %4, %5 retests.")
        .arg(units)
        .arg(runs)
        .arg(percent(firstPass, units), percent(finalPass, units))
        .arg(runs - units);
}

QByteArray ResultsSummary::html(const Content& c) {
    const QString period =
        c.by == ResultsQuery::Period::Week ? QStringLiteral("week") : QStringLiteral("day");
    QString h = QStringLiteral(
                    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                    "<title>Results: %1</title>\n<style>%2</style>\n</head>\n<body>\n"
                    "<h1>Results: %1</h1>\n")
                    .arg(esc(c.scope), QLatin1String(Style));

    h += QStringLiteral("<p>%1</p>\n").arg(esc(totals(c.yield)));
    h += QStringLiteral("<h2>Yield per %1</h2>\n").arg(period);
    h += svg(yieldChart(c.yield, c.by));
    h += QStringLiteral(
        "<table>\n<thead><tr><th>Plan</th><th>Period</th><th>Units</th><th>First pass</th>"
        "<th>First-pass yield</th><th>Passed in the end</th><th>Final yield</th>"
        "<th>Retests</th></tr></thead>\n");
    for (const YieldRow& y : c.yield)
        h += QStringLiteral(
                 "<tr><td>%1</td><td>%2</td><td class=\"num\">%3</td><td class=\"num\">%4</td>"
                 "<td class=\"num\">%5</td><td class=\"num\">%6</td><td class=\"num\">%7</td>"
                 "<td class=\"num\">%8</td></tr>\n")
                 .arg(esc(y.plan), esc(y.period))
                 .arg(y.units)
                 .arg(y.firstPass)
                 .arg(percent(y.firstPass, y.units))
                 .arg(y.finalPass)
                 .arg(percent(y.finalPass, y.units))
                 .arg(y.retests());
    h += QStringLiteral("</table>\n<h2>Failures per step</h2>\n");
    if (c.pareto.isEmpty()) {
        h += QStringLiteral("<p>No step failed.</p>\n");
    } else {
        h += svg(paretoChart(c.pareto));
        h += QStringLiteral(
            "<table>\n<thead><tr><th>Plan</th><th>Step</th><th>Instruction</th><th>Failures</th>"
            "<th>Cumulative share</th></tr></thead>\n");
        for (const ParetoRow& p : c.pareto)
            h += QStringLiteral(
                     "<tr><td>%1</td><td class=\"num\">%2</td><td>%3</td><td class=\"num\">%4</td>"
                     "<td class=\"num\">%5 %</td></tr>\n")
                     .arg(esc(p.plan))
                     .arg(p.step)
                     .arg(esc(p.instruction))
                     .arg(p.count)
                     .arg(QString::number(p.cumulative * 100.0, 'f', 1));
        h += QStringLiteral("</table>\n");
    }
    // Only where a plan gives codes: else it would be one bar of every failure.
    const bool coded = std::any_of(c.defects.cbegin(), c.defects.cend(),
                                   [](const DefectParetoRow& d) { return !d.defect.isEmpty(); });
    if (coded) {
        h += QStringLiteral("<h2>Failures per defect code</h2>\n");
        h += svg(defectChart(c.defects));
        h += QStringLiteral(
            "<table>\n<thead><tr><th>Defect</th><th>Failures</th><th>Cumulative share</th></tr>"
            "</thead>\n");
        for (const DefectParetoRow& d : c.defects)
            h += QStringLiteral(
                     "<tr><td>%1</td><td class=\"num\">%2</td><td class=\"num\">%3 %</td></tr>\n")
                     .arg(esc(d.name()))
                     .arg(d.count)
                     .arg(QString::number(d.cumulative * 100.0, 'f', 1));
        h += QStringLiteral("</table>\n");
    }
    h += QStringLiteral(
             "<p class=\"foot\">%1. Units: serials whose first run in the range falls in the "
             "period; first-pass yield: of those, the ones whose first run passed; final yield: "
             "the ones whose last run in the range passed; retests: runs beyond each unit's "
             "first.</p>\n</body>\n</html>\n")
             .arg(esc(c.written));
    return h.toUtf8();
}

bool ResultsSummary::write(const QString& path, const Content& c, QString& error) {
    if (!SafeFile::replace(path, html(c), error)) {
        error = QDir::toNativeSeparators(error);
        return false;
    }
    return true;
}
