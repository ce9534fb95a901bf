// Frames, notifications and calls at the same time, in scripted mode and in the demo room.
// Runs under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "LiveRoom.h"
#include "tests/sim/SimHarness.h"

namespace {

using namespace ZEGO::LIVEROOM;
using namespace simtest;

constexpr auto kMain = ZEGO::AV::PUBLISH_CHN_MAIN;

// A render callback that must never be called while it is unregistered.
class GuardedRenderer : public IZegoVideoRenderCallback {
  public:
    void OnVideoDataCallback(const unsigned char* data, int, const char*, int width, int height,
                             int strides[4]) override {
        if (!open.load())
            ++violations;
        if (data != nullptr && width > 0 && height > 0)
            checksum += data[strides[0] * (height - 1) + 4 * (width - 1)];
        // Stay a moment, so an unregistration that does not wait for us would show.
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        if (!open.load())
            ++violations;
        ++frames;
    }
    std::atomic<bool> open{false};
    std::atomic<int> violations{0};
    std::atomic<long> frames{0};
    std::atomic<long> checksum{0};
};

// Registers and unregisters `renderer` `rounds` times; after each unregistration returns,
// the renderer counts any frame as a violation.
void ToggleRenderer(GuardedRenderer& renderer, int rounds) {
    for (int i = 0; i < rounds; ++i) {
        renderer.open = true;
        SetExternalRenderCallback(&renderer);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        SetExternalRenderCallback(nullptr);
        renderer.open = false;
    }
}

TEST(ThreadedTest, ScriptedFramesEmitsAndCallsAtOnce) {
    Recorder recorder(false);
    GuardedRenderer renderer;
    long frames = 0;
    {
        ControlHarness channel;
        SetLivePlayerCallback(&recorder);
        channel.Send({{"op", "source"},
                      {"stream", "t"},
                      {"width", 64},
                      {"height", 36},
                      {"fps", 0},
                      {"pattern", "moving"}});
        channel.Send({{"op", "source"},
                      {"stream", nullptr},
                      {"width", 32},
                      {"height", 16},
                      {"fps", 500},
                      {"pattern", "bars"}});

        const int kEmits = 150, kCalls = 150;
        std::thread emitter([&] {
            for (int i = 0; i < kEmits; ++i) {
                channel.Send({{"op", "emit"},
                              {"cb", "OnPlayStateUpdate"},
                              {"args", {{"stateCode", i}, {"streamID", "t"}}}});
                channel.Send({{"op", "frame"}, {"width", 8}, {"height", 2}, {"count", 2}});
            }
        });
        std::thread toggler([&] { ToggleRenderer(renderer, 100); });
        for (int i = 0; i < kCalls; ++i) {
            EnableCamera(i % 2 == 0, kMain);
            SendRoomMessage(ZEGO::ROOM::Text, ZEGO::ROOM::Chat, ZEGO::ROOM::Default, "m");
            SetLivePlayerCallback(i % 3 == 0 ? nullptr : &recorder);
        }
        SetLivePlayerCallback(&recorder);
        emitter.join();
        toggler.join();

        auto lines = channel.Sync(20000ms);
        ASSERT_TRUE(lines.has_value());
        int emitted = 0, framed = 0;
        for (const Json& line : *lines) {
            ASSERT_FALSE(line.contains("unparsable")) << line;
            std::string op = line.value("op", "");
            emitted += op == "emitted";
            framed += op == "framed";
            EXPECT_NE(op, "error") << line;
        }
        EXPECT_EQ(emitted, kEmits);
        EXPECT_EQ(framed, kEmits);
        EXPECT_EQ(ControlHarness::CallsOf(*lines, "SendRoomMessage").size(),
                  static_cast<std::size_t>(kCalls));
        EXPECT_EQ(ControlHarness::CallsOf(*lines, "SetExternalRenderCallback").size(), 200u);
        frames = renderer.frames.load();
    }  // closing the channel stops the sources
    EXPECT_EQ(renderer.violations.load(), 0);
    EXPECT_GT(frames, 0);
}

TEST(ThreadedTest, DemoRoomFramesWhileTheHostCallsIn) {
    Recorder recorder(false);
    GuardedRenderer renderer;
    EnableExternalRender(true);
    ASSERT_TRUE(SetUser("me", "Me"));
    ASSERT_TRUE(InitSDK(1, kSignature, 32));
    SetRoomCallback(&recorder);
    SetLivePlayerCallback(&recorder);
    SetLivePublisherCallback(&recorder);
    ASSERT_TRUE(LoginRoom("r", 1, "R"));
    ASSERT_TRUE(StartPreview(kMain));

    std::thread toggler([&] { ToggleRenderer(renderer, 40); });
    for (int round = 0; round < 20; ++round) {
        StartPlayingStream("demo-1", nullptr, nullptr);
        StartPlayingStream("demo-2", nullptr, nullptr);
        std::this_thread::sleep_for(20ms);
        StopPlayingStream("demo-1");
        SetLivePlayerCallback(round % 2 ? &recorder : nullptr);
        StopPlayingStream("demo-2");
    }
    toggler.join();
    renderer.open = true;
    SetExternalRenderCallback(&renderer);
    ASSERT_TRUE(StartPlayingStream("demo-3", nullptr, nullptr));
    for (int i = 0; i < 100 && renderer.frames.load() == 0; ++i)
        std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(UnInitSDK());
    renderer.open = false;
    EXPECT_EQ(renderer.violations.load(), 0);
    EXPECT_GT(renderer.frames.load(), 0);
    EXPECT_TRUE(
        recorder.WaitForEvent([](const std::vector<std::string>& t) { return !t.empty(); }, 10ms));
}

TEST(ThreadedTest, HeldCallsBlockUntilReleasedOrScriptedModeEnds) {
    std::thread second;
    {
        ControlHarness channel;
        channel.Send({{"op", "hang"}, {"fn", "LogoutRoom"}});
        ASSERT_TRUE(channel.Sync().has_value());
        std::atomic<bool> returned{false};
        std::thread first([&] {
            LogoutRoom();
            returned = true;
        });
        const std::optional<Json> hanging = channel.Next();
        ASSERT_TRUE(hanging.has_value());
        EXPECT_EQ(*hanging, (Json{{"op", "hanging"}, {"fn", "LogoutRoom"}}));
        // Other functions still pass, and the held call has not returned.
        EXPECT_TRUE(EnableMic(true));
        const std::optional<std::vector<Json>> lines = channel.Sync();
        ASSERT_TRUE(lines.has_value());
        EXPECT_EQ(*lines,
                  (std::vector<Json>{{{"call", "EnableMic"}, {"args", {true}}, {"result", true}}}));
        EXPECT_FALSE(returned.load());

        channel.Send({{"op", "hang"}, {"fn", "LogoutRoom"}, {"stop", true}});
        first.join();
        const std::optional<Json> record = channel.Next();
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(*record,
                  (Json{{"call", "LogoutRoom"}, {"args", Json::array()}, {"result", true}}));

        // Held again; ending scripted mode lets the call go.
        channel.Send({{"op", "hang"}, {"fn", "UnInitSDK"}});
        ASSERT_TRUE(channel.Sync().has_value());
        second = std::thread([] { UnInitSDK(); });
        ASSERT_TRUE(channel.Next().has_value());
    }
    second.join();
}

}  // namespace
