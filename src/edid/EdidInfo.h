#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

#include "edid/EdidImage.h"

// What an EDID image declares, read from its bytes: the header, version, vendor and product,
// the monitor name, the preferred timing and each 128-byte block's checksum. Reading never
// changes the image; only fixChecksums writes, and only when asked to.
class EdidInfo {
public:
    static constexpr int BlockSize = 128;
    static constexpr int ImageBlocks = 2;
    static constexpr int ExtensionCountOffset = 126;

    struct Block {
        bool inUse = false;
        quint8 stored = 0;   // the block's last byte
        quint8 correct = 0;  // the last byte that makes the block add up to 0 modulo 256
        bool sound() const { return stored == correct; }
    };

    struct Timing {
        bool present = false;
        int width = 0;
        int height = 0;  // frame lines (both fields when interlaced)
        bool interlaced = false;
        double rateHz = 0;  // frames per second, or fields per second when interlaced
        double pixelClockMHz = 0;
    };

    explicit EdidInfo(const EdidImage& image);

    bool headerOk() const;
    // Empty when the header is there, else what stands in its place.
    QString headerProblem() const;
    int version() const { return image_[18]; }
    int revision() const { return image_[19]; }
    // Three letters A to Z (a 5-bit code outside 1..26 as '@' or '[' to '_').
    QString manufacturer() const;
    quint16 productCode() const;
    quint32 serialNumber() const;
    int week() const { return image_[16]; }
    int year() const { return 1990 + image_[17]; }
    int extensionCount() const { return image_[ExtensionCountOffset]; }
    // The monitor name descriptor's text, without its line feed and padding; empty if none.
    QString monitorName() const;
    bool hasMonitorName() const;
    // The first detailed timing descriptor.
    Timing preferredTiming() const;
    // The timing of the 18-byte detailed timing descriptor at d; not present when it is a
    // display descriptor (pixel clock 0).
    static Timing detailedTiming(const quint8* d);

    const Block& block(int index) const { return blocks_[index]; }
    // Every block in use adds up to 0 modulo 256.
    bool checksumsSound() const;

    // "Block 0: checksum 0x65 OK", "Block 1: checksum 0x37, should be 0x69",
    // "Block 1: not in use (byte 126 is 0)".
    QString blockLine(int index) const;
    QString manufactureText() const;
    QString timingText() const;
    QString extensionText() const;
    // "Name: value" lines in a fixed order, then one line per block.
    QStringList summaryLines() const;

    // The byte that makes block `index` of image add up to 0 modulo 256.
    static quint8 correctChecksum(const EdidImage& image, int index);
    // The same for the 128 bytes at block.
    static quint8 correctChecksum(const quint8* block);
    // Writes the correct checksum byte into each block in use whose checksum fails; the
    // blocks changed, in order. Nothing else is touched.
    static QList<int> fixChecksums(EdidImage& image);
    // "0x3a".
    static QString hexByte(quint8 value);

    // The display descriptors of block 0: where they start, and their size.
    static constexpr int DescriptorOffsets[] = {54, 72, 90, 108};
    static constexpr int DescriptorSize = 18;
    // Offset of the first display descriptor of block 0 with this tag (0xFC: monitor name,
    // 0xFF: serial number text), or -1.
    static int descriptorOffset(const EdidImage& image, quint8 tag);
    // The text of the text descriptor at offset, up to its line feed and without trailing
    // blanks; bytes that are not printable ASCII show as '?'.
    static QString descriptorText(const EdidImage& image, int offset);

private:
    // Offset of the monitor name descriptor in block 0, or -1.
    int monitorNameOffset() const;

    EdidImage image_;
    std::array<Block, ImageBlocks> blocks_;
};
