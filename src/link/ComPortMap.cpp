#include "link/ComPortMap.h"

QString ComPortMap::linkPath(int n) {
    return runtimeDir() + QStringLiteral("/COM%1").arg(n);
}

QString ComPortMap::registrationPath(int n) {
    return linkPath(n) + QStringLiteral(".lock");
}
