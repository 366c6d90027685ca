#pragma once

#include <QString>

// The system's own words for a Win32 error code (GetLastError), as FormatMessage gives them in
// the user's language, without the closing full stop and line end: "Access is denied".
class WindowsError {
public:
    static QString text(unsigned long code);
    // The text of GetLastError(), read before anything else can change it.
    static QString last();
};
