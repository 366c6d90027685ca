#include "ui/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {

// Draws the picture at 16 and 32 pixels so that menus and high-density screens both look sharp.
QIcon drawn(const std::function<void(QPainter&)>& paint) {
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        paint(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void colourBars(QPainter& p, const QRectF& area) {
    static const QColor bars[] = {Qt::white,   Qt::yellow, Qt::cyan, Qt::green,
                                  Qt::magenta, Qt::red,    Qt::blue, Qt::black};
    const qreal w = area.width() / 8.0;
    for (int i = 0; i < 8; ++i)
        p.fillRect(QRectF(area.left() + i * w, area.top(), w, area.height()), bars[i]);
}

void monitor(QPainter& p) {
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(90, 90, 90));
    p.drawRoundedRect(QRectF(0.5, 1.5, 15, 11), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 90));
    p.drawRect(QRectF(6, 12.5, 4, 2));
    p.drawRect(QRectF(4, 14, 8, 1.5));
}

// One plug half: a body with two pins pointing right (or left when mirrored).
void plug(QPainter& p, qreal x, bool pointingRight, const QColor& body) {
    p.setPen(QPen(QColor(30, 30, 30), 0.8));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(x, 5, 5, 6), 1, 1);
    p.setPen(QPen(QColor(60, 60, 60), 1.2, Qt::SolidLine, Qt::FlatCap));
    const qreal pinFrom = pointingRight ? x + 5 : x;
    const qreal pinTo = pointingRight ? x + 7.5 : x - 2.5;
    p.drawLine(QPointF(pinFrom, 6.8), QPointF(pinTo, 6.8));
    p.drawLine(QPointF(pinFrom, 9.2), QPointF(pinTo, 9.2));
    // The cable.
    p.setPen(QPen(QColor(30, 30, 30), 1.6, Qt::SolidLine, Qt::RoundCap));
    const qreal cableFrom = pointingRight ? x : x + 5;
    const qreal cableTo = pointingRight ? 0.5 : 15.5;
    p.drawLine(QPointF(cableFrom, 8), QPointF(cableTo, 8));
}

}  // namespace

QIcon Icons::program() {
    return drawn([](QPainter& p) {
        monitor(p);
        colourBars(p, QRectF(2, 3, 12, 8));
    });
}

QIcon Icons::connect() {
    return drawn([](QPainter& p) {
        plug(p, 2.5, true, QColor(40, 160, 60));
        plug(p, 8.5, false, QColor(40, 160, 60));
    });
}

QIcon Icons::disconnect() {
    return drawn([](QPainter& p) {
        plug(p, 1, true, QColor(170, 170, 170));
        plug(p, 10, false, QColor(170, 170, 170));
        p.setPen(QPen(QColor(220, 0, 0), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6.5, 3), QPointF(9.5, 6));
        p.drawLine(QPointF(9.5, 3), QPointF(6.5, 6));
    });
}

QIcon Icons::timing() {
    return drawn([](QPainter& p) {
        monitor(p);
        p.fillRect(QRectF(2, 3, 12, 8), QColor(0, 0, 60));
        QPainterPath pulse;
        pulse.moveTo(2.5, 9);
        pulse.lineTo(5, 9);
        pulse.lineTo(5, 5);
        pulse.lineTo(7, 5);
        pulse.lineTo(7, 9);
        pulse.lineTo(10, 9);
        pulse.lineTo(10, 5);
        pulse.lineTo(12, 5);
        pulse.lineTo(12, 9);
        pulse.lineTo(13.5, 9);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(80, 255, 80), 1.2));
        p.drawPath(pulse);
    });
}

QIcon Icons::pattern() {
    return drawn([](QPainter& p) {
        p.setPen(QPen(QColor(40, 40, 40), 1));
        p.setBrush(Qt::NoBrush);
        colourBars(p, QRectF(1, 2, 14, 12));
        p.drawRect(QRectF(0.5, 1.5, 15, 13));
    });
}
