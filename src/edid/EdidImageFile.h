#pragma once

#include <QString>

#include "edid/EdidImage.h"

// The raw EDID file: image byte i at offset i, nothing else.
class EdidImageFile {
public:
    // Reads at most the image's size from the start of a regular file into the image: a file of
    // n bytes replaces bytes 0 to n - 1 and leaves the rest as they were, so an empty file
    // changes nothing. False, with the image untouched and a reason naming the path, when the
    // file is not a regular file or cannot be read.
    static bool load(const QString& path, EdidImage& image, QString& error);
    // Makes path hold exactly the image's bytes, complete or not at all (SafeFile::replace): a
    // failure (a full disk, a folder or file that may not be written) leaves any file of that
    // name as it was. False, with a reason naming the path, on any failure.
    static bool save(const QString& path, const EdidImage& image, QString& error);
};
