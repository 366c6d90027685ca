#pragma once

#include <QString>
#include <QStringList>

// Which device COM n (1..8) opens on this machine (ComPortMapPosix.cpp, ComPortMapWindows.cpp).
// Windows: "COMn". Elsewhere the first that exists of: the link COMn in the per-user runtime
// directory (where the virtual generator registers itself), /dev/ttyUSB<n-1>, /dev/ttyS<n-1>.
class ComPortMap {
public:
    // $XDG_RUNTIME_DIR/orve1, or /tmp/orve1-<uid> when that variable is unset (Windows: orve1
    // in the temporary folder).
    static QString runtimeDir();
    // Creates the runtime directory with mode 0700 if needed; false (and a reason) on failure.
    static bool ensureRuntimeDir(QString* error = nullptr);
    // The runtime link that stands for COM n.
    static QString linkPath(int n);
    // The paths looked at for COM n, in the order tried.
    static QStringList candidates(int n);
    // The device COM n opens, or an empty text when none of the candidates exists.
    static QString device(int n);
    // The device as the system names it, links followed (/dev/pts/3; empty when it does not
    // exist); on Windows the name itself, since looking a COMn up as a file would open it.
    static QString systemPath(const QString& device);

    // The file whose lock a running virtual generator holds for as long as it serves COM n;
    // it also holds that generator's process id.
    static QString registrationPath(int n);
    // The process id of the running virtual generator that serves COM n: 0 when none does
    // (its link, if any, is stale), -1 when one does but its id cannot be read.
    static qint64 registeredBy(int n);
};
