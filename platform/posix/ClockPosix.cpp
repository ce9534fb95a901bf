#include <time.h>

#include "platform/Clock.h"

namespace platform {

WallTime Now() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return WallTime{static_cast<std::int64_t>(ts.tv_sec),
                    static_cast<std::uint32_t>(ts.tv_nsec / 1000000)};
}

LocalTime ToLocalTime(std::int64_t seconds) {
    time_t t = static_cast<time_t>(seconds);
    tm broken{};
    if (::localtime_r(&t, &broken) == nullptr)
        return LocalTime{};
    return FromBrokenDown(broken);
}

std::int64_t MonotonicNanoseconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace platform
