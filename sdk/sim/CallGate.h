// Holds calls of chosen SDK functions, as a vendor SDK whose call never returns would: a test
// closes the gate of a function, later calls of it block until the gate opens again.
//
//   gate.Close("LogoutRoom");
//   gate.Pass("LogoutRoom", onHold);  // on the calling thread: blocks; onHold runs first
//   gate.Open("LogoutRoom");          // from another thread: the held call goes on
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Mutex.h"
#include "platform/Sync.h"
#include "platform/ThreadAnnotations.h"

namespace sim {

class CallGate {
  public:
    CallGate() = default;
    CallGate(const CallGate&) = delete;
    CallGate& operator=(const CallGate&) = delete;

    // Calls of `function` from now on block until it is opened.
    void Close(const std::string& function) EXCLUDES(lock_);
    // Releases the held calls of `function` and lets later ones pass.
    void Open(const std::string& function) EXCLUDES(lock_);
    void OpenAll() EXCLUDES(lock_);

    // Returns at once while the gate of `function` is open; otherwise calls `onHold` and blocks
    // until it opens.
    void Pass(const char* function, const std::function<void()>& onHold) EXCLUDES(lock_);

  private:
    void ReleaseLocked(std::vector<platform::AutoResetEvent*>& held) REQUIRES(lock_);

    platform::Mutex lock_;
    // Closed functions and the wake-up of each call held at it.
    std::map<std::string, std::vector<platform::AutoResetEvent*>> closed_ GUARDED_BY(lock_);
};

}  // namespace sim
