#include "production/GoldenEdid.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <algorithm>

#include "edid/EdidHeader.h"
#include "edid/EdidIdentity.h"
#include "edid/EdidInfo.h"
#include "files/SafeFile.h"

QString GoldenEdid::problem(const EdidImage& image, qsizetype fileBytes) {
    if (fileBytes < EdidInfo::BlockSize)
        return QStringLiteral("it has %1 bytes, fewer than the 128 of a base block").arg(fileBytes);
    if (!EdidHeader::present(image))
        return QStringLiteral("it does not start with the EDID header %1 (%2)")
            .arg(EdidHeader::text(), EdidHeader::problem(image));
    const EdidInfo info(image);
    QStringList failing;
    for (int b = 0; b < EdidInfo::ImageBlocks; ++b) {
        if (info.block(b).inUse && !info.block(b).sound())
            failing << info.blockLine(b);
    }
    if (!failing.isEmpty())
        return failing.join(QStringLiteral("; "));
    if (info.block(1).inUse && fileBytes < 2 * EdidInfo::BlockSize)
        return QStringLiteral("byte 126 announces an extension block that the file does not hold");
    return QString();
}

bool GoldenEdid::load(const QString& path, GoldenEdid& golden, QString& error) {
    QByteArray bytes;
    if (!SafeFile::readRegular(path, MaxFileBytes + 1, bytes, error))
        return false;
    if (bytes.size() > MaxFileBytes) {
        error = QStringLiteral("%1: longer than %2 bytes, not a raw EDID file")
                    .arg(path)
                    .arg(MaxFileBytes);
        return false;
    }
    EdidImage image{};
    std::copy_n(bytes.constBegin(), std::min<qsizetype>(bytes.size(), qsizetype(image.size())),
                image.begin());
    const QString why = problem(image, bytes.size());
    if (!why.isEmpty()) {
        error = QStringLiteral("%1: not a sound EDID: %2").arg(path, why);
        return false;
    }
    golden.path = path;
    golden.fileName = QFileInfo(path).fileName();
    golden.sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    golden.image = image;
    return true;
}

QStringList GoldenEdid::lines() const {
    QStringList lines = EdidInfo(image).summaryLines();
    // The identity lines the summary does not have.
    for (const QString& line : EdidIdentity::lines(image)) {
        if (!lines.contains(line))
            lines << line;
    }
    return lines;
}
