#pragma once

#include <QString>

// Where the installed manual is, as the About box names it: the manual page and the docs folder
// that the Debian package installs (ManualPlacePosix.cpp), the README that the Windows installer
// puts beside the programs (ManualPlaceWindows.cpp).
class ManualPlace {
public:
    // programDir: the folder the running program was started from.
    static QString describe(const QString& programDir);
};
