// The simulated SDK driven through its control channel: call records, forced results, emits,
// frames, sources, the audio check, sync and malformed requests.
#include <gtest/gtest.h>

#include <thread>

#include "LiveRoom.h"
#include "tests/sim/SimHarness.h"

namespace {

using namespace ZEGO::LIVEROOM;
using namespace simtest;

constexpr auto kMain = ZEGO::AV::PUBLISH_CHN_MAIN;

class ControlChannelTest : public ::testing::Test {
  protected:
    std::vector<Json> SyncLines() {
        auto lines = channel.Sync();
        EXPECT_TRUE(lines.has_value()) << "no answer to sync";
        return lines.value_or(std::vector<Json>{});
    }
    // Lines up to the next sync answer, without call records.
    std::vector<Json> SyncAnswers() {
        std::vector<Json> answers;
        for (Json& line : SyncLines()) {
            if (!line.contains("call"))
                answers.push_back(std::move(line));
        }
        return answers;
    }
    // Sends `request`, then a sync; returns the answers in between.
    std::vector<Json> Request(const Json& request) {
        channel.Send(request);
        return SyncAnswers();
    }
    Json Emit(const std::string& cb, const Json& args) {
        auto lines = Request({{"op", "emit"}, {"cb", cb}, {"args", args}});
        EXPECT_EQ(lines.size(), 1u);
        return lines.empty() ? Json() : lines.back();
    }

    Recorder recorder;  // declared first: outlives the channel
    ControlHarness channel;
};

TEST_F(ControlChannelTest, EveryCallIsRecordedInOrderWithItsArgumentsAndResult) {
    EnableExternalRender(true);
    EXPECT_TRUE(SetLogDir("/opt/q/"));
    SetUseTestEnv(false);
    EXPECT_TRUE(SetUser("u\"1", "Ann \xC3\xA9\n"));
    SetAudioPrep2(CopyAudio, AVE::ExtPrepSet{false, 0, 0, 0});
    EXPECT_TRUE(InitSDK(3000000000u, kSignature, 32));
    EXPECT_TRUE(SetRoomCallback(&recorder));
    SetDeviceStateCallback(nullptr);
    EXPECT_TRUE(LoginRoom("r1", 1, "Room One"));
    EXPECT_TRUE(StartPlayingStream("s1", nullptr, nullptr));
    EXPECT_TRUE(StopPublishing(0, nullptr, kMain));
    SetPublishWaterMarkRect(1, 2, 3, 4, kMain);
    int first = SendRoomMessage(ZEGO::ROOM::Text, ZEGO::ROOM::Chat, ZEGO::ROOM::Default, "hi");
    int second = SendRoomMessage(ZEGO::ROOM::Picture, ZEGO::ROOM::Gift, ZEGO::ROOM::High, "");
    EXPECT_TRUE(UnInitSDK());

    EXPECT_GT(first, 0);
    EXPECT_GT(second, 0);
    EXPECT_NE(first, second);
    std::vector<Json> expected = {
        {{"call", "EnableExternalRender"}, {"args", {true}}},
        {{"call", "SetLogDir"}, {"args", {"/opt/q/"}}, {"result", true}},
        {{"call", "SetUseTestEnv"}, {"args", {false}}},
        {{"call", "SetUser"}, {"args", {"u\"1", "Ann \xC3\xA9\n"}}, {"result", true}},
        {{"call", "SetAudioPrep2"},
         {"args",
          {"object", {{"bEncode", false}, {"nSampleRate", 0}, {"nChannel", 0}, {"nSamples", 0}}}}},
        {{"call", "InitSDK"},
         {"args", {3000000000u, "0123456789abcdefghijklmnopqrstuv", 32}},
         {"result", true}},
        {{"call", "SetRoomCallback"}, {"args", {"object"}}, {"result", true}},
        {{"call", "SetDeviceStateCallback"}, {"args", {nullptr}}},
        {{"call", "LoginRoom"}, {"args", {"r1", 1, "Room One"}}, {"result", true}},
        {{"call", "StartPlayingStream"}, {"args", {"s1", nullptr, nullptr}}, {"result", true}},
        {{"call", "StopPublishing"}, {"args", {0, nullptr, 0}}, {"result", true}},
        {{"call", "SetPublishWaterMarkRect"}, {"args", {1, 2, 3, 4, 0}}},
        {{"call", "SendRoomMessage"}, {"args", {1, 1, 2, "hi"}}, {"result", first}},
        {{"call", "SendRoomMessage"}, {"args", {2, 4, 3, ""}}, {"result", second}},
        {{"call", "UnInitSDK"}, {"args", Json::array()}, {"result", true}},
    };
    std::vector<Json> lines = SyncLines();
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i;
}

TEST_F(ControlChannelTest, ScriptedModeMakesNoNotificationOrFrameOnItsOwn) {
    EnableExternalRender(true);
    SetUser("u1", "Ann");
    InitSDK(1, kSignature, 32);
    SetRoomCallback(&recorder);
    SetLivePlayerCallback(&recorder);
    SetLivePublisherCallback(&recorder);
    SetExternalRenderCallback(&recorder);
    EXPECT_TRUE(LoginRoom("r1", 1, "Room One"));
    EXPECT_TRUE(StartPlayingStream("demo-1", nullptr, nullptr));
    EXPECT_TRUE(StartPreview(kMain));
    EXPECT_TRUE(StartPublishing("t", "mine", 0, ""));
    std::this_thread::sleep_for(400ms);
    EXPECT_TRUE(recorder.EventTexts().empty());
    EXPECT_EQ(recorder.FrameCount(), 0u);
    UnInitSDK();
}

TEST_F(ControlChannelTest, ResultsAreOnlyWhatTheChannelSets) {
    // Defaults: true even where the demo room would refuse (no InitSDK, no room).
    EXPECT_TRUE(LoginRoom("r1", 0, "x"));
    EXPECT_TRUE(StopPlayingStream("never-played"));

    Request({{"op", "result"}, {"fn", "EnableCamera"}, {"value", false}});
    EXPECT_FALSE(EnableCamera(true, kMain));
    EXPECT_FALSE(EnableCamera(false, kMain));
    EXPECT_TRUE(EnableMic(true));
    Request({{"op", "result"}, {"fn", "SendRoomMessage"}, {"value", -5}});
    EXPECT_EQ(SendRoomMessage(ZEGO::ROOM::Text, ZEGO::ROOM::Chat, ZEGO::ROOM::Default, "a"), -5);
    Request({{"op", "result"}, {"fn", "SendRoomMessage"}, {"value", 0}});
    EXPECT_EQ(SendRoomMessage(ZEGO::ROOM::Text, ZEGO::ROOM::Chat, ZEGO::ROOM::Default, "a"), 0);

    // Without a value: back to the default.
    Request({{"op", "result"}, {"fn", "EnableCamera"}});
    Request({{"op", "result"}, {"fn", "SendRoomMessage"}});
    EXPECT_TRUE(EnableCamera(true, kMain));
    int a = SendRoomMessage(ZEGO::ROOM::Text, ZEGO::ROOM::Chat, ZEGO::ROOM::Default, "a");
    int b = SendRoomMessage(ZEGO::ROOM::Text, ZEGO::ROOM::Chat, ZEGO::ROOM::Default, "a");
    EXPECT_GT(a, 0);
    EXPECT_GT(b, 0);
    EXPECT_NE(a, b);

    std::vector<Json> lines = SyncLines();
    auto camera = ControlHarness::CallsOf(lines, "EnableCamera");
    ASSERT_EQ(camera.size(), 1u);
    EXPECT_EQ(camera[0]["result"], true);

    // A forced failure of a registration leaves the object unregistered.
    Request({{"op", "result"}, {"fn", "SetRoomCallback"}, {"value", false}});
    EXPECT_FALSE(SetRoomCallback(&recorder));
    EXPECT_EQ(Emit("OnKickOut", {{"reason", 1}, {"roomID", "r1"}})["delivered"], false);

    // Refused: functions without a result, unknown names, values of the wrong type.
    for (const Json& bad : {Json{{"op", "result"}, {"fn", "SetExternalRenderCallback"}},
                            Json{{"op", "result"}, {"fn", "NoSuchCall"}, {"value", true}},
                            Json{{"op", "result"}, {"fn", "EnableMic"}, {"value", 1}},
                            Json{{"op", "result"}, {"fn", "SendRoomMessage"}, {"value", "7"}}}) {
        auto answer = Request(bad);
        ASSERT_EQ(answer.size(), 1u) << bad;
        EXPECT_EQ(answer[0]["op"], "error") << bad;
    }
    EXPECT_TRUE(EnableMic(true));
}

TEST_F(ControlChannelTest, EmitsReachOnlyRegisteredObjectsOnAnSdkThread) {
    Json args = {{"reason", 7}, {"roomID", "r1"}};
    EXPECT_EQ(Emit("OnKickOut", args),
              (Json{{"op", "emitted"}, {"cb", "OnKickOut"}, {"delivered", false}}));
    EXPECT_TRUE(recorder.EventTexts().empty());

    SetRoomCallback(&recorder);
    SyncLines();
    EXPECT_EQ(Emit("OnKickOut", args),
              (Json{{"op", "emitted"}, {"cb", "OnKickOut"}, {"delivered", true}}));
    auto events = recorder.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, "OnKickOut(7,\"r1\")");
    EXPECT_NE(events[0].thread, std::this_thread::get_id());

    // Each interface has its own registration.
    EXPECT_EQ(Emit("OnPlayStateUpdate", {{"stateCode", 1}, {"streamID", "s"}})["delivered"], false);
    EXPECT_EQ(Emit("OnSendRoomMessage", {{"seq", 1}})["delivered"], false);
    SetLivePlayerCallback(&recorder);
    SetIMCallback(&recorder);
    SyncLines();
    EXPECT_EQ(Emit("OnPlayStateUpdate", {{"stateCode", 1}, {"streamID", "s"}})["delivered"], true);
    EXPECT_EQ(Emit("OnSendRoomMessage", {{"seq", 1}})["delivered"], true);

    SetRoomCallback(nullptr);
    SyncLines();
    EXPECT_EQ(Emit("OnKickOut", args)["delivered"], false);

    // UnInitSDK drops every registration.
    UnInitSDK();
    SyncLines();
    EXPECT_EQ(Emit("OnPlayStateUpdate", {{"stateCode", 1}, {"streamID", "s"}})["delivered"], false);
    EXPECT_EQ(Emit("OnSendRoomMessage", {{"seq", 1}})["delivered"], false);
    EXPECT_EQ(recorder.EventTexts().size(), 3u);
}

TEST_F(ControlChannelTest, EmitArgumentsBecomeTheSdkRecords) {
    SetRoomCallback(&recorder);
    SetIMCallback(&recorder);
    SetLivePublisherCallback(&recorder);
    SetLivePlayerCallback(&recorder);
    SyncLines();

    Emit("OnLoginRoom",
         {{"errorCode", 0},
          {"roomID", "r\"1"},
          {"streams",
           {{{"userID", "u1"}, {"userName", "Ann"}, {"streamID", "s1"}, {"extraInfo", "{\"k\":1}"}},
            {{"streamID", "s2"}}}}});
    Emit("OnStreamUpdated",
         {{"updateCode", 2002}, {"streams", Json::array()}, {"roomID", nullptr}});
    Emit("OnRecvRoomMessage", {{"roomID", "r1"},
                               {"messages",
                                {{{"userID", "u2"},
                                  {"userName", "Bo"},
                                  {"content", "hello \u00e9"},
                                  {"messageID", 5000000000ull},
                                  {"type", 1},
                                  {"priority", 3},
                                  {"category", 2}}}}});
    Emit("OnPublishStateUpdate",
         {{"stateCode", 0},
          {"streamID", "p1"},
          {"info", {{"rtmp", {"rtmp://a"}}, {"flv", {"f0", "f1"}}, {"hlsCount", 2}}}});
    Emit("OnMixStream",
         {{"result",
           {{"errorCode", 3},
            {"nonExists", {"x1", "x2"}},
            {"output",
             {{"streamID", "o1"}, {"mixStreamID", "m1"}, {"hls", {"h0"}}, {"rtmpCount", 1}}}}},
          {"mixStreamID", "m1"},
          {"seq", 9}});
    Emit("OnPlayQualityUpdate",
         {{"streamID", "s1"},
          {"quality", {{"fps", 29.97}, {"kbps", 512.5}, {"rtt", 40}, {"pktLostRate", 3}}}});
    Emit("OnCustomCommand", {{"errorCode", -1}, {"seq", 4}, {"roomID", "r1"}});
    Emit("OnRecvEndJoinLiveCommand", {{"userID", "u"}, {"roomID", "r"}});

    std::vector<std::string> expected = {
        "OnLoginRoom(0,\"r\"1\",[{\"u1\",\"Ann\",\"s1\",\"{\"k\":1}\"},{\"\",\"\",\"s2\",\"\"}],2)",
        "OnStreamUpdated(2002,[],0,null)",
        "OnRecvRoomMessage([{\"u2\",\"Bo\",\"hello \xC3\xA9\",5000000000,1,3,2}],1,\"r1\")",
        "OnPublishStateUpdate(0,\"p1\",{1:[\"rtmp://a\"],2:[\"f0\",\"f1\"],2:[\"\",\"\"]})",
        "OnMixStream(3,2:[\"x1\",\"x2\"],\"o1\",\"m1\",{1:[\"\"],0:[],1:[\"h0\"]},\"m1\",9)",
        "OnPlayQualityUpdate(\"s1\",{29.97,512.5,40,3,0})",
        "OnCustomCommand(-1,4,\"r1\")",
        "OnRecvEndJoinLiveCommand(\"u\",\"\",\"r\")",
    };
    EXPECT_EQ(recorder.EventTexts(), expected);

    // Counts above the slots are passed as given; the slots stay at ten.
    recorder.Clear();
    Emit("OnPublishStateUpdate", {{"info", {{"rtmpCount", 12}}}});
    auto texts = recorder.EventTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("{12:[\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"]"),
              std::string::npos)
        << texts[0];
}

TEST_F(ControlChannelTest, EveryOtherNotificationOfTheInterfacesCanBeEmittedToo) {
    SetRoomCallback(&recorder);
    SetIMCallback(&recorder);
    SetLivePublisherCallback(&recorder);
    SetLivePlayerCallback(&recorder);
    SetDeviceStateCallback(&recorder);
    SyncLines();
    const std::vector<std::pair<Json, std::string>> cases = {
        {{{"cb", "OnInitSDK"}, {"args", {{"errorCode", 2}}}}, "OnInitSDK(2)"},
        {{{"cb", "OnReconnect"}, {"args", {{"errorCode", 1}, {"roomID", "r"}}}},
         "OnReconnect(1,\"r\")"},
        {{{"cb", "OnTempBroken"}, {"args", {{"roomID", "r"}}}}, "OnTempBroken(0,\"r\")"},
        {{{"cb", "OnUpdateOnlineCount"}, {"args", {{"onlineCount", 5}}}},
         "OnUpdateOnlineCount(5,\"\")"},
        {{{"cb", "OnUserUpdate"}, {"args", {{"users", {{{"userID", "a"}}, {{"userID", "b"}}}}}}},
         "OnUserUpdate(2)"},
        {{{"cb", "OnSendBigRoomMessage"}, {"args", {{"seq", 3}, {"messageID", "m"}}}},
         "OnSendBigRoomMessage(0,\"\",3,\"m\")"},
        {{{"cb", "OnRecvBigRoomMessage"}, {"args", {{"content", "c"}}}},
         "OnRecvBigRoomMessage(\"c\",\"\")"},
        {{{"cb", "OnSendConversationMessage"}, {"args", {{"conversationID", "k"}, {"seq", 1}}}},
         "OnSendConversationMessage(0,\"\",\"k\",1)"},
        {{{"cb", "OnRecvConversationMessage"}, {"args", {{"content", nullptr}}}},
         "OnRecvConversationMessage(null,\"\")"},
        {{{"cb", "OnPublishQualityLevel"}, {"args", {{"streamID", "s"}, {"quality", 2}}}},
         "OnPublishQualityLevel(\"s\",2)"},
        {{{"cb", "OnAuxCallback"}, {"args", {{"bytes", 16}}}}, "OnAuxCallback()"},
        {{{"cb", "OnPreviewSnapshot"}}, "OnPreviewSnapshot()"},
        {{{"cb", "OnRelayCDNStateUpdate"}, {"args", {{"streamID", "s"}, {"state", 4}}}},
         "OnRelayCDNStateUpdate(\"s\",4)"},
        {{{"cb", "OnUpdateMixStreamConfig"}, {"args", {{"errorCode", 9}}}},
         "OnUpdateMixStreamConfig(9,\"\")"},
        {{{"cb", "OnCaptureVideoFirstFrame"}}, "OnCaptureVideoFirstFrame()"},
        {{{"cb", "OnPlayQualityLevel"}, {"args", {{"streamID", "p"}, {"quality", 1}}}},
         "OnPlayQualityLevel(\"p\",1)"},
        {{{"cb", "OnRemoteCameraStatusUpdate"}, {"args", {{"streamID", "p"}, {"status", 1}}}},
         "OnRemoteCameraStatusUpdate(\"p\",1)"},
        {{{"cb", "OnAudioDeviceStateChanged"}, {"args", {{"deviceName", "mic"}}}},
         "OnAudioDeviceStateChanged()"},
        {{{"cb", "OnVideoDeviceStateChanged"}}, "OnVideoDeviceStateChanged()"},
        {{{"cb", "OnDeviceError"}, {"args", {{"deviceName", "cam"}, {"errorCode", 3}}}},
         "OnDeviceError(\"cam\",3)"},
    };
    for (const auto& [emit, expected] : cases) {
        recorder.Clear();
        Json request = emit;
        request["op"] = "emit";
        auto answer = Request(request);
        ASSERT_EQ(answer.size(), 1u) << request;
        EXPECT_EQ(answer[0]["delivered"], true) << request;
        EXPECT_EQ(recorder.EventTexts(), std::vector<std::string>{expected}) << request;
    }
    SetDeviceStateCallback(nullptr);
    SyncLines();
    EXPECT_EQ(Emit("OnDeviceError", Json::object())["delivered"], false);
}

TEST_F(ControlChannelTest, FramesCarryTheRequestedArguments) {
    Json bars = {
        {"op", "frame"}, {"stream", "s1"}, {"width", 16}, {"height", 2}, {"pattern", "bars"}};
    EXPECT_EQ(Request(bars), (std::vector<Json>{{{"op", "framed"}, {"delivered", 0}}}));

    SetExternalRenderCallback(&recorder);
    SyncLines();
    EXPECT_EQ(Request(bars), (std::vector<Json>{{{"op", "framed"}, {"delivered", 1}}}));
    auto frames = recorder.Frames();
    ASSERT_EQ(frames.size(), 1u);
    const FrameCall& f = frames[0];
    EXPECT_EQ(f.stream, std::optional<std::string>("s1"));
    EXPECT_EQ(f.width, 16);
    EXPECT_EQ(f.height, 2);
    EXPECT_EQ(f.dataLength, 64 * 2);
    EXPECT_EQ(std::vector<int>(f.strides, f.strides + 4), (std::vector<int>{64, 0, 0, 0}));
    EXPECT_NE(f.thread, std::this_thread::get_id());
    // Two pixels per bar: white, yellow, cyan, green, magenta, red, blue, black (B, G, R, A).
    const std::uint8_t kBar[8][4] = {{255, 255, 255, 255}, {0, 255, 255, 255}, {255, 255, 0, 255},
                                     {0, 255, 0, 255},     {255, 0, 255, 255}, {0, 0, 255, 255},
                                     {255, 0, 0, 255},     {0, 0, 0, 255}};
    std::vector<std::uint8_t> row;
    for (int bar = 0; bar < 8; ++bar)
        for (int pixel = 0; pixel < 2; ++pixel)
            row.insert(row.end(), kBar[bar], kBar[bar] + 4);
    std::vector<std::uint8_t> both = row;
    both.insert(both.end(), row.begin(), row.end());
    EXPECT_EQ(f.bytes, both);

    // A wider stride leaves padding after each row; a null stream passes a null ID.
    recorder.Clear();
    Request({{"op", "frame"},
             {"stream", nullptr},
             {"width", 16},
             {"height", 2},
             {"pattern", "solid"},
             {"color", "#102030"},
             {"stride", 80},
             {"count", 3}});
    frames = recorder.Frames();
    ASSERT_EQ(frames.size(), 3u);
    for (const FrameCall& frame : frames) {
        EXPECT_FALSE(frame.stream.has_value());
        EXPECT_EQ(frame.strides[0], 80);
        EXPECT_EQ(frame.dataLength, 160);
        ASSERT_EQ(frame.bytes.size(), 160u);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 16; ++x) {
                const std::uint8_t* p = &frame.bytes[y * 80 + x * 4];
                EXPECT_EQ(std::vector<int>(p, p + 4), (std::vector<int>{0x30, 0x20, 0x10, 255}));
            }
        }
    }
    // No stream member: also a null ID. "pixels":null: a null pixel pointer.
    recorder.Clear();
    Request({{"op", "frame"}, {"width", 4}, {"height", 4}, {"pixels", nullptr}});
    frames = recorder.Frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(frames[0].nullPixels);
    EXPECT_FALSE(frames[0].stream.has_value());
    EXPECT_EQ(frames[0].dataLength, 64);

    // Degenerate sizes reach the callback as given, with a valid pointer, so a receiver's
    // checks can be exercised.
    recorder.Clear();
    Request({{"op", "frame"}, {"stream", "z"}, {"width", 0}, {"height", -3}});
    frames = recorder.Frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames[0].nullPixels);
    EXPECT_EQ(frames[0].width, 0);
    EXPECT_EQ(frames[0].height, -3);
    EXPECT_EQ(frames[0].dataLength, 0);

    // The moving pattern changes from frame to frame.
    recorder.Clear();
    Request({{"op", "frame"},
             {"stream", "m"},
             {"width", 64},
             {"height", 64},
             {"pattern", "moving"},
             {"count", 2}});
    frames = recorder.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_NE(frames[0].bytes, frames[1].bytes);

    // Unregistered: nothing more arrives.
    SetExternalRenderCallback(nullptr);
    SyncLines();
    EXPECT_EQ(Request(bars), (std::vector<Json>{{{"op", "framed"}, {"delivered", 0}}}));
}

TEST_F(ControlChannelTest, ASourceDeliversUntilItIsStopped) {
    SetExternalRenderCallback(&recorder);
    Request({{"op", "source"},
             {"stream", "live"},
             {"width", 32},
             {"height", 8},
             {"fps", 200},
             {"pattern", "moving"}});
    ASSERT_TRUE(recorder.WaitForFrames(5));
    EXPECT_EQ(Request({{"op", "source"}, {"stream", "live"}, {"stop", true}}).size(), 0u);
    std::size_t stopped = recorder.FrameCount();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(recorder.FrameCount(), stopped);
    for (const FrameCall& frame : recorder.Frames()) {
        EXPECT_EQ(frame.stream, std::optional<std::string>("live"));
        EXPECT_EQ(frame.width, 32);
    }

    // UnInitSDK stops sources as well.
    Request({{"op", "source"}, {"stream", nullptr}, {"width", 8}, {"height", 8}, {"fps", 0}});
    ASSERT_TRUE(recorder.WaitForFrames(stopped + 5));
    UnInitSDK();
    std::size_t after = recorder.FrameCount();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(recorder.FrameCount(), after);
}

void CopyAudioButOneByteShort(const AVE::AudioFrame& in, AVE::AudioFrame& out) {
    CopyAudio(in, out);
    if (in.bufLen > 0)
        out.buffer[in.bufLen - 1] ^= 1;
}

void CopyAudioPastTheEnd(const AVE::AudioFrame& in, AVE::AudioFrame& out) {
    CopyAudio(in, out);
    out.buffer[in.bufLen] = 0;
}

void CopyAudioWithoutTimestamp(const AVE::AudioFrame& in, AVE::AudioFrame& out) {
    CopyAudio(in, out);
    out.timeStamp = 0;
}

TEST_F(ControlChannelTest, TheAudioCheckComparesTheOutputWithTheInput) {
    Json check = {{"op", "audio"}, {"bytes", 256}};
    Json ok = {{"op", "audio"}, {"ok", true}};
    Json bad = {{"op", "audio"}, {"ok", false}};
    EXPECT_EQ(Request(check), std::vector<Json>{bad});  // nothing registered
    SetAudioPrep2(CopyAudio, AVE::ExtPrepSet{false, 0, 0, 0});
    EXPECT_EQ(Request(check), std::vector<Json>{ok});
    EXPECT_EQ(Request({{"op", "audio"}, {"bytes", 0}}), std::vector<Json>{ok});
    for (auto faulty : {CopyAudioButOneByteShort, CopyAudioPastTheEnd, CopyAudioWithoutTimestamp}) {
        SetAudioPrep2(faulty, AVE::ExtPrepSet{false, 0, 0, 0});
        EXPECT_EQ(Request(check), std::vector<Json>{bad});
    }
    UnInitSDK();  // drops the audio callback too
    EXPECT_EQ(Request(check), std::vector<Json>{bad});
}

// Takes its time over each notification, so an early sync answer would show.
class SlowRecorder : public Recorder {
  public:
    void OnKickOut(int reason, const char* roomID) override {
        std::this_thread::sleep_for(150ms);
        Recorder::OnKickOut(reason, roomID);
    }
};

TEST_F(ControlChannelTest, SyncIsAnsweredAfterEarlierRequestsAndTheirNotifications) {
    SlowRecorder slow;
    SetRoomCallback(&slow);
    SetExternalRenderCallback(&recorder);
    channel.Send({{"op", "emit"}, {"cb", "OnKickOut"}, {"args", {{"reason", 1}}}});
    channel.Send({{"op", "frame"}, {"width", 2}, {"height", 2}, {"count", 2}});
    channel.Send({{"op", "emit"}, {"cb", "OnKickOut"}, {"args", {{"reason", 2}}}});
    auto lines = SyncAnswers();
    // Both notifications have returned and both frames arrived by the time of the answer.
    EXPECT_EQ(slow.EventTexts(),
              (std::vector<std::string>{"OnKickOut(1,\"\")", "OnKickOut(2,\"\")"}));
    EXPECT_EQ(recorder.FrameCount(), 2u);
    std::vector<Json> expected = {
        {{"op", "emitted"}, {"cb", "OnKickOut"}, {"delivered", true}},
        {{"op", "framed"}, {"delivered", 2}},
        {{"op", "emitted"}, {"cb", "OnKickOut"}, {"delivered", true}},
    };
    EXPECT_EQ(lines, expected);
    SetRoomCallback(nullptr);
}

TEST_F(ControlChannelTest, MalformedRequestsAreAnsweredAndTheChannelGoesOn) {
    SetRoomCallback(&recorder);
    std::vector<std::string> bad = {
        "not json",
        "{\"op\":\"emit\"",
        "[1,2,3]",
        "{\"op\":17}",
        "{\"op\":\"dance\"}",
        "{\"op\":\"emit\",\"cb\":\"OnNothing\",\"args\":{}}",
        "{\"op\":\"emit\",\"cb\":\"OnKickOut\",\"args\":{\"reason\":\"seven\"}}",
        "{\"op\":\"emit\",\"cb\":\"OnKickOut\",\"args\":{\"reason\":1.5}}",
        "{\"op\":\"emit\",\"cb\":\"OnLoginRoom\",\"args\":{\"streams\":[1]}}",
        "{\"op\":\"emit\",\"cb\":\"OnKickOut\",\"args\":[]}",
        "{\"op\":\"frame\",\"width\":4}",
        "{\"op\":\"frame\",\"width\":4,\"height\":4,\"stride\":8}",
        "{\"op\":\"frame\",\"width\":4,\"height\":4,\"pattern\":\"plaid\"}",
        "{\"op\":\"frame\",\"width\":4,\"height\":4,\"color\":\"red\"}",
        "{\"op\":\"frame\",\"width\":4,\"height\":4,\"pixels\":\"yes\"}",
        "{\"op\":\"frame\",\"width\":100000,\"height\":100000}",
        "{\"op\":\"source\",\"width\":4,\"height\":4,\"fps\":-1}",
        "{\"op\":\"audio\",\"bytes\":-3}",
    };
    for (const std::string& line : bad) {
        channel.SendRaw(line);
        auto answer = SyncAnswers();
        ASSERT_EQ(answer.size(), 1u) << line;
        EXPECT_EQ(answer[0]["op"], "error") << line;
        EXPECT_TRUE(answer[0]["message"].is_string()) << line;
    }
    // An over-long line is refused as a whole; blank lines are ignored.
    channel.SendRaw(std::string(1100000, ' ') + "{}");
    channel.SendRaw("");
    auto answer = SyncAnswers();
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0]["op"], "error");

    EXPECT_TRUE(recorder.EventTexts().empty());
    EXPECT_EQ(Emit("OnKickOut", {{"reason", 3}})["delivered"], true);
}

}  // namespace
