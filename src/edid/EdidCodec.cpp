#include "edid/EdidCodec.h"

int EdidCodec::digitValue(quint8 c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool EdidCodec::decodeDigits(const quint8* digits, int count, quint8* out) {
    for (int i = 0; i < 2 * count; ++i) {
        if (digitValue(digits[i]) < 0)
            return false;
    }
    for (int k = 0; k < count; ++k)
        out[k] =
            static_cast<quint8>(16 * digitValue(digits[2 * k]) + digitValue(digits[2 * k + 1]));
    return true;
}

bool EdidCodec::isBlock(const quint8* text, int length) {
    if (length < BlockTextLength)
        return false;
    if (text[0] != 'A' || text[BlockTextLength - 1] != 'T')
        return false;
    for (int i = 1; i < BlockTextLength - 1; ++i) {
        if (digitValue(text[i]) < 0)
            return false;
    }
    return true;
}

int EdidCodec::findBlock(const quint8* text, int length) {
    for (int i = 0; i + BlockTextLength <= length; ++i) {
        if (isBlock(text + i, length - i))
            return i;
    }
    return -1;
}

QByteArray EdidCodec::encodeBlock(const quint8* block) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    QByteArray text;
    text.reserve(BlockTextLength);
    text.append('A');
    for (int k = 0; k < BlockBytes; ++k) {
        text.append(Digits[block[k] >> 4]);
        text.append(Digits[block[k] & 0x0F]);
    }
    text.append('T');
    return text;
}
