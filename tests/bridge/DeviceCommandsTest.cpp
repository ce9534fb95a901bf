// Camera, microphone, speaker, preview, resolutions and watermarks.
#include <string>

#include "tests/bridge/BridgeFixture.h"

namespace bridgetest {
namespace {

using Devices = BridgeTest;

struct Switch {
    const char* command;
    const char* call;
    const char* function;
    const char* failureLines[2];
};

const Switch kSwitches[] = {
    {"OpenCamera",
     "EnableCamera(true, 0)",
     "EnableCamera",
     {"EnableCamera(1), failed\r\n", "OpenCamera failed, flag:0\r\n"}},
    {"CloseCamera",
     "EnableCamera(false, 0)",
     "EnableCamera",
     {"EnableCamera(0), failed\r\n", "CloseCamera failed, flag:0\r\n"}},
    {"OpenMic", "EnableMic(true)", "EnableMic", {"EnableMic(1), failed\r\n", "OpenMic failed\r\n"}},
    {"CloseMic",
     "EnableMic(false)",
     "EnableMic",
     {"EnableMic(0), failed\r\n", "CloseMic failed\r\n"}},
    {"OpenSpeaker",
     "EnableSpeaker(true)",
     "EnableSpeaker",
     {"EnableSpeaker(1), failed\r\n", "OpenSpeaker failed\r\n"}},
    {"CloseSpeaker",
     "EnableSpeaker(false)",
     "EnableSpeaker",
     {"EnableSpeaker(0), failed\r\n", "CloseSpeaker failed\r\n"}},
};

std::string Command(const std::string& type) {
    return R"({"type":")" + type + R"("})";
}

TEST_F(Devices, SwitchesCallTheSdkAndReplyWithItsResult) {
    for (const Switch& s : kSwitches) {
        Exchange e = bridge.Run(Command(s.command));
        EXPECT_EQ(e.calls, Lines{std::string(s.call) + " -> true"}) << s.command;
        EXPECT_EQ(e.replies, Lines{Reply(1, s.command)}) << s.command;
    }
    EXPECT_EQ(bridge.CountInLog("failed"), 0);
}

TEST_F(Devices, AFailingSwitchLogsBothLinesAndRepliesCodeZero) {
    for (const Switch& s : kSwitches) {
        bridge.SetResult(s.function, false);
        Exchange e = bridge.Run(Command(s.command));
        EXPECT_EQ(e.calls, Lines{std::string(s.call) + " -> false"}) << s.command;
        EXPECT_EQ(e.replies, Lines{Reply(0, s.command)}) << s.command;
        for (const char* line : s.failureLines) {
            EXPECT_TRUE(bridge.WaitForLog(std::string("LOG_ERROR ") + line)) << line;
        }
        bridge.Control({{"op", "result"}, {"fn", s.function}});  // back to success
        EXPECT_TRUE(bridge.Sync());
    }
    // Back to the default: the camera switch succeeds again.
    Exchange e = bridge.Run(Command("OpenCamera"));
    EXPECT_EQ(e.replies, Lines{Reply(1, "OpenCamera")});
}

TEST_F(Devices, PreviewStartsAndStopsOnTheMainChannel) {
    Exchange e = bridge.Run(Command("StartPreview") + Command("StopPreview"));
    EXPECT_EQ(e.calls, (Lines{"StartPreview(0) -> true", "StopPreview(0) -> true"}));
    EXPECT_EQ(e.replies, (Lines{Reply(1, "StartPreview"), Reply(1, "StopPreview")}));

    bridge.SetResult("StartPreview", false);
    bridge.SetResult("StopPreview", false);
    e = bridge.Run(Command("StartPreview") + Command("StopPreview"));
    EXPECT_EQ(e.replies, (Lines{Reply(0, "StartPreview"), Reply(0, "StopPreview")}));
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR StartPreview faild ret=0\r\n"));
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR StopPreview faild ret=0\r\n"));
}

TEST_F(Devices, ResolutionsReadHeightThenWidthAndReplyWithTheSdkName) {
    Exchange e = bridge.Run(R"({"type":"SetEncodeRect","param":{"nHeight":720.5,"nWidth":1280}})"
                            R"({"type":"SetCapRect","param":{"nWidth":640,"nHeight":360}})");
    EXPECT_EQ(e.calls, (Lines{"SetVideoEncodeResolution(1280, 720, 0) -> true",
                              "SetVideoCaptureResolution(640, 360, 0) -> true"}));
    EXPECT_EQ(e.replies,
              (Lines{Reply(1, "SetVideoEncodeResolution"), Reply(1, "SetVideoCaptureResolution")}));

    bridge.SetResult("SetVideoEncodeResolution", false);
    bridge.SetResult("SetVideoCaptureResolution", false);
    e = bridge.Run(R"({"type":"SetEncodeRect","param":{"nHeight":1e12,"nWidth":-3.5}})"
                   R"({"type":"SetCapRect","param":{"nWidth":1,"nHeight":2}})");
    EXPECT_EQ(e.calls, (Lines{"SetVideoEncodeResolution(-3, -2147483648, 0) -> false",
                              "SetVideoCaptureResolution(1, 2, 0) -> false"}));
    EXPECT_EQ(e.replies,
              (Lines{Reply(0, "SetVideoEncodeResolution"), Reply(0, "SetVideoCaptureResolution")}));
    EXPECT_TRUE(bridge.WaitForLog("SetVideoEncodeResolution(-3, -2147483648), failed\r\n"));
    EXPECT_TRUE(
        bridge.WaitForLog("SetVideoEncodeResolution failed, nWidth=-3, nHeight=-2147483648\r\n"));
    EXPECT_TRUE(bridge.WaitForLog("SetVideoCaptureResolution(1, 2), failed\r\n"));
    EXPECT_TRUE(bridge.WaitForLog("SetVideoCaptureResolution failed, nWidth=1, nHeight=2\r\n"));
}

TEST_F(Devices, WatermarksReplyCodeOneWithTheSdkNames) {
    Exchange e = bridge.Run(
        R"({"type":"SetWaterpath","param":{"path":"/no/such/file.png"}})"
        R"({"type":"SetWaterrect","param":{"bottom":40,"right":30,"top":20,"left":10}})"
        R"({"type":"SetPWaterrect","param":{"left":1.9,"top":2,"right":3,"bottom":-4.2}})");
    EXPECT_EQ(e.calls, (Lines{"SetWaterMarkImagePath(\"/no/such/file.png\", 0)",
                              "SetPublishWaterMarkRect(10, 20, 30, 40, 0)",
                              "SetPreviewWaterMarkRect(1, 2, 3, -4, 0)"}));
    EXPECT_EQ(e.replies,
              (Lines{Reply(1, "SetWaterMarkImagePath"), Reply(1, "SetPublishWaterMarkRect"),
                     Reply(1, "SetPreviewWaterMarkRect")}));
}

}  // namespace
}  // namespace bridgetest
