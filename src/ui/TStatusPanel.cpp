#include "ui/TStatusPanel.h"

#include <QPainter>

#include "ui/TStatusBar.h"

TStatusPanel::TStatusPanel(TStatusBar& bar, int index) : QLabel(&bar), bar_(bar), index_(index) {
    setObjectName(QStringLiteral("Panel%1").arg(index));
    // The name follows the shown text (which may be empty); this says what the panel is.
    setAccessibleDescription(QStringLiteral("Status panel %1").arg(index));
}

void TStatusPanel::setPanelText(const QString& text) {
    panelText_ = text;
    update();
}

void TStatusPanel::setPanelStyle(Style s) {
    style_ = s;
    update();
}

void TStatusPanel::setShownText(const QString& text) {
    if (QLabel::text() != text)
        setText(text);
    if (accessibleName() != text)
        setAccessibleName(text);
}

void TStatusPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // A lowered single-line bevel, as status panels have; the content goes inside it.
    const QRect outer = rect().adjusted(0, 0, -1, -1);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(outer.topLeft(), outer.topRight());
    p.drawLine(outer.topLeft(), outer.bottomLeft());
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(outer.bottomLeft(), outer.bottomRight());
    p.drawLine(outer.topRight(), outer.bottomRight());
    const QRect inner = rect().adjusted(1, 1, -1, -1);

    if (style_ == Style::OwnerDraw) {
        // Without a handler an owner-drawn panel stays blank.
        if (bar_.OnDrawPanel)
            bar_.OnDrawPanel(bar_, *this, p, inner);
        return;
    }
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(inner.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               panelText_);
}
