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
    LocalTime out{};
    time_t t = static_cast<time_t>(seconds);
    tm broken{};
    if (::localtime_r(&t, &broken) == nullptr)
        return out;
    out.year = broken.tm_year + 1900;
    out.month = broken.tm_mon + 1;
    out.day = broken.tm_mday;
    out.hour = broken.tm_hour;
    out.minute = broken.tm_min;
    out.second = broken.tm_sec;
    out.dayOfYear = broken.tm_yday;
    return out;
}

std::int64_t MonotonicNanoseconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace platform
