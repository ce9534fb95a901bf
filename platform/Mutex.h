// Locks that the compiler's thread-safety analysis knows: a plain and a recursive mutex, and a
// guard that holds one for a scope.
//
//   platform::Mutex lock;
//   int count GUARDED_BY(lock) = 0;
//   { platform::MutexLock<platform::Mutex> hold(lock); ++count; }
#pragma once

#include <chrono>
#include <mutex>

#include "platform/Sync.h"
#include "platform/ThreadAnnotations.h"

namespace platform {

template <typename Native>
class CAPABILITY("mutex") BasicMutex {
  public:
    BasicMutex() = default;
    BasicMutex(const BasicMutex&) = delete;
    BasicMutex& operator=(const BasicMutex&) = delete;

    void Lock() ACQUIRE() { native_.lock(); }
    void Unlock() RELEASE() { native_.unlock(); }
    bool TryLock() TRY_ACQUIRE(true) { return native_.try_lock(); }
    // Tries without sleeping for up to `spin` (paced by SpinPacer) before it blocks.
    void LockAfterSpinning(std::chrono::microseconds spin) ACQUIRE() NO_THREAD_SAFETY_ANALYSIS {
        platform::LockAfterSpinning(native_, spin);
    }

  private:
    Native native_;
};

using Mutex = BasicMutex<std::mutex>;
// Taken again by the thread that holds it without blocking, like a Windows critical section.
using RecursiveMutex = BasicMutex<std::recursive_mutex>;

// Holds a lock from construction to destruction.
template <typename Lockable>
class SCOPED_CAPABILITY MutexLock {
  public:
    explicit MutexLock(Lockable& lock) ACQUIRE(lock) : lock_(lock) { lock_.Lock(); }
    // Takes over a lock that the caller already holds.
    MutexLock(Lockable& lock, std::adopt_lock_t) REQUIRES(lock) : lock_(lock) {}
    ~MutexLock() RELEASE() { lock_.Unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

  private:
    Lockable& lock_;
};

}  // namespace platform
