#include "edid/HexByteValidator.h"

namespace {

constexpr int MaxDigits = 2;

bool isHexDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
}

}  // namespace

bool HexByteValidator::isByteText(const QString& text) {
    if (text.size() > MaxDigits)
        return false;
    for (QChar c : text) {
        if (!isHexDigit(c))
            return false;
    }
    return true;
}

QValidator::State HexByteValidator::validate(QString& input, int& pos) const {
    const QString cleaned = input.trimmed().toUpper();
    if (!isByteText(cleaned))
        return Invalid;
    if (cleaned != input) {
        input = cleaned;
        pos = qMin(pos, static_cast<int>(cleaned.size()));
    }
    return Acceptable;
}
