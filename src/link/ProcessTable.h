#pragma once

#include <QList>
#include <QString>

// The running processes as /proc shows them: which hold a device open, which run a given
// program. Only what this user may see is found; processes of others are skipped quietly.
class ProcessTable {
public:
    struct Process {
        qint64 pid = 0;
        QString name;  // the program's file name, e.g. "minicom"
    };

    // procDir: the /proc folder; tests pass a folder laid out like it.
    explicit ProcessTable(QString procDir = QStringLiteral("/proc"));

    // Processes with an open file descriptor on systemPath (a path without links, such as
    // /dev/ttyUSB0 or /dev/pts/3), in pid order.
    QList<Process> holdersOf(const QString& systemPath) const;
    // Processes whose program is called name, in pid order.
    QList<Process> named(const QString& name) const;
    // The program's file name: the first word of its command line, else its kernel name.
    QString nameOf(qint64 pid) const;

private:
    QList<qint64> pids() const;

    QString procDir_;
};
