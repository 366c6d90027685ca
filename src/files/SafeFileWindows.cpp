#include <windows.h>

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <string>

#include "files/SafeFile.h"
#include "platform/WindowsError.h"

namespace {

std::wstring nativeName(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

bool fail(QString& error, const QString& path, const QString& why) {
    error = QStringLiteral("%1: %2").arg(path, why);
    return false;
}

bool failWith(QString& error, const QString& path, DWORD code) {
    return fail(error, path, WindowsError::text(code));
}

// Closes the handle when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid())
            ::CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    // False with the system's error set when closing reports a failure.
    bool close() {
        const BOOL ok = ::CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        return ok != 0;
    }

private:
    HANDLE h_;
};

// Names such as NUL, CON or COM1 are devices in every folder; the system turns them into
// \\.\NAME. They are never opened as files: a serial port would be taken, a console waited on.
bool isDevice(const std::wstring& name) {
    wchar_t full[MAX_PATH * 2];
    const DWORD n = ::GetFullPathNameW(name.c_str(), MAX_PATH * 2, full, nullptr);
    return n > 0 && n < MAX_PATH * 2 && std::wstring(full, n).rfind(L"\\\\.\\", 0) == 0;
}

bool isFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Writes all of data at the file's position, or at *offset (advanced) when one is given.
bool writeAll(HANDLE h, const char* data, qint64 size, qint64* offset = nullptr) {
    qint64 done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(qMin<qint64>(size - done, 1 << 30));
        DWORD n = 0;
        OVERLAPPED at{};
        if (offset) {
            at.Offset = static_cast<DWORD>(*offset + done);
            at.OffsetHigh = static_cast<DWORD>((*offset + done) >> 32);
        }
        if (!::WriteFile(h, data + done, chunk, &n, offset ? &at : nullptr))
            return false;
        if (n == 0) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        done += n;
    }
    if (offset)
        *offset += done;
    return true;
}

bool cutAt(HANDLE h, qint64 size) {
    LARGE_INTEGER at;
    at.QuadPart = size;
    return ::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(h);
}

// A file beside target, new, that the caller fills and then moves into place or removes.
class TempFile {
public:
    explicit TempFile(const QString& target) {
        const QFileInfo info(target);
        const QString stem = info.absolutePath() + QStringLiteral("/.") + info.fileName();
        for (int attempt = 0; attempt < 100; ++attempt) {
            name_ =
                nativeName(stem + QStringLiteral(".%1").arg(QRandomGenerator::global()->generate(),
                                                            8, 16, QLatin1Char('0')));
            h_ = ::CreateFileW(name_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h_ != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
                break;
        }
        if (h_ == INVALID_HANDLE_VALUE) {
            const DWORD e = ::GetLastError();
            name_.clear();
            ::SetLastError(e);
        }
    }
    ~TempFile() {
        if (h_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(h_);
        if (!name_.empty())
            ::DeleteFileW(name_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool valid() const { return !name_.empty(); }
    const std::wstring& name() const { return name_; }
    // Filled, on the disk and closed; false with the system's error set.
    bool fill(const QByteArray& bytes) {
        if (!writeAll(h_, bytes.constData(), bytes.size()) || !::FlushFileBuffers(h_))
            return false;
        const BOOL ok = ::CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        return ok != 0;
    }
    // The file is in place under another name: nothing to remove any more.
    void keep() { name_.clear(); }

private:
    std::wstring name_;
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

// Writes bytes into the file itself, from offset 0, and cuts it to their length. The file is
// grown first where it must grow, so that a full disk fails before any byte changes.
bool writeInPlace(HANDLE h, const QByteArray& bytes) {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(h, &size))
        return false;
    if (bytes.size() > size.QuadPart && !cutAt(h, bytes.size()))
        return false;
    LARGE_INTEGER start{};
    return ::SetFilePointerEx(h, start, nullptr, FILE_BEGIN) &&
           writeAll(h, bytes.constData(), bytes.size()) && cutAt(h, bytes.size()) &&
           ::FlushFileBuffers(h);
}

}  // namespace

bool SafeFile::readRegular(const QString& path, qint64 maxBytes, QByteArray& out, QString& error) {
    const std::wstring name = nativeName(path);
    if (isFolder(::GetFileAttributesW(name.c_str())))
        return fail(error, path, QStringLiteral("is a folder"));
    if (isDevice(name))
        return fail(error, path, QStringLiteral("not a regular file"));
    Handle f(::CreateFileW(name.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid())
        return failWith(error, path, ::GetLastError());
    // A pipe or a device reached some other way is refused before anything is read from it.
    if (::GetFileType(f.get()) != FILE_TYPE_DISK)
        return fail(error, path, QStringLiteral("not a regular file"));
    QByteArray bytes(static_cast<qsizetype>(maxBytes), Qt::Uninitialized);
    qint64 got = 0;
    while (got < maxBytes) {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(qMin<qint64>(maxBytes - got, 1 << 30));
        if (!::ReadFile(f.get(), bytes.data() + got, chunk, &n, nullptr))
            return failWith(error, path, ::GetLastError());
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(static_cast<qsizetype>(got));
    out = bytes;
    return true;
}

bool SafeFile::replace(const QString& path, const QByteArray& bytes, QString& error) {
    // A link is followed, so that the file it names is replaced, not the link.
    const QFileInfo info(path);
    const QString target = info.isSymbolicLink() && info.exists() ? info.canonicalFilePath() : path;
    const std::wstring name = nativeName(target);
    if (isDevice(name))
        return fail(error, path, QStringLiteral("not a regular file"));

    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return failWith(error, path, ::GetLastError());
    DWORD links = 1;
    if (exists) {
        if (isFolder(attributes))
            return fail(error, path, QStringLiteral("is a folder"));
        // A file the operator may not write is refused, even where its folder would let it be
        // replaced.
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return failWith(error, path, ERROR_ACCESS_DENIED);
        Handle probe(::CreateFileW(name.c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.valid())
            return failWith(error, path, ::GetLastError());
        if (::GetFileType(probe.get()) != FILE_TYPE_DISK)
            return fail(error, path, QStringLiteral("not a regular file"));
        BY_HANDLE_FILE_INFORMATION facts{};
        if (::GetFileInformationByHandle(probe.get(), &facts))
            links = facts.nNumberOfLinks;
    }

    auto inPlace = [&] {
        Handle f(::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!f.valid())
            return failWith(error, path, ::GetLastError());
        const bool written = writeInPlace(f.get(), bytes);
        const DWORD e = ::GetLastError();
        if (!written)
            return failWith(error, path, e);
        return f.close() ? true : failWith(error, path, ::GetLastError());
    };
    // Another name for the same file would keep the old content after a replace.
    if (links > 1)
        return inPlace();

    TempFile temp(target);
    if (!temp.valid()) {
        const DWORD e = ::GetLastError();
        if (exists && e == ERROR_ACCESS_DENIED)
            return inPlace();
        return failWith(error, path, e);
    }
    if (!temp.fill(bytes))
        return failWith(error, path, ::GetLastError());

    if (!exists) {
        // Without MOVEFILE_REPLACE_EXISTING: a file that appeared meanwhile is not overwritten.
        if (!::MoveFileExW(temp.name().c_str(), name.c_str(), MOVEFILE_WRITE_THROUGH))
            return failWith(error, path, ::GetLastError());
        temp.keep();
        return true;
    }
    // The old file goes to a backup name for the moment of the swap, so that every way the swap
    // can fail leaves one complete file under the operator's name.
    const std::wstring backup = temp.name() + L".old";
    if (!::ReplaceFileW(name.c_str(), temp.name().c_str(), backup.c_str(), 0, nullptr, nullptr)) {
        const DWORD e = ::GetLastError();
        if (e == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            ::MoveFileExW(backup.c_str(), name.c_str(), MOVEFILE_WRITE_THROUGH);
        // The old file's security or streams could not be carried over, or it may not be
        // removed (held open by another program): it is written instead of replaced.
        if (e == ERROR_UNABLE_TO_REMOVE_REPLACED || e == ERROR_ACCESS_DENIED)
            return inPlace();
        return failWith(error, path, e);
    }
    temp.keep();
    ::DeleteFileW(backup.c_str());
    return true;
}

bool SafeFile::createNew(const QString& path, const QByteArray& bytes, QString& error) {
    const std::wstring name = nativeName(path);
    if (::GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES || isDevice(name))
        return failWith(error, path, ERROR_FILE_EXISTS);
    TempFile temp(path);
    if (!temp.valid() || !temp.fill(bytes))
        return failWith(error, path, ::GetLastError());
    // Never over an existing file, whatever appeared meanwhile: no MOVEFILE_REPLACE_EXISTING.
    if (!::MoveFileExW(temp.name().c_str(), name.c_str(), MOVEFILE_WRITE_THROUGH))
        return failWith(error, path, ::GetLastError());
    temp.keep();
    return true;
}

bool SafeFile::appendRecord(const QString& path, const QByteArray& header, const QByteArray& record,
                            QString& error) {
    const std::wstring name = nativeName(path);
    if (isFolder(::GetFileAttributesW(name.c_str())))
        return fail(error, path, QStringLiteral("is a folder"));
    if (isDevice(name))
        return fail(error, path, QStringLiteral("not a regular file"));
    Handle f(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid())
        return failWith(error, path, ::GetLastError());
    if (::GetFileType(f.get()) != FILE_TYPE_DISK)
        return fail(error, path, QStringLiteral("not a regular file"));

    // Windows' locks keep others from reading what they cover; the lock is taken on one byte
    // far past any real end, which every appender asks for and no reader touches.
    OVERLAPPED lockAt{};
    lockAt.OffsetHigh = 0x7fffffff;
    if (!::LockFileEx(f.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockAt))
        return failWith(error, path, ::GetLastError());
    auto done = [&](bool ok, DWORD e) {
        ::UnlockFileEx(f.get(), 0, 1, 0, &lockAt);
        return ok ? true : failWith(error, path, e);
    };
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(f.get(), &size))
        return done(false, ::GetLastError());

    QByteArray bytes;
    if (size.QuadPart == 0) {
        bytes = header;
    } else {
        // A log cut short by a crash elsewhere ends in half a line: ours starts on a line of its
        // own.
        char last = '\n';
        DWORD n = 0;
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(size.QuadPart - 1);
        at.OffsetHigh = static_cast<DWORD>((size.QuadPart - 1) >> 32);
        if (!::ReadFile(f.get(), &last, 1, &n, &at) || n != 1)
            return done(false, ::GetLastError());
        if (last != '\n')
            bytes = "\n";
    }
    bytes += record;
    qint64 offset = size.QuadPart;
    if (!writeAll(f.get(), bytes.constData(), bytes.size(), &offset) ||
        !::FlushFileBuffers(f.get())) {
        const DWORD e = ::GetLastError();
        if (cutAt(f.get(), size.QuadPart))
            ::FlushFileBuffers(f.get());
        return done(false, e);
    }
    return done(true, 0);
}
