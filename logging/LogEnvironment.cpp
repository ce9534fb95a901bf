#include "logging/LogEnvironment.h"

#include <cstdio>

#include "platform/console.h"

namespace qlog {

platform::WallTime LogEnvironment::Now() {
    return platform::Now();
}

platform::LocalTime LogEnvironment::ToLocalTime(std::int64_t seconds) {
    return platform::ToLocalTime(seconds);
}

bool LogEnvironment::ConsoleAttached() {
    return platform::ConsoleAttached();
}

void LogEnvironment::WriteColored(int color, const char* text) {
    platform::WriteColored(color, text);
}

void LogEnvironment::WritePlain(const char* text, std::size_t length) {
    std::fwrite(text, 1, length, stdout);
}

void LogEnvironment::FlushPlain() {
    std::fflush(stdout);
}

LogEnvironment* LogEnvironment::Default() {
    static LogEnvironment environment;
    return &environment;
}

}  // namespace qlog
