#include "ui/ElidedLabel.h"

namespace {

// Characters a label keeps at its narrowest.
constexpr int MinimumChars = 8;

}  // namespace

ElidedLabel::ElidedLabel(QWidget* parent, const char* name, Qt::TextElideMode mode)
    : QLabel(parent), mode_(mode) {
    setObjectName(QLatin1String(name));
    // Until it has something to say, a label keeps its designer name.
    setAccessibleName(objectName());
    setWordWrap(false);
}

void ElidedLabel::setFullText(const QString& text) {
    full_ = text;
    setToolTip(text);
    setAccessibleName(text.isEmpty() ? objectName() : text);
    elide();
    updateGeometry();
}

QSize ElidedLabel::sizeHint() const {
    const QMargins m = contentsMargins();
    return QSize(fontMetrics().horizontalAdvance(full_) + m.left() + m.right(),
                 minimumSizeHint().height());
}

QSize ElidedLabel::minimumSizeHint() const {
    const QMargins m = contentsMargins();
    return QSize(fontMetrics().averageCharWidth() * MinimumChars + m.left() + m.right(),
                 fontMetrics().height() + m.top() + m.bottom());
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide() {
    setText(fontMetrics().elidedText(full_, mode_, contentsRect().width()));
}
