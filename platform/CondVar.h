// A condition variable bound to one platform::Mutex. Wait and WaitUntil expect the mutex held:
// a wait releases it, sleeps until a signal (or now and then without one), and takes it again,
// so callers wait in a loop on the guarded state they need. Signal and SignalAll need not hold
// it; signalling after the release spares the woken thread a wait for the mutex.
//
//   platform::Mutex mutex;
//   platform::CondVar ready(&mutex);
//   std::deque<Job> jobs GUARDED_BY(mutex);
//   { platform::MutexLock hold(mutex); while (jobs.empty()) ready.Wait(); ... }   // consumer
//   { platform::MutexLock hold(mutex); jobs.push_back(job); } ready.Signal();      // producer
//
// The loop's condition reads the guarded state, so the thread-safety analysis sees a wait
// without the mutex there.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/Mutex.h"

namespace platform {

class CondVar {
  public:
    explicit CondVar(Mutex* mutex) : mutex_(mutex) {}
    CondVar(const CondVar&) = delete;
    CondVar& operator=(const CondVar&) = delete;

    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_->native_, std::adopt_lock);
        condition_.wait(lock);
        lock.release();
    }
    // False once `deadline` has passed.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock<std::mutex> lock(mutex_->native_, std::adopt_lock);
        const bool signalled = condition_.wait_until(lock, deadline) == std::cv_status::no_timeout;
        lock.release();
        return signalled;
    }

    // Wakes one waiter; all waiters.
    void Signal() { condition_.notify_one(); }
    void SignalAll() { condition_.notify_all(); }

  private:
    Mutex* const mutex_;
    std::condition_variable condition_;
};

}  // namespace platform
