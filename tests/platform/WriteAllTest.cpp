#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/Descriptors.h"
#include "platform/Spawn.h"

namespace {

// A frame-sized write goes through the pipe in several calls (on Windows each call passes on at
// most a part of it): every byte arrives, in order, and the count is the whole size.
TEST(WriteAllTest, AFrameSizedWriteArrivesWholeAndInOrder) {
    platform::Pipe pipe;
    ASSERT_TRUE(platform::MakePipe(&pipe));
    std::vector<std::uint8_t> frame(3 * 1024 * 1024 + 12 + 5);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint8_t>(i * 131 + i / 4099);
    std::vector<std::uint8_t> received;
    std::thread reader([&received, fd = pipe.read.Get()] {
        std::vector<std::uint8_t> buffer(100000);  // not a divisor of any write size
        int n;
        while ((n = platform::ReadSome(fd, buffer.data(), buffer.size())) > 0)
            received.insert(received.end(), buffer.begin(), buffer.begin() + n);
    });
    EXPECT_EQ(platform::WriteAll(pipe.write.Get(), frame.data(), frame.size()),
              static_cast<int>(frame.size()));
    pipe.write.Reset();  // end of input ends the reader
    reader.join();
    EXPECT_TRUE(received == frame);
}

}  // namespace
