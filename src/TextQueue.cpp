#include "TextQueue.h"

namespace quorlane {

TextQueue::Pushed TextQueue::Push(std::string text) {
    {
        platform::MutexLock hold(lock_);
        if (byteLimit_ != 0 && bytes_ + text.size() > byteLimit_)
            return dropped_++ == 0 ? Pushed::kFirstDropped : Pushed::kDropped;
        bytes_ += text.size();
        texts_.push_back(std::move(text));
    }
    // After the release, so that the consumer does not wake only to wait for the lock.
    ready_.Signal();
    return Pushed::kQueued;
}

void TextQueue::PushAll(std::vector<std::string>&& texts, std::chrono::microseconds spin) {
    lock_.LockAfterSpinning(spin);
    {
        platform::MutexLock hold(lock_, std::adopt_lock);
        for (std::string& text : texts) {
            bytes_ += text.size();
            texts_.push_back(std::move(text));
        }
    }
    ready_.Signal();
}

std::deque<std::string> TextQueue::Snapshot() const {
    platform::MutexLock hold(lock_);
    return texts_;
}

}  // namespace quorlane
