// What the logging service needs from the outside world: the clock, the console and the log
// files.
// The default uses the real clock and standard output; tests substitute their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

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

    // Opens a log file for appending (created readable by its user only); null on failure.
    virtual std::FILE* OpenLogFile(const std::string& path);
    // Deletes an old log file; false when it cannot be deleted.
    virtual bool RemoveLogFile(const std::string& path);

    // The shared default environment.
    static LogEnvironment* Default();
};

}  // namespace qlog
