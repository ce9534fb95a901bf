// Process and thread identity, the executable's location, and idling.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

std::uint32_t ProcessId();
std::uint32_t CurrentThreadId();

// Full path of the running executable; empty when it cannot be read.
std::string ExecutablePath();

// Directory of the running executable, with its trailing separator.
std::string ExecutableDirectory();

// The working directory, as an absolute path (UTF-8); empty when it cannot be read.
std::string CurrentDirectory();

// Blocks the calling thread for good without using the processor.
[[noreturn]] void IdleForever();

void SleepMilliseconds(int milliseconds);

// Ends the process at once with exit code `code`: no destructors and no exit handlers run, and
// the other threads stop wherever they are. Whatever must reach a file is written before.
[[noreturn]] void ExitNow(int code);

// Value of an environment variable, or null.
const char* GetEnvironment(const char* name);

// The value of an environment variable as UTF-8 (on Windows read as wide characters, so that
// paths with any characters survive); empty when it is not set.
std::string EnvironmentText(const char* name);

// Sets an environment variable of this process (tests and tools); false on failure.
bool SetEnvironment(const char* name, const char* value);

}  // namespace platform
