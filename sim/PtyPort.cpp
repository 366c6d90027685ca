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
    // Made under a private name and renamed over, so the link is never missing or half made.
    const std::string temporary = link + ".new." + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(slavePath_.c_str(), temporary.c_str()) != 0) {
        *error = systemError("symlink " + temporary);
        return false;
    }
    if (::rename(temporary.c_str(), link.c_str()) != 0) {
        *error = systemError("rename to " + link);
        ::unlink(temporary.c_str());
        return false;
    }
    linkPath_ = link;
    return true;
}

void PtyPort::close() {
    if (!linkPath_.empty()) {
        // Another generator may have taken the port over since; its link stays.
        char target[256];
        const ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<size_t>(n)) == slavePath_)
            ::unlink(linkPath_.c_str());
        linkPath_.clear();
    }
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
