// Synchronisation objects: an auto-reset event, a counting semaphore, and short spins before a
// thread sleeps.
// Locks are std::recursive_mutex / std::mutex with std::lock_guard.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

// One step of a spin loop: lets any other thread that is ready to run on this processor go
// first, which may be the thread the loop waits for.
void SpinPause();

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
    // Watches for a signal without sleeping for up to `spin`, then waits as Wait does. For a
    // thread that handles bursts: waking a sleeping thread can cost tens of microseconds.
    void SpinThenWait(std::chrono::microseconds spin);

  private:
    bool TryTake();

    std::mutex mutex_;
    std::condition_variable condition_;
    std::atomic<bool> signalled_{false};
    // Waiters that may sleep on `condition_`; changed under `mutex_`.
    std::atomic<int> sleepers_{0};
};

// Locks `mutex`, trying without sleeping for up to `spin` before it blocks.
template <typename Mutex>
void LockAfterSpinning(Mutex& mutex, std::chrono::microseconds spin) {
    const auto deadline = std::chrono::steady_clock::now() + spin;
    do {
        if (mutex.try_lock())
            return;
        SpinPause();
    } while (std::chrono::steady_clock::now() < deadline);
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
