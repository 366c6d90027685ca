#pragma once

#include <QString>
#include <array>

#include "edid/EdidImage.h"

// The eight bytes every EDID starts with. The program treats the image as opaque; the header is
// checked only before an image goes to the generator, where an image nobody meant to send (all
// zeros, as at start-up) would replace the generator's EDID.
class EdidHeader {
public:
    static constexpr std::array<quint8, 8> Bytes = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

    static bool present(const EdidImage& image);
    // What stands where the header belongs, for a message ("all 256 bytes are 00", "bytes 0 to
    // 7 are 12 34 ..."); empty when the header is there.
    static QString problem(const EdidImage& image);
    // "00 FF FF FF FF FF FF 00".
    static QString text();
    static bool allZero(const EdidImage& image);
};
