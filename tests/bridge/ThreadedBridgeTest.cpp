// Commands from the host while the SDK reports events and renders frames on its own threads:
// every reply and every event arrives whole, in order per producer, and the bridge survives
// (the ThreadSanitizer build runs the instrumented binary, which ends on a race).
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/support/BridgeProcess.h"

namespace bridgetest {
namespace {

const int kCommandRounds = 60;
const int kEmits = 150;
const int kLargeEvents = 40;
const int kStreamsPerLargeEvent = 18;

// A stream list whose event text is longer than a pipe writes atomically.
nlohmann::json ManyStreams() {
    nlohmann::json streams = nlohmann::json::array();
    for (int i = 0; i < kStreamsPerLargeEvent; ++i) {
        streams.push_back({{"userID", "user-" + std::to_string(i)},
                           {"userName", "name-" + std::to_string(i)},
                           {"streamID", "stream-" + std::to_string(i)},
                           {"extraInfo", "\"" + std::string(200, 'e') + "\""}});
    }
    return streams;
}

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

    const nlohmann::json streams = ManyStreams();
    std::thread emitter([&] {
        for (int i = 0; i < kEmits; ++i) {
            if (i < kLargeEvents) {
                bridge.Control(
                    {{"op", "emit"},
                     {"cb", "OnStreamUpdated"},
                     {"args", {{"updateCode", 2001}, {"streams", streams}, {"roomID", "r"}}}});
            }
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

    bridge.Run("");  // every command has run once this returns
    const Lines objects = bridge.Objects();
    EXPECT_EQ(Count(objects, R"({ "code": 1, "type": "OpenMic" })"), kCommandRounds);
    EXPECT_EQ(Count(objects, R"({ "code": 1, "type": "CloseSpeaker" })"), kCommandRounds);

    // Frames arrive whole: the preview on channel 0 (which also took the frames of "a" before
    // it was requested), "a" on channel 2 where the last request put it, and on channel 1
    // whatever came while "a" was there.
    auto checkFrames = [&](int channel, int wantedWidth, int timeoutMs) {
        bool seen = false;
        Frame frame;
        while (!seen && bridge.NextFrame(channel, &frame, timeoutMs)) {
            const int chroma = ((frame.width + 1) / 2) * ((frame.height + 1) / 2);
            EXPECT_EQ(frame.length, frame.width * frame.height + 2 * chroma);
            EXPECT_TRUE((frame.width == 32 && frame.height == 16) ||
                        (frame.width == 16 && frame.height == 8))
                << frame.width << "x" << frame.height;
            seen = frame.width == wantedWidth;
        }
        return seen;
    };
    EXPECT_TRUE(checkFrames(0, 16, 10000)) << "no preview frame on channel 0";
    EXPECT_TRUE(checkFrames(2, 32, 10000)) << "no frame of \"a\" on channel 2";

    bridge.Control({{"op", "source"}, {"stream", "a"}, {"stop", true}});
    bridge.Control({{"op", "source"}, {"stream", nullptr}, {"stop", true}});
    ASSERT_TRUE(bridge.Sync());
    for (int channel = 0; channel <= 2; ++channel) {
        checkFrames(channel, -1, 200);  // drains, checking every frame left
    }

    // Every notification became one whole event, in emission order.
    EXPECT_TRUE(bridge.WaitForObjectsWith("\"PlayStateUpdate\"", kEmits));
    Lines events;
    for (const std::string& object : bridge.Objects()) {
        if (object.find("\"PlayStateUpdate\"") != std::string::npos) {
            events.push_back(object);
        }
    }
    ASSERT_EQ(static_cast<int>(events.size()), kEmits);
    // Long event texts arrived whole between the replies.
    EXPECT_TRUE(bridge.WaitForObjectsWith("\"StreamUpdate\"", kLargeEvents));
    int large = 0;
    for (const std::string& object : bridge.Objects()) {
        if (object.find("\"StreamUpdate\"") == std::string::npos) {
            continue;
        }
        ++large;
        EXPECT_GT(object.size(), 4096u);
        const nlohmann::json parsed = nlohmann::json::parse(object, nullptr, false);
        EXPECT_FALSE(parsed.is_discarded()) << object;
        EXPECT_NE(object.find("\"StreamInfo17\""), std::string::npos);
    }
    EXPECT_EQ(large, kLargeEvents);
    for (int i = 0; i < kEmits; ++i) {
        EXPECT_NE(events[i].find("\"code\":" + std::to_string(i) + ","), std::string::npos)
            << events[i];
    }
    EXPECT_TRUE(bridge.Alive());
}

}  // namespace
}  // namespace bridgetest
