#include "ui/Icons.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <functional>

namespace {

// Paints the picture at the size asked for, when it is first shown (menus and toolbar buttons
// need it at 16 pixels, high-density screens at 32), rather than when the window is made.
class DrawnIconEngine : public QIconEngine {
public:
    explicit DrawnIconEngine(std::function<void(QPainter&)> paint) : paint_(std::move(paint)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        const int side = qMax(1, qMin(size.width(), size.height()));
        const quint64 key = quint64(side) << 8 | quint64(mode);
        auto found = cache_.constFind(key);
        if (found != cache_.constEnd())
            return *found;
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(side / 16.0, side / 16.0);
        paint_(p);
        p.end();
        if (mode != QIcon::Normal && QApplication::style()) {
            QStyleOption option;
            option.palette = QApplication::palette();
            pixmap = QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
        }
        cache_.insert(key, pixmap);
        return pixmap;
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = qMin(size.width(), size.height());
        return QSize(side, side);
    }
    QIconEngine* clone() const override { return new DrawnIconEngine(paint_); }

private:
    std::function<void(QPainter&)> paint_;
    QHash<quint64, QPixmap> cache_;
};

QIcon drawn(std::function<void(QPainter&)> paint) {
    return QIcon(new DrawnIconEngine(std::move(paint)));
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
