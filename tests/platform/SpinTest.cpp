#include "platform/Spin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace {

using platform::SpinPacer;
using std::chrono::microseconds;
using std::chrono::milliseconds;

TEST(SpinPacerTest, EndsWhenTheTimeIsUpOrAPauseLostTheProcessor) {
    const SpinPacer::Clock::time_point start{};
    const SpinPacer::Clock::time_point deadline = start + microseconds(50);
    SpinPacer::History history;

    // Short pauses before the deadline go on; the deadline ends the loop.
    EXPECT_TRUE(SpinPacer::Continue(start, start + microseconds(2), deadline, history));
    EXPECT_TRUE(
        SpinPacer::Continue(start + microseconds(40), start + microseconds(49), deadline, history));
    EXPECT_FALSE(
        SpinPacer::Continue(start + microseconds(45), start + microseconds(50), deadline, history));
    EXPECT_EQ(history.quietUntil, SpinPacer::Clock::time_point{}) << "time running out is not busy";

    // A pause of the limit itself is still short; a longer one marks the processor busy, even
    // with time left, and each further one in a row doubles the quiet time up to its longest.
    const SpinPacer::Clock::time_point far = start + std::chrono::hours(1);
    EXPECT_TRUE(SpinPacer::Continue(start, start + SpinPacer::kLostProcessor, far, history));
    SpinPacer::Clock::time_point at = start;
    SpinPacer::Clock::duration quiet = SpinPacer::kShortestQuiet;
    for (int i = 0; i < 14; ++i) {
        const SpinPacer::Clock::time_point back = at + milliseconds(4);
        EXPECT_FALSE(SpinPacer::Continue(at, back, far, history));
        EXPECT_EQ(history.quietUntil, back + quiet) << "busy step " << i;
        quiet = std::min<SpinPacer::Clock::duration>(2 * quiet, SpinPacer::kLongestQuiet);
        at = history.quietUntil;
    }
    EXPECT_EQ(history.nextQuiet, SpinPacer::kLongestQuiet);

    // Quick steps change nothing; a busy step long after the last one starts from the shortest
    // quiet time again.
    EXPECT_TRUE(SpinPacer::Continue(at, at + microseconds(1), far, history));
    EXPECT_EQ(history.nextQuiet, SpinPacer::kLongestQuiet);
    at += SpinPacer::kForgetLoss;
    EXPECT_FALSE(SpinPacer::Continue(at, at + milliseconds(2), far, history));
    EXPECT_EQ(history.quietUntil, at + milliseconds(2) + SpinPacer::kShortestQuiet);
}

TEST(SpinPacerTest, ALoopEndsWithinItsTime) {
    SpinPacer none(microseconds(0));
    EXPECT_FALSE(none.Next());

    const auto start = SpinPacer::Clock::now();
    SpinPacer pacer(microseconds(500));
    while (pacer.Next()) {
    }
    // Ends at its deadline, or earlier when this thread is told to stay quiet; never much later.
    EXPECT_LT(SpinPacer::Clock::now() - start, milliseconds(400));
}

}  // namespace
