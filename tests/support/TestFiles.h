#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include "edid/EdidImage.h"

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

// Small file chores the tests share.
inline QByteArray bytesOf(const EdidImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), int(image.size()));
}

// The file's bytes; "<unreadable>" when it cannot be opened.
inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

// A name in dir that is no regular file and that a careless read would wait on for ever: a FIFO
// without a writer (made here), or on Windows the console, a device in every folder.
inline QString blockingNonFile(const QString& dir) {
#ifdef Q_OS_WIN
    return dir + QStringLiteral("/CON");
#else
    const QString fifo = dir + QStringLiteral("/fifo");
    ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
    return fifo;
#endif
}

// A device that reads without end (POSIX), or the null device.
inline QString deviceFile() {
#ifdef Q_OS_WIN
    return QStringLiteral("NUL");
#else
    return QStringLiteral("/dev/zero");
#endif
}
