// Publishing and room messages: calls, failure lines, and no replies.
#include <string>

#include "tests/bridge/BridgeFixture.h"

namespace bridgetest {
namespace {

using Publishing = BridgeTest;

TEST_F(Publishing, StartPushRtmpPublishesWithItsArguments) {
    Exchange e = bridge.Run(
        R"({"type":"StartPushRtmp","param":{"Params":"p=1","StreamID":"s9","Title":"My Show","flag":4.8}})");
    EXPECT_EQ(e.calls, Lines{R"(StartPublishing("My Show", "s9", 4, "p=1") -> true)"});
    EXPECT_TRUE(e.replies.empty());

    bridge.SetResult("StartPublishing", false);
    e = bridge.Run(
        R"({"type":"StartPushRtmp","param":{"flag":0,"Title":"T","StreamID":"s","Params":""}})");
    EXPECT_EQ(e.calls, Lines{R"(StartPublishing("T", "s", 0, "") -> false)"});
    EXPECT_TRUE(e.replies.empty());
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR StartPublishing(T, s, 0, ), failed\r\n"));
    EXPECT_TRUE(bridge.WaitForLog(
        "LOG_ERROR StartPublishing failed, pszTitle:T, pszStreamID:s, flag:0, pszParams:\r\n"));
}

TEST_F(Publishing, StopPushRtmpStopsThePreviewFirst) {
    Exchange e = bridge.Run(R"({"type":"StopPushRtmp","param":{"flag":7}})");
    EXPECT_EQ(e.calls, (Lines{"StopPreview(0) -> true", "StopPublishing(0, null, 0) -> true"}));
    EXPECT_TRUE(e.replies.empty());

    // A failed preview stop is logged and publishing is still stopped.
    bridge.SetResult("StopPreview", false);
    e = bridge.Run(R"({"type":"StopPushRtmp"})");
    EXPECT_EQ(e.calls, (Lines{"StopPreview(0) -> false", "StopPublishing(0, null, 0) -> true"}));
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR StopPreview faild ret=0\r\n"));
    EXPECT_EQ(bridge.CountInLog("StopPublishing failed"), 0);

    bridge.SetResult("StopPublishing", false);
    e = bridge.Run(R"({"type":"StopPushRtmp"})");
    EXPECT_EQ(e.calls, (Lines{"StopPreview(0) -> false", "StopPublishing(0, null, 0) -> false"}));
    EXPECT_TRUE(e.replies.empty());
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR StopPublishing(0, (null), 0), failed\r\n"));
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR StopPublishing failed, flag:0\r\n"));
}

TEST_F(Publishing, SendRoomMessagePassesItsNumbersAndNeverReplies) {
    Exchange e = bridge.Run(
        R"({"type":"SendRoomMessage","param":{"messageContent":"hello","priority":3,"category":2,"type":1}})");
    ASSERT_EQ(e.calls.size(), 1u);
    EXPECT_EQ(e.calls[0].substr(0, e.calls[0].find(" ->")), R"(SendRoomMessage(1, 2, 3, "hello"))");
    EXPECT_TRUE(e.replies.empty());

    bridge.SetResult("SendRoomMessage", 0);
    e = bridge.Run(
        R"({"type":"SendRoomMessage","param":{"type":100,"category":4,"priority":2,"messageContent":"x y"}})");
    EXPECT_EQ(e.calls, Lines{R"(SendRoomMessage(100, 4, 2, "x y") -> 0)"});
    EXPECT_TRUE(e.replies.empty());
    EXPECT_TRUE(bridge.WaitForLog(
        "LOG_ERROR SendRoomMessage(type=100, category=4, priority=2, msg=x y) failed, flag:0\r\n"));
}

}  // namespace
}  // namespace bridgetest
