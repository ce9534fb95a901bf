// Commands from the host while the SDK reports events and renders frames on its own threads:
// every reply and every event arrives whole, in order per producer, and the bridge survives
// (the ThreadSanitizer build runs the instrumented binary, which ends on a race).
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/support/BridgeProcess.h"

namespace bridge_test {
namespace {

const int kCommandRounds = 60;
const int kEmits = 150;

int Count(const Lines& objects, const std::string& piece) {
    int count = 0;
    for (const std::string& object : objects) {
        if (object.find(piece) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

TEST(ThreadedBridge, CommandsRunWhileTheSdkReportsAndRendersFrames) {
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start());
    bridge.Run(R"({"type":"Login","param":{"userID":"u","userName":"n","test":0}})");
    bridge.Run(R"({"type":"EnterRoom","param":{"RoomName":"R","RoomID":"r","role":2}})");

    // Frames of a played stream and of the preview flow while the channel map changes.
    bridge.Control({{"op", "source"},
                    {"stream", "a"},
                    {"width", 32},
                    {"height", 16},
                    {"fps", 200},
                    {"pattern", "moving"}});
    bridge.Control({{"op", "source"},
                    {"stream", nullptr},
                    {"width", 16},
                    {"height", 8},
                    {"fps", 200},
                    {"pattern", "bars"}});

    std::thread emitter([&] {
        for (int i = 0; i < kEmits; ++i) {
            bridge.Control({{"op", "emit"},
                            {"cb", "OnPlayStateUpdate"},
                            {"args", {{"stateCode", i}, {"streamID", "a"}}}});
            bridge.Control({{"op", "audio"}, {"bytes", 64 + i}});
        }
    });
    for (int round = 0; round < kCommandRounds; ++round) {
        bridge.Send(round % 2 == 0 ? R"({"type":"RequestView","param":["a","b"]})"
                                   : R"({"type":"RequestView","param":["b","a"]})");
        bridge.Send(R"({"type":"OpenMic"}{"type":"CloseSpeaker"})");
    }
    emitter.join();

    Exchange e = bridge.Run("");
    EXPECT_EQ(Count(e.replies, R"({ "code": 1, "type": "OpenMic" })"), kCommandRounds);
    EXPECT_EQ(Count(e.replies, R"({ "code": 1, "type": "CloseSpeaker" })"), kCommandRounds);

    ASSERT_TRUE(bridge.Sync());
    bridge.Control({{"op", "source"}, {"stream", "a"}, {"stop", true}});
    bridge.Control({{"op", "source"}, {"stream", nullptr}, {"stop", true}});
    ASSERT_TRUE(bridge.Sync());

    // Every notification became one whole event, in emission order.
    Lines events;
    for (const std::string& object : bridge.Objects()) {
        if (object.find("\"PlayStateUpdate\"") != std::string::npos) {
            events.push_back(object);
        }
    }
    ASSERT_EQ(static_cast<int>(events.size()), kEmits);
    for (int i = 0; i < kEmits; ++i) {
        EXPECT_NE(events[i].find("\"code\":" + std::to_string(i) + ","), std::string::npos)
            << events[i];
    }

    // Frames arrived on the preview channel and on a played one, whole.
    Frame frame;
    EXPECT_TRUE(bridge.NextFrame(0, &frame));
    EXPECT_EQ(frame.width, 16);
    EXPECT_TRUE(bridge.NextFrame(1, &frame) || bridge.NextFrame(2, &frame));
    EXPECT_EQ(frame.width, 32);
    EXPECT_TRUE(bridge.Alive());
}

}  // namespace
}  // namespace bridge_test
