#include <sched.h>

#include <cstring>

#include "platform/Processor.h"

namespace platform {

int CurrentProcessor() {
    return ::sched_getcpu();
}

ProcessorExclusion::~ProcessorExclusion() {
    Lift();
}

bool ProcessorExclusion::Avoid(int processor) {
    static_assert(sizeof(cpu_set_t) <= sizeof saved_, "room for a processor mask");
    if (active_ || processor < 0 || processor >= CPU_SETSIZE)
        return false;
    cpu_set_t processors;
    if (::sched_getaffinity(0, sizeof processors, &processors) != 0)
        return false;
    cpu_set_t others = processors;
    CPU_CLR(processor, &others);
    if (CPU_COUNT(&others) == 0 || ::sched_setaffinity(0, sizeof others, &others) != 0)
        return false;
    std::memcpy(saved_, &processors, sizeof processors);
    active_ = true;
    return true;
}

void ProcessorExclusion::Lift() {
    if (!active_)
        return;
    cpu_set_t processors;
    std::memcpy(&processors, saved_, sizeof processors);
    ::sched_setaffinity(0, sizeof processors, &processors);
    active_ = false;
}

}  // namespace platform
