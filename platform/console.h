// The console: whether one is attached, and coloured output on it.
#pragma once

#include <cstdio>

namespace platform {

// Console colour attributes: blue 1, green 2, red 4, combined by addition.
enum ConsoleColor : int {
    kColorGreen = 2,
    kColorCyan = 3,
    kColorRed = 4,
    kColorMagenta = 5,
    kColorYellow = 6,
};

// True when standard output is a terminal.
bool ConsoleAttached();

// Writes `text` to standard output in `color`, then restores the default colour.
// Returns false (and writes nothing) when no console is attached.
bool WriteColored(int color, const char* text);

}  // namespace platform
