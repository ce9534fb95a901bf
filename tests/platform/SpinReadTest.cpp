#include <gtest/gtest.h>

#include <chrono>

#include "platform/Descriptors.h"
#include "platform/Spawn.h"

namespace {

using std::chrono::microseconds;

TEST(SpinUntilReadableTest, ReportsInputEndOfInputAndGivesUpAfterItsSpin) {
    platform::Pipe pipe;
    ASSERT_TRUE(platform::MakePipe(&pipe));

    EXPECT_FALSE(platform::SpinUntilReadable(pipe.read.Get(), microseconds(2000)));

    ASSERT_EQ(platform::WriteAll(pipe.write.Get(), "x", 1), 1);
    EXPECT_TRUE(platform::SpinUntilReadable(pipe.read.Get(), microseconds(0)));
    char c = 0;
    ASSERT_EQ(platform::ReadSome(pipe.read.Get(), &c, 1), 1);
    EXPECT_FALSE(platform::SpinUntilReadable(pipe.read.Get(), microseconds(0)));

    pipe.write.Reset();  // end of input: a read would return at once
    EXPECT_TRUE(platform::SpinUntilReadable(pipe.read.Get(), microseconds(0)));
    EXPECT_EQ(platform::ReadSome(pipe.read.Get(), &c, 1), 0);
}

}  // namespace
