#include <windows.h>

#include <cstring>

#include "platform/Processor.h"

namespace platform {

int CurrentProcessor() {
    return static_cast<int>(::GetCurrentProcessorNumber());
}

ProcessorExclusion::~ProcessorExclusion() {
    Lift();
}

bool ProcessorExclusion::Avoid(int processor) {
    static_assert(sizeof(DWORD_PTR) <= sizeof saved_, "room for a processor mask");
    constexpr int kMaskBits = static_cast<int>(sizeof(DWORD_PTR) * 8);
    if (active_ || processor < 0 || processor >= kMaskBits)
        return false;
    DWORD_PTR processMask = 0, systemMask = 0;
    if (!::GetProcessAffinityMask(::GetCurrentProcess(), &processMask, &systemMask))
        return false;
    // The thread's own mask is only returned by setting one: set the others, keep the old one.
    const DWORD_PTR others = processMask & ~(static_cast<DWORD_PTR>(1) << processor);
    if (others == 0)
        return false;
    const DWORD_PTR previous = ::SetThreadAffinityMask(::GetCurrentThread(), others);
    if (previous == 0)
        return false;
    if ((previous & others) == 0) {
        ::SetThreadAffinityMask(::GetCurrentThread(), previous);
        return false;
    }
    std::memcpy(saved_, &previous, sizeof previous);
    active_ = true;
    return true;
}

void ProcessorExclusion::Lift() {
    if (!active_)
        return;
    DWORD_PTR previous;
    std::memcpy(&previous, saved_, sizeof previous);
    ::SetThreadAffinityMask(::GetCurrentThread(), previous);
    active_ = false;
}

}  // namespace platform
