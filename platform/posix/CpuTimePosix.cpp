#include <time.h>

#include "platform/CpuTime.h"

namespace platform {
namespace {

std::int64_t Read(clockid_t clock) {
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace

std::int64_t ThreadCpuNanoseconds() {
    return Read(CLOCK_THREAD_CPUTIME_ID);
}

std::int64_t ProcessCpuNanoseconds() {
    return Read(CLOCK_PROCESS_CPUTIME_ID);
}

}  // namespace platform
