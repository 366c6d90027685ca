#include "plan/PlanControls.h"

#include <QLabel>
#include <QPushButton>

void PlanControls::name_(QWidget* widget, const char* name, const QString& accessible) {
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(accessible);
}

QPushButton* PlanControls::button(const char* name, const QString& text,
                                  const QString& accessible) {
    auto* b = named(new QPushButton(text), name, accessible.isEmpty() ? text : accessible);
    // Return belongs to the field it is typed in (a scanner's Enter starts the run), never to
    // a default button.
    b->setAutoDefault(false);
    return b;
}

QLabel* PlanControls::caption(const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text);
    l->setBuddy(buddy);
    return l;
}

QFont PlanControls::bigFont(int px, bool bold) {
    QFont f;
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}
