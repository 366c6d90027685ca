#pragma once

#include <QLineEdit>
#include <QStringList>
#include <functional>

// An edit line with a list of its own that is never dropped down (a one-line "simple" combo
// box): the operator types an item or steps through the list with the arrow keys.
//
// ItemIndex is the list item that the text names, or -1 when the text names none. Typed text
// selects an item only when it equals the item's text exactly; anything else leaves no item
// selected (and the forms then change nothing).
//
// Arrow keys: OnKeyDown sees the key first, as the forms' key handlers do; then the list's own
// handling steps from the item that was selected before the key: Up to the item before it,
// Down to the one after it, and nothing at either end. So the keys move one step like the
// forms' spinner arrows (Up to the lower number) whatever the handler did in between, and the
// shown item never leaves the list.
class TSimpleComboBox : public QLineEdit {
    Q_OBJECT
public:
    TSimpleComboBox(const char* name, QWidget* parent);

    void addItem(const QString& text);
    void clearItems();
    const QStringList& items() const { return items_; }
    int ItemIndex() const { return itemIndex_; }
    // Selects item i (or none for -1) and shows its text; runs OnChange like any change.
    void setItemIndex(int i);
    // Selects item i without touching the text or running OnChange (a form's key handler).
    void selectQuietly(int i) { itemIndex_ = i; }

    // Text or selection changed, by typing, by the arrow keys or by setItemIndex.
    std::function<void()> OnChange;
    // A key pressed in the field, before the field handles it.
    std::function<void(int key)> OnKeyDown;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void textEdited(const QString& text);

    QStringList items_;
    int itemIndex_ = -1;
    bool settingText_ = false;
};
