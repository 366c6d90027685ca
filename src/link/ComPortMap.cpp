#include "link/ComPortMap.h"

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

QString ComPortMap::runtimeDir() {
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty())
        return xdg + QStringLiteral("/orve1");
#ifdef Q_OS_WIN
    return QDir::tempPath() + QStringLiteral("/orve1");
#else
    return QStringLiteral("/tmp/orve1-%1").arg(::getuid());
#endif
}

bool ComPortMap::ensureRuntimeDir(QString* error) {
    const QString dir = runtimeDir();
    if (!QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(dir);
        return false;
    }
#ifndef Q_OS_WIN
    // Only this user may register or follow port links here.
    if (::chmod(QFile::encodeName(dir).constData(), 0700) != 0) {
        if (error)
            *error = QStringLiteral("cannot restrict %1 to its owner").arg(dir);
        return false;
    }
#endif
    return true;
}

QString ComPortMap::linkPath(int n) {
    return runtimeDir() + QStringLiteral("/COM%1").arg(n);
}

QString ComPortMap::device(int n) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    const QString candidates[] = {
        linkPath(n),
        QStringLiteral("/dev/ttyUSB%1").arg(n - 1),
        QStringLiteral("/dev/ttyS%1").arg(n - 1),
    };
    for (const QString& c : candidates) {
        // exists() follows links, so a link left behind by a stopped generator does not count.
        if (QFileInfo::exists(c))
            return c;
    }
    return QString();
#endif
}
