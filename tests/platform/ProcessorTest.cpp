#include "platform/Processor.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(ProcessorExclusionTest, KeepsTheThreadOffOneProcessorUntilLifted) {
    const int here = platform::CurrentProcessor();
    ASSERT_GE(here, 0);
    platform::ProcessorExclusion exclusion;
    EXPECT_FALSE(exclusion.Avoid(-1));
    if (std::thread::hardware_concurrency() < 2 || !exclusion.Avoid(here)) {
        GTEST_SKIP() << "this thread may run on one processor only";
    }
    EXPECT_TRUE(exclusion.Active());
    EXPECT_FALSE(exclusion.Avoid(here)) << "one exclusion at a time";
    for (int i = 0; i < 1000; ++i) {
        ASSERT_NE(platform::CurrentProcessor(), here);
        std::this_thread::yield();
    }
    exclusion.Lift();
    EXPECT_FALSE(exclusion.Active());
    // The processors are back: the thread may be kept off another one now, and the end of the
    // scope gives them back again.
    const int now = platform::CurrentProcessor();
    {
        platform::ProcessorExclusion scoped;
        EXPECT_TRUE(scoped.Avoid(now));
        for (int i = 0; i < 1000; ++i) {
            ASSERT_NE(platform::CurrentProcessor(), now);
            std::this_thread::yield();
        }
    }
    EXPECT_TRUE(exclusion.Avoid(now)) << "the scoped exclusion was not lifted";
}

}  // namespace
