#pragma once

#include <QString>

// Which device COM n (1..8) opens on this machine.
// Windows: "COMn". Elsewhere the first that exists of: the link COMn in the per-user runtime
// directory (where the virtual generator registers itself), /dev/ttyUSB<n-1>, /dev/ttyS<n-1>.
class ComPortMap {
public:
    // $XDG_RUNTIME_DIR/orve1, or /tmp/orve1-<uid> when that variable is unset.
    static QString runtimeDir();
    // Creates the runtime directory with mode 0700 if needed; false (and a reason) on failure.
    static bool ensureRuntimeDir(QString* error = nullptr);
    // The runtime link that stands for COM n.
    static QString linkPath(int n);
    // The device COM n opens, or an empty text when none of the candidates exists.
    static QString device(int n);
};
