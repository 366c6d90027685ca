#pragma once

#include <functional>

class AppWindows;

// What orve1 does from main() on: its options, the display check, the link before any window,
// the windows, and the event loop until the main window closes.
class ApplicationMain {
public:
    // afterShow runs once the main window has been shown; tools that stage windows for pictures
    // and benchmarks hook in there. The program's exit status.
    static int run(int argc, char* argv[], const std::function<void(AppWindows&)>& afterShow = {});
};
