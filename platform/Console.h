// The console: whether one is attached, and output on standard output that never blocks.
#pragma once

#include <cstddef>

namespace platform {

// Console colour attributes: blue 1, green 2, red 4, combined by addition.
enum ConsoleColor : int {
    kColorGreen = 2,
    kColorCyan = 3,
    kColorRed = 4,
    kColorMagenta = 5,
    kColorYellow = 6,
};

// What became of a text written to standard output.
enum class ConsoleWrite {
    kDone,         // taken whole (possibly finished later, see below)
    kWouldBlock,   // nothing taken: the output is not being read fast enough
    kUnavailable,  // nothing taken: no console, or the output is closed or failing
};

// True when standard output is a console (a terminal).
bool ConsoleAttached();

// The two writers below never block. A text is taken whole or not at all: when the output
// takes only part of it, the rest is kept and written first by the next call, which reports
// kWouldBlock for its own text while that rest still does not fit.

// Writes `text` in `color`, then restores the default colour. kUnavailable without a console.
ConsoleWrite WriteColored(int color, const char* text);

// Writes `length` bytes to standard output unchanged, whatever it is (console, pipe, file).
ConsoleWrite WriteStandardOutput(const char* data, std::size_t length);

}  // namespace platform
