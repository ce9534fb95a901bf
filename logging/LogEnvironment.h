// What the logging service needs from the outside world: the clock and the console.
// The default uses the real clock and standard output; tests substitute their own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Clock.h"
#include "platform/Console.h"

namespace qlog {

class LogEnvironment {
  public:
    virtual ~LogEnvironment() = default;

    virtual platform::WallTime Now();
    virtual platform::LocalTime ToLocalTime(std::int64_t seconds);
    // True when standard output is a console.
    virtual bool ConsoleAttached();
    // Writes `text` in colour `color` to the console, without blocking.
    virtual platform::ConsoleWrite WriteColored(int color, const char* text);
    // Writes `length` bytes to standard output unchanged, without blocking.
    virtual platform::ConsoleWrite WritePlain(const char* text, std::size_t length);

    // The shared default environment.
    static LogEnvironment* Default();
};

}  // namespace qlog
