#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

#include "link/ComPortMap.h"

QString ComPortMap::runtimeDir() {
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty())
        return xdg + QStringLiteral("/orve1");
    return QStringLiteral("/tmp/orve1-%1").arg(::getuid());
}

bool ComPortMap::ensureRuntimeDir(QString* error) {
    const QString dir = runtimeDir();
    if (!QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(dir);
        return false;
    }
    // Only this user may register or follow port links here.
    if (::chmod(QFile::encodeName(dir).constData(), 0700) != 0) {
        if (error)
            *error = QStringLiteral("cannot restrict %1 to its owner").arg(dir);
        return false;
    }
    return true;
}

QStringList ComPortMap::candidates(int n) {
    return {
        linkPath(n),
        QStringLiteral("/dev/ttyUSB%1").arg(n - 1),
        QStringLiteral("/dev/ttyS%1").arg(n - 1),
    };
}

QString ComPortMap::device(int n) {
    for (const QString& c : candidates(n)) {
        // exists() follows links, so a link left behind by a stopped generator does not count.
        if (QFileInfo::exists(c))
            return c;
    }
    return QString();
}

QString ComPortMap::systemPath(const QString& device) {
    return QFileInfo(device).canonicalFilePath();
}

qint64 ComPortMap::registeredBy(int n) {
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
}
