#pragma once

#include <QByteArray>

// The data bytes of a framed data phase (every byte travels as blank, byte, blank);
// "bad framing" when the wire holds anything else.
inline QByteArray unframe(const QByteArray& wire) {
    QByteArray out;
    for (int i = 0; i + 2 < wire.size(); i += 3) {
        if (wire[i] != ' ' || wire[i + 2] != ' ')
            return "bad framing";
        out += wire[i + 1];
    }
    return out;
}
