// Synchronisation objects: an auto-reset event and a counting semaphore.
// Locks are std::recursive_mutex / std::mutex with std::lock_guard.
#pragma once

#include <condition_variable>
#include <mutex>

namespace platform {

// Auto-reset event, initially not signalled: Signal wakes one waiter, or the next one to wait.
class AutoResetEvent {
  public:
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void Signal();
    void Wait();
    // Waits at most `milliseconds`; true when signalled.
    bool WaitFor(int milliseconds);

  private:
    std::mutex mutex_;
    std::condition_variable condition_;
    bool signalled_ = false;
};

// Counting semaphore with a maximum count.
class Semaphore {
  public:
    explicit Semaphore(int maximum) : maximum_(maximum) {}
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    // Adds one count unless the maximum is reached; false then.
    bool Post();
    // Waits at most `milliseconds` for a count and takes it; true when taken.
    bool WaitFor(int milliseconds);

  private:
    std::mutex mutex_;
    std::condition_variable condition_;
    int count_ = 0;
    int maximum_;
};

}  // namespace platform
