#include "ui/TCGauge.h"

#include <QPainter>

TCGauge::TCGauge(QWidget* parent) : QProgressBar(parent) {
    backColor_ = palette().color(QPalette::Button);
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    setFormat(QStringLiteral("%p%"));
    setAlignment(Qt::AlignCenter);
}

void TCGauge::setForeColor(const QColor& c) {
    foreColor_ = c;
    update();
}

void TCGauge::setBackColor(const QColor& c) {
    backColor_ = c;
    update();
}

QString TCGauge::percentText() const {
    const int span = maximum() - minimum();
    const int percent = span > 0 ? (value() - minimum()) * 100 / span : 0;
    return QStringLiteral("%1%").arg(percent);
}

void TCGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    p.fillRect(inner, backColor_);

    const int span = maximum() - minimum();
    const int filled =
        span > 0 ? static_cast<int>(qint64(inner.width()) * (value() - minimum()) / span) : 0;
    const QRect bar(inner.left(), inner.top(), filled, inner.height());
    p.fillRect(bar, foreColor_);

    // The text reads black on the background and in the background colour over the bar.
    const QString text = percentText();
    p.setClipRect(inner);
    p.setPen(Qt::black);
    p.drawText(inner, Qt::AlignCenter, text);
    p.setClipRect(bar);
    p.setPen(backColor_);
    p.drawText(inner, Qt::AlignCenter, text);
    p.setClipping(false);

    p.setPen(QColor(0, 0, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
