#include "edid/EdidCellDelegate.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "edid/HexByteValidator.h"

EdidCellDelegate::EdidCellDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QWidget* EdidCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex& index) const {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("CellEditor"));
    edit->setAccessibleName(QStringLiteral("Cell editor"));
    edit->setFrame(false);
    edit->setValidator(new HexByteValidator(edit));
    editor_ = edit;
    editedIndex_ = index;
    fetchPending_ = true;
    // The cell follows the field as the operator types or pastes.
    connect(edit, &QLineEdit::textEdited, this, [this, edit](const QString& text) {
        if (edit == editor_ && editedIndex_.isValid())
            const_cast<QAbstractItemModel*>(editedIndex_.model())
                ->setData(editedIndex_, text, Qt::EditRole);
    });
    return edit;
}

void EdidCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (!edit)
        return;
    const QString text = index.data(Qt::EditRole).toString();
    if (fetchPending_ && edit == editor_) {
        // The start of an edit: the field takes the cell's text, all of it selected, so the
        // first key replaces it.
        fetchPending_ = false;
        startText_ = text;
        edit->setText(text);
        edit->selectAll();
        if (OnGetEditText)
            OnGetEditText();
        return;
    }
    // The cell changed under the field (the cells were put right); typing goes on in place.
    if (edit->text() != text)
        edit->setText(text);
}

void EdidCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (edit && model->data(index, Qt::EditRole).toString() != edit->text())
        model->setData(index, edit->text(), Qt::EditRole);
}

void EdidCellDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const {
    // Deleted later; from now on it is no longer the open editor.
    if (editor == editor_) {
        editor_ = nullptr;
        editedIndex_ = QPersistentModelIndex();
    }
    QStyledItemDelegate::destroyEditor(editor, index);
}

void EdidCellDelegate::closeOpenEditor() {
    if (editor_)
        emit closeEditor(editor_, QAbstractItemDelegate::NoHint);
}

bool EdidCellDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(object);
    if (!edit || event->type() != QEvent::KeyPress)
        return QStyledItemDelegate::eventFilter(object, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
        case Qt::Key_Escape:
            if (editedIndex_.isValid() && edit == editor_)
                const_cast<QAbstractItemModel*>(editedIndex_.model())
                    ->setData(editedIndex_, startText_, Qt::EditRole);
            return QStyledItemDelegate::eventFilter(object, event);
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            emit commitData(edit);
            emit closeEditor(edit, QAbstractItemDelegate::NoHint);
            if (OnTab)
                OnTab(key->key() == Qt::Key_Backtab);
            return true;
        case Qt::Key_Delete:
            return false;
        default:
            break;
    }
    const bool shortcut =
        key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (shortcut || key->text().isEmpty() || !OnKeyPress)
        return QStyledItemDelegate::eventFilter(object, event);
    const QChar typed = key->text().at(0);
    const QChar accepted = OnKeyPress(typed);
    if (accepted.isNull())
        return true;
    if (accepted != typed) {
        edit->insert(QString(accepted));
        return true;
    }
    return QStyledItemDelegate::eventFilter(object, event);
}
