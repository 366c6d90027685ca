#pragma once

#include <QString>

// The serials a line accepts, as a regular expression written by the test engineer
// ("^HX-[0-9]{3}$"): a scan that does not match is a stray key or another product's label, and
// is refused before anything is sent. The expression matches as written: ^ and $ make it hold
// for the whole serial. An empty expression accepts any serial.
class SerialFormat {
public:
    // Empty when expression is usable (or empty), else what is wrong with it and where.
    static QString problem(const QString& expression);
    // True when serial matches expression, or expression is empty; false for an unusable one.
    static bool accepts(const QString& expression, const QString& serial);
};
