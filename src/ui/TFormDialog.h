#pragma once

#include <QDialog>

// The program's windows that have no Cancel button (the selection dialogs, the list pickers,
// the programme and EDID editors): only the close box, or their own buttons, close them. A
// dialog takes Escape for Cancel; here it closes nothing, so that a stray key neither throws
// away an edit nor clears a selection.
class TFormDialog : public QDialog {
    Q_OBJECT

public:
    using QDialog::QDialog;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
