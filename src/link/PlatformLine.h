#pragma once

#include <memory>

#include "link/SerialLine.h"

// The serial line of the system the program runs on: Qt SerialPort on Linux
// (PlatformLinePosix.cpp), the Win32 serial API on Windows (PlatformLineWindows.cpp), where Qt's
// backend waits for line events that not every driver raises.
class PlatformLine {
public:
    static std::unique_ptr<SerialLine> make();
};
