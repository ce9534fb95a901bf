// A recursive lock and its scoped guard.
#pragma once

#include <mutex>

namespace qlog {

class LockHelper {
  public:
    LockHelper() = default;
    LockHelper(const LockHelper&) = delete;
    LockHelper& operator=(const LockHelper&) = delete;
    virtual ~LockHelper() = default;

    void Lock() { mutex_.lock(); }
    void Unlock() { mutex_.unlock(); }

    class Guard {
      public:
        explicit Guard(LockHelper& lock) : lock_(lock) { lock_.Lock(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        ~Guard() { lock_.Unlock(); }

      private:
        LockHelper& lock_;
    };

  private:
    std::recursive_mutex mutex_;
};

}  // namespace qlog
