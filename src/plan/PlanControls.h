#pragma once

#include <QFont>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

// The controls of the Test Plan window's two tabs, made alike: named for the tests and the
// screen reader, buttons that never take Return, captions with a buddy, the large run fonts.
class PlanControls {
public:
    template <typename W>
    static W* named(W* widget, const char* name, const QString& accessible) {
        name_(widget, name, accessible);
        return widget;
    }
    static QPushButton* button(const char* name, const QString& text,
                               const QString& accessible = QString());
    static QLabel* caption(const QString& text, QWidget* buddy);
    static QFont bigFont(int px, bool bold);

private:
    static void name_(QWidget* widget, const char* name, const QString& accessible);
};
