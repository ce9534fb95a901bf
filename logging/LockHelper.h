// A recursive lock and its scoped guard.
#pragma once

#include <mutex>

#include "platform/ThreadAnnotations.h"

namespace qlog {

class CAPABILITY("mutex") LockHelper {
  public:
    LockHelper() = default;
    LockHelper(const LockHelper&) = delete;
    LockHelper& operator=(const LockHelper&) = delete;
    virtual ~LockHelper() = default;

    void Lock() ACQUIRE() { mutex_.lock(); }
    void Unlock() RELEASE() { mutex_.unlock(); }

    class SCOPED_CAPABILITY Guard {
      public:
        explicit Guard(LockHelper& lock) ACQUIRE(lock) : lock_(lock) { lock_.Lock(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        ~Guard() RELEASE() { lock_.Unlock(); }

      private:
        LockHelper& lock_;
    };

  private:
    std::recursive_mutex mutex_;
};

}  // namespace qlog
