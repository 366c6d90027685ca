#include "ctl/EdidCommands.h"

#include <QStringList>
#include <algorithm>

#include "edid/DeclaredTimings.h"
#include "edid/EdidDiff.h"
#include "edid/EdidHeader.h"
#include "edid/EdidImage.h"
#include "edid/EdidInfo.h"
#include "edid/EdidText.h"

namespace {

EdidImage imageOf(const QByteArray& bytes) {
    EdidImage image{};
    std::copy_n(bytes.constBegin(), std::min<qsizetype>(bytes.size(), qsizetype(image.size())),
                image.begin());
    return image;
}

}  // namespace

bool EdidCommands::load(const QString& path, QByteArray& bytes, QString& how, QString& err) {
    bool wasText = false;
    EdidText::Form form = EdidText::Form::HexBytes;
    QString error;
    if (!EdidText::loadFile(path, bytes, error, &wasText, &form)) {
        err = error;
        return false;
    }
    how =
        wasText
            ? QStringLiteral("text (%1), %2 bytes").arg(EdidText::formName(form)).arg(bytes.size())
            : QStringLiteral("raw, %1 bytes").arg(bytes.size());
    return true;
}

bool EdidCommands::loadEdid(const QString& path, QByteArray& bytes, QString& how, QString& err) {
    if (!load(path, bytes, how, err))
        return false;
    const EdidImage image = imageOf(bytes);
    if (!EdidHeader::present(image) || bytes.size() < EdidInfo::BlockSize) {
        const QString why =
            bytes.size() < int(EdidHeader::Bytes.size()) || !EdidHeader::present(image)
                ? QStringLiteral("it does not start with the EDID header %1 (%2)")
                      .arg(EdidHeader::text(), bytes.isEmpty() ? QStringLiteral("it is empty")
                                                               : EdidHeader::problem(image))
                : QStringLiteral("it has %1 bytes, fewer than the 128 of a base block")
                      .arg(bytes.size());
        err = QStringLiteral("%1: not an EDID: %2").arg(path, why);
        return false;
    }
    return true;
}

int EdidCommands::info(const QString& path, QString& out, QString& err) {
    QByteArray bytes;
    QString how;
    if (!loadEdid(path, bytes, how, err))
        return NotAnEdid;
    const EdidImage image = imageOf(bytes);
    const EdidInfo info(image);
    QStringList lines{QStringLiteral("%1: %2").arg(path, how)};
    const QStringList summary = info.summaryLines();
    // The summary ends with the image's block lines; the file's own follow instead.
    lines << summary.mid(0, summary.size() - EdidInfo::ImageBlocks);
    bool sound = true;
    const int blocks = 1 + info.extensionCount();
    const int lastInFile = int(bytes.size() / EdidInfo::BlockSize) - 1;
    for (int b = 0; b < std::max(blocks, std::min(lastInFile + 1, int(EdidInfo::ImageBlocks)));
         ++b) {
        const bool inUse = b < blocks;
        if (b > lastInFile) {
            // One line for all that are missing: byte 126 may announce up to 255.
            lines << QStringLiteral(
                         "%1: missing (byte 126 announces %2 extension block%3; "
                         "the EDID ends at byte %4)")
                         .arg(b == blocks - 1
                                  ? QStringLiteral("Block %1").arg(b)
                                  : QStringLiteral("Blocks %1 to %2").arg(b).arg(blocks - 1))
                         .arg(info.extensionCount())
                         .arg(info.extensionCount() == 1 ? "" : "s")
                         .arg(bytes.size());
            sound = false;
            break;
        }
        if (b < EdidInfo::ImageBlocks) {
            lines << info.blockLine(b);
            sound = sound && (!inUse || info.block(b).sound());
            continue;
        }
        const auto* block =
            reinterpret_cast<const quint8*>(bytes.constData()) + b * EdidInfo::BlockSize;
        const quint8 stored = block[EdidInfo::BlockSize - 1];
        const quint8 correct = EdidInfo::correctChecksum(block);
        lines << (stored == correct
                      ? QStringLiteral("Block %1: checksum %2 OK")
                            .arg(b)
                            .arg(EdidInfo::hexByte(stored))
                      : QStringLiteral("Block %1: checksum %2, should be %3")
                            .arg(b)
                            .arg(EdidInfo::hexByte(stored), EdidInfo::hexByte(correct))) +
                     QStringLiteral(" (beyond the 256-byte image)");
        sound = sound && stored == correct;
    }
    out = lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return sound ? Sound : ChecksumFails;
}

int EdidCommands::diff(const QString& pathA, const QString& pathB, QString& out, QString& err) {
    QByteArray a;
    QByteArray b;
    QString howA;
    QString howB;
    if (!load(pathA, a, howA, err) || !load(pathB, b, howB, err))
        return Unreadable;
    QStringList lines{QStringLiteral("A: %1 (%2)").arg(pathA, howA),
                      QStringLiteral("B: %1 (%2)").arg(pathB, howB)};
    lines << EdidDiff::report(a, b);
    out = lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return a == b ? Equal : Different;
}

int EdidCommands::timings(const QString& path, QString& out, QString& err) {
    QByteArray bytes;
    QString how;
    if (!loadEdid(path, bytes, how, err))
        return NotAnEdid;
    const EdidImage image = imageOf(bytes);
    const DeclaredTimings declared(image);
    const QList<int> numbers = declared.numbers();
    QStringList lines = declared.modeLines();
    lines << DeclaredTimings::headingText(int(numbers.size())) + QStringLiteral(": ") +
                 (numbers.isEmpty() ? QStringLiteral("none") : DeclaredTimings::rangeText(numbers));
    lines << declared.modes().notes();
    out = lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    const EdidInfo info(image);
    if (info.checksumsSound())
        return Sound;
    QStringList failing;
    for (int b = 0; b < EdidInfo::ImageBlocks; ++b)
        if (info.block(b).inUse && !info.block(b).sound())
            failing << QString::number(b);
    err = QStringLiteral("%1: the checksum of block %2 fails: its modes may be misread")
              .arg(path, failing.join(QStringLiteral(" and ")));
    return ChecksumFails;
}

bool EdidCommands::declaredSelection(const QString& path, std::array<quint8, TimingCount>& flags,
                                     QString& err) {
    QByteArray bytes;
    QString how;
    if (!loadEdid(path, bytes, how, err))
        return false;
    const DeclaredTimings declared(imageOf(bytes));
    if (declared.numbers().isEmpty()) {
        err = QStringLiteral("%1 declares none of the %2 built-in timings; nothing sent")
                  .arg(path)
                  .arg(TimingCount);
        return false;
    }
    flags = declared.selection();
    return true;
}
