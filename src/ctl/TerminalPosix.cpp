#include <unistd.h>

#include "ctl/Terminal.h"

bool Terminal::isTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}
