// Processor time used so far, for benchmarks that must not depend on machine load.
#pragma once

#include <cstdint>

namespace platform {

// Processor time of the calling thread, in nanoseconds.
std::int64_t ThreadCpuNanoseconds();

// Processor time of the whole process (every thread), in nanoseconds.
std::int64_t ProcessCpuNanoseconds();

}  // namespace platform
