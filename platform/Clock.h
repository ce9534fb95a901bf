// Wall-clock time and local calendar time.
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

struct WallTime {
    std::int64_t seconds;        // since 1970-01-01 00:00:00 UTC
    std::uint32_t milliseconds;  // 0 to 999
};

WallTime Now();

struct LocalTime {
    int year;       // e.g. 2021
    int month;      // 1 to 12
    int day;        // 1 to 31
    int hour;       // 0 to 23
    int minute;     // 0 to 59
    int second;     // 0 to 60
    int dayOfYear;  // 0 to 365
};

// Broken-down local time of `seconds` since 1970; all fields 0 if it cannot be converted.
LocalTime ToLocalTime(std::int64_t seconds);

// The fields of a broken-down time of the C library.
LocalTime FromBrokenDown(const std::tm& broken);

// Monotonic nanoseconds, for measuring intervals.
std::int64_t MonotonicNanoseconds();

}  // namespace platform
