#include "ui/TSimpleComboBox.h"

#include <QKeyEvent>

TSimpleComboBox::TSimpleComboBox(const char* name, QWidget* parent) : QLineEdit(parent) {
    setObjectName(QLatin1String(name));
    setAccessibleName(QLatin1String(name));
    connect(this, &QLineEdit::textEdited, this, &TSimpleComboBox::textEdited);
}

void TSimpleComboBox::addItem(const QString& text) {
    items_ << text;
}

void TSimpleComboBox::clearItems() {
    items_.clear();
    itemIndex_ = -1;
}

void TSimpleComboBox::setItemIndex(int i) {
    itemIndex_ = (i >= 0 && i < items_.size()) ? i : -1;
    if (itemIndex_ >= 0) {
        settingText_ = true;
        setText(items_[itemIndex_]);
        settingText_ = false;
    }
    if (OnChange)
        OnChange();
}

void TSimpleComboBox::textEdited(const QString& text) {
    if (settingText_)
        return;
    itemIndex_ = static_cast<int>(items_.indexOf(text));
    if (OnChange)
        OnChange();
}

void TSimpleComboBox::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const int before = itemIndex_;
    if (OnKeyDown)
        OnKeyDown(key);
    if (key != Qt::Key_Up && key != Qt::Key_Down) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    const int next = key == Qt::Key_Up ? before - 1 : before + 1;
    if (before >= 0 && next >= 0 && next < items_.size())
        setItemIndex(next);
    else
        itemIndex_ = before;  // at an end nothing moves, whatever the handler selected
}
