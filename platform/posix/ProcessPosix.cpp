#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/Process.h"

namespace platform {

std::uint32_t ProcessId() {
    return static_cast<std::uint32_t>(::getpid());
}

std::uint32_t CurrentThreadId() {
    return static_cast<std::uint32_t>(::syscall(SYS_gettid));
}

std::string ExecutablePath() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return std::string();
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string ExecutableDirectory() {
    std::string path = ExecutablePath();
    std::size_t cut = path.find_last_of('/');
    if (cut == std::string::npos)
        return std::string();
    return path.substr(0, cut + 1);
}

std::string CurrentDirectory() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() >= (1u << 20))
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

void IdleForever() {
    for (;;)
        ::pause();
}

void SleepMilliseconds(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void ExitNow(int code) {
    ::_exit(code);
}

const char* GetEnvironment(const char* name) {
    return std::getenv(name);
}

bool SetEnvironment(const char* name, const char* value) {
    return ::setenv(name, value, 1) == 0;
}

std::string EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace platform
