#include "ui/TUpDown.h"

#include <QKeyEvent>
#include <QToolButton>

namespace {

QToolButton* arrow(QWidget* parent, Qt::ArrowType type, const QString& name) {
    auto* b = new QToolButton(parent);
    b->setArrowType(type);
    b->setObjectName(name);
    b->setAccessibleName(name);
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

}  // namespace

TUpDown::TUpDown(const char* name, QWidget* parent) : QWidget(parent) {
    const QString n = QLatin1String(name);
    setObjectName(n);
    setAccessibleName(n);
    setFocusPolicy(Qt::TabFocus);
    up_ = arrow(this, Qt::UpArrow, n + QStringLiteral(" up"));
    down_ = arrow(this, Qt::DownArrow, n + QStringLiteral(" down"));
    connect(up_, &QToolButton::clicked, this, [this] { press(Direction::Up); });
    connect(down_, &QToolButton::clicked, this, [this] { press(Direction::Down); });
}

void TUpDown::press(Direction direction) {
    if (OnChangingEx)
        OnChangingEx(direction);
}

void TUpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

void TUpDown::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up)
        press(Direction::Up);
    else if (event->key() == Qt::Key_Down)
        press(Direction::Down);
    else
        QWidget::keyPressEvent(event);
}
