// A first-in-first-out queue of owned texts between threads, with its lock and its ready event:
// producers push and signal, one consumer waits and drains. The consumer takes everything queued
// under the lock and consumes it after releasing the lock, so that a producer never waits for
// what the consumer does with a text (an SDK call, a write to the host).
//
//   TextQueue events(kEventQueueLimit);
//   events.Push(text);                                      // any thread
//   events.Wait(); events.DrainReleasingLock(write);        // the consumer
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/Mutex.h"
#include "platform/Sync.h"
#include "platform/ThreadAnnotations.h"

namespace quorlane {

class TextQueue {
  public:
    enum class Pushed { kQueued, kDropped, kFirstDropped };

    // `byteLimit`: texts queued (or taken but not yet consumed) may take this many bytes; a text
    // pushed past it is dropped and counted. 0: no limit.
    explicit TextQueue(std::size_t byteLimit = 0) : byteLimit_(byteLimit) {}
    TextQueue(const TextQueue&) = delete;
    TextQueue& operator=(const TextQueue&) = delete;

    // Appends `text` and signals the ready event after releasing the lock. kFirstDropped for
    // the first text refused since the count was last taken.
    Pushed Push(std::string text) EXCLUDES(lock_);

    // Appends every text, taking the lock after up to `spin` of trying without sleeping, and
    // signals the ready event once after releasing it.
    void PushAll(std::vector<std::string>&& texts, std::chrono::microseconds spin) EXCLUDES(lock_);

    void Wait() { ready_.Wait(); }
    bool WaitFor(int milliseconds) { return ready_.WaitFor(milliseconds); }
    bool SpinWait(std::chrono::microseconds spin) { return ready_.SpinWait(spin); }
    void Signal() { ready_.Signal(); }

    // Takes everything queued and calls `consume(text)` for each text without the lock, oldest
    // first, until the queue is empty. Returns the texts dropped since the last drain.
    template <typename Consume>
    std::uint64_t DrainReleasingLock(Consume&& consume) EXCLUDES(lock_) {
        std::deque<std::string> batch;
        for (;;) {
            {
                platform::MutexLock hold(lock_);
                if (texts_.empty())
                    return std::exchange(dropped_, 0);
                batch.swap(texts_);
            }
            std::size_t consumed = 0;
            for (const std::string& text : batch) {
                consume(text);
                consumed += text.size();
            }
            batch.clear();
            platform::MutexLock hold(lock_);
            bytes_ -= consumed;
        }
    }

    // A copy of the queued texts, for tests.
    std::deque<std::string> Snapshot() const EXCLUDES(lock_);

  private:
    mutable platform::Mutex lock_;
    std::deque<std::string> texts_ GUARDED_BY(lock_);
    std::size_t bytes_ GUARDED_BY(lock_) = 0;
    std::uint64_t dropped_ GUARDED_BY(lock_) = 0;
    const std::size_t byteLimit_;
    platform::AutoResetEvent ready_;
};

}  // namespace quorlane
