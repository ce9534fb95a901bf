#include "platform/sync.h"

#include <chrono>

namespace platform {

// A waiter registers in `sleepers_` under the lock before it checks the flag, and Signal sets
// the flag before it reads `sleepers_` (both sequentially consistent): either the waiter sees
// the flag, or Signal sees the waiter and notifies it after taking the lock, which the waiter
// only gives up inside the condition wait.
void AutoResetEvent::Signal() {
    signalled_.store(true);
    if (sleepers_.load() == 0)
        return;
    { std::lock_guard<std::mutex> lock(mutex_); }
    condition_.notify_one();
}

bool AutoResetEvent::TryTake() {
    return signalled_.load(std::memory_order_relaxed) && signalled_.exchange(false);
}

void AutoResetEvent::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++sleepers_;
    while (!TryTake())
        condition_.wait(lock);
    --sleepers_;
}

bool AutoResetEvent::WaitFor(int milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock<std::mutex> lock(mutex_);
    ++sleepers_;
    bool taken;
    while (!(taken = TryTake())) {
        if (condition_.wait_until(lock, deadline) == std::cv_status::timeout) {
            taken = TryTake();
            break;
        }
    }
    --sleepers_;
    return taken;
}

bool AutoResetEvent::SpinWait(std::chrono::microseconds spin) {
    SpinPacer pacer(spin);
    do {
        if (TryTake())
            return true;
    } while (pacer.Next());
    return false;
}

bool Semaphore::Post() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (count_ >= maximum_)
            return false;
        ++count_;
    }
    condition_.notify_one();
    return true;
}

bool Semaphore::WaitFor(int milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!condition_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                             [this] { return count_ > 0; })) {
        return false;
    }
    --count_;
    return true;
}

}  // namespace platform
