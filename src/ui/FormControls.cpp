#include "ui/FormControls.h"

#include <QEvent>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

namespace {

// Corrects the client size of its window once the frame is known, on every showing.
class OuterSizeKeeper : public QObject {
public:
    OuterSizeKeeper(QWidget* window, const QSize& outer, bool fixed)
        : QObject(window), window_(window), outer_(outer), fixed_(fixed) {
        apply(QMargins());
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Show)
            QTimer::singleShot(0, this, [this] {
                if (QWindow* handle = window_->windowHandle())
                    apply(handle->frameMargins());
            });
        return false;
    }

private:
    void apply(const QMargins& frame) {
        const QSize client(outer_.width() - frame.left() - frame.right(),
                           outer_.height() - frame.top() - frame.bottom());
        if (fixed_)
            window_->setFixedSize(client);
        else
            window_->resize(client);
    }

    QWidget* window_;
    QSize outer_;
    bool fixed_;
};

}  // namespace

QFont FormControls::arial(int pixelHeight) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelHeight);
    return font;
}

QLabel* FormControls::label(QWidget* parent, const char* name, const QString& text,
                            const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setAccessibleName(text);
    label->setGeometry(geometry);
    return label;
}

QPushButton* FormControls::button(QWidget* parent, const char* name, const QString& text,
                                  const QRect& geometry) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(text);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

QGroupBox* FormControls::group(QWidget* parent, const char* name, const QString& caption,
                               const QRect& geometry) {
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QLatin1String(name));
    group->setAccessibleName(caption);
    group->setGeometry(geometry);
    return group;
}

QLineEdit* FormControls::readOnlyField(QWidget* parent, const char* name, const QRect& geometry) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setAccessibleName(QLatin1String(name));
    field->setReadOnly(true);
    field->setGeometry(geometry);
    return field;
}

void FormControls::setOuterSize(QWidget* window, const QSize& outer, bool fixed) {
    new OuterSizeKeeper(window, outer, fixed);
}
