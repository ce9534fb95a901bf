#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/Sync.h"

namespace platform {

struct AutoResetEvent::Sleep {
    std::mutex mutex;
    std::condition_variable condition;
};

AutoResetEvent::AutoResetEvent() : sleep_(new Sleep) {}
AutoResetEvent::~AutoResetEvent() = default;

// A waiter registers in `sleepers_` under the lock before it checks the flag, and Signal sets
// the flag before it reads `sleepers_` (both sequentially consistent): either the waiter sees
// the flag, or Signal sees the waiter and notifies it after taking the lock, which the waiter
// only gives up inside the condition wait.
void AutoResetEvent::Signal() {
    signalled_.store(true);
    if (sleepers_.load() == 0)
        return;
    { std::lock_guard<std::mutex> lock(sleep_->mutex); }
    sleep_->condition.notify_one();
}

void AutoResetEvent::Wait() {
    std::unique_lock<std::mutex> lock(sleep_->mutex);
    ++sleepers_;
    while (!TryTake())
        sleep_->condition.wait(lock);
    --sleepers_;
}

bool AutoResetEvent::WaitFor(int milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock<std::mutex> lock(sleep_->mutex);
    ++sleepers_;
    bool taken;
    while (!(taken = TryTake())) {
        if (sleep_->condition.wait_until(lock, deadline) == std::cv_status::timeout) {
            taken = TryTake();
            break;
        }
    }
    --sleepers_;
    return taken;
}

struct Semaphore::State {
    std::mutex mutex;
    std::condition_variable condition;
    int count = 0;
    int maximum = 0;
};

Semaphore::Semaphore(int maximum) : state_(new State) {
    state_->maximum = maximum;
}
Semaphore::~Semaphore() = default;

bool Semaphore::Post() {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->count >= state_->maximum)
            return false;
        ++state_->count;
    }
    state_->condition.notify_one();
    return true;
}

bool Semaphore::WaitFor(int milliseconds) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    if (!state_->condition.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                    [this] { return state_->count > 0; })) {
        return false;
    }
    --state_->count;
    return true;
}

}  // namespace platform
