#include "resultsui/ChartView.h"

#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <cmath>

namespace {

constexpr int MinTextPixels = 9;
constexpr double LineWidth = 2.0;    // the line series, canvas units
constexpr double PointRadius = 3.5;  // its points
constexpr int HintWidth = 500;

QColor ink(const char* rgb) {
    return QColor(QLatin1String(rgb));
}

}  // namespace

ChartView::ChartView(QWidget* parent, const char* name) : QWidget(parent) {
    setObjectName(QLatin1String(name));
    setAccessibleName(QLatin1String(name));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ChartView::setChart(const ChartModel& chart) {
    chart_ = chart;
    // What a screen reader says: the title, and what each bar stands for.
    setAccessibleName(chart.title);
    QStringList tips;
    for (const ChartModel::Bar& b : chart.bars) tips << b.tip;
    setAccessibleDescription(tips.isEmpty() ? QStringLiteral("No data")
                                            : tips.join(QLatin1String("; ")));
    update();
}

QTransform ChartView::canvasToWidget() const {
    const double scale = qMin(width() / chart_.width, height() / chart_.height);
    QTransform t;
    t.translate((width() - chart_.width * scale) / 2, (height() - chart_.height * scale) / 2);
    t.scale(scale, scale);
    return t;
}

QSize ChartView::sizeHint() const {
    return QSize(HintWidth, int(HintWidth * chart_.height / chart_.width));
}

QSize ChartView::minimumSizeHint() const {
    return sizeHint() / 2;
}

void ChartView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setRenderHint(QPainter::Antialiasing);
    const QTransform t = canvasToWidget();
    if (t.m11() <= 0)
        return;  // no room at all
    p.setTransform(t);
    const ChartModel& c = chart_;

    for (const ChartModel::Line& l : c.lines) {
        p.setPen(QPen(ink(l.grid ? ChartModel::GridInk : ChartModel::AxisInk), 0));
        p.drawLine(l.from, l.to);
    }
    p.setPen(Qt::NoPen);
    for (const ChartModel::Bar& b : c.bars) p.fillRect(b.rect, ink(c.ink(b.series)));
    if (!c.curve.isEmpty()) {
        const QColor colour = ink(c.ink(c.curveSeries));
        p.setPen(QPen(colour, LineWidth));
        p.drawPolyline(c.curve.constData(), int(c.curve.size()));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        for (const QPointF& point : c.curve) p.drawEllipse(point, PointRadius, PointRadius);
        p.setBrush(Qt::NoBrush);
    }

    // The canvas's font size, unless that would be too small to read at this scale.
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    const double scale = t.m11();
    font.setPixelSize(qMax(int(ChartModel::FontSize), int(std::ceil(MinTextPixels / scale))));
    p.setFont(font);
    p.setPen(Qt::black);
    const QFontMetricsF metrics(font);
    const double top = t.inverted().map(QPointF(0, 0)).y();
    const double bottom = t.inverted().map(QPointF(0, height())).y();
    for (const ChartModel::Label& l : c.labels) {
        // A turned label in a larger font than the canvas's is cut to the room the widget has.
        QString text = l.text;
        if (l.vertical) {
            const double below = bottom - l.at.y(), above = l.at.y() - top;
            const double room = l.anchor == ChartModel::Anchor::End     ? below
                                : l.anchor == ChartModel::Anchor::Start ? above
                                                                        : 2 * qMin(above, below);
            text = metrics.elidedText(text, Qt::ElideRight, room);
        }
        const double w = metrics.horizontalAdvance(text);
        const double dx = l.anchor == ChartModel::Anchor::Start    ? 0.0
                          : l.anchor == ChartModel::Anchor::Middle ? -w / 2
                                                                   : -w;
        p.save();
        p.translate(l.at);
        if (l.vertical)
            p.rotate(-90);
        p.drawText(QPointF(dx, 0), text);
        p.restore();
    }
    for (const ChartModel::Key& k : c.legend) {
        p.fillRect(k.swatch, ink(c.ink(k.series)));
        p.drawText(k.textAt, k.text);
    }
}

bool ChartView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QPointF at = canvasToWidget().inverted().map(QPointF(help->pos()));
        for (const ChartModel::Bar& b : chart_.bars)
            if (b.rect.contains(at)) {
                QToolTip::showText(help->globalPos(), b.tip, this);
                return true;
            }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}
