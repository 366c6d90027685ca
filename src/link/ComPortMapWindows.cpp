#include <QDir>

#include "link/ComPortMap.h"

// COM n is the system's own COMn: Windows names every serial port, USB adapters included, and
// Device Manager shows and changes the numbers. Nothing here touches the device: a port is
// opened only by the line.

// No virtual generator registers here: the folder is only named, for the same interface.
QString ComPortMap::runtimeDir() {
    return QDir::tempPath() + QStringLiteral("/orve1");
}

bool ComPortMap::ensureRuntimeDir(QString* error) {
    const QString dir = runtimeDir();
    if (QDir().mkpath(dir))
        return true;
    if (error)
        *error = QStringLiteral("cannot create %1").arg(dir);
    return false;
}

QStringList ComPortMap::candidates(int n) {
    return {device(n)};
}

QString ComPortMap::device(int n) {
    return QStringLiteral("COM%1").arg(n);
}

QString ComPortMap::systemPath(const QString& device) {
    return device;
}

qint64 ComPortMap::registeredBy(int n) {
    Q_UNUSED(n);
    return 0;
}
