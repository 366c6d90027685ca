#pragma once

#include <cstdio>

// Whether a stream goes to a terminal that redraws a line on a carriage return (TerminalPosix.cpp,
// TerminalWindows.cpp): there the progress is a bar, elsewhere (a pipe, a file, a log) lines.
class Terminal {
public:
    static bool isTerminal(std::FILE* stream);
};
