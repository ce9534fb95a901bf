#include "sdk/sim/CallGate.h"

namespace sim {

void CallGate::Close(const std::string& function) {
    platform::MutexLock hold(lock_);
    closed_[function];
}

void CallGate::Open(const std::string& function) {
    platform::MutexLock hold(lock_);
    auto it = closed_.find(function);
    if (it == closed_.end())
        return;
    ReleaseLocked(it->second);
    closed_.erase(it);
}

void CallGate::OpenAll() {
    platform::MutexLock hold(lock_);
    for (auto& entry : closed_)
        ReleaseLocked(entry.second);
    closed_.clear();
}

void CallGate::ReleaseLocked(std::vector<platform::AutoResetEvent*>& held) {
    for (platform::AutoResetEvent* wake : held)
        wake->Signal();
}

void CallGate::Pass(const char* function, const std::function<void()>& onHold) {
    platform::AutoResetEvent wake;
    {
        platform::MutexLock hold(lock_);
        auto it = closed_.find(function);
        if (it == closed_.end())
            return;
        it->second.push_back(&wake);
    }
    onHold();
    wake.Wait();
    // The opener signals while it holds the lock: once the lock is taken here, it no longer
    // touches `wake`, which ends with this call.
    platform::MutexLock hold(lock_);
}

}  // namespace sim
