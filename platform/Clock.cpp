// The parts of the clock that are the same on every system.
#include "platform/Clock.h"

namespace platform {

LocalTime FromBrokenDown(const std::tm& broken) {
    LocalTime out{};
    out.year = broken.tm_year + 1900;
    out.month = broken.tm_mon + 1;
    out.day = broken.tm_mday;
    out.hour = broken.tm_hour;
    out.minute = broken.tm_min;
    out.second = broken.tm_sec;
    out.dayOfYear = broken.tm_yday;
    return out;
}

}  // namespace platform
