#include "ui/VerdictStyle.h"

#include <QPalette>
#include <QWidget>

void VerdictStyle::paintText(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    widget->setPalette(p);
}
