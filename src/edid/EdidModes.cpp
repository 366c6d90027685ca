#include "edid/EdidModes.h"

#include "edid/VideoFormatTables.h"

namespace {

constexpr int EstablishedOffset = 35;
constexpr int EstablishedCount = 17;
constexpr int StandardOffset = 38;
constexpr int StandardCount = 8;
constexpr int BaseDescriptors[] = {54, 72, 90, 108};
constexpr int DescriptorSize = 18;
constexpr int BlockSize = EdidInfo::BlockSize;
constexpr quint8 CtaTag = 0x02;
constexpr int CtaFirstDataBlock = 4;
constexpr int VideoDataBlockTag = 2;
// Short video descriptors 129..192 carry VIC 1..64 with the native flag.
constexpr int FirstNativeSvd = 129;
constexpr int LastNativeSvd = 192;

}  // namespace

EdidModes::EdidModes(const EdidImage& image) : image_(image) {
    readEstablished();
    readStandard();
    for (int i = 0; i < 4; ++i) readDetailed(0, BaseDescriptors[i], i == 0);
    const int extensions = image_[EdidInfo::ExtensionCountOffset];
    if (extensions >= 1)
        readCta();
    if (extensions >= 2)
        notes_ << QStringLiteral(
                      "Byte 126 announces %1 extension blocks; the 256-byte image holds only "
                      "block 1, so the modes of %2 are not read.")
                      .arg(extensions)
                      .arg(extensions == 2 ? QStringLiteral("block 2")
                                           : QStringLiteral("blocks 2 to %1").arg(extensions));
}

EdidMode EdidModes::mode(EdidMode::Kind kind, int number, int offset) const {
    EdidMode m;
    m.kind = kind;
    m.number = number;
    m.offset = offset;
    m.block = offset / BlockSize;
    return m;
}

void EdidModes::setFormat(EdidMode& m, const VideoFormat& f) {
    m.timing.present = true;
    m.timing.width = f.width;
    m.timing.height = f.height;
    m.timing.interlaced = f.interlaced;
    m.timing.rateHz = f.rate / 1000.0;
    m.timing.pixelClockMHz = f.clock / 1000.0;
}

void EdidModes::readEstablished() {
    for (int code = 0; code < EstablishedCount; ++code) {
        const int offset = EstablishedOffset + code / 8;
        const int bit = 7 - code % 8;
        if ((image_[offset] & (1 << bit)) == 0)
            continue;
        EdidMode m = mode(EdidMode::Kind::Established, code, offset);
        m.bit = bit;
        setFormat(m, *findVideoFormat(EstablishedFormats, code));
        modes_ << m;
    }
}

void EdidModes::readStandard() {
    // Before EDID 1.3 the aspect code 0 meant 1:1, since then 16:10.
    const bool squareCode0 = image_[18] == 1 && image_[19] < 3;
    for (int slot = 0; slot < StandardCount; ++slot) {
        const int offset = StandardOffset + 2 * slot;
        const quint8 b1 = image_[offset];
        const quint8 b2 = image_[offset + 1];
        if (b1 <= 1 && b2 <= 1)
            continue;  // unused slot (01 01; 00 00 in some old EDIDs)
        EdidMode m = mode(EdidMode::Kind::Standard, slot + 1, offset);
        if (b1 == 0) {
            m.problem = QStringLiteral("width byte 00 (the codes start at 01, 256 pixels)");
            modes_ << m;
            continue;
        }
        if (const VideoFormat* dmt = findVideoFormat(DmtStandardFormats, (b1 << 8) | b2)) {
            setFormat(m, *dmt);
            modes_ << m;
            continue;
        }
        const int width = (b1 + 31) * 8;
        // Columns: numerator, denominator of height / width for aspect codes 0..3.
        static constexpr int Aspect[4][2] = {{10, 16}, {3, 4}, {4, 5}, {9, 16}};
        const int code = b2 >> 6;
        m.timing.present = true;
        m.timing.width = width;
        m.timing.height =
            code == 0 && squareCode0 ? width : width * Aspect[code][0] / Aspect[code][1];
        m.timing.rateHz = (b2 & 0x3F) + 60;
        modes_ << m;
    }
}

void EdidModes::readDetailed(int block, int offset, bool first) {
    const quint8* d = image_.data() + offset;
    if ((d[0] | d[1]) == 0)
        return;  // a display descriptor
    EdidMode m = mode(EdidMode::Kind::Detailed, ++detailedCount_, offset);
    m.block = block;
    m.preferred = block == 0 && first;
    m.timing = EdidInfo::detailedTiming(d);
    if (m.timing.width == 0 || m.timing.height == 0 || m.timing.rateHz <= 0) {
        m.problem = QStringLiteral("an active size or total of 0");
        m.timing.present = false;
    }
    modes_ << m;
}

void EdidModes::readCta() {
    const quint8* b = image_.data() + BlockSize;
    if (b[0] != CtaTag) {
        notes_ << QStringLiteral(
                      "Block 1 (tag 0x%1) is not a CTA-861 extension: its modes are not read.")
                      .arg(b[0], 2, 16, QLatin1Char('0'));
        return;
    }
    const int revision = b[1];
    const int dtdStart = b[2];
    if (dtdStart == 0)
        return;  // neither data blocks nor detailed timings
    if (dtdStart < CtaFirstDataBlock || dtdStart > BlockSize - 1) {
        notes_ << QStringLiteral(
                      "Block 1's byte 2 (%1) is no offset within the block: its modes are not "
                      "read.")
                      .arg(dtdStart);
        return;
    }
    // Data blocks came with revision 3.
    for (int at = CtaFirstDataBlock; revision >= 3 && at < dtdStart;) {
        const int tag = b[at] >> 5;
        const int length = b[at] & 0x1F;
        if (at + 1 + length > dtdStart) {
            notes_ << QStringLiteral(
                          "Block 1's data block at byte %1 runs past its end (byte %2): the "
                          "rest is not read.")
                          .arg(BlockSize + at)
                          .arg(BlockSize + dtdStart - 1);
            break;
        }
        if (tag == VideoDataBlockTag)
            readVideoBlock(BlockSize + at + 1, length);
        at += 1 + length;
    }
    for (int at = dtdStart; at + DescriptorSize <= BlockSize - 1; at += DescriptorSize) {
        if ((b[at] | b[at + 1]) == 0)
            break;  // padding
        readDetailed(1, BlockSize + at, false);
    }
}

void EdidModes::readVideoBlock(int offset, int length) {
    for (int at = offset; at < offset + length; ++at) {
        const int svd = image_[at];
        const bool native = svd >= FirstNativeSvd && svd <= LastNativeSvd;
        const int vic = native ? svd & 0x7F : svd;
        EdidMode m = mode(EdidMode::Kind::Vic, vic, at);
        m.native = native;
        if (const VideoFormat* f = findVideoFormat(VicFormats, vic))
            setFormat(m, *f);
        else
            m.problem = QStringLiteral("code %1 is reserved").arg(svd);
        modes_ << m;
    }
}
