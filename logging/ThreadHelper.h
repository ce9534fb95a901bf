// Owns one thread that runs the virtual Run of the derived object.
// The derived class must call JoinThread before its own members are destroyed.
#pragma once

#include <thread>

namespace qlog {

class ThreadHelper {
  public:
    ThreadHelper() = default;
    ThreadHelper(const ThreadHelper&) = delete;
    ThreadHelper& operator=(const ThreadHelper&) = delete;
    virtual ~ThreadHelper();

    virtual void Run() = 0;

  protected:
    // Starts a thread that calls Run; false (with a message on standard output) when the
    // thread cannot be created or one is already owned.
    bool StartThread();
    // Waits for the thread, if there is one, to end.
    void JoinThread();

  private:
    std::thread thread_;
};

}  // namespace qlog
