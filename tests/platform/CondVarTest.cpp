#include "platform/CondVar.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "platform/Mutex.h"
#include "platform/ThreadAnnotations.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds kGuard(10);  // failure guard only; waits end on their event

struct Shared {
    platform::Mutex mutex;
    platform::CondVar changed{&mutex};
    int waiting GUARDED_BY(mutex) = 0;
    bool go GUARDED_BY(mutex) = false;
};

// True when `go` was seen before the failure guard's deadline.
bool WaitForGo(Shared& shared) REQUIRES(shared.mutex) {
    const Clock::time_point deadline = Clock::now() + kGuard;
    while (!shared.go) {
        if (!shared.changed.WaitUntil(deadline))
            return false;
    }
    return true;
}

TEST(CondVarTest, WaitsForItsSignalAndReturnsHoldingTheMutex) {
    Shared shared;
    {
        // Nothing signals: the wait reports its deadline only once it has passed.
        platform::MutexLock hold(shared.mutex);
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(20);
        while (shared.changed.WaitUntil(deadline)) {
        }
        EXPECT_GE(Clock::now(), deadline);
    }

    std::future<bool> waiter = std::async(std::launch::async, [&shared] {
        platform::MutexLock hold(shared.mutex);
        const bool woken = WaitForGo(shared);
        // Back from the wait, this thread holds the mutex again.
        const bool heldHere = !std::async(std::launch::async, [&shared] {
                                   const bool taken = shared.mutex.TryLock();
                                   if (taken)
                                       shared.mutex.Unlock();
                                   return taken;
                               }).get();
        return woken && heldHere;
    });
    {
        platform::MutexLock hold(shared.mutex);
        shared.go = true;
    }
    shared.changed.Signal();
    EXPECT_TRUE(waiter.get());
}

TEST(CondVarTest, SignalAllWakesEveryWaiter) {
    constexpr int kWaiters = 4;
    Shared shared;
    std::vector<std::future<bool>> waiters;
    for (int i = 0; i < kWaiters; ++i) {
        waiters.push_back(std::async(std::launch::async, [&shared] {
            platform::MutexLock hold(shared.mutex);
            ++shared.waiting;
            shared.changed.SignalAll();
            return WaitForGo(shared);
        }));
    }
    {
        // Every waiter has counted itself under the mutex and released it only inside its
        // wait, so one signal must reach them all.
        platform::MutexLock hold(shared.mutex);
        const Clock::time_point deadline = Clock::now() + kGuard;
        while (shared.waiting < kWaiters && shared.changed.WaitUntil(deadline)) {
        }
        ASSERT_EQ(shared.waiting, kWaiters);
        shared.go = true;
    }
    shared.changed.SignalAll();
    for (std::future<bool>& waiter : waiters)
        EXPECT_TRUE(waiter.get()) << "a waiter missed the signal";
}

}  // namespace
