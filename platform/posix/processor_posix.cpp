#include <sched.h>

#include <memory>

#include "platform/processor.h"

namespace platform {

int CurrentProcessor() {
    return ::sched_getcpu();
}

struct ProcessorExclusion::Saved {
    cpu_set_t processors;
};

ProcessorExclusion::ProcessorExclusion() = default;

ProcessorExclusion::~ProcessorExclusion() {
    Lift();
}

bool ProcessorExclusion::Avoid(int processor) {
    if (active_ || processor < 0 || processor >= CPU_SETSIZE)
        return false;
    if (!saved_)
        saved_ = std::make_unique<Saved>();
    if (::sched_getaffinity(0, sizeof saved_->processors, &saved_->processors) != 0)
        return false;
    cpu_set_t others = saved_->processors;
    CPU_CLR(processor, &others);
    if (CPU_COUNT(&others) == 0 || ::sched_setaffinity(0, sizeof others, &others) != 0)
        return false;
    active_ = true;
    return true;
}

void ProcessorExclusion::Lift() {
    if (!active_)
        return;
    ::sched_setaffinity(0, sizeof saved_->processors, &saved_->processors);
    active_ = false;
}

}  // namespace platform
