#pragma once

#include <QString>

// Paths as the windows show them: the home folder as "~" where paths are written with "/" (not
// on Windows, whose paths start with a drive), and such a path typed back.
class HomePath {
public:
    static QString shown(const QString& path);
    // "~" or "~/..." with the home folder put back; anything else as it is.
    static QString expanded(const QString& text);
};
