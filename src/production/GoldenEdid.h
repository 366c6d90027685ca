#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "edid/EdidImage.h"

// The EDID every unit of a run starts from, as read from its file, with the file's SHA-256 for
// the record. Only a sound EDID is taken: the header in place and every checksum holding.
class GoldenEdid {
public:
    // The largest EDID file: 256 blocks of 128 bytes.
    static constexpr qint64 MaxFileBytes = 256 * 128;

    QString path;
    QString fileName;
    QByteArray sha256;  // of the whole file, lower-case hexadecimal
    EdidImage image{};  // the file's first 256 bytes, zeros after a shorter file

    bool isLoaded() const { return !path.isEmpty(); }

    // False, with a message naming the file and what is wrong, when it cannot be read or does
    // not hold a sound EDID; golden is then untouched.
    static bool load(const QString& path, GoldenEdid& golden, QString& error);
    // Empty when image is a sound EDID, else what is wrong with it.
    static QString problem(const EdidImage& image, qsizetype fileBytes = 256);
    // The summary and checksum lines of the image, then its identity lines.
    QStringList lines() const;
};
