// Which processor a thread runs on, and keeping a thread off one processor for a while.
#pragma once

namespace platform {

// Number of the processor the calling thread runs on at this moment; -1 when unknown.
int CurrentProcessor();

// Keeps the thread that uses it off one processor until Lift or destruction, which give back
// the processors the thread had before. Used by one thread only: it changes that thread.
class ProcessorExclusion {
  public:
    ProcessorExclusion() = default;
    ~ProcessorExclusion();
    ProcessorExclusion(const ProcessorExclusion&) = delete;
    ProcessorExclusion& operator=(const ProcessorExclusion&) = delete;

    // Moves the calling thread off `processor` when it may run on another one; false when it
    // may not, or when an exclusion is already in force.
    bool Avoid(int processor);
    void Lift();
    bool Active() const { return active_; }

  private:
    // The thread's processor mask from before Avoid, as the system stores it (1024 bits); kept
    // in place so that an exclusion on a hot path allocates nothing.
    unsigned char saved_[128] = {};
    bool active_ = false;
};

}  // namespace platform
