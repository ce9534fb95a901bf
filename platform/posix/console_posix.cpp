#include <unistd.h>

#include <cstdio>

#include "platform/console.h"

namespace platform {

bool ConsoleAttached() {
    return ::isatty(STDOUT_FILENO) == 1;
}

bool WriteColored(int color, const char* text) {
    if (!ConsoleAttached())
        return false;
    // Console attributes (blue 1, green 2, red 4) to ANSI colour numbers (red 1, green 2, blue 4).
    int ansi = ((color & 1) ? 4 : 0) | (color & 2) | ((color & 4) ? 1 : 0);
    std::printf("\033[%dm%s\033[0m", 30 + ansi, text);
    std::fflush(stdout);
    return true;
}

}  // namespace platform
