// A counting semaphore (initial count 0, maximum 64) created on demand.
#pragma once

#include <memory>

#include "platform/Sync.h"

namespace qlog {

class SemHelper {
  public:
    SemHelper() = default;
    SemHelper(const SemHelper&) = delete;
    SemHelper& operator=(const SemHelper&) = delete;
    virtual ~SemHelper() = default;

    // Creates a fresh semaphore, replacing any earlier one.
    void Create() { semaphore_ = std::make_unique<platform::Semaphore>(64); }
    // True when a count was taken within `milliseconds`; false without a semaphore.
    bool Wait(int milliseconds) { return semaphore_ && semaphore_->WaitFor(milliseconds); }
    bool Post() { return semaphore_ && semaphore_->Post(); }

  private:
    std::unique_ptr<platform::Semaphore> semaphore_;
};

}  // namespace qlog
