#include "ui/TMdiChildForm.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

QMdiSubWindow* TMdiChildForm::findChild(QMdiArea* area, const QString& caption) {
    for (QMdiSubWindow* w : area->subWindowList()) {
        if (w->windowTitle() == caption)
            return w;
    }
    return nullptr;
}

bool TMdiChildForm::focusChild(QMdiArea* area, const QString& caption) {
    QMdiSubWindow* w = findChild(area, caption);
    if (!w)
        return false;
    if (w->isMinimized())
        w->showNormal();
    // Qt keeps a child active while another top-level window (a list picker) has the focus,
    // so handing the focus back is no activation to the area; the form still expects one.
    const bool alreadyActive = area->activeSubWindow() == w;
    area->activateWindow();
    area->setActiveSubWindow(w);
    w->widget()->setFocus();
    if (alreadyActive) {
        if (auto* form = qobject_cast<TMdiChildForm*>(w->widget()))
            form->FormActivate();
    }
    return true;
}

QMdiSubWindow* TMdiChildForm::openIn(QMdiArea* area, const QString& caption, const QPoint& position,
                                     const QSize& outerSize) {
    subWindow_ =
        area->addSubWindow(this, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                     Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                     Qt::WindowCloseButtonHint);
    subWindow_->setAttribute(Qt::WA_DeleteOnClose);
    subWindow_->setWindowTitle(caption);
    subWindow_->setAccessibleName(caption);
    setWindowTitle(caption);
    connect(area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
        if (w && w == subWindow_)
            FormActivate();
    });
    subWindow_->resize(outerSize);
    subWindow_->move(position);
    subWindow_->show();
    return subWindow_;
}

void TMdiChildForm::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);
}
