#include "platform/Sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

TEST(AutoResetEventTest, KeepsOneSignalForTheNextWaiterAndResets) {
    platform::AutoResetEvent event;
    EXPECT_FALSE(event.WaitFor(0));
    event.Signal();
    event.Signal();  // a second signal before any wait does not count twice
    EXPECT_TRUE(event.WaitFor(0));
    EXPECT_FALSE(event.WaitFor(10));

    EXPECT_FALSE(event.SpinWait(microseconds(200)));
    event.Signal();
    EXPECT_TRUE(event.SpinWait(microseconds(0)));  // the signal is kept for a later check
    EXPECT_FALSE(event.SpinWait(microseconds(0)));
    event.Signal();
    event.Wait();
    EXPECT_FALSE(event.WaitFor(0));
}

// Two threads hand a turn back and forth through two events. The partner switches between the
// waits (spinning, spinning then sleeping, sleeping at once, timed); a signal lost between
// its check and its sleep leaves it waiting, and this thread's timed wait for the answer fails.
TEST(AutoResetEventTest, PingPongLosesNoSignalOnAnyWaitPath) {
    platform::AutoResetEvent ping;
    platform::AutoResetEvent pong;
    const int rounds = 20000;
    std::atomic<bool> stop{false};
    std::future<int> partner = std::async(std::launch::async, [&] {
        int answered = 0;
        for (int round = 0; round < rounds; ++round) {
            switch ((round / 3) % 4) {
                case 0:
                    if (!ping.SpinWait(microseconds(50)))
                        ping.Wait();
                    break;
                case 1:
                    if (!ping.SpinWait(microseconds(0)))
                        ping.Wait();
                    break;
                case 2:
                    ping.Wait();
                    break;
                default:
                    ping.WaitFor(60000);
            }
            if (stop.load())
                break;
            ++answered;
            pong.Signal();
        }
        return answered;
    });
    // A round takes microseconds; one that needs seconds was saved only by the timeout.
    int answered = 0;
    for (int round = 0; round < rounds; ++round) {
        ping.Signal();
        const auto start = std::chrono::steady_clock::now();
        if (!pong.WaitFor(5000) || std::chrono::steady_clock::now() - start > milliseconds(2500))
            break;
        ++answered;
    }
    EXPECT_EQ(answered, rounds) << "a signal was lost";
    // Releases a partner left waiting by a lost signal.
    stop.store(true);
    while (partner.wait_for(milliseconds(1)) != std::future_status::ready) {
        ping.Signal();
    }
    EXPECT_EQ(partner.get(), answered);
}

TEST(LockAfterSpinningTest, TakesAFreeLockAndWaitsForAHeldOne) {
    std::mutex mutex;
    platform::LockAfterSpinning(mutex, microseconds(50));
    EXPECT_FALSE(mutex.try_lock());
    mutex.unlock();

    // Held much longer than the spin: the second thread must block and still get the lock.
    std::atomic<bool> released{false};
    mutex.lock();
    std::future<bool> taker = std::async(std::launch::async, [&] {
        platform::LockAfterSpinning(mutex, microseconds(50));
        const bool afterRelease = released.load();
        mutex.unlock();
        return afterRelease;
    });
    std::this_thread::sleep_for(milliseconds(50));
    released.store(true);
    mutex.unlock();
    EXPECT_TRUE(taker.get());

    // A recursive lock held by the same thread is taken again at once.
    std::recursive_mutex recursive;
    std::lock_guard<std::recursive_mutex> outer(recursive);
    platform::LockAfterSpinning(recursive, microseconds(0));
    recursive.unlock();
}

}  // namespace
