#pragma once

#include <QWidget>

class QMdiArea;
class QMdiSubWindow;

// A child window of the frame, created on demand, found by its caption and freed when closed.
// FormActivate runs whenever it becomes the active child.
class TMdiChildForm : public QWidget {
    Q_OBJECT
public:
    // The child window of area whose caption is exactly caption, or nullptr.
    static QMdiSubWindow* findChild(QMdiArea* area, const QString& caption);
    // Gives the child with that caption the focus (its activation follows, also when it was
    // the active child already); false if none.
    static bool focusChild(QMdiArea* area, const QString& caption);

    // Shows this form in area as a child window with the given caption, with its outer size
    // and position (in the area's client coordinates), minimise box only. The child is freed
    // when closed.
    QMdiSubWindow* openIn(QMdiArea* area, const QString& caption, const QPoint& position,
                          const QSize& outerSize);
    QMdiSubWindow* subWindow() const { return subWindow_; }

protected:
    explicit TMdiChildForm(QWidget* parent = nullptr) : QWidget(parent) {}
    virtual void FormActivate() {}
    virtual void FormClose() {}

    void closeEvent(QCloseEvent* event) override;

private:
    QMdiSubWindow* subWindow_ = nullptr;
};
