#include <windows.h>

#include "platform/CpuTime.h"

namespace platform {

namespace {

std::int64_t ToNanoseconds(const FILETIME& time) {
    return (static_cast<std::int64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime) * 100;
}

}  // namespace

std::int64_t ThreadCpuNanoseconds() {
    FILETIME created, ended, kernel, user;
    if (!::GetThreadTimes(::GetCurrentThread(), &created, &ended, &kernel, &user))
        return 0;
    return ToNanoseconds(kernel) + ToNanoseconds(user);
}

std::int64_t ProcessCpuNanoseconds() {
    FILETIME created, ended, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user))
        return 0;
    return ToNanoseconds(kernel) + ToNanoseconds(user);
}

}  // namespace platform
