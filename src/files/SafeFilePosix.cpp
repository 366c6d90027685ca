#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "files/SafeFile.h"

namespace {

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool fail(QString& error, const QString& path, const QString& why) {
    error = QStringLiteral("%1: %2").arg(path, why);
    return false;
}

QByteArray nameOf(const QString& path) {
    return QFile::encodeName(path);
}

// Writes all of data at the file's position; false with errno set when the system refuses any.
bool writeAll(int fd, const char* data, size_t size) {
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

// Some file systems report a failed write only when the data reaches the disk; those that
// cannot sync at all are not a failure.
bool syncData(int fd) {
    return ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
}

void syncFolder(const QString& folder) {
    const int fd = ::open(nameOf(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// A file beside target, hidden, that the caller fills and then moves into place or removes.
struct TempFile {
    QByteArray name;
    int fd = -1;

    explicit TempFile(const QString& target) {
        const QFileInfo info(target);
        name = nameOf(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                      QStringLiteral(".XXXXXX"));
        fd = ::mkostemp(name.data(), O_CLOEXEC);
    }
    ~TempFile() {
        if (fd >= 0)
            ::close(fd);
        if (!name.isEmpty())
            ::unlink(name.constData());
    }
    // Filled, synced and closed; false with errno set.
    bool fill(const QByteArray& bytes, mode_t mode) {
        if (!writeAll(fd, bytes.constData(), size_t(bytes.size())) || ::fchmod(fd, mode) != 0 ||
            !syncData(fd))
            return false;
        const int rc = ::close(fd);
        fd = -1;
        return rc == 0;
    }
    // The file is in place under another name: nothing to remove any more.
    void keep() { name.clear(); }
};

// Writes bytes into the open file itself, from offset 0, and cuts it to their length. Room is
// made first where the file system can, so that a full disk fails before any byte changes.
bool writeInPlace(int fd, const QByteArray& bytes) {
    const off_t size = bytes.size();
    const int room = ::posix_fallocate(fd, 0, size);
    if (room != 0 && room != EOPNOTSUPP && room != EINVAL) {
        errno = room;
        return false;
    }
    if (::lseek(fd, 0, SEEK_SET) != 0 || !writeAll(fd, bytes.constData(), size_t(size)) ||
        ::ftruncate(fd, size) != 0)
        return false;
    return syncData(fd);
}

}  // namespace

bool SafeFile::readRegular(const QString& path, qint64 maxBytes, QByteArray& out, QString& error) {
    // Opened without waiting: opening a FIFO with no writer would otherwise block for ever.
    const int fd = ::open(nameOf(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fail(error, path, reason(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool isDir = S_ISDIR(st.st_mode);
        ::close(fd);
        return fail(error, path,
                    isDir ? QStringLiteral("is a folder") : QStringLiteral("not a regular file"));
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
            return fail(error, path, reason(e));
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    bytes.truncate(static_cast<qsizetype>(got));
    out = bytes;
    return true;
}

bool SafeFile::replace(const QString& path, const QByteArray& bytes, QString& error) {
    // A link is followed, so that the file it names is replaced, not the link.
    const QFileInfo info(path);
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
    const QByteArray targetName = nameOf(target);

    struct stat old {};
    const bool exists = ::stat(targetName.constData(), &old) == 0;
    if (exists) {
        if (S_ISDIR(old.st_mode))
            return fail(error, path, QStringLiteral("is a folder"));
        if (!S_ISREG(old.st_mode))
            return fail(error, path, QStringLiteral("not a regular file"));
        if (::access(targetName.constData(), W_OK) != 0)
            return fail(error, path, reason(errno));
    }

    auto inPlace = [&] {
        const int fd = ::open(targetName.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return fail(error, path, reason(errno));
        const bool written = writeInPlace(fd, bytes);
        const int e = errno;
        if (::close(fd) != 0 || !written)
            return fail(error, path, reason(written ? errno : e));
        return true;
    };
    // Another name for the same file would keep the old content after a rename.
    if (exists && old.st_nlink > 1)
        return inPlace();

    TempFile temp(target);
    if (temp.fd < 0) {
        const int e = errno;
        if (exists && (e == EACCES || e == EPERM))
            return inPlace();
        return fail(error, path, reason(e));
    }
    if (exists) {
        // The new file is the operator's own; where it cannot take the old owner and group, the
        // old file is written instead of replaced.
        struct stat made {};
        if (::fstat(temp.fd, &made) != 0 ||
            ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
             ::fchown(temp.fd, old.st_uid, old.st_gid) != 0))
            return inPlace();
    }
    const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~currentUmask());
    if (!temp.fill(bytes, mode) || ::rename(temp.name.constData(), targetName.constData()) != 0)
        return fail(error, path, reason(errno));
    temp.keep();
    syncFolder(QFileInfo(target).absolutePath());
    return true;
}

bool SafeFile::createNew(const QString& path, const QByteArray& bytes, QString& error) {
    const QByteArray name = nameOf(path);
    if (::access(name.constData(), F_OK) == 0)
        return fail(error, path, reason(EEXIST));
    TempFile temp(path);
    if (temp.fd < 0 || !temp.fill(bytes, 0666 & ~currentUmask()))
        return fail(error, path, reason(errno));
    // A hard link is made only where no file of that name exists, whatever appeared meanwhile.
    if (::link(temp.name.constData(), name.constData()) == 0) {
        syncFolder(QFileInfo(path).absolutePath());
        return true;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != ENOSYS)
        return fail(error, path, reason(errno));
    // File systems without hard links (a FAT stick): the name is taken exclusively and filled.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC,
                          0666 & ~currentUmask());
    if (fd < 0)
        return fail(error, path, reason(errno));
    const bool written = writeAll(fd, bytes.constData(), size_t(bytes.size())) && syncData(fd);
    const int e = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(name.constData());
        return fail(error, path, reason(written ? errno : e));
    }
    return true;
}

bool SafeFile::appendRecord(const QString& path, const QByteArray& header, const QByteArray& record,
                            QString& error) {
    const QByteArray name = nameOf(path);
    const int fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_NOCTTY | O_CLOEXEC,
                          0666 & ~currentUmask());
    if (fd < 0)
        return fail(error, path, reason(errno));
    auto done = [&](bool ok, int e) {
        ::flock(fd, LOCK_UN);
        ::close(fd);
        return ok ? true : fail(error, path, reason(e));
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int e = S_ISREG(st.st_mode) ? errno : EINVAL;
        ::close(fd);
        return fail(error, path, e == EINVAL ? QStringLiteral("not a regular file") : reason(e));
    }
    int rc;
    while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (rc != 0 || ::fstat(fd, &st) != 0)
        return done(false, errno);

    QByteArray bytes;
    if (st.st_size == 0) {
        bytes = header;
    } else {
        // A log cut short by a crash elsewhere ends in half a line: ours starts on a line of its
        // own.
        char last = '\n';
        if (::pread(fd, &last, 1, st.st_size - 1) != 1)
            return done(false, errno);
        if (last != '\n')
            bytes = "\n";
    }
    bytes += record;
    if (!writeAll(fd, bytes.constData(), size_t(bytes.size())) || !syncData(fd)) {
        const int e = errno;
        if (::ftruncate(fd, st.st_size) == 0)
            ::fsync(fd);
        return done(false, e);
    }
    return done(true, 0);
}
