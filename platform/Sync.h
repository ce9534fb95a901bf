// Synchronisation objects: an auto-reset event, a counting semaphore, and short spins before a
// thread sleeps.
// Waiting is done by the system's own objects (condition variables on POSIX, event and
// semaphore objects on Windows); the spins are the same everywhere.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>

#include "platform/Spin.h"

namespace platform {

// Auto-reset event, initially not signalled: Signal wakes one waiter, or the next one to wait.
class AutoResetEvent {
  public:
    AutoResetEvent();
    ~AutoResetEvent();
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
    struct Sleep;  // how waiters sleep: a condition variable, or a Win32 event object

    bool TryTake();

    std::atomic<bool> signalled_{false};
    // Waiters that may sleep; a signal wakes one only when there is one.
    std::atomic<int> sleepers_{0};
    std::unique_ptr<Sleep> sleep_;
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

// Counting semaphore with a maximum count, initially 0.
class Semaphore {
  public:
    explicit Semaphore(int maximum);
    ~Semaphore();
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    // Adds one count unless the maximum is reached; false then.
    bool Post();
    // Waits at most `milliseconds` for a count and takes it; true when taken.
    bool WaitFor(int milliseconds);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
