#pragma once

#include <QColor>
#include <QString>

class QWidget;

// The colours that say pass and fail, the same in every window that gives a verdict (test plan,
// production, inspector, identity), and the one way they are put on a label's text.
class VerdictStyle {
public:
    static constexpr QColor Pass{0, 128, 0};
    static constexpr QColor Fail{200, 0, 0};

    // Paints the widget's text (window text and edit text) in the colour.
    static void paintText(QWidget* widget, const QColor& colour);
    // The colour of a verdict's text: Pass for PASS, Fail for FAIL and ERROR, none (invalid)
    // for the others, which keep the usual text colour.
    static QColor of(const QString& verdict);
};
