#include "PtyPort.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QString>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "link/ComPortMap.h"

namespace {

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

std::string linkTarget(const std::string& link) {
    char target[256];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    return n >= 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

// Takes the registration lock of COM port: an open file's lock, so the system drops it when the
// generator ends in any way (even killed), and it conflicts within one process too.
int takeRegistration(int port, std::string* error) {
    const std::string path = QFile::encodeName(ComPortMap::registrationPath(port)).toStdString();
    // A generator that stops removes the file while it still holds the lock; a lock taken on the
    // file it removed is worth nothing, so the file is opened again until the lock sticks.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            *error = systemError(path);
            return -1;
        }
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
#ifdef F_OFD_SETLK
        const int cmd = F_OFD_SETLK;
#else
        const int cmd = F_SETLK;
#endif
        if (::fcntl(fd, cmd, &lock) != 0) {
            if (errno == EAGAIN || errno == EACCES) {
                const qint64 pid = ComPortMap::registeredBy(port);
                const std::string link =
                    linkTarget(QFile::encodeName(ComPortMap::linkPath(port)).toStdString());
                std::string who = "another orve1-sim";
                if (pid > 0)
                    who += " (pid " + std::to_string(pid) + (link.empty() ? "" : ", " + link) + ")";
                *error = "COM" + std::to_string(port) + " is already served by " + who +
                         "; stop it first or choose another --port";
            } else {
                *error = systemError("lock " + path);
            }
            ::close(fd);
            return -1;
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) != 0 || ::stat(path.c_str(), &named) != 0 ||
            held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
            ::close(fd);
            continue;
        }
        // Who holds it, for the refusal of the next one and for the port list.
        const std::string pid = std::to_string(::getpid()) + "\n";
        if (::ftruncate(fd, 0) != 0 ||
            ::pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
            *error = systemError("write " + path);
            ::close(fd);
            return -1;
        }
        return fd;
    }
    *error = path + " keeps changing; is another orve1-sim starting and stopping on COM" +
             std::to_string(port) + "?";
    return -1;
}

}  // namespace

bool PtyPort::open(std::string* error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        *error = systemError("grantpt/unlockpt");
        return false;
    }
    const char* name = ::ptsname(master_);
    if (name == nullptr) {
        *error = systemError("ptsname");
        return false;
    }
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        *error = systemError(slavePath_);
        return false;
    }
    termios tio{};
    if (::tcgetattr(slave_, &tio) != 0) {
        *error = systemError("tcgetattr");
        return false;
    }
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B19200);
    ::cfsetospeed(&tio, B19200);
    tio.c_cflag |= CLOCAL | CREAD;
    if (::tcsetattr(slave_, TCSANOW, &tio) != 0) {
        *error = systemError("tcsetattr");
        return false;
    }
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        *error = systemError("fcntl");
        return false;
    }
    return true;
}

bool PtyPort::publish(int port, std::string* error) {
    QString reason;
    if (!ComPortMap::ensureRuntimeDir(&reason)) {
        *error = reason.toStdString();
        return false;
    }
    const std::string link = QFile::encodeName(ComPortMap::linkPath(port)).toStdString();
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        *error = link + " exists and is not a link; not replacing it";
        return false;
    }
    // Registered first: from here on no other generator replaces the link, and one that held
    // it before has ended, so its link is stale.
    registration_ = takeRegistration(port, error);
    if (registration_ < 0)
        return false;
    registrationPath_ = QFile::encodeName(ComPortMap::registrationPath(port)).toStdString();
    // Made under a private name and renamed over, so the link is never missing or half made.
    const std::string temporary = link + ".new." + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(slavePath_.c_str(), temporary.c_str()) != 0) {
        *error = systemError("symlink " + temporary);
        releaseRegistration();
        return false;
    }
    if (::rename(temporary.c_str(), link.c_str()) != 0) {
        *error = systemError("rename to " + link);
        ::unlink(temporary.c_str());
        releaseRegistration();
        return false;
    }
    linkPath_ = link;
    return true;
}

void PtyPort::close() {
    if (!linkPath_.empty()) {
        // Checked all the same: a link changed by hand is not ours to remove.
        if (linkTarget(linkPath_) == slavePath_)
            ::unlink(linkPath_.c_str());
        linkPath_.clear();
    }
    releaseRegistration();
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
}

void PtyPort::allowReopen() {
    if (slave_ >= 0)
        ::ioctl(slave_, TIOCNXCL);
}

void PtyPort::releaseRegistration() {
    if (registration_ < 0)
        return;
    // Removed while still locked: a generator that opened it meanwhile finds its lock on a file
    // that is no longer there and tries the next one.
    ::unlink(registrationPath_.c_str());
    registrationPath_.clear();
    ::close(registration_);
    registration_ = -1;
}
