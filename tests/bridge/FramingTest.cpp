// How the bridge cuts the bytes on descriptor 3 into commands, end to end.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/BridgeProcess.h"

namespace {

using bridgetest::BridgeProcess;
using bridgetest::Exchange;
using bridgetest::Lines;

const char kOpenMicReply[] = R"({ "code": 1, "type": "OpenMic" })";
const char kCloseMicReply[] = R"({ "code": 1, "type": "CloseMic" })";
const char kOpenSpeakerReply[] = R"({ "code": 1, "type": "OpenSpeaker" })";

class Framing : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(bridge.Start()); }
    BridgeProcess bridge;
};

TEST_F(Framing, GreetingComesFirstWithoutAnyInput) {
    const std::string greeting = R"({ "code": 0, "type": "DaemonStart" })";
    EXPECT_EQ(bridge.ReplyBytes().substr(0, greeting.size()), greeting);
    EXPECT_EQ(bridge.Objects().size(), 1u) << "nothing else is sent by itself";
}

TEST_F(Framing, StartUpLogsTheVersionOnceAndSendsNothingForIt) {
    EXPECT_TRUE(bridge.WaitForLog("LOG_ALARM Quorlane version " QUORLANE_VERSION ", SDK sim\r\n"));
    EXPECT_EQ(bridge.CountInLog("Quorlane version"), 1);
    EXPECT_EQ(bridge.Objects().size(), 1u);
}

TEST_F(Framing, BackToBackObjectsInOneWriteAreThreeCommands) {
    Exchange e = bridge.Run(R"({"type":"OpenMic"}{"type":"CloseMic"}{"type":"OpenSpeaker"})");
    EXPECT_EQ(e.replies, (Lines{kOpenMicReply, kCloseMicReply, kOpenSpeakerReply}));
    EXPECT_EQ(e.calls, (Lines{"EnableMic(true) -> true", "EnableMic(false) -> true",
                              "EnableSpeaker(true) -> true"}));
    // Replies are written back to back, nothing between them.
    const std::string bytes = bridge.ReplyBytes();
    EXPECT_NE(bytes.find(std::string(kOpenMicReply) + kCloseMicReply + kOpenSpeakerReply),
              std::string::npos);
}

TEST_F(Framing, ObjectsSeparatedByLineEndsAreEachExecuted) {
    Exchange e = bridge.Run("{\"type\":\"OpenMic\"}\n{\"type\":\"CloseMic\"}\r\n");
    EXPECT_EQ(e.replies, (Lines{kOpenMicReply, kCloseMicReply}));
}

TEST_F(Framing, AnObjectSplitAcrossTwoWritesIsJoined) {
    bridge.Send(R"({"type":"Open)");
    ASSERT_TRUE(bridge.WaitForLog(R"(RecvMessage: [{"type":"Open])"));
    Exchange e = bridge.Run(R"(Mic"})");
    EXPECT_EQ(e.replies, Lines{kOpenMicReply});
    EXPECT_EQ(e.calls, Lines{"EnableMic(true) -> true"});
}

TEST_F(Framing, BracesInsideAStringDoNotSplit) {
    Exchange e = bridge.Run(
        R"({"type":"SendRoomMessage","param":{"messageContent":"a}{b","priority":2,"category":1,"type":1}})");
    EXPECT_TRUE(e.replies.empty());
    ASSERT_EQ(e.calls.size(), 1u);
    EXPECT_EQ(e.calls[0].substr(0, e.calls[0].find(" ->")), R"(SendRoomMessage(1, 1, 2, "a}{b"))");
}

TEST_F(Framing, A3000ByteRoomMessageArrivesWhole) {
    std::string content;
    for (int i = 0; content.size() < 3000; ++i) {
        content += static_cast<char>('a' + i % 26);
    }
    content.resize(3000);
    Exchange e = bridge.Run(R"({"type":"SendRoomMessage","param":{"messageContent":")" + content +
                            R"(","priority":3,"category":2,"type":1}})");
    ASSERT_EQ(e.calls.size(), 1u);
    EXPECT_EQ(e.calls[0].substr(0, e.calls[0].find(" ->")),
              "SendRoomMessage(1, 2, 3, \"" + content + "\")");
}

TEST_F(Framing, GarbageBetweenObjectsIsSkippedAndLogged) {
    Exchange e = bridge.Run(R"(xyz{"type":"OpenMic"}]]{"type":"CloseMic"})");
    EXPECT_EQ(e.replies, (Lines{kOpenMicReply, kCloseMicReply}));
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR bytes outside any command skipped: [xyz]]]\r\n"));
}

TEST_F(Framing, AMalformedObjectIsDroppedAndTheNextOneRuns) {
    Exchange e = bridge.Run(R"({"type":"OpenMic",,}{"type":"CloseMic"})");
    EXPECT_EQ(e.replies, Lines{kCloseMicReply});
    EXPECT_EQ(e.calls, Lines{"EnableMic(false) -> true"});
    EXPECT_TRUE(bridge.WaitForLog(R"(text=[{"type":"OpenMic",,}])"));
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR command dropped, e="));

    // A conversion error (a required argument of the wrong kind) is dropped the same way, and
    // the worker is not left holding its lock: the next command still runs.
    e = bridge.Run(
        R"({"type":"SetCapRect","param":{"nHeight":"tall","nWidth":3}}{"type":"OpenMic"})");
    EXPECT_EQ(e.replies, Lines{kOpenMicReply});
    EXPECT_TRUE(bridge.WaitForLog(
        R"(command dropped, e=a bad conversion, text=[{"type":"SetCapRect","param":{"nHeight":"tall","nWidth":3}}])"));
}

TEST_F(Framing, AnUnterminatedObjectCostsABoundedAmount) {
    // 20000 bytes of an object that never closes, then a good command: the first 16 KiB are
    // dropped, the rest are bytes outside any object, and the good command runs.
    const std::string open = R"({"type":"SendRoomMessage","param":{"messageContent":")";
    bridge.Send(open + std::string(20000 - open.size(), 'm'));
    Exchange e = bridge.Run(R"("}}{"type":"OpenMic"})");
    EXPECT_EQ(e.replies, Lines{kOpenMicReply});
    EXPECT_EQ(e.calls, Lines{"EnableMic(true) -> true"});
    EXPECT_TRUE(bridge.WaitForLog(
        R"(LOG_ERROR command longer than 16384 bytes dropped, begins [{"type":"SendRoomMessage","param":{"messageContent":"mmmmmmmmmmm])"));
}

TEST_F(Framing, EveryReceivedTextIsLoggedAtDebugLevel) {
    bridge.Run(R"({"type":"OpenMic"})");
    EXPECT_TRUE(bridge.WaitForLog(R"(LOG_DEBUG RecvMessage: [{"type":"OpenMic"})"));
}

}  // namespace
