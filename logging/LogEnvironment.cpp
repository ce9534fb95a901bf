#include "logging/LogEnvironment.h"

#include "platform/Console.h"
#include "platform/FileSystem.h"

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

std::FILE* LogEnvironment::OpenLogFile(const std::string& path) {
    return platform::OpenFileForAppend(path);
}

bool LogEnvironment::RemoveLogFile(const std::string& path) {
    return platform::RemoveFile(path);
}

LogEnvironment* LogEnvironment::Default() {
    static LogEnvironment environment;
    return &environment;
}

}  // namespace qlog
