#include "logging/LogEnvironment.h"

#include "platform/Console.h"

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

platform::ConsoleWrite LogEnvironment::WriteColored(int color, const char* text) {
    return platform::WriteColored(color, text);
}

platform::ConsoleWrite LogEnvironment::WritePlain(const char* text, std::size_t length) {
    return platform::WriteStandardOutput(text, length);
}

LogEnvironment* LogEnvironment::Default() {
    static LogEnvironment environment;
    return &environment;
}

}  // namespace qlog
