// Synchronisation objects: an auto-reset event, a counting semaphore, and short spins before a
// thread sleeps.
// Locks are std::recursive_mutex / std::mutex with std::lock_guard.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/spin.h"

namespace platform {

// Auto-reset event, initially not signalled: Signal wakes one waiter, or the next one to wait.
class AutoResetEvent {
  public:
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    // Takes no lock unless a waiter sleeps.
    void Signal();
    void Wait();
    // Waits at most `milliseconds`; true when signalled.
    bool WaitFor(int milliseconds);
    // Watches for a signal without sleeping for up to `spin` (paced by SpinPacer); true when it
    // took one. For a thread that handles bursts: waking a sleeping thread can cost tens of
    // microseconds.
    bool SpinWait(std::chrono::microseconds spin);

  private:
    bool TryTake();

    std::mutex mutex_;
    std::condition_variable condition_;
    std::atomic<bool> signalled_{false};
    // Waiters that may sleep on `condition_`; changed under `mutex_`.
    std::atomic<int> sleepers_{0};
};

// Locks `mutex`, trying without sleeping for up to `spin` (paced by SpinPacer) before it
// blocks.
template <typename Mutex>
void LockAfterSpinning(Mutex& mutex, std::chrono::microseconds spin) {
    SpinPacer pacer(spin);
    do {
        if (mutex.try_lock())
            return;
    } while (pacer.Next());
    mutex.lock();
}

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
