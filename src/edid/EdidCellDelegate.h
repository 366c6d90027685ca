#pragma once

#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>
#include <functional>

class QLineEdit;

// The in-place editor of the EDID grid, a one-line field that
// - asks OnGetEditText when an edit starts (the editor fetches the cell's text);
// - passes every character key through OnKeyPress, which returns the character to type or a
//   null character to drop the key; shortcuts (Ctrl+V and the like) and editing keys without a
//   character (Delete, the arrows) are the field's own;
// - holds only up to two hexadecimal digits, whatever reaches it;
// - writes its text into the cell as it changes, so that the cell always reads what the
//   operator sees;
// - puts back the text of the edit's start on Escape;
// - on Tab closes and calls OnTab, so that Tab leaves the grid.
class EdidCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit EdidCellDelegate(QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;

    // The open editor, or null.
    QLineEdit* editor() const { return editor_; }
    // Closes the open editor, if any, keeping the cell as it reads now.
    void closeOpenEditor();

    std::function<void()> OnGetEditText;
    std::function<QChar(QChar key)> OnKeyPress;
    std::function<void(bool backward)> OnTab;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    // Mutable: Qt creates and fills editors through const functions.
    mutable QPointer<QLineEdit> editor_;
    mutable QPersistentModelIndex editedIndex_;
    mutable QString startText_;
    mutable bool fetchPending_ = false;
};
