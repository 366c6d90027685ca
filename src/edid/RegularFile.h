#pragma once

#include <QByteArray>
#include <QString>

// Reads the start of a file that the operator names (an EDID image, a programme), refusing
// anything but a regular file: a pipe or a device could block the program or never end, and a
// read error must never pass for a short file.
class RegularFile {
public:
    // At most maxBytes from offset 0 into out. False, with out unchanged and a reason that
    // names the file and the system's reason, when the path is not a regular file, cannot be
    // opened or a read fails.
    static bool read(const QString& path, qint64 maxBytes, QByteArray& out, QString& error);
};
