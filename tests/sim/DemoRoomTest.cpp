// The demo room: what the simulated SDK does on its own without a control channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "LiveRoom.h"
#include "sdk/sim/DemoRoom.h"
#include "tests/sim/SimHarness.h"

namespace {

using namespace ZEGO::LIVEROOM;
using namespace simtest;

constexpr auto kMain = ZEGO::AV::PUBLISH_CHN_MAIN;

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

bool HasPrefix(const std::vector<std::string>& texts, const std::string& prefix) {
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& t) { return t.rfind(prefix, 0) == 0; });
}

class DemoRoomTest : public ::testing::Test {
  protected:
    // The bridge's set-up order.
    void SetUp() override {
        EnableExternalRender(true);
        ASSERT_TRUE(SetUser("me", "Me"));
        ASSERT_TRUE(InitSDK(1, kSignature, 32));
        SetLivePublisherCallback(&recorder);
        SetLivePlayerCallback(&recorder);
        SetRoomCallback(&recorder);
    }
    void TearDown() override { UnInitSDK(); }

    void EnterRoom() {
        SetExternalRenderCallback(&recorder);
        ASSERT_TRUE(LoginRoom("room-1", 1, "Room One"));
        ASSERT_TRUE(recorder.WaitForEvent(
            [](const std::vector<std::string>& t) { return HasPrefix(t, "OnLoginRoom("); }));
    }

    std::vector<FrameCall> FramesOf(const std::optional<std::string>& stream) {
        std::vector<FrameCall> frames;
        for (FrameCall& f : recorder.Frames()) {
            if (f.stream == stream)
                frames.push_back(std::move(f));
        }
        return frames;
    }

    Recorder recorder;
};

TEST_F(DemoRoomTest, CallsInTheWrongStateFail) {
    EXPECT_FALSE(InitSDK(1, kSignature, 32));                      // already initialised
    EXPECT_FALSE(StartPlayingStream("demo-1", nullptr, nullptr));  // no room yet
    EXPECT_FALSE(StartPublishing("t", "mine", 0, ""));
    EXPECT_FALSE(LogoutRoom());
    EXPECT_EQ(SendRoomMessage(ZEGO::ROOM::Text, ZEGO::ROOM::Chat, ZEGO::ROOM::Default, "x"), 0);
    EXPECT_FALSE(StopPreview(kMain));  // no preview runs
    EXPECT_FALSE(StopPublishing(0, nullptr, kMain));
    EXPECT_FALSE(LoginRoom("", 1, "empty"));
    EXPECT_FALSE(SetVideoCaptureResolution(0, 0, kMain));

    EXPECT_TRUE(LoginRoom("room-1", 1, "Room One"));
    EXPECT_FALSE(LoginRoom("room-2", 1, "one room at a time"));
    EXPECT_TRUE(StartPlayingStream("demo-1", nullptr, nullptr));
    EXPECT_FALSE(StartPlayingStream("demo-1", nullptr, nullptr));  // already playing
    EXPECT_TRUE(StopPlayingStream("demo-1"));
    EXPECT_FALSE(StopPlayingStream("demo-1"));
    EXPECT_TRUE(StartPreview(kMain));
    EXPECT_FALSE(StartPreview(kMain));
    EXPECT_FALSE(StartPreview(ZEGO::AV::PUBLISH_CHN_AUX));
    EXPECT_TRUE(StartPublishing("t", "mine", 0, ""));
    EXPECT_FALSE(StartPublishing("t", "other", 0, ""));
    EXPECT_TRUE(StopPublishing(0, nullptr, kMain));
    EXPECT_TRUE(LogoutRoom());
    EXPECT_FALSE(LogoutRoom());

    EXPECT_TRUE(UnInitSDK());
    EXPECT_FALSE(UnInitSDK());
    EXPECT_FALSE(LoginRoom("room-1", 1, "Room One"));  // not initialised
    EXPECT_FALSE(EnableCamera(true, kMain));
    ASSERT_TRUE(InitSDK(1, kSignature, 32));  // TearDown's UnInitSDK needs it
}

TEST_F(DemoRoomTest, LoginIsAnsweredOnAnSdkThreadWithThreeStreams) {
    EnterRoom();
    auto events = recorder.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NE(events[0].thread, std::this_thread::get_id());
    EXPECT_EQ(events[0].text,
              "OnLoginRoom(0,\"room-1\",["
              "{\"demo-user-1\",\"Demo User 1\",\"demo-1\",\"{\"title\":\"Demo stream 1\"}\"},"
              "{\"demo-user-2\",\"Demo User 2\",\"demo-2\",\"{\"title\":\"Demo stream 2\"}\"},"
              "{\"demo-user-3\",\"Demo User 3\",\"demo-3\",\"{\"title\":\"Demo stream 3\"}\"}],3)");
}

TEST_F(DemoRoomTest, APlayedStreamReportsItsStateSizeAndFramesUntilStopped) {
    EnterRoom();
    ASSERT_TRUE(StartPlayingStream("demo-2", nullptr, nullptr));
    ASSERT_TRUE(StartPlayingStream("nobody", nullptr, nullptr));
    ASSERT_TRUE(recorder.WaitForFrames(4));
    ASSERT_TRUE(recorder.WaitForEvent([](const std::vector<std::string>& t) {
        return Contains(t, "OnPlayStateUpdate(0,\"demo-2\")") &&
               Contains(t, "OnPlayStateUpdate(" + std::to_string(sim::DemoRoom::kStreamNotFound) +
                               ",\"nobody\")");
    }));
    auto frames = FramesOf(std::string("demo-2"));
    ASSERT_GE(frames.size(), 3u);
    EXPECT_EQ(frames.size(), recorder.FrameCount());  // nothing for the missing stream
    for (const FrameCall& f : frames) {
        EXPECT_EQ(f.width, 640);
        EXPECT_EQ(f.height, 360);
        EXPECT_EQ(f.strides[0], 640 * 4);
        EXPECT_EQ(f.dataLength, 640 * 4 * 360);
        EXPECT_NE(f.thread, std::this_thread::get_id());
    }
    EXPECT_NE(frames[0].bytes, frames[1].bytes) << "the picture must move";

    // Quality every few seconds.
    EXPECT_TRUE(recorder.WaitForEvent(
        [](const std::vector<std::string>& t) {
            return HasPrefix(t, "OnPlayQualityUpdate(\"demo-2\",{15,");
        },
        5000ms));

    ASSERT_TRUE(StopPlayingStream("demo-2"));
    std::this_thread::sleep_for(100ms);  // a frame already on its way may still land
    std::size_t stopped = recorder.FrameCount();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(recorder.FrameCount(), stopped);

    auto texts = recorder.EventTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "OnVideoSizeChanged(\"demo-2\",640,360)"), 1);
}

TEST_F(DemoRoomTest, StreamsLookDifferentFromEachOther) {
    EnterRoom();
    ASSERT_TRUE(StartPlayingStream("demo-1", nullptr, nullptr));
    ASSERT_TRUE(StartPlayingStream("demo-3", nullptr, nullptr));
    ASSERT_TRUE(recorder.WaitForFrames(4));
    auto one = FramesOf(std::string("demo-1"));
    auto three = FramesOf(std::string("demo-3"));
    ASSERT_FALSE(one.empty());
    ASSERT_FALSE(three.empty());
    // The first frame of each: same moment, same moving parts, other colour and label.
    EXPECT_EQ(one[0].bytes.size(), three[0].bytes.size());
    EXPECT_NE(one[0].bytes, three[0].bytes);
}

TEST_F(DemoRoomTest, PreviewPublishingAndMessages) {
    SetIMCallback(&recorder);
    EnterRoom();
    ASSERT_TRUE(StartPreview(kMain));
    ASSERT_TRUE(recorder.WaitForFrames(2));
    auto preview = FramesOf(std::nullopt);
    ASSERT_FALSE(preview.empty());
    EXPECT_EQ(preview[0].width, 640);

    ASSERT_TRUE(StartPublishing("title", "mine", 0, ""));
    int seq = SendRoomMessage(ZEGO::ROOM::Text, ZEGO::ROOM::Chat, ZEGO::ROOM::Default, "hello");
    ASSERT_GT(seq, 0);
    std::string published =
        "OnPublishStateUpdate(0,\"mine\",{1:[\"" + sim::DemoRoom::RtmpURL("mine") + "\"],1:[\"" +
        sim::DemoRoom::FlvURL("mine") + "\"],1:[\"" + sim::DemoRoom::HlsURL("mine") + "\"]})";
    std::string confirmed = "OnSendRoomMessage(0,\"room-1\"," + std::to_string(seq) + ",";
    ASSERT_TRUE(recorder.WaitForEvent([&](const std::vector<std::string>& t) {
        return Contains(t, published) && HasPrefix(t, confirmed);
    }));
    EXPECT_TRUE(Contains(recorder.EventTexts(), "OnCaptureVideoSizeChanged(640,360)"));
    EXPECT_TRUE(recorder.WaitForEvent(
        [](const std::vector<std::string>& t) {
            return HasPrefix(t, "OnPublishQualityUpdate(\"mine\",{15,");
        },
        5000ms));

    // Camera off: the preview stops delivering.
    ASSERT_TRUE(EnableCamera(false, kMain));
    std::this_thread::sleep_for(100ms);
    std::size_t before = recorder.FrameCount();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(recorder.FrameCount(), before);
}

TEST_F(DemoRoomTest, UnInitStopsEverything) {
    EnterRoom();
    ASSERT_TRUE(StartPlayingStream("demo-1", nullptr, nullptr));
    ASSERT_TRUE(StartPreview(kMain));
    ASSERT_TRUE(recorder.WaitForFrames(2));
    ASSERT_TRUE(EnableCamera(false, kMain));
    ASSERT_TRUE(UnInitSDK());
    std::size_t frames = recorder.FrameCount();
    std::size_t events = recorder.EventTexts().size();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(recorder.FrameCount(), frames);
    EXPECT_EQ(recorder.EventTexts().size(), events);

    // A new start begins afresh: camera on, no room, nothing registered.
    ASSERT_TRUE(InitSDK(1, kSignature, 32));
    EXPECT_FALSE(LogoutRoom());
    ASSERT_TRUE(StartPreview(kMain));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(recorder.FrameCount(), frames);
    SetExternalRenderCallback(&recorder);
    EXPECT_TRUE(recorder.WaitForFrames(frames + 2));
}

}  // namespace
