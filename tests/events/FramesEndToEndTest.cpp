// Frames delivered by the simulated SDK must reach the right descriptor whole, with the header,
// the sizes and the plane order of their channel.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/Clock.h"
#include "sdk/sim/FrameStamp.h"
#include "tests/events/FrameTestSupport.h"

namespace {

using namespace frametest;

class FramesEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(StartInRoom(bridge_)); }
    BridgeProcess bridge_;
};

TEST_F(FramesEndToEnd, ChannelZeroCarriesYuvAndMappedChannelsYvu) {
    ASSERT_EQ(
        Deliver(bridge_,
                {{"width", 640}, {"height", 480}, {"pattern", "solid"}, {"color", "#FF0000"}}),
        1);
    Frame frame;
    ASSERT_TRUE(bridge_.NextFrame(0, &frame));
    ExpectSolidFrame(frame, 0, 640, 480, kRed);
    EXPECT_EQ(frame.length, 640 * 480 * 3 / 2);

    // "b" is the second stream of the view request: channel 2, descriptor 7.
    bridge_.Run(R"({"type":"RequestView","param":["a","b"]})");
    ASSERT_EQ(Deliver(bridge_, {{"stream", "b"},
                                {"width", 5},
                                {"height", 3},
                                {"pattern", "solid"},
                                {"color", "#FF0000"}}),
              1);
    ASSERT_TRUE(bridge_.NextFrame(2, &frame));
    ExpectSolidFrame(frame, 2, 5, 3, kRed);
    EXPECT_EQ(frame.length, 27);

    // An unmapped stream falls back to channel 0; "a" goes to channel 1.
    ASSERT_EQ(Deliver(bridge_, {{"stream", "zz"},
                                {"width", 6},
                                {"height", 4},
                                {"pattern", "solid"},
                                {"color", "#0000FF"}}),
              1);
    ASSERT_TRUE(bridge_.NextFrame(0, &frame));
    ExpectSolidFrame(frame, 0, 6, 4, kBlue);
    ASSERT_EQ(Deliver(bridge_, {{"stream", "a"},
                                {"width", 7},
                                {"height", 5},
                                {"pattern", "solid"},
                                {"color", "#00FF00"}}),
              1);
    ASSERT_TRUE(bridge_.NextFrame(1, &frame));
    ExpectSolidFrame(frame, 1, 7, 5, kGreen);
}

TEST_F(FramesEndToEnd, BarsKeepTheirColoursInPlaneOrder) {
    const int width = 128, height = 8;
    bridge_.Run(R"({"type":"RequestView","param":["s1"]})");
    for (const int channel : {0, 1}) {
        SCOPED_TRACE(channel);
        json request = {{"width", width}, {"height", height}, {"pattern", "bars"}};
        if (channel == 1)
            request["stream"] = "s1";
        ASSERT_EQ(Deliver(bridge_, request), 1);
        Frame frame;
        ASSERT_TRUE(bridge_.NextFrame(channel, &frame));
        ASSERT_EQ(frame.length, width * height * 3 / 2);
        const std::size_t luma = width * height, chroma = luma / 4;
        const std::size_t uStart = channel == 0 ? luma : luma + chroma;
        const std::size_t vStart = channel == 0 ? luma + chroma : luma;
        for (int bar = 0; bar < 8; ++bar) {
            const int x = bar * (width / 8) + width / 16;  // middle of the bar
            for (int row = 0; row < height; ++row) {
                EXPECT_EQ(CountOff(frame.payload, row * width + x, 1, kBars[bar].y), 0)
                    << "Y of bar " << bar;
            }
            for (int row = 0; row < height / 2; ++row) {
                const std::size_t at = row * (width / 2) + x / 2;
                EXPECT_EQ(CountOff(frame.payload, uStart + at, 1, kBars[bar].u), 0)
                    << "U of bar " << bar;
                EXPECT_EQ(CountOff(frame.payload, vStart + at, 1, kBars[bar].v), 0)
                    << "V of bar " << bar;
            }
        }
    }
}

TEST_F(FramesEndToEnd, UnusableFramesWriteNothing) {
    ASSERT_EQ(Deliver(bridge_, {{"width", 16}, {"height", 16}, {"pixels", nullptr}}), 1);
    ASSERT_EQ(Deliver(bridge_, {{"width", 0}, {"height", 16}, {"pattern", "solid"}}), 1);
    ASSERT_EQ(Deliver(bridge_, {{"width", 16}, {"height", 0}, {"pattern", "solid"}}), 1);
    ASSERT_TRUE(bridge_.Sync());
    // The first bytes on descriptor 5 belong to the next good frame.
    ASSERT_EQ(
        Deliver(bridge_, {{"width", 2}, {"height", 2}, {"pattern", "solid"}, {"color", "#FFFFFF"}}),
        1);
    Frame frame;
    ASSERT_TRUE(bridge_.NextFrame(0, &frame));
    ExpectSolidFrame(frame, 0, 2, 2, kWhite);
    EXPECT_FALSE(bridge_.NextFrame(0, &frame, 200));
}

TEST_F(FramesEndToEnd, TwoStreamsOnChannelZeroNeverInterleave) {
    // The preview (no stream ID) and an unmapped stream, both as fast as the relay takes them.
    bridge_.Control({{"op", "source"},
                     {"stream", nullptr},
                     {"width", 48},
                     {"height", 32},
                     {"fps", 0},
                     {"pattern", "solid"},
                     {"color", "#FF0000"}});
    bridge_.Control({{"op", "source"},
                     {"stream", "other"},
                     {"width", 33},
                     {"height", 17},
                     {"fps", 0},
                     {"pattern", "solid"},
                     {"color", "#0000FF"}});
    int red = 0, blue = 0;
    Frame frame;
    while (red + blue < 1500 && bridge_.NextFrame(0, &frame, 5000)) {
        if (frame.width == 48) {
            ExpectSolidFrame(frame, 0, 48, 32, kRed);
            ++red;
        } else {
            ExpectSolidFrame(frame, 0, 33, 17, kBlue);
            ++blue;
        }
        if (::testing::Test::HasFailure())
            break;
    }
    bridge_.Control({{"op", "source"}, {"stream", nullptr}, {"stop", true}});
    bridge_.Control({{"op", "source"}, {"stream", "other"}, {"stop", true}});
    EXPECT_TRUE(bridge_.Sync());
    EXPECT_GT(red, 0);
    EXPECT_GT(blue, 0);
}

TEST_F(FramesEndToEnd, StampsOfTheDeliveryMomentReachTheHostReadable) {
    // The stamp is the simulated SDK's monotonic clock, which this process reads as well.
    bridge_.Run(R"({"type":"RequestView","param":["s1"]})");
    for (const int channel : {0, 1}) {
        SCOPED_TRACE(channel);
        json request = {{"width", 640}, {"height", 360}, {"pattern", "bars"}, {"stamp", true}};
        if (channel == 1)
            request["stream"] = "s1";
        const auto before = static_cast<std::uint64_t>(platform::MonotonicNanoseconds());
        ASSERT_EQ(Deliver(bridge_, request, 2), 2);
        Frame first, second;
        ASSERT_TRUE(bridge_.NextFrame(channel, &first));
        ASSERT_TRUE(bridge_.NextFrame(channel, &second));
        const auto after = static_cast<std::uint64_t>(platform::MonotonicNanoseconds());
        std::uint64_t stamps[2] = {};
        ASSERT_TRUE(sim::ReadStamp(reinterpret_cast<const std::uint8_t*>(first.payload.data()), 640,
                                   &stamps[0]));
        ASSERT_TRUE(sim::ReadStamp(reinterpret_cast<const std::uint8_t*>(second.payload.data()),
                                   640, &stamps[1]));
        EXPECT_LE(before, stamps[0]);
        EXPECT_LT(stamps[0], stamps[1]);
        EXPECT_LE(stamps[1], after);
    }
}

}  // namespace
