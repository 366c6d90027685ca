#include <QFileInfo>

#include "files/SafeFile.h"

QString SafeFile::writeProblem(const QString& path) {
    const QFileInfo info(path);
    const QFileInfo dir(info.absolutePath());
    if (info.isDir())
        return QStringLiteral("%1 is a folder").arg(path);
    if (info.exists() && !info.isWritable())
        return QStringLiteral("%1 may not be written").arg(path);
    if (!info.exists() && !(dir.isDir() && dir.isWritable()))
        return QStringLiteral("%1: its folder does not exist or may not be written").arg(path);
    return QString();
}
