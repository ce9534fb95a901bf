#include <windows.h>

#include <ctime>

#include "platform/Clock.h"

namespace platform {

namespace {

// 100-nanosecond intervals from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochInFileTime = 116444736000000000LL;

}  // namespace

WallTime Now() {
    FILETIME fileTime{};
    ::GetSystemTimeAsFileTime(&fileTime);
    const std::int64_t ticks =
        (static_cast<std::int64_t>(fileTime.dwHighDateTime) << 32 | fileTime.dwLowDateTime) -
        kUnixEpochInFileTime;
    return WallTime{ticks / 10000000, static_cast<std::uint32_t>(ticks % 10000000 / 10000)};
}

LocalTime ToLocalTime(std::int64_t seconds) {
    const __time64_t t = static_cast<__time64_t>(seconds);
    std::tm broken{};
    if (::_localtime64_s(&broken, &t) != 0)
        return LocalTime{};
    return FromBrokenDown(broken);
}

std::int64_t MonotonicNanoseconds() {
    static const std::int64_t frequency = [] {
        LARGE_INTEGER f{};
        ::QueryPerformanceFrequency(&f);
        return static_cast<std::int64_t>(f.QuadPart);
    }();
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    const std::int64_t ticks = counter.QuadPart;
    return ticks / frequency * 1000000000 + ticks % frequency * 1000000000 / frequency;
}

}  // namespace platform
