#include "platform/Sync.h"

#include <chrono>

namespace platform {

bool AutoResetEvent::TryTake() {
    return signalled_.load(std::memory_order_relaxed) && signalled_.exchange(false);
}

bool AutoResetEvent::SpinWait(std::chrono::microseconds spin) {
    SpinPacer pacer(spin);
    do {
        if (TryTake())
            return true;
    } while (pacer.Next());
    return false;
}

}  // namespace platform
