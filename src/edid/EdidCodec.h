#pragma once

#include <QByteArray>
#include <QtGlobal>

// The text form of an EDID block on the wire: "A", two hexadecimal digits per byte
// (high digit first), "T".
class EdidCodec {
public:
    static constexpr int BlockBytes = 32;
    static constexpr int BlockTextLength = 2 + 2 * BlockBytes;  // 66: "A" + 64 digits + "T"

    // Value of one hexadecimal digit (0-9, A-F, a-f), or -1 for any other character.
    static int digitValue(quint8 c);
    // Decodes 2*count digits into count bytes; false, with out untouched, if any is not a digit.
    static bool decodeDigits(const quint8* digits, int count, quint8* out);
    // True when text holds a whole block: "A" at 0, "T" at 65, 64 digits between.
    static bool isBlock(const quint8* text, int length);
    // Where the first whole block starts in text, or -1.
    static int findBlock(const quint8* text, int length);
    // "A" + 64 capital digits + "T" for the 32 bytes at block.
    static QByteArray encodeBlock(const quint8* block);
};
