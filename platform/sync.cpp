#include "platform/sync.h"

#include <chrono>

namespace platform {

void AutoResetEvent::Signal() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = true;
    }
    condition_.notify_one();
}

void AutoResetEvent::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    condition_.wait(lock, [this] { return signalled_; });
    signalled_ = false;
}

bool AutoResetEvent::WaitFor(int milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!condition_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                             [this] { return signalled_; })) {
        return false;
    }
    signalled_ = false;
    return true;
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
