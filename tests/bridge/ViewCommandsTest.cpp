// Requesting views: the stop and play calls and the channel of each stream.
#include <string>

#include "tests/bridge/BridgeFixture.h"

namespace bridgetest {
namespace {

using Views = BridgeTest;

std::string Play(const std::string& id) {
    return "StartPlayingStream(\"" + id + "\", null, null) -> true";
}
std::string Stop(const std::string& id) {
    return "StopPlayingStream(\"" + id + "\") -> true";
}

TEST_F(Views, AnEmptyListStopsEverythingAndStartsNothing) {
    Exchange e = bridge.Run(R"({"type":"RequestView","param":[]})");
    EXPECT_TRUE(e.calls.empty());
    bridge.Run(R"({"type":"RequestView","param":["a"]})");
    e = bridge.Run(R"({"type":"RequestView","param":[]})");
    EXPECT_EQ(e.calls, Lines{Stop("a")});
    EXPECT_TRUE(e.replies.empty());
}

TEST_F(Views, EmptyIdsAreLeftOutAndChannelsFollowTheKeptOrder) {
    Exchange e = bridge.Run(R"({"type":"RequestView","param":["a","","b"]})");
    EXPECT_EQ(e.calls, (Lines{Play("a"), Play("b")}));
    EXPECT_TRUE(e.replies.empty());

    // Frames of "b" go to channel 2 (descriptor 7).
    bridge.Run(R"({"type":"EnterRoom","param":{"RoomName":"R","RoomID":"r","role":2}})");
    nlohmann::json framed = bridge.Ask({{"op", "frame"},
                                        {"stream", "b"},
                                        {"width", 4},
                                        {"height", 2},
                                        {"pattern", "solid"},
                                        {"color", "#000000"},
                                        {"count", 1}},
                                       "framed");
    EXPECT_EQ(framed.value("delivered", 0), 1);
    Frame frame;
    EXPECT_TRUE(bridge.NextFrame(2, &frame));
    EXPECT_EQ(frame.width, 4);
}

TEST_F(Views, MoreThanFourIdsOnlyLog) {
    bridge.Run(R"({"type":"RequestView","param":["x"]})");
    Exchange e = bridge.Run(R"({"type":"RequestView","param":["a","b","c","d","e"]})");
    EXPECT_TRUE(e.calls.empty()) << "nothing is stopped either";
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR RequestRemoteView size (Dispatch.cpp):"))
        << "the message has no line end of its own\n"
        << bridge.LogText();
    e = bridge.Run(R"({"type":"RequestView","param":["a","b","c","d"]})");
    EXPECT_EQ(e.calls, (Lines{Stop("x"), Play("a"), Play("b"), Play("c"), Play("d")}));
}

TEST_F(Views, AParamThatIsNotAnArrayOnlyLogs) {
    bridge.Run(R"({"type":"RequestView","param":["x"]})");
    Exchange e = bridge.Run(R"({"type":"RequestView","param":{"list":["a"]}})"
                            R"({"type":"RequestView"})");
    EXPECT_TRUE(e.calls.empty());
    EXPECT_TRUE(bridge.WaitForLogCount("LOG_ERROR list is not a array (Dispatch.cpp):", 2));
}

TEST_F(Views, ASecondRequestStopsTheFirstAndReassignsChannels) {
    bridge.Run(R"({"type":"EnterRoom","param":{"RoomName":"R","RoomID":"r","role":2}})");
    Exchange e = bridge.Run(R"({"type":"RequestView","param":["a","b"]})");
    EXPECT_EQ(e.calls, (Lines{Play("a"), Play("b")}));
    e = bridge.Run(R"({"type":"RequestView","param":["b","c"]})");
    EXPECT_EQ(e.calls, (Lines{Stop("a"), Stop("b"), Play("b"), Play("c")}));
    // The map now holds a:1, b:1, c:2; a third request stops all three in ID order.
    e = bridge.Run(R"({"type":"RequestView","param":[]})");
    EXPECT_EQ(e.calls, (Lines{Stop("a"), Stop("b"), Stop("c")}));

    // Channels seen by the frame relay: "a" keeps 1, "b" has 1, "c" has 2, others go to 0.
    const struct {
        const char* stream;
        int channel;
    } expected[] = {{"a", 1}, {"b", 1}, {"c", 2}, {"zzz", 0}};
    for (const auto& x : expected) {
        nlohmann::json framed = bridge.Ask({{"op", "frame"},
                                            {"stream", x.stream},
                                            {"width", 2},
                                            {"height", 2},
                                            {"pattern", "solid"},
                                            {"color", "#FFFFFF"},
                                            {"count", 1}},
                                           "framed");
        EXPECT_EQ(framed.value("delivered", 0), 1) << x.stream;
        Frame frame;
        EXPECT_TRUE(bridge.NextFrame(x.channel, &frame)) << x.stream;
        EXPECT_EQ(frame.width, 2);
        EXPECT_EQ(frame.height, 2);
    }
}

TEST_F(Views, FailuresToPlayOrStopAreLoggedAndTheChannelStays) {
    bridge.SetResult("StartPlayingStream", false);
    Exchange e = bridge.Run(R"({"type":"RequestView","param":["s1"]})");
    EXPECT_EQ(e.calls, Lines{"StartPlayingStream(\"s1\", null, null) -> false"});
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR StartPlayingStream(s1, (null)), failed\r\n"));
    EXPECT_TRUE(bridge.WaitForLog(
        "LOG_ERROR StartPlayingStream failed, pszStreamID:s1, pszParams:(null)\r\n"));

    bridge.SetResult("StopPlayingStream", false);
    e = bridge.Run(R"({"type":"RequestView","param":[]})");
    EXPECT_EQ(e.calls, Lines{"StopPlayingStream(\"s1\") -> false"})
        << "the failed play still left s1 in the map";
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR StopPlayingStream(s1), failed\r\n"));
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR StopPlayingStream failed, pszStreamID:s1\r\n"));
}

TEST_F(Views, ADuplicateIdIsPlayedTwiceAndKeepsTheLaterChannel) {
    bridge.Run(R"({"type":"EnterRoom","param":{"RoomName":"R","RoomID":"r","role":2}})");
    Exchange e = bridge.Run(R"({"type":"RequestView","param":["d","e","d"]})");
    EXPECT_EQ(e.calls, (Lines{Play("d"), Play("e"), Play("d")}));
    bridge.Ask({{"op", "frame"},
                {"stream", "d"},
                {"width", 2},
                {"height", 2},
                {"pattern", "solid"},
                {"color", "#FFFFFF"},
                {"count", 1}},
               "framed");
    Frame frame;
    EXPECT_TRUE(bridge.NextFrame(3, &frame));
}

}  // namespace
}  // namespace bridgetest
