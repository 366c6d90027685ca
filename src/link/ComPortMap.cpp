#include "link/ComPortMap.h"

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

#ifndef Q_OS_WIN
#include <fcntl.h>
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

QStringList ComPortMap::candidates(int n) {
#ifdef Q_OS_WIN
    return {QStringLiteral("COM%1").arg(n)};
#else
    return {
        linkPath(n),
        QStringLiteral("/dev/ttyUSB%1").arg(n - 1),
        QStringLiteral("/dev/ttyS%1").arg(n - 1),
    };
#endif
}

QString ComPortMap::device(int n) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    for (const QString& c : candidates(n)) {
        // exists() follows links, so a link left behind by a stopped generator does not count.
        if (QFileInfo::exists(c))
            return c;
    }
    return QString();
#endif
}

QString ComPortMap::registrationPath(int n) {
    return linkPath(n) + QStringLiteral(".lock");
}

qint64 ComPortMap::registeredBy(int n) {
#ifdef Q_OS_WIN
    Q_UNUSED(n);
    return 0;
#else
    const int fd = ::open(QFile::encodeName(registrationPath(n)).constData(),
                          O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return 0;
    // Asking for the lock, not taking it: a generator starting this very moment must not find
    // it taken by a mere reader. Locks of the open file (not of the process) also conflict
    // within one process, so a test can play both sides.
    struct flock query {};
    query.l_type = F_WRLCK;
    query.l_whence = SEEK_SET;
#ifdef F_OFD_GETLK
    const int cmd = F_OFD_GETLK;
#else
    const int cmd = F_GETLK;
#endif
    qint64 pid = 0;
    if (::fcntl(fd, cmd, &query) == 0 && query.l_type != F_UNLCK) {
        char text[32] = {};
        const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
        bool ok = false;
        pid = got > 0 ? QByteArray(text, static_cast<int>(got)).trimmed().toLongLong(&ok) : 0;
        if (!ok || pid <= 0)
            pid = -1;
    }
    ::close(fd);
    return pid;
#endif
}
