// The one lock of the project, known to the compiler's thread-safety analysis, and a guard that
// holds it for a scope. platform/CondVar.h waits on it.
//
//   platform::Mutex lock;
//   int count GUARDED_BY(lock) = 0;
//   { platform::MutexLock hold(lock); ++count; }
#pragma once

#include <chrono>
#include <mutex>

#include "platform/Sync.h"
#include "platform/ThreadAnnotations.h"

namespace platform {

class CAPABILITY("mutex") Mutex {
  public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void Lock() ACQUIRE() { native_.lock(); }
    void Unlock() RELEASE() { native_.unlock(); }
    bool TryLock() TRY_ACQUIRE(true) { return native_.try_lock(); }
    // Tries without sleeping for up to `spin` (paced by SpinPacer) before it blocks.
    void LockAfterSpinning(std::chrono::microseconds spin) ACQUIRE() NO_THREAD_SAFETY_ANALYSIS {
        platform::LockAfterSpinning(native_, spin);
    }
    // States, for the thread-safety analysis, that the calling thread holds this mutex: for
    // code that runs with it held but is called from where the analysis cannot see that (a
    // callback). Checks nothing at run time.
    void AssertHeld() const ASSERT_CAPABILITY(this) {}

  private:
    friend class CondVar;
    std::mutex native_;
};

// Holds a mutex from construction to destruction; Unlock and Lock let it go for a stretch in
// between.
class SCOPED_CAPABILITY MutexLock {
  public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.Lock(); }
    // Takes over a mutex that the caller already holds.
    MutexLock(Mutex& mutex, std::adopt_lock_t) REQUIRES(mutex) : mutex_(mutex) {}
    ~MutexLock() RELEASE() {
        if (held_)
            mutex_.Unlock();
    }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    void Unlock() RELEASE() {
        held_ = false;
        mutex_.Unlock();
    }
    void Lock() ACQUIRE() {
        mutex_.Lock();
        held_ = true;
    }

  private:
    Mutex& mutex_;
    bool held_ = true;
};

}  // namespace platform
