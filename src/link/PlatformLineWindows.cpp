#include "link/PlatformLine.h"
#include "link/Win32SerialLine.h"

std::unique_ptr<SerialLine> PlatformLine::make() {
    return std::make_unique<Win32SerialLine>();
}
