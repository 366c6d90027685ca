#include "edid/EdidImageFile.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "edid/RegularFile.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#else
#include <QSaveFile>
#endif

bool EdidImageFile::load(const QString& path, EdidImage& image, QString& error) {
    QByteArray bytes;
    if (!RegularFile::read(path, static_cast<qint64>(image.size()), bytes, error))
        return false;
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return true;
}

#ifdef Q_OS_UNIX

namespace {

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes all of data to fd; false with errno set when the system refuses any of it.
bool writeAll(int fd, const quint8* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

bool EdidImageFile::save(const QString& path, const EdidImage& image, QString& error) {
    auto fail = [&](const QString& reason) {
        error = QStringLiteral("%1: %2").arg(path, reason);
        return false;
    };
    // A link is followed, so that the file it names is replaced, not the link.
    const QFileInfo info(path);
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
    const QByteArray targetName = QFile::encodeName(target);

    struct stat old {};
    const bool exists = ::stat(targetName.constData(), &old) == 0;
    if (exists) {
        if (S_ISDIR(old.st_mode))
            return fail(QStringLiteral("is a folder"));
        if (!S_ISREG(old.st_mode))
            return fail(QStringLiteral("not a regular file"));
        // A file the operator may not write stays as it is, even though its folder would let
        // it be replaced.
        if (::access(targetName.constData(), W_OK) != 0)
            return fail(systemReason(errno));
    }

    const QFileInfo targetInfo(target);
    QByteArray tempName = QFile::encodeName(targetInfo.absolutePath() + QStringLiteral("/.") +
                                            targetInfo.fileName() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(tempName.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(systemReason(errno));
    auto discard = [&](int reason) {
        ::unlink(tempName.constData());
        return fail(systemReason(reason));
    };

    const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~currentUmask());
    if (!writeAll(fd, image.data(), image.size()) || ::fchmod(fd, mode) != 0) {
        const int e = errno;
        ::close(fd);
        return discard(e);
    }
    // Some file systems report a failed write only when the data reaches the disk or the file
    // is closed; until both succeed the old file is not touched.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) {
        const int e = errno;
        ::close(fd);
        return discard(e);
    }
    if (::close(fd) != 0)
        return discard(errno);
    if (::rename(tempName.constData(), targetName.constData()) != 0)
        return discard(errno);

    // Make the new name itself last; a folder that cannot be synced changes nothing.
    const int dirFd = ::open(QFile::encodeName(targetInfo.absolutePath()).constData(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

#else

bool EdidImageFile::save(const QString& path, const EdidImage& image, QString& error) {
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    const auto size = static_cast<qint64>(image.size());
    // Unbuffered, so that a failing write is seen by write() rather than lost in close().
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                         file.write(reinterpret_cast<const char*>(image.data()), size) == size;
    if (written && file.commit())
        return true;
    error = QStringLiteral("%1: %2").arg(path, file.errorString());
    file.cancelWriting();
    return false;
}

#endif
