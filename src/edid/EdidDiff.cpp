#include "edid/EdidDiff.h"

#include <algorithm>

#include "edid/EdidImage.h"
#include "edid/EdidInfo.h"

namespace {

// The base block's fixed fields. Columns: first byte, last byte, field name.
struct BaseField {
    int first;
    int last;
    const char* name;
};
constexpr BaseField BaseFields[] = {
    {0, 7, "header"},
    {8, 9, "manufacturer"},
    {10, 11, "product code"},
    {12, 15, "serial number"},
    {16, 16, "week of manufacture"},
    {17, 17, "year of manufacture"},
    {18, 18, "version"},
    {19, 19, "revision"},
    {20, 20, "video input"},
    {21, 22, "screen size"},
    {23, 23, "gamma"},
    {24, 24, "features"},
    {25, 34, "colour characteristics"},
    {35, 37, "established timings"},
    {38, 53, "standard timings"},
    {126, 126, "extension count"},
};

// Display descriptors by tag. Columns: tag byte, what the descriptor holds.
struct DescriptorKind {
    quint8 tag;
    const char* name;
};
constexpr DescriptorKind DescriptorKinds[] = {
    {0xFF, "serial number text"},
    {0xFE, "text"},
    {0xFD, "range limits"},
    {0xFC, "monitor name"},
    {0xFB, "white point"},
    {0xFA, "standard timings"},
    {0xF9, "colour management"},
    {0xF8, "CVT timing codes"},
    {0xF7, "established timings III"},
    {0x10, "dummy"},
};

constexpr int FirstDescriptor = 54;
constexpr int DescriptorSize = 18;
constexpr int DescriptorCount = 4;
constexpr quint8 CtaTag = 0x02;

QString byteText(int value) {
    return value < 0 ? QStringLiteral("--")
                     : QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0'));
}

int byteAt(const QByteArray& bytes, int offset) {
    return offset < bytes.size() ? quint8(bytes[offset]) : -1;
}

QString descriptorKind(const QByteArray& edid, int start, int index) {
    const int clockLow = byteAt(edid, start);
    const int clockHigh = byteAt(edid, start + 1);
    if (clockLow < 0 || clockHigh < 0)
        return QString();
    if (clockLow != 0 || clockHigh != 0)
        return index == 0 ? QStringLiteral("preferred timing") : QStringLiteral("detailed timing");
    const int tag = byteAt(edid, start + 3);
    for (const DescriptorKind& k : DescriptorKinds) {
        if (k.tag == tag)
            return QLatin1String(k.name);
    }
    return QStringLiteral("display descriptor");
}

QString extensionField(const QByteArray& edid, int block, int inBlock) {
    const QString prefix = QStringLiteral("block %1 ").arg(block);
    const int base = block * EdidInfo::BlockSize;
    if (inBlock == EdidInfo::BlockSize - 1)
        return prefix + QStringLiteral("checksum");
    if (inBlock == 0)
        return prefix + QStringLiteral("tag");
    if (byteAt(edid, base) != CtaTag)
        return prefix + QStringLiteral("data");
    if (inBlock == 1)
        return prefix + QStringLiteral("revision");
    if (inBlock == 2)
        return prefix + QStringLiteral("detailed timings offset");
    if (inBlock == 3)
        return prefix + QStringLiteral("CTA-861 flags");
    // Data blocks from byte 4 up to the offset that byte 2 gives, detailed timings after it.
    const int timingsAt = byteAt(edid, base + 2);
    if (timingsAt >= 4 && inBlock >= timingsAt)
        return prefix + QStringLiteral("detailed timings");
    return prefix + QStringLiteral("data blocks");
}

QString fieldIn(const QByteArray& edid, int offset) {
    const int block = offset / EdidInfo::BlockSize;
    const int inBlock = offset % EdidInfo::BlockSize;
    QString field;
    if (block > 0) {
        field = extensionField(edid, block, inBlock);
    } else if (offset == EdidInfo::BlockSize - 1) {
        field = QStringLiteral("block 0 checksum");
    } else if (offset >= FirstDescriptor &&
               offset < FirstDescriptor + DescriptorCount * DescriptorSize) {
        const int index = (offset - FirstDescriptor) / DescriptorSize;
        const QString kind = descriptorKind(edid, FirstDescriptor + index * DescriptorSize, index);
        field = QStringLiteral("descriptor %1").arg(index + 1);
        if (!kind.isEmpty())
            field += QStringLiteral(" (%1)").arg(kind);
    } else {
        for (const BaseField& f : BaseFields) {
            if (offset >= f.first && offset <= f.last)
                field = QLatin1String(f.name);
        }
    }
    if (block >= EdidInfo::ImageBlocks)
        field += QStringLiteral(", beyond the 256-byte image");
    return field;
}

EdidImage imageOf(const QByteArray& bytes) {
    EdidImage image{};
    std::copy_n(bytes.constBegin(), std::min<qsizetype>(bytes.size(), qsizetype(image.size())),
                image.begin());
    return image;
}

}  // namespace

QString EdidDiff::fieldAt(const QByteArray& edid, const QByteArray& other, int offset) {
    const QString mine = fieldIn(edid.size() > offset ? edid : other, offset);
    const QString theirs = fieldIn(other.size() > offset ? other : edid, offset);
    if (mine == theirs)
        return mine;
    // "descriptor 3 (monitor name in A, range limits in B)" when only the kind differs.
    const qsizetype open = mine.indexOf(QLatin1String(" ("));
    if (open > 0 && theirs.startsWith(mine.left(open + 2)) && mine.endsWith(QLatin1Char(')')) &&
        theirs.endsWith(QLatin1Char(')'))) {
        return QStringLiteral("%1 (%2 in A, %3 in B)")
            .arg(mine.left(open), mine.mid(open + 2).chopped(1), theirs.mid(open + 2).chopped(1));
    }
    return QStringLiteral("%1 in A, %2 in B").arg(mine, theirs);
}

QList<EdidDiff::Difference> EdidDiff::compare(const QByteArray& a, const QByteArray& b) {
    QList<Difference> out;
    const int length = int(std::max(a.size(), b.size()));
    for (int i = 0; i < length; ++i) {
        const int x = byteAt(a, i);
        const int y = byteAt(b, i);
        if (x != y)
            out << Difference{i, x, y, fieldAt(a, b, i)};
    }
    return out;
}

QList<EdidDiff::FieldChange> EdidDiff::fieldChanges(const QByteArray& a, const QByteArray& b) {
    const QStringList left = EdidInfo(imageOf(a)).summaryLines();
    const QStringList right = EdidInfo(imageOf(b)).summaryLines();
    QList<FieldChange> out;
    for (int i = 0; i < left.size() && i < right.size(); ++i) {
        if (left[i] == right[i])
            continue;
        const qsizetype colon = left[i].indexOf(QLatin1String(": "));
        out << FieldChange{left[i].left(colon), left[i].mid(colon + 2),
                           right[i].mid(right[i].indexOf(QLatin1String(": ")) + 2)};
    }
    return out;
}

QStringList EdidDiff::report(const QByteArray& a, const QByteArray& b) {
    const QList<Difference> differences = compare(a, b);
    if (differences.isEmpty())
        return {QStringLiteral("The two EDIDs are equal.")};
    QStringList lines{QStringLiteral("Offset  A   B   Field")};
    for (const Difference& d : differences) {
        lines << QStringLiteral("0x%1   %2  %3  %4")
                     .arg(d.offset, 3, 16, QLatin1Char('0'))
                     .arg(byteText(d.a), byteText(d.b), d.field);
    }
    lines << QStringLiteral("%1 byte%2 differ%3.")
                 .arg(differences.size())
                 .arg(differences.size() == 1 ? "" : "s")
                 .arg(differences.size() == 1 ? "s" : "");
    const QList<FieldChange> changes = fieldChanges(a, b);
    if (!changes.isEmpty()) {
        lines << QStringLiteral("Decoded fields that differ (A | B):");
        for (const FieldChange& c : changes)
            lines << QStringLiteral("  %1: %2 | %3").arg(c.name, c.a, c.b);
    }
    return lines;
}
