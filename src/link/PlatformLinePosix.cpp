#include "link/PlatformLine.h"
#include "link/QtSerialLine.h"

std::unique_ptr<SerialLine> PlatformLine::make() {
    return std::make_unique<QtSerialLine>();
}
