// What the logging service needs from the outside world: the clock and the console.
// The default uses the real clock and standard output; tests substitute their own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/clock.h"

namespace qlog {

class LogEnvironment {
  public:
    virtual ~LogEnvironment() = default;

    virtual platform::WallTime Now();
    virtual platform::LocalTime ToLocalTime(std::int64_t seconds);
    // True when standard output is a console.
    virtual bool ConsoleAttached();
    // Writes `text` in colour `color` to the console.
    virtual void WriteColored(int color, const char* text);
    // Writes `length` bytes to standard output unchanged.
    virtual void WritePlain(const char* text, std::size_t length);
    virtual void FlushPlain();

    // The shared default environment.
    static LogEnvironment* Default();
};

}  // namespace qlog
