// Frames keep flowing whole while the view request rewrites the channel map; run under
// ThreadSanitizer, the bridge must show no data race.
#include <gtest/gtest.h>

#include "tests/events/FrameTestSupport.h"

namespace {

using namespace frametest;

TEST(FramesThreaded, RequestViewWhileFramesArriveKeepsEveryFrameWhole) {
    BridgeProcess bridge;
    ASSERT_TRUE(StartInRoom(bridge));
    bridge.Control({{"op", "source"},
                    {"stream", "a"},
                    {"width", 24},
                    {"height", 10},
                    {"fps", 0},
                    {"pattern", "solid"},
                    {"color", "#00FF00"}});
    bridge.Control({{"op", "source"},
                    {"stream", "b"},
                    {"width", 24},
                    {"height", 10},
                    {"fps", 0},
                    {"pattern", "solid"},
                    {"color", "#00FF00"}});
    const char* views[] = {R"({"type":"RequestView","param":["a"]})",
                           R"({"type":"RequestView","param":["b","a"]})",
                           R"({"type":"RequestView","param":["x","y","a","b"]})",
                           R"({"type":"RequestView","param":[]})"};
    for (int round = 0; round < 40; ++round) {
        bridge.Send(views[round % 4]);
    }
    bridge.Run("");
    bridge.Control({{"op", "source"}, {"stream", "a"}, {"stop", true}});
    bridge.Control({{"op", "source"}, {"stream", "b"}, {"stop", true}});
    ASSERT_TRUE(bridge.Sync());

    int frames = 0;
    for (int channel = 0; channel < 5; ++channel) {
        Frame frame;
        while (bridge.NextFrame(channel, &frame, 300)) {
            ExpectSolidFrame(frame, channel, 24, 10, kGreen);
            if (::testing::Test::HasFailure())
                return;
            ++frames;
        }
    }
    EXPECT_GT(frames, 0);
    EXPECT_TRUE(bridge.Alive());
}

}  // namespace
