#pragma once

#include <QTransform>
#include <QWidget>

#include "results/ChartModel.h"

// Draws any ChartModel with a painter, in the SVG summary's colours, scaled to the widget's
// size (the whole canvas shown, its proportions kept, centred). The text never shrinks below a
// readable size. A bar's tool tip says what it stands for.
class ChartView : public QWidget {
    Q_OBJECT
public:
    ChartView(QWidget* parent, const char* name);

    void setChart(const ChartModel& chart);
    const ChartModel& chart() const { return chart_; }
    // Canvas units to the widget's pixels.
    QTransform canvasToWidget() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    ChartModel chart_;
};
