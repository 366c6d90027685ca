#include "ui/TStatusBar.h"

#include <QResizeEvent>
#include <algorithm>

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("StatusBar1"));
    setAccessibleName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(false);
    setFixedHeight(BarHeight);
    for (int i = 0; i < PanelCount; ++i) panels_[i] = new TStatusPanel(*this, i);
    setPanelWidths(250, 450, 100);
}

void TStatusBar::setPanelWidths(int first, int second, int third) {
    panels_[0]->setPanelWidth(first);
    panels_[1]->setPanelWidth(second);
    panels_[2]->setPanelWidth(third);
    layoutPanels();
}

QRect TStatusBar::panelRect(int index) const {
    int left = 0;
    for (int i = 0; i < index; ++i) left += panels_[i]->panelWidth();
    int w = panels_[index]->panelWidth();
    // The last panel takes whatever width remains.
    if (index == PanelCount - 1)
        w = std::max(w, width() - left);
    return QRect(left, 0, w, height());
}

void TStatusBar::repaintPanels() {
    for (TStatusPanel* p : panels_) p->repaint();
}

void TStatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    layoutPanels();
}

void TStatusBar::layoutPanels() {
    for (int i = 0; i < PanelCount; ++i) {
        panels_[i]->setGeometry(panelRect(i));
        panels_[i]->lower();
    }
}
