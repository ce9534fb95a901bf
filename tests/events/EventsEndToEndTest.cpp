// Every handled notification, emitted through the simulated SDK, must reach descriptor 4 as the
// exact event text, and every text must be valid JSON.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/BridgeProcess.h"

namespace {

using bridgetest::BridgeProcess;
using bridgetest::Lines;
using nlohmann::json;

const char kLogin[] = R"({"type":"Login","param":{"userID":"me","userName":"Me","test":0}})";
const char kEnterRoom[] =
    R"({"type":"EnterRoom","param":{"RoomName":"Room","RoomID":"r1","role":1}})";

json StreamRecord(const std::string& user, const std::string& name, const std::string& id,
                  const std::string& extra) {
    return {{"userID", user}, {"userName", name}, {"streamID", id}, {"extraInfo", extra}};
}

class EventsEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bridge_.Start());
        bridge_.Run(kLogin);
        bridge_.Run(kEnterRoom);
    }

    // Emits one notification and returns the objects it wrote to descriptor 4 (waiting for
    // `expected` of them, then for the queue to settle behind a barrier).
    Lines Emit(const std::string& callback, const json& args, std::size_t expected = 1,
               bool delivered = true) {
        const std::size_t before = bridge_.Objects().size();
        const json answer =
            bridge_.Ask({{"op", "emit"}, {"cb", callback}, {"args", args}}, "emitted");
        EXPECT_EQ(answer.value("delivered", !delivered), delivered) << callback << answer;
        if (expected > 0) {
            EXPECT_TRUE(bridge_.WaitForObjects(before + expected)) << callback;
        }
        // Anything queued behind the notification has been written once the barrier's reply
        // arrives, since the barrier's reply is written by the command worker afterwards.
        bridge_.Run("");
        Lines all = bridge_.Objects();
        Lines produced(all.begin() + static_cast<long>(before), all.end());
        // Drop the barrier's own reply.
        Lines events;
        for (const std::string& object : produced) {
            if (object != R"({ "code": 0, "type": "DaemonStart" })")
                events.push_back(object);
        }
        return events;
    }

    BridgeProcess bridge_;
};

struct Case {
    const char* name;
    const char* callback;
    json args;
    std::string expected;
};

std::vector<Case> Cases() {
    const json noUrls = json::object();
    return {
        {"login with one stream",
         "OnLoginRoom",
         {{"errorCode", 0}, {"roomID", "r1"}, {"streams", {StreamRecord("u1", "Ann", "s1", "")}}},
         R"({"type":"StreamsList","param":{"code":0,"RoomID":"r1","StreamInfo":[{"streamCount":1,)"
         R"("StreamInfo0":[{"UserId":"u1","UserName":"Ann","StreamId":"s1","ExtraInfo":[]}]}]}})"},
        {"login without streams",
         "OnLoginRoom",
         {{"errorCode", 0}, {"roomID", "r1"}, {"streams", json::array()}},
         R"({"type":"StreamsList","param":{"code":0,"RoomID":"r1","StreamInfo":[{"streamCount":0}]}})"},
        {"logout",
         "OnLogoutRoom",
         {{"errorCode", 3}, {"roomID", "r1"}},
         R"({"type":"LogoutRoom","param":{"code":3,"RoomID":"r1"}})"},
        {"kick-out",
         "OnKickOut",
         {{"reason", 63000001}, {"roomID", "r1"}},
         R"({"type":"KickOut","param":{"code":63000001,"RoomID":"r1"}})"},
        {"disconnect",
         "OnDisconnect",
         {{"errorCode", 9}, {"roomID", "r1"}},
         R"({"type":"Disconnect","param":{"RoomID":"r1"}})"},
        {"stream update",
         "OnStreamUpdated",
         {{"updateCode", 2002},
          {"roomID", "r1"},
          {"streams",
           {StreamRecord("u1", "Ann", "s1", R"({"k":1})"),
            StreamRecord("u2", "Bob", "s2", "hello")}}},
         R"({"type":"StreamUpdate","param":{"code":2002,"RoomID":"r1","StreamInfo":[{"streamCount":2,)"
         R"("StreamInfo0":[{"UserId":"u1","UserName":"Ann","StreamId":"s1","ExtraInfo":[{"k":1}]}],)"
         R"("StreamInfo1":[{"UserId":"u2","UserName":"Bob","StreamId":"s2","ExtraInfo":["hello"]}]}]}})"},
        {"extra information update",
         "OnStreamExtraInfoUpdated",
         {{"roomID", "r1"}, {"streams", {StreamRecord("u1", "Ann", "s1", "[1,2]")}}},
         R"({"type":"ExternStreamUpdate","param":{"RoomID":"r1","StreamInfo":[{"streamCount":1,)"
         R"("StreamInfo0":[{"UserId":"u1","UserName":"Ann","StreamId":"s1","ExtraInfo":[[1,2]]}]}]}})"},
        {"custom command sent",
         "OnCustomCommand",
         {{"errorCode", 0}, {"seq", 12}, {"roomID", "r1"}},
         R"({"type":"CustomCommand","param":{"code":0,"seq":12,"RoomID":"r1"}})"},
        {"custom command received",
         "OnRecvCustomCommand",
         {{"userID", "u7"}, {"userName", "Cy"}, {"content", "ping"}, {"roomID", "r1"}},
         R"({"type":"RecvCustomCommand","param":{"code":"u7","UserName":"Cy","Content":"ping","RoomID":"r1"}})"},
        {"room message sent",
         "OnSendRoomMessage",
         {{"errorCode", 0}, {"roomID", "r1"}, {"seq", 4}, {"messageID", 4294967297ULL}},
         R"({"type":"SendRoomMessage","param":{"code":0,"sendSeq":4,"messageId":4294967297,"RoomID":"r1"}})"},
        {"room messages received",
         "OnRecvRoomMessage",
         {{"roomID", "r1"},
          {"messages",
           {{{"userID", "u1"},
             {"userName", "Ann"},
             {"content", "hi"},
             {"messageID", 10000000000ULL},
             {"type", 1},
             {"priority", 2},
             {"category", 1}},
            {{"userID", "u2"},
             {"userName", "Bob"},
             {"content", "yo"},
             {"messageID", 2},
             {"type", 2},
             {"priority", 3},
             {"category", 4}}}}},
         R"({"type":"RecvRoomMessage","param":{"RoomID":"r1","MessageInfo":[{"messageCount":2,)"
         R"("MessageInfo0":[{"UserId":"u1","UserName":"Ann","Content":"hi","messageId":10000000000,)"
         R"("type":1,"priority":2,"category":1}],)"
         R"("MessageInfo1":[{"UserId":"u2","UserName":"Bob","Content":"yo","messageId":2,)"
         R"("type":2,"priority":3,"category":4}]}]}})"},
        {"publish state without URLs",
         "OnPublishStateUpdate",
         {{"stateCode", 0}, {"streamID", "p1"}, {"info", noUrls}},
         R"({"type":"PublishStateUpdate","param":{"code":0,"StreamID":"p1","StreamInfo":[{}]}})"},
        {"publish state with FLV URLs only",
         "OnPublishStateUpdate",
         {{"stateCode", 0}, {"streamID", "p1"}, {"info", {{"flv", {"f0", "f1"}}}}},
         R"({"type":"PublishStateUpdate","param":{"code":0,"StreamID":"p1","StreamInfo":[{"Flv":[{)"
         R"("FlvURLCount":2,"FlvURL0":"f0","FlvURL1":"f1"}]}]}})"},
        {"publish state with every list and a count past the slots",
         "OnPublishStateUpdate",
         {{"stateCode", 1},
          {"streamID", "p1"},
          {"info", {{"rtmp", {"r0"}}, {"hls", {"h0"}}, {"flv", {"f0"}}, {"flvCount", 30}}}},
         R"({"type":"PublishStateUpdate","param":{"code":1,"StreamID":"p1","StreamInfo":[{)"
         R"("Rtmp":[{"RtmpURLCount":1,"RtmpURL0":"r0"}],)"
         R"("Flv":[{"FlvURLCount":10,"FlvURL0":"f0","FlvURL1":"","FlvURL2":"","FlvURL3":"",)"
         R"("FlvURL4":"","FlvURL5":"","FlvURL6":"","FlvURL7":"","FlvURL8":"","FlvURL9":""}],)"
         R"("Hls":[{"HlsURLCount":1,"HlsURL0":"h0"}]}]}})"},
        {"join-live request",
         "OnJoinLiveRequest",
         {{"seq", 5}, {"userID", "u1"}, {"userName", "Ann"}, {"roomID", "r1"}},
         R"({"type":"JoinLiveRequest","param":{"seq":5,"FromUserId":"u1","FromUserName":"Ann","RoomID":"r1"}})"},
        {"invitation answer",
         "OnInviteJoinLiveResponse",
         {{"result", 1}, {"userID", "u1"}, {"userName", "Ann"}, {"seq", 6}},
         R"({"type":"InviteJoinLiveResponse","param":{"result":1,"FromUserId":"u1","FromUserName":"Ann","seq":6}})"},
        {"end of join-live",
         "OnEndJoinLive",
         {{"result", 0}, {"seq", 7}, {"roomID", "r1"}},
         R"({"type":"EndJoinLive","param":{"result":0,"seq":7,"RoomID":"r1"}})"},
        {"publish quality",
         "OnPublishQualityUpdate",
         {{"streamID", "p1"},
          {"quality",
           {{"fps", 29.97}, {"kbps", 800.25}, {"rtt", 30}, {"pktLostRate", 2}, {"quality", 1}}}},
         R"({"type":"PublishQualityUpdate","param":{"StreamID":"p1","publishQuality":[{"fps":29.970000,)"
         R"("kbps":800.250000,"rtt":30,"pktLostRate":2,"quality":1}]}})"},
        {"capture size",
         "OnCaptureVideoSizeChanged",
         {{"width", 1280}, {"height", 720}},
         R"({"type":"CaptureVideoSizeChanged","param":{"Width":1280,"Height":720}})"},
        {"mix without missing streams or URLs",
         "OnMixStream",
         {{"result", {{"errorCode", 0}, {"output", {{"streamID", "s1"}, {"mixStreamID", "m1"}}}}},
          {"mixStreamID", "m1"},
          {"seq", 7}},
         R"({"type":"MixStream","param":{"MixStreamID":"m1","seq":7,"result":[{"ErrorCode":0,)"
         R"("oStreamInfo":[{"StreamID":"s1","MixStreamID":"m1"}]}]}})"},
        {"mix with missing streams and URLs",
         "OnMixStream",
         {{"result",
           {{"errorCode", 1},
            {"nonExists", {"a", "b"}},
            {"output",
             {{"streamID", "o"},
              {"mixStreamID", "mo"},
              {"rtmp", {"r0"}},
              {"flv", {"f0", "f1"}},
              {"hls", {"h0"}}}}}},
          {"mixStreamID", "m2"},
          {"seq", 8}},
         R"({"type":"MixStream","param":{"MixStreamID":"m2","seq":8,"result":[{"ErrorCode":1,)"
         R"("NonExistsStream":[{"NonExistsStreamCount":2,"NonExistsStreamIDList0":"a",)"
         R"("NonExistsStreamIDList1":"b"}],"oStreamInfo":[{"StreamID":"o","MixStreamID":"mo",)"
         R"("Rtmp":[{"RtmpURLCount":1,"RtmpURL0":"r0"}],)"
         R"("Flv":[{"FlvURLCount":2,"FlvRUL0":"f0","FlvRUL1":"f1"}],)"
         R"("Hls":[{"HlsURLCount":1,"HlsURL0":"h0"}]}]}]}})"},
        {"play state",
         "OnPlayStateUpdate",
         {{"stateCode", 0}, {"streamID", "s1"}},
         R"({"type":"PlayStateUpdate","param":{"code":0,"StreamID":"s1"}})"},
        {"play quality",
         "OnPlayQualityUpdate",
         {{"streamID", "s1"},
          {"quality",
           {{"fps", 15}, {"kbps", 300}, {"rtt", 12}, {"pktLostRate", 0}, {"quality", 0}}}},
         R"({"type":"PlayQualityUpdate","param":{"StreamID":"s1","publishQuality":[{"fps":15.000000,)"
         R"("kbps":300.000000,"rtt":12,"pktLostRate":0,"quality":0}]}})"},
        {"join-live answer",
         "OnJoinLiveResponse",
         {{"result", 1}, {"userID", "u3"}, {"userName", "Di"}, {"seq", 9}},
         R"({"type":"RecvEndJoinLiveCommand","param":{"result":1,"FromUserId":"u3","FromUserName":"Di","seq":9}})"},
        {"end-join-live command",
         "OnRecvEndJoinLiveCommand",
         {{"userID", "u3"}, {"userName", "Di"}, {"roomID", "r1"}},
         R"({"type":"RecvEndJoinLiveCommand","param":{"FromUserId":"u3","FromUserName":"Di","RoomID":"r1"}})"},
        {"invitation",
         "OnInviteJoinLiveRequest",
         {{"seq", 10}, {"userID", "u4"}, {"userName", "Ed"}, {"roomID", "r1"}},
         R"({"type":"InviteJoinLiveRequest","param":{"seq":10,"FromUserId":"u4","FromUserName":"Ed","RoomID":"r1"}})"},
        {"video size",
         "OnVideoSizeChanged",
         {{"streamID", "s1"}, {"width", 640}, {"height", 360}},
         R"({"type":"VideoSizeChanged","param":{"StreamID":"s1","Width":640,"Height":360}})"},
    };
}

TEST_F(EventsEndToEnd, EveryNotificationGivesItsExactText) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const bool login = std::string(c.callback) == "OnLoginRoom";
        const Lines events = Emit(c.callback, c.args, login ? 2 : 1);
        Lines expected;
        if (login)
            expected.push_back(R"({ "code": 0, "type": "EnterRoom" })");
        expected.push_back(c.expected);
        EXPECT_EQ(events, expected);
        for (const std::string& text : events) {
            EXPECT_TRUE(json::accept(text)) << text;
        }
    }
}

TEST_F(EventsEndToEnd, HostileTextsArriveAsValidJsonWithTheirContent) {
    // Decoded by the simulated SDK: a raw quote, a lone backslash, a control character, a
    // backslash-n pair (a valid escape in the event text) and braces.
    const std::string name = "A\"nn \\ x\x01y \\n }{";
    Emit("OnLoginRoom", {{"errorCode", 0}, {"roomID", "r1"}, {"streams", json::array()}}, 2);
    const Lines streams =
        Emit("OnStreamUpdated",
             {{"updateCode", 2001},
              {"roomID", "r}{1"},
              {"streams",
               {StreamRecord("u\"1", name, "s1", name), StreamRecord("u2", "B", "s2", R"({"k":1})"),
                StreamRecord("u3", "C", "s3", "")}}});
    ASSERT_EQ(streams.size(), 1u);
    const json update = json::parse(streams[0]);
    const json& list = update["param"]["StreamInfo"][0];
    EXPECT_EQ(update["param"]["RoomID"], "r}{1");
    EXPECT_EQ(list["StreamInfo0"][0]["UserId"], "u\"1");
    // The valid escape \n passes through untouched, so the host decodes a line feed there.
    EXPECT_EQ(list["StreamInfo0"][0]["UserName"], "A\"nn \\ x\x01y \n }{");
    EXPECT_EQ(list["StreamInfo0"][0]["ExtraInfo"], json::array({"A\"nn \\ x\x01y \n }{"}));
    EXPECT_EQ(list["StreamInfo1"][0]["ExtraInfo"], json::parse(R"([{"k":1}])"));
    EXPECT_EQ(list["StreamInfo2"][0]["ExtraInfo"], json::array());
    EXPECT_NE(streams[0].find(R"("ExtraInfo":[{"k":1}])"), std::string::npos);

    const Lines messages =
        Emit("OnRecvRoomMessage",
             {{"roomID", "r1"},
              {"messages",
               {{{"userID", "u1"}, {"userName", name}, {"content", name}, {"messageID", 1}}}}});
    ASSERT_EQ(messages.size(), 1u);
    const json message = json::parse(messages[0])["param"]["MessageInfo"][0]["MessageInfo0"][0];
    EXPECT_EQ(message["UserName"], "A\"nn \\ x\x01y \n }{");
    EXPECT_EQ(message["Content"], "A\"nn \\ x\x01y \n }{");

    const Lines custom =
        Emit("OnRecvCustomCommand",
             {{"userID", name}, {"userName", name}, {"content", name}, {"roomID", "r1"}});
    ASSERT_EQ(custom.size(), 1u);
    EXPECT_EQ(json::parse(custom[0])["param"]["Content"], "A\"nn \\ x\x01y \n }{");
}

TEST_F(EventsEndToEnd, FailedLoginRepliesWithItsCodeAndQueuesNoEvent) {
    const Lines failed =
        Emit("OnLoginRoom",
             {{"errorCode", 5}, {"roomID", "r1"}, {"streams", {StreamRecord("u", "n", "s", "")}}});
    EXPECT_EQ(failed, Lines{R"({ "code": 5, "type": "EnterRoom" })"});
    EXPECT_TRUE(bridge_.WaitForLog("fail loginroom, errorCode=5\r\n"));
    EXPECT_EQ(bridge_.CountInLog("succ loginroom"), 0);
    // Room messages are not delivered: the IM callback was never registered.
    Emit("OnRecvRoomMessage", {{"roomID", "r1"}, {"messages", json::array()}}, 0, false);
    for (const std::string& call : bridge_.Calls()) {
        EXPECT_EQ(call.find("SetIMCallback(\"object\")"), std::string::npos) << call;
    }
}

TEST_F(EventsEndToEnd, SuccessfulLoginRegistersRoomMessages) {
    const Lines before =
        Emit("OnRecvRoomMessage", {{"roomID", "r1"}, {"messages", json::array()}}, 0, false);
    EXPECT_TRUE(before.empty());
    Emit("OnLoginRoom", {{"errorCode", 0}, {"roomID", "r1"}, {"streams", json::array()}}, 2);
    EXPECT_TRUE(bridge_.WaitForLog("succ loginroom, ret=0,streamCount=0\r\n"));
    const Lines after = Emit("OnRecvRoomMessage", {{"roomID", "r1"}, {"messages", json::array()}});
    EXPECT_EQ(
        after,
        Lines{
            R"({"type":"RecvRoomMessage","param":{"RoomID":"r1","MessageInfo":[{"messageCount":0}]}})"});
}

TEST_F(EventsEndToEnd, FailedImRegistrationIsLoggedAndTheLoginGoesOn) {
    bridge_.SetResult("SetIMCallback", false);
    const Lines events =
        Emit("OnLoginRoom", {{"errorCode", 0}, {"roomID", "r1"}, {"streams", json::array()}}, 2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], R"({ "code": 0, "type": "EnterRoom" })");
    EXPECT_TRUE(bridge_.WaitForLog("SetIMCallback() failed\r\n"));
    EXPECT_TRUE(bridge_.WaitForLog("succ loginroom, ret=0,streamCount=0\r\n"));
}

}  // namespace
