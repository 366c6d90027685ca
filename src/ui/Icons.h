#pragma once

#include <QIcon>

// The program's pictures, drawn at run time so that no image files need to ship.
class Icons {
public:
    // A monitor showing colour bars.
    static QIcon program();
    // Two plug halves joined.
    static QIcon connect();
    // Two plug halves apart, with a red cross between them.
    static QIcon disconnect();
    // A sync pulse train: the timing window.
    static QIcon timing();
    // Colour bars: the pattern window.
    static QIcon pattern();
};
