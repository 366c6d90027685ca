#include "edid/EdidHeader.h"

#include <QStringList>
#include <algorithm>

namespace {

QString hexBytes(const quint8* bytes, int count) {
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts << QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(' '));
}

}  // namespace

bool EdidHeader::present(const EdidImage& image) {
    return std::equal(Bytes.begin(), Bytes.end(), image.begin());
}

bool EdidHeader::allZero(const EdidImage& image) {
    return std::all_of(image.begin(), image.end(), [](quint8 b) { return b == 0; });
}

QString EdidHeader::problem(const EdidImage& image) {
    if (present(image))
        return QString();
    if (allZero(image))
        return QStringLiteral("all %1 bytes are 00").arg(image.size());
    return QStringLiteral("bytes 0 to %1 are %2")
        .arg(Bytes.size() - 1)
        .arg(hexBytes(image.data(), static_cast<int>(Bytes.size())));
}

QString EdidHeader::text() {
    return hexBytes(Bytes.data(), static_cast<int>(Bytes.size()));
}
