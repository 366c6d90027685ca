#include "link/ProcessTable.h"

#include <dirent.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <utility>

namespace {

QByteArray readSmall(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(4096);
}

}  // namespace

ProcessTable::ProcessTable(QString procDir) : procDir_(std::move(procDir)) {}

QList<qint64> ProcessTable::pids() const {
    QList<qint64> out;
    const QStringList entries = QDir(procDir_).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& e : entries) {
        bool ok = false;
        const qint64 pid = e.toLongLong(&ok);
        if (ok && pid > 0)
            out << pid;
    }
    std::sort(out.begin(), out.end());
    return out;
}

QList<ProcessTable::Process> ProcessTable::holdersOf(const QString& systemPath) const {
    QList<Process> out;
    const QByteArray wanted = QFile::encodeName(systemPath);
    for (qint64 pid : pids()) {
        const QByteArray fdDir =
            QFile::encodeName(QStringLiteral("%1/%2/fd").arg(procDir_).arg(pid));
        // Unreadable for processes of other users: they are skipped.
        DIR* dir = ::opendir(fdDir.constData());
        if (!dir)
            continue;
        bool holds = false;
        while (const dirent* e = ::readdir(dir)) {
            if (e->d_name[0] == '.')
                continue;
            char target[4096];
            const QByteArray link = fdDir + '/' + e->d_name;
            const ssize_t n = ::readlink(link.constData(), target, sizeof target);
            if (n > 0 && QByteArray(target, static_cast<int>(n)) == wanted) {
                holds = true;
                break;
            }
        }
        ::closedir(dir);
        if (holds)
            out << Process{pid, nameOf(pid)};
    }
    return out;
}

QList<ProcessTable::Process> ProcessTable::named(const QString& name) const {
    QList<Process> out;
    for (qint64 pid : pids()) {
        // The kernel's name is cut to 15 bytes; a longer program name is compared whole below.
        const QString comm = QString::fromLocal8Bit(
            readSmall(QStringLiteral("%1/%2/comm").arg(procDir_).arg(pid)).trimmed());
        if (comm.isEmpty())
            continue;
        if (comm == name || (comm.size() == 15 && name.startsWith(comm) && nameOf(pid) == name))
            out << Process{pid, name};
    }
    return out;
}

QString ProcessTable::nameOf(qint64 pid) const {
    const QString base = QStringLiteral("%1/%2/").arg(procDir_).arg(pid);
    const QByteArray cmdline = readSmall(base + QStringLiteral("cmdline"));
    const QByteArray first = cmdline.left(cmdline.indexOf('\0'));
    if (!first.isEmpty())
        return QFileInfo(QString::fromLocal8Bit(first)).fileName();
    return QString::fromLocal8Bit(readSmall(base + QStringLiteral("comm")).trimmed());
}
