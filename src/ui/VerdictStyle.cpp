#include "ui/VerdictStyle.h"

#include <QPalette>
#include <QWidget>

void VerdictStyle::paintText(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    widget->setPalette(p);
}

QColor VerdictStyle::of(const QString& verdict) {
    if (verdict == QLatin1String("PASS"))
        return Pass;
    if (verdict == QLatin1String("FAIL") || verdict == QLatin1String("ERROR"))
        return Fail;
    return QColor();
}
