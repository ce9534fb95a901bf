#include "platform/Spin.h"

#include <algorithm>
#include <thread>

namespace platform {

namespace {

// What the calling thread's loops remember of each other.
thread_local SpinPacer::History threadHistory;

}  // namespace

SpinPacer::SpinPacer(std::chrono::microseconds spin) {
    const Clock::time_point now = Clock::now();
    deadline_ = now + spin;
    quiet_ = now < threadHistory.quietUntil;
}

bool SpinPacer::Quiet() {
    return Clock::now() < threadHistory.quietUntil;
}

bool SpinPacer::Next() {
    if (quiet_)
        return false;
    const Clock::time_point before = Clock::now();
    std::this_thread::yield();
    return Continue(before, Clock::now(), deadline_, threadHistory);
}

bool SpinPacer::Continue(Clock::time_point before, Clock::time_point after,
                         Clock::time_point deadline, History& history) {
    if (after - before > kLostProcessor) {
        if (after - history.lastLoss > kForgetLoss)
            history.nextQuiet = kShortestQuiet;
        history.quietUntil = after + history.nextQuiet;
        history.nextQuiet = std::min<Clock::duration>(2 * history.nextQuiet, kLongestQuiet);
        history.lastLoss = after;
        return false;
    }
    return after < deadline;
}

}  // namespace platform
