#include "edid/EdidInfo.h"

#include "edid/EdidHeader.h"

namespace {

constexpr quint8 MonitorNameTag = 0xFC;
// A week of 0xFF says that byte 17 is the model year, not the year of manufacture.
constexpr int ModelYearWeek = 0xFF;

}  // namespace

EdidInfo::EdidInfo(const EdidImage& image) : image_(image) {
    for (int i = 0; i < ImageBlocks; ++i) {
        Block& b = blocks_[i];
        b.inUse = i == 0 || extensionCount() >= i;
        b.stored = image_[i * BlockSize + BlockSize - 1];
        b.correct = correctChecksum(image_, i);
    }
}

bool EdidInfo::headerOk() const {
    return EdidHeader::present(image_);
}

QString EdidInfo::headerProblem() const {
    return EdidHeader::problem(image_);
}

QString EdidInfo::manufacturer() const {
    const int id = (image_[8] << 8) | image_[9];
    QString letters;
    // Codes 1 to 26 are A to Z; the others show as the characters around them ('@', '[' to
    // '_'), as other EDID tools print them (Microsoft's devices say "MS_").
    for (int shift : {10, 5, 0}) letters += QChar(u'@' + ((id >> shift) & 0x1F));
    return letters;
}

quint16 EdidInfo::productCode() const {
    return quint16(image_[10] | (image_[11] << 8));
}

quint32 EdidInfo::serialNumber() const {
    return quint32(image_[12]) | (quint32(image_[13]) << 8) | (quint32(image_[14]) << 16) |
           (quint32(image_[15]) << 24);
}

int EdidInfo::descriptorOffset(const EdidImage& image, quint8 tag) {
    for (int at : DescriptorOffsets) {
        if (image[at] == 0 && image[at + 1] == 0 && image[at + 2] == 0 && image[at + 3] == tag)
            return at;
    }
    return -1;
}

int EdidInfo::monitorNameOffset() const {
    return descriptorOffset(image_, MonitorNameTag);
}

bool EdidInfo::hasMonitorName() const {
    return monitorNameOffset() >= 0;
}

QString EdidInfo::monitorName() const {
    const int at = monitorNameOffset();
    return at < 0 ? QString() : descriptorText(image_, at);
}

QString EdidInfo::descriptorText(const EdidImage& image, int offset) {
    QString text;
    for (int i = offset + 5; i < offset + DescriptorSize; ++i) {
        const quint8 c = image[i];
        if (c == 0x0A)
            break;
        // The text is ASCII; anything else would garble a terminal or a label.
        text += c >= 0x20 && c < 0x7F ? QChar(c) : QChar(u'?');
    }
    while (text.endsWith(QLatin1Char(' '))) text.chop(1);
    return text;
}

EdidInfo::Timing EdidInfo::preferredTiming() const {
    return detailedTiming(image_.data() + DescriptorOffsets[0]);
}

EdidInfo::Timing EdidInfo::detailedTiming(const quint8* d) {
    Timing t;
    const int clock10kHz = d[0] | (d[1] << 8);
    if (clock10kHz == 0)
        return t;  // a display descriptor, not a timing
    const int hActive = d[2] | ((d[4] & 0xF0) << 4);
    const int hBlank = d[3] | ((d[4] & 0x0F) << 8);
    const int vActive = d[5] | ((d[7] & 0xF0) << 4);
    const int vBlank = d[6] | ((d[7] & 0x0F) << 8);
    t.present = true;
    t.interlaced = (d[17] & 0x80) != 0;
    t.width = hActive;
    t.height = t.interlaced ? 2 * vActive : vActive;
    t.pixelClockMHz = clock10kHz / 100.0;
    const double hTotal = hActive + hBlank;
    const double vTotal = vActive + vBlank;
    const double pixelsPerSecond = clock10kHz * 10000.0;
    if (hTotal > 0 && vTotal > 0) {
        // An interlaced frame has 2 * vTotal + 1 lines and two fields.
        t.rateHz = t.interlaced ? 2 * pixelsPerSecond / (hTotal * (2 * vTotal + 1))
                                : pixelsPerSecond / (hTotal * vTotal);
    }
    return t;
}

bool EdidInfo::checksumsSound() const {
    for (const Block& b : blocks_) {
        if (b.inUse && !b.sound())
            return false;
    }
    return true;
}

QString EdidInfo::hexByte(quint8 value) {
    return QStringLiteral("0x%1").arg(value, 2, 16, QLatin1Char('0'));
}

QString EdidInfo::blockLine(int index) const {
    const Block& b = blocks_[index];
    if (!b.inUse)
        return QStringLiteral("Block %1: not in use (byte %2 is %3)")
            .arg(index)
            .arg(ExtensionCountOffset)
            .arg(extensionCount());
    if (b.sound())
        return QStringLiteral("Block %1: checksum %2 OK").arg(index).arg(hexByte(b.stored));
    return QStringLiteral("Block %1: checksum %2, should be %3")
        .arg(index)
        .arg(hexByte(b.stored), hexByte(b.correct));
}

QString EdidInfo::manufactureText() const {
    if (week() == ModelYearWeek)
        return QStringLiteral("model year %1").arg(year());
    if (week() == 0)
        return QString::number(year());
    return QStringLiteral("week %1 of %2").arg(week()).arg(year());
}

QString EdidInfo::timingText() const {
    const Timing t = preferredTiming();
    if (!t.present)
        return QStringLiteral("none (the first descriptor is not a timing)");
    return QStringLiteral("%1 \u00d7 %2%3 @ %4 Hz (%5 MHz)")
        .arg(t.width)
        .arg(t.height)
        .arg(t.interlaced ? QStringLiteral("i") : QString())
        .arg(t.rateHz, 0, 'f', 2)
        .arg(t.pixelClockMHz, 0, 'f', 2);
}

QString EdidInfo::extensionText() const {
    const int n = extensionCount();
    if (n < ImageBlocks)
        return QString::number(n);
    // The generator's image holds the base block and one extension.
    return QStringLiteral("%1 (the 256-byte image holds only block 1 of them)").arg(n);
}

QStringList EdidInfo::summaryLines() const {
    QStringList lines;
    lines << (headerOk() ? QStringLiteral("Header: OK")
                         : QStringLiteral("Header: missing (%1)").arg(headerProblem()));
    lines << QStringLiteral("Version: %1.%2").arg(version()).arg(revision());
    lines << QStringLiteral("Manufacturer: %1").arg(manufacturer());
    lines << QStringLiteral("Product code: %1 (0x%2)")
                 .arg(productCode())
                 .arg(productCode(), 4, 16, QLatin1Char('0'));
    lines << QStringLiteral("Serial number: %1").arg(serialNumber());
    lines << QStringLiteral("Made in: %1").arg(manufactureText());
    lines << QStringLiteral("Extension blocks: %1").arg(extensionText());
    lines << QStringLiteral("Monitor name: %1")
                 .arg(hasMonitorName() ? monitorName() : QStringLiteral("none"));
    lines << QStringLiteral("Preferred timing: %1").arg(timingText());
    for (int i = 0; i < ImageBlocks; ++i) lines << blockLine(i);
    return lines;
}

quint8 EdidInfo::correctChecksum(const EdidImage& image, int index) {
    return correctChecksum(image.data() + index * BlockSize);
}

quint8 EdidInfo::correctChecksum(const quint8* block) {
    unsigned sum = 0;
    for (int i = 0; i < BlockSize - 1; ++i) sum += block[i];
    return quint8((256 - sum % 256) % 256);
}

QList<int> EdidInfo::fixChecksums(EdidImage& image) {
    const EdidInfo before(image);
    QList<int> fixed;
    for (int i = 0; i < ImageBlocks; ++i) {
        const Block& b = before.block(i);
        if (b.inUse && !b.sound()) {
            image[i * BlockSize + BlockSize - 1] = b.correct;
            fixed << i;
        }
    }
    return fixed;
}
