#pragma once

#include <string>

#include "edid/EdidImage.h"

// The raw 256-byte image file behind --edid.
class EdidFile {
public:
    enum class LoadResult { Loaded, Missing, Failed };

    // Reads the first 256 bytes into *image (a shorter file is padded with zeros).
    // Missing leaves *image untouched.
    static LoadResult load(const std::string& path, EdidImage* image, std::string* error);
    // Replaces the file's content with the 256 bytes of image.
    static bool save(const std::string& path, const EdidImage& image, std::string* error);
};
