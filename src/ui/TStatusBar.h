#pragma once

#include <QStatusBar>
#include <array>
#include <functional>

#include "ui/TStatusPanel.h"

class QPainter;

// A status bar of three fixed panels laid side by side, the last reaching to the right edge.
// Owner-drawn panels are painted by OnDrawPanel; an empty handler leaves them blank.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int PanelCount = 3;
    static constexpr int BarHeight = 23;

    using DrawPanelHandler = std::function<void(TStatusBar& bar, TStatusPanel& panel,
                                                QPainter& painter, const QRect& rect)>;

    explicit TStatusBar(QWidget* parent = nullptr);

    TStatusPanel& panel(int index) { return *panels_.at(index); }
    const TStatusPanel& panel(int index) const { return *panels_.at(index); }
    void setPanelWidths(int first, int second, int third);
    // Place of a panel in bar coordinates.
    QRect panelRect(int index) const;
    void repaintPanels();

    DrawPanelHandler OnDrawPanel;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutPanels();

    std::array<TStatusPanel*, PanelCount> panels_{};
};
