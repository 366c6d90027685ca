#include "results/ChartModel.h"

#include <QMap>
#include <cmath>

namespace {

// Margins around the plot, in canvas units: left, top, right, bottom.
constexpr double Left = 70.0;
constexpr double Top = 50.0;
constexpr double Right = 70.0;
constexpr double Bottom = 150.0;
constexpr int PercentTicks = 5;  // 0, 20, ... 100 %
constexpr double TickLength = 6.0;
// Category labels stand upright until there are more than this many, then they turn.
constexpr int UprightLabels = 8;
constexpr int MaxCategoryLabels = 40;
constexpr int UprightChars = 10;   // longer labels turn too
constexpr int MaxLabelChars = 20;  // what fits under the plot, turned
// The legend, top right: room per entry, the swatch's side, its top, the names' baseline.
constexpr double KeyWidth = 160.0;
constexpr double SwatchSide = 12.0;
constexpr double SwatchTop = 14.0;
constexpr double KeyBaseline = 25.0;

QString percent(double share) {
    return QString::number(qRound(share * 100.0)) + QLatin1Char('%');
}

ChartModel frame(const QString& title, const QStringList& series) {
    ChartModel c;
    c.title = title;
    c.series = series;
    c.plot = QRectF(Left, Top, c.width - Left - Right, c.height - Top - Bottom);
    c.labels << ChartModel::Label{{c.plot.left(), 24.0}, title, ChartModel::Anchor::Start, false};
    c.lines << ChartModel::Line{c.plot.bottomLeft(), c.plot.bottomRight(), false}
            << ChartModel::Line{c.plot.bottomLeft(), c.plot.topLeft(), false};
    double x = c.plot.right() - KeyWidth * series.size();
    for (int k = 0; k < series.size(); ++k, x += KeyWidth)
        c.legend << ChartModel::Key{QRectF(x, SwatchTop, SwatchSide, SwatchSide),
                                    {x + SwatchSide + 6.0, KeyBaseline},
                                    series[k],
                                    k};
    return c;
}

// A percentage axis on the left or right side, with grid lines from the left one.
void percentAxis(ChartModel& c, bool right) {
    const double x = right ? c.plot.right() : c.plot.left();
    if (right)
        c.lines << ChartModel::Line{c.plot.bottomRight(), c.plot.topRight(), false};
    for (int k = 0; k <= PercentTicks; ++k) {
        const double y = c.plot.bottom() - c.plot.height() * k / PercentTicks;
        if (!right && k > 0)
            c.lines << ChartModel::Line{{c.plot.left(), y}, {c.plot.right(), y}, true};
        c.lines << ChartModel::Line{
            {x - (right ? 0 : TickLength), y}, {x + (right ? TickLength : 0), y}, false};
        c.labels << ChartModel::Label{{x + (right ? 10.0 : -10.0), y + 5.0},
                                      QString::number(100 * k / PercentTicks) + QLatin1Char('%'),
                                      right ? ChartModel::Anchor::Start : ChartModel::Anchor::End,
                                      false};
    }
}

// A count axis with round steps, grid lines included; returns the count at the plot's top.
double countAxis(ChartModel& c, int most) {
    const double raw = qMax(1, most) / 5.0;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10.0 * magnitude;
    for (const double f : {1.0, 2.0, 5.0})
        if (f * magnitude >= raw) {
            step = f * magnitude;
            break;
        }
    step = qMax(1.0, step);
    const double max = std::ceil(qMax(1, most) / step) * step;
    for (double v = 0; v <= max + 0.5; v += step) {
        const double y = c.plot.bottom() - c.plot.height() * v / max;
        if (v > 0)
            c.lines << ChartModel::Line{{c.plot.left(), y}, {c.plot.right(), y}, true};
        c.lines << ChartModel::Line{{c.plot.left() - TickLength, y}, {c.plot.left(), y}, false};
        c.labels << ChartModel::Label{
            {c.plot.left() - 10.0, y + 5.0}, QString::number(v), ChartModel::Anchor::End, false};
    }
    return max;
}

void categoryLabel(ChartModel& c, int index, int count, double centre, QString text) {
    const int every = qMax(1, (count + MaxCategoryLabels - 1) / MaxCategoryLabels);
    if (index % every != 0)
        return;
    if (text.size() > MaxLabelChars)
        text = text.left(MaxLabelChars - 1) + QChar(0x2026);
    const bool vertical = count > UprightLabels || text.size() > UprightChars;
    c.labels << ChartModel::Label{
        vertical ? QPointF(centre + 5.0, c.plot.bottom() + 10.0)
                 : QPointF(centre, c.plot.bottom() + 22.0),
        text, vertical ? ChartModel::Anchor::End : ChartModel::Anchor::Middle, vertical};
}

// A Pareto's bar: its label under the plot, what it stands for, its count and the cumulative
// share up to it.
struct ParetoBar {
    QString label, name;
    int count;
    double cumulative;
};

// Bars of failures, most first, with the line of their cumulative share.
ChartModel paretoOf(const QList<ParetoBar>& shown, const QString& title) {
    ChartModel c = frame(title, {QStringLiteral("Failures"), QStringLiteral("Cumulative share")});
    int most = 0;
    for (const ParetoBar& b : shown) most = qMax(most, b.count);
    const double max = countAxis(c, most);
    percentAxis(c, true);
    const int n = int(shown.size());
    if (n == 0)
        return c;
    const double slot = c.plot.width() / n;
    c.curveSeries = 1;
    for (int i = 0; i < n; ++i) {
        const ParetoBar& b = shown[i];
        const double x = c.plot.left() + slot * i + slot * 0.15;
        const double h = c.plot.height() * b.count / max;
        c.bars << ChartModel::Bar{QRectF(x, c.plot.bottom() - h, slot * 0.7, h), 0,
                                  QStringLiteral("%1: %2 failure%3, %4 of all up to here")
                                      .arg(b.name)
                                      .arg(b.count)
                                      .arg(b.count == 1 ? "" : "s", percent(b.cumulative))};
        c.labels << ChartModel::Label{{x + slot * 0.35, c.plot.bottom() - h - 6.0},
                                      QString::number(b.count),
                                      ChartModel::Anchor::Middle,
                                      false};
        c.curve << QPointF(x + slot * 0.35, c.plot.bottom() - c.plot.height() * b.cumulative);
        categoryLabel(c, i, n, x + slot * 0.35, b.label);
    }
    return c;
}

}  // namespace

const char* ChartModel::ink(int series) const {
    constexpr int n = int(sizeof(SeriesInk) / sizeof(SeriesInk[0]));
    return SeriesInk[(series == curveSeries ? n - 1 : series) % n];
}

ChartModel ChartModel::yield(const QList<YieldRow>& rows, const QString& title) {
    ChartModel c =
        frame(title, {QStringLiteral("First-pass yield"), QStringLiteral("Final yield")});
    percentAxis(c, false);
    // All plans of a period together, weighted by their units.
    QMap<QString, YieldRow> periods;
    for (const YieldRow& r : rows) {
        YieldRow& p = periods[r.period];
        p.period = r.period;
        p.units += r.units;
        p.firstPass += r.firstPass;
        p.finalPass += r.finalPass;
    }
    const int n = int(periods.size());
    if (n == 0)
        return c;
    const double slot = c.plot.width() / n;
    const double barWidth = slot * 0.8 / 2;
    int i = 0;
    for (const YieldRow& p : periods) {
        const double x = c.plot.left() + slot * i + slot * 0.1;
        const double shares[] = {p.firstPassYield(), p.finalYield()};
        for (int s = 0; s < 2; ++s) {
            const double h = c.plot.height() * shares[s];
            c.bars << Bar{QRectF(x + s * barWidth, c.plot.bottom() - h, barWidth, h), s,
                          QStringLiteral("%1: %2 %3 (%4 of %5 units)")
                              .arg(p.period, c.series[s], percent(shares[s]))
                              .arg(s == 0 ? p.firstPass : p.finalPass)
                              .arg(p.units)};
        }
        categoryLabel(c, i, n, x + barWidth, p.period);
        ++i;
    }
    return c;
}

ChartModel ChartModel::pareto(const QList<ParetoRow>& rows, const QString& title, int maxBars) {
    const QList<ParetoRow> shown = rows.mid(0, maxBars);
    bool onePlan = true;
    for (const ParetoRow& r : shown) onePlan = onePlan && r.plan == shown[0].plan;
    QList<ParetoBar> bars;
    for (const ParetoRow& r : shown) {
        const QString name = QStringLiteral("step %1, %2").arg(r.step).arg(r.plan);
        bars << ParetoBar{onePlan ? QStringLiteral("step %1").arg(r.step) : name,
                          QStringLiteral("%1 (%2)").arg(name, r.instruction), r.count,
                          r.cumulative};
    }
    return paretoOf(bars, title);
}

ChartModel ChartModel::paretoDefects(const QList<DefectParetoRow>& rows, const QString& title,
                                     int maxBars) {
    QList<ParetoBar> bars;
    for (const DefectParetoRow& r : rows.mid(0, maxBars))
        bars << ParetoBar{r.name(), r.name(), r.count, r.cumulative};
    return paretoOf(bars, title);
}
