// Login, logout, entering and leaving a room, and commands that do nothing.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/bridge/BridgeFixture.h"

namespace bridgetest {
namespace {

using Session = BridgeTest;

const char kLogin[] = R"({"type":"Login","param":{"userID":"u1","userName":"User One","test":1}})";

TEST_F(Session, LoginRunsTheWholeSetUpAndReplies) {
    Exchange e = bridge.Run(kLogin);
    EXPECT_EQ(e.calls, LoginCalls("u1", "User One", true));
    EXPECT_EQ(e.replies, Lines{Reply(1, "Login")});

    // "test" with a fraction is truncated; 0 selects the normal environment.
    e = bridge.Run(R"({"type":"Login","param":{"userID":"u2","userName":"N","test":0.9}})");
    EXPECT_EQ(e.calls, LoginCalls("u2", "N", false));
    EXPECT_EQ(e.replies, Lines{Reply(1, "Login")});
    EXPECT_EQ(bridge.CountInLog("login param 3"), 0);
}

TEST_F(Session, LoginWithABooleanOrWithoutTestLogsAndUsesTheNormalEnvironment) {
    Exchange e =
        bridge.Run(R"({"type":"Login","param":{"userID":"u1","userName":"User One","test":true}})");
    EXPECT_EQ(e.calls, LoginCalls("u1", "User One", false));
    EXPECT_EQ(e.replies, Lines{Reply(1, "Login")});
    ASSERT_TRUE(bridge.WaitForLog("LOG_ERROR login param 3, e=a bad conversion\r\n"));

    e = bridge.Run(R"({"type":"Login","param":{"userName":"User One","userID":"u1"}})");
    EXPECT_EQ(e.calls, LoginCalls("u1", "User One", false));
    EXPECT_EQ(e.replies, Lines{Reply(1, "Login")});
    EXPECT_TRUE(bridge.WaitForLogCount("login param 3, e=a bad conversion", 2));
}

TEST_F(Session, AFailingInitSdkDoesNotFailTheLogin) {
    bridge.SetResult("InitSDK", false);
    bridge.SetResult("SetRoomCallback", false);
    Exchange e = bridge.Run(kLogin);
    Lines expected = LoginCalls("u1", "User One", true);
    expected[6].replace(expected[6].size() - 4, 4, "false");
    expected[9] = "SetRoomCallback(\"object\") -> false";
    EXPECT_EQ(e.calls, expected);
    EXPECT_EQ(e.replies, Lines{Reply(1, "Login")});
    // The signature is a credential: the log shows the hex of its first and last two bytes.
    const std::string sign = QUORLANE_APP_SIGN;
    char masked[16];
    const auto byte = [&sign](int i) {
        return static_cast<unsigned>(static_cast<unsigned char>(sign[i]));
    };
    std::snprintf(masked, sizeof masked, "%02x%02x...%02x%02x", byte(0), byte(1), byte(30),
                  byte(31));
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR InitSDK appid=" + std::to_string(QUORLANE_APP_ID) +
                                  ", key=" + masked + ", failed\r\n"));
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR SetRoomCallback, failed\r\n"));
    EXPECT_EQ(bridge.CountInLog("Login failed"), 0);
    EXPECT_EQ(bridge.CountInLog(sign), 0);
}

TEST_F(Session, AFailingPlayVolumeFailsTheLoginWithEveryLine) {
    bridge.SetResult("SetPlayVolume", false);
    bridge.SetResult("EnableAux", false);
    Exchange e = bridge.Run(kLogin);
    Lines expected = LoginCalls("u1", "User One", true);
    expected[11] = "EnableAux(false) -> false";
    expected[12] = "SetPlayVolume(100, null) -> false";
    EXPECT_EQ(e.calls, expected);
    EXPECT_EQ(e.replies, Lines{Reply(0, "Login")});
    ASSERT_TRUE(bridge.WaitForLog("Login failed"));
    const std::string log = bridge.LogText();
    const char* inOrder[] = {
        "LOG_ERROR EnableAux(0) faild\r\n",
        "LOG_ERROR EnableAux(false), failed\r\n",
        "LOG_ERROR SetPlayVolume(100, (null)), failed\r\n",
        "LOG_ERROR SetPlayVolume(100), failed\r\n",
        "LOG_ERROR InitSDK failed, userID:u1, userName:User One\r\n",
        "LOG_ERROR Login failed\r\n",
    };
    std::size_t at = 0;
    for (const char* line : inOrder) {
        const std::size_t found = log.find(line, at);
        EXPECT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << log;
        if (found != std::string::npos) {
            at = found;
        }
    }
}

TEST_F(Session, OtherSetUpFailuresAreOnlyLogged) {
    bridge.SetResult("SetLogDir", false);
    bridge.SetResult("SetBusinessType", false);
    bridge.SetResult("SetUser", false);
    bridge.SetResult("SetLivePublisherCallback", false);
    bridge.SetResult("SetLivePlayerCallback", false);
    Exchange e = bridge.Run(kLogin);
    EXPECT_EQ(e.replies, Lines{Reply(1, "Login")});
    EXPECT_EQ(e.calls.size(), 13u);
    EXPECT_TRUE(bridge.WaitForLog("SetLogDir dir=" + BinaryDirectory() + ", failed\r\n"));
    EXPECT_TRUE(bridge.WaitForLog("SetBusinessType(1), failed\r\n"));
    EXPECT_TRUE(bridge.WaitForLog("SetUser user=u1, name=User One, failed\r\n"));
    EXPECT_TRUE(bridge.WaitForLog("SetLivePublisherCallback, failed\r\n"));
    EXPECT_TRUE(bridge.WaitForLog("SetLivePlayerCallback, failed\r\n"));
}

TEST_F(Session, LogoutWithoutLoginShutsTheSdkDownAndReplies) {
    Exchange e = bridge.Run(R"({"type":"Logout"})");
    EXPECT_EQ(e.calls, (Lines{
                           "SetExternalRenderCallback(null)",
                           "LogoutRoom() -> true",
                           "SetLivePublisherCallback(null) -> true",
                           "SetLivePlayerCallback(null) -> true",
                           "SetRoomCallback(null) -> true",
                           "SetIMCallback(null) -> true",
                           "SetDeviceStateCallback(null)",
                           "UnInitSDK() -> true",
                       }));
    EXPECT_EQ(e.replies, Lines{Reply(0, "Logout")});

    // Failures change neither the calls nor the reply.
    bridge.SetResult("LogoutRoom", false);
    bridge.SetResult("UnInitSDK", false);
    e = bridge.Run(R"({"type":"Logout","param":{"ignored":true}})");
    EXPECT_EQ(e.calls.size(), 8u);
    EXPECT_EQ(e.replies, Lines{Reply(0, "Logout")});
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR exit room failed\r\n"));
}

TEST_F(Session, LogoutStopsThePlayedStreamsAndALaterLoginSetsUpAgain) {
    bridge.Run(kLogin);
    bridge.Run(R"({"type":"RequestView","param":["s2","s1"]})");
    Exchange e = bridge.Run(R"({"type":"Logout"})");
    ASSERT_GE(e.calls.size(), 2u);
    EXPECT_EQ(e.calls[0], "StopPlayingStream(\"s1\") -> true");
    EXPECT_EQ(e.calls[1], "StopPlayingStream(\"s2\") -> true");
    EXPECT_EQ(e.calls.size(), 10u);
    e = bridge.Run(kLogin);
    EXPECT_EQ(e.calls, LoginCalls("u1", "User One", true));
}

TEST_F(Session, EnterRoomRegistersTheRenderCallbackThenLogsInAndARefusalIsAnsweredAtOnce) {
    Exchange e = bridge.Run(
        R"({"type":"EnterRoom","param":{"RoomName":"Room One","RoomID":"r1","role":1.7}})");
    EXPECT_EQ(e.calls, (Lines{"SetExternalRenderCallback(\"object\")",
                              "LoginRoom(\"r1\", 1, \"Room One\") -> true"}));
    EXPECT_TRUE(e.replies.empty()) << "the reply comes from the login report";

    bridge.SetResult("LoginRoom", false);
    e = bridge.Run(R"({"type":"EnterRoom","param":{"role":-2.9,"RoomID":"r2","RoomName":"Two"}})");
    EXPECT_EQ(e.calls, (Lines{"SetExternalRenderCallback(\"object\")",
                              "LoginRoom(\"r2\", -2, \"Two\") -> false"}));
    // Refused at once: answered at once, with a code of our own, so replies never drift.
    EXPECT_EQ(e.replies, Lines{Reply(-1, "EnterRoom")});
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR LoginRoom(r2, -2, Two), failed\r\n"));
    EXPECT_TRUE(bridge.WaitForLog("LOG_ERROR role:-2, enter roomid:r2, roomname:Two failed\r\n"));
}

TEST_F(Session, ExitRoomStopsViewsThenWithdrawsTheRenderCallback) {
    bridge.Run(R"({"type":"RequestView","param":["b","a"]})");
    Exchange e = bridge.Run(R"({"type":"ExitRoom"})");
    EXPECT_EQ(e.calls,
              (Lines{"StopPlayingStream(\"a\") -> true", "StopPlayingStream(\"b\") -> true",
                     "SetExternalRenderCallback(null)", "LogoutRoom() -> true"}));
    EXPECT_TRUE(e.replies.empty());
}

TEST_F(Session, AMissingOrMistypedArgumentDropsTheCommandBeforeAnyCall) {
    const char* commands[] = {
        R"({"type":"Login","param":{"userName":"x","test":1}})",
        R"({"type":"EnterRoom","param":{"RoomName":"Room One","RoomID":"r1"}})",
        R"({"type":"EnterRoom","param":{"RoomName":"A","RoomID":"r1","role":false}})",
        R"({"type":"EnterRoom"})",
        R"({"type":"SetWaterrect","param":{"bottom":40,"right":30,"top":20}})",
        R"({"type":"SetWaterpath","param":{"path":7}})",
        R"({"type":"RequestView","param":["a",5]})",
        R"({"type":"StartPushRtmp","param":{"Params":"p","StreamID":"s","Title":"t"}})",
        R"({"type":"SendRoomMessage","param":{"messageContent":"m","priority":2,"category":1}})",
        R"(["OpenMic"])",
        R"({"param":{}})",
    };
    std::string all;
    for (const char* command : commands) {
        all += command;
    }
    Exchange e = bridge.Run(all);
    EXPECT_TRUE(e.calls.empty());
    EXPECT_TRUE(e.replies.empty());
    // The array is not an object: its brackets are skipped and the string inside is no command.
    EXPECT_TRUE(bridge.WaitForLogCount("command dropped, e=a bad conversion", 10));
}

TEST_F(Session, InitUnknownAndMiscasedTypesDoNothing) {
    Exchange e = bridge.Run(
        R"({"type":"Init"}{"type":"Init","param":5}{"type":"opencamera"}{"type":" OpenCamera"})"
        R"({"type":"OpenCamera "}{"type":"Nothing","param":{}}{"param":1,"type":"LOGIN"})");
    EXPECT_TRUE(e.calls.empty());
    EXPECT_TRUE(e.replies.empty());
    EXPECT_EQ(bridge.CountInLog("command dropped"), 0);
}

TEST_F(Session, DaemonStartRepliesEachTime) {
    Exchange e = bridge.Run(R"({"type":"DaemonStart","param":[1]})", 1);
    EXPECT_EQ(e.replies, Lines{Reply(0, "DaemonStart")});
    EXPECT_TRUE(e.calls.empty());
}

// The host's switches: log lines on standard output (one line each, with their source) and the
// folder of the SDK's own logs.
TEST(SessionSwitches, LogLinesOnStandardOutputAndTheSdkLogFolderTheHostNames) {
    namespace fs = std::filesystem;
    const fs::path sdkLogs =
        fs::temp_directory_path() / ("quorlane-sdk-logs-" + std::to_string(platform::ProcessId()));
    fs::remove_all(sdkLogs);
    BridgeProcess bridge;
    BridgeProcess::Options options;
    options.stdoutPipe = true;
    options.environment = {{"QUORLANE_LOG_STDOUT", "1"},
                           {"QUORLANE_SDK_LOG_DIR", sdkLogs.generic_string()}};
    ASSERT_TRUE(bridge.Start(options));
    bridge.ReadStdout();
    bridge.SetResult("SetUser", false);
    const Exchange e = bridge.Run(kLogin);
    ASSERT_GE(e.calls.size(), 2u);
    EXPECT_EQ(e.calls[1], "SetLogDir(\"" + sdkLogs.generic_string() + "/\") -> true");
    EXPECT_TRUE(fs::is_directory(sdkLogs));
    EXPECT_TRUE(bridge.WaitForLog("named by QUORLANE_SDK_LOG_DIR"));

    // The failure record's own line break is gone: text and source arrive as one line.
    const std::string failure =
        " LOG_ERROR SetUser user=u1, name=User One, failed (SdkZegoRoom.cpp):";
    std::string out;
    for (int i = 0; i < 1000 && (out = bridge.StdoutText()).find(failure) == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::size_t at = out.find(failure);
    ASSERT_NE(at, std::string::npos) << out;
    const std::size_t start = out.rfind("\r\n", at);
    const std::size_t end = out.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    const std::string line = out.substr(start == std::string::npos ? 0 : start + 2,
                                        end - (start == std::string::npos ? 0 : start + 2));
    // A time stamp of 23 characters before it, the line number and a blank after it.
    ASSERT_GT(line.size(), 23 + failure.size() + 1) << line;
    EXPECT_EQ(line.find(failure), 23u) << line;
    const std::string number = line.substr(23 + failure.size());
    EXPECT_EQ(number.find_first_not_of("0123456789"), number.size() - 1) << line;
    EXPECT_EQ(number.back(), ' ');
    EXPECT_EQ(line.find('\n'), std::string::npos);
    fs::remove_all(sdkLogs);
}

}  // namespace
}  // namespace bridgetest
