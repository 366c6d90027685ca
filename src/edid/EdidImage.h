#pragma once

#include <QtGlobal>
#include <array>

// The 256-byte EDID image; the bytes are opaque to the program.
using EdidImage = std::array<quint8, 256>;
