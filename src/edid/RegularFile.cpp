#include "edid/RegularFile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

bool RegularFile::read(const QString& path, qint64 maxBytes, QByteArray& out, QString& error) {
    auto fail = [&](const QString& reason) {
        error = QStringLiteral("%1: %2").arg(path, reason);
        return false;
    };
#ifdef Q_OS_UNIX
    // Opened without waiting: opening a FIFO with no writer would otherwise block for ever.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool isDir = S_ISDIR(st.st_mode);
        ::close(fd);
        return fail(isDir ? QStringLiteral("is a folder") : QStringLiteral("not a regular file"));
    }
    QByteArray bytes(static_cast<qsizetype>(maxBytes), Qt::Uninitialized);
    qint64 got = 0;
    while (got < maxBytes) {
        const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(maxBytes - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            return fail(QString::fromLocal8Bit(std::strerror(e)));
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    bytes.truncate(static_cast<qsizetype>(got));
    out = bytes;
    return true;
#else
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return fail(info.isDir() ? QStringLiteral("is a folder")
                                 : QStringLiteral("not a regular file"));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return fail(f.errorString());
    const QByteArray bytes = f.read(maxBytes);
    if (f.error() != QFileDevice::NoError)
        return fail(f.errorString());
    out = bytes;
    return true;
#endif
}
