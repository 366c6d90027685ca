#include <io.h>
#include <windows.h>

#include "ctl/Terminal.h"

bool Terminal::isTerminal(std::FILE* stream) {
    // _isatty() also says yes for NUL and the other character devices; only a console has a
    // console mode.
    DWORD mode = 0;
    const auto h = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    return h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode) != 0;
}
