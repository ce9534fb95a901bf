// The bridge's own end: a host that has gone (descriptor 3 ended, nobody reading descriptor 4)
// or that asks it to end (SIGTERM, SIGINT) leaves nothing switched on and no process behind,
// within two seconds, even when an SDK call never returns. A host that only ends its commands
// keeps its bridge.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Spawn.h"
#include "tests/support/BridgeProcess.h"

namespace bridgetest {
namespace {

using Clock = std::chrono::steady_clock;

const char kLogin[] = R"({"type":"Login","param":{"userID":"u","userName":"n","test":0}})";
const char kEnterRoom[] = R"({"type":"EnterRoom","param":{"RoomName":"R","RoomID":"r","role":2}})";
const int kBoundMs = 2000;

// The calls that log out of the SDK, last of every leaving after a login.
const Lines kSdkShutDown = {
    "SetLivePublisherCallback(null) -> true", "SetLivePlayerCallback(null) -> true",
    "SetRoomCallback(null) -> true",          "SetIMCallback(null) -> true",
    "SetDeviceStateCallback(null)",           "UnInitSDK() -> true",
};

// The thread sanitizer holds an ending process for a second by default (atexit_sleep_ms), which
// is not the bridge's time.
BridgeProcess::Options NoSanitizerPause() {
    BridgeProcess::Options options;
    const char* sanitizer = std::getenv("TSAN_OPTIONS");
    options.environment.emplace_back(
        "TSAN_OPTIONS", std::string(sanitizer != nullptr ? sanitizer : "") + ":atexit_sleep_ms=0");
    return options;
}

// `calls`, then the calls that log out of the SDK: the leaving after a login.
Lines ThenSdkShutDown(Lines calls) {
    calls.insert(calls.end(), kSdkShutDown.begin(), kSdkShutDown.end());
    return calls;
}

// Waits at most the bound for the bridge to end; expects exit code `code` and returns the
// milliseconds it took from `since`.
long long ExpectEndWithin(BridgeProcess& bridge, Clock::time_point since, int code) {
    platform::ExitStatus status;
    const bool ended = bridge.WaitForExit(kBoundMs, &status);
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
    EXPECT_TRUE(ended) << "still running " << kBoundMs << " ms later";
    if (!ended) {
        EXPECT_TRUE(bridge.WaitForExit(20000, &status)) << "still running 20 s later";
    }
    EXPECT_TRUE(status.exited && status.code == code) << status.Describe();
    std::printf("[ measured ] the bridge ended %lld ms after its host\n", ms);
    return ms;
}

// The SDK calls after the first `from`, once the bridge has ended and all were read.
Lines CallsAfter(BridgeProcess& bridge, std::size_t from) {
    EXPECT_TRUE(bridge.WaitForControlEnd());
    const Lines calls = bridge.Calls();
    return from <= calls.size() ? Lines(calls.begin() + static_cast<long>(from), calls.end())
                                : Lines{};
}

TEST(HostGone, AHostKilledMidSessionLeavesNothingOnAndNoBridge) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a process to hold the pipes (Windows: tests/windows)";
#endif
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start(NoSanitizerPause()));
    bridge.Run(kLogin);
    bridge.Run(kEnterRoom);
    bridge.Run(R"({"type":"RequestView","param":["b","a"]})");
    bridge.Run(R"({"type":"OpenCamera"}{"type":"OpenMic"}{"type":"StartPreview"})");
    bridge.Run(
        R"({"type":"StartPushRtmp","param":{"Params":"","StreamID":"p","Title":"t","flag":0}})");
    const std::size_t before = bridge.Calls().size();

    platform::ChildProcess host;
    ASSERT_TRUE(bridge.HandHostEndsTo("/bin/sleep", {"600"}, &host));
    ASSERT_TRUE(bridge.Alive()) << "a host that holds its pipes keeps its bridge";
    host.Kill();
    const Clock::time_point killed = Clock::now();
    ExpectEndWithin(bridge, killed, 0);

    const Lines expected = ThenSdkShutDown({
        "StopPreview(0) -> true",
        "StopPublishing(0, null, 0) -> true",
        "EnableCamera(false, 0) -> true",
        "EnableMic(false) -> true",
        "StopPlayingStream(\"a\") -> true",
        "StopPlayingStream(\"b\") -> true",
        "SetExternalRenderCallback(null)",
        "LogoutRoom() -> true",
    });
    EXPECT_EQ(CallsAfter(bridge, before), expected);
    // One line names the cause; the last line written before the exit reached the file.
    EXPECT_EQ(bridge.CountInLog("host gone ("), 1);
    EXPECT_EQ(bridge.CountInLog("host gone (descriptor 3 ended, no reader on descriptor 4): "
                                "switching everything off and ending\r\n"),
              1);
    EXPECT_EQ(bridge.CountInLog("; exit code 0\r\n"), 1);
}

TEST(HostGone, AHostThatEndsOnlyItsCommandsKeepsItsBridgeUntilItStopsReading) {
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start(NoSanitizerPause()));
    bridge.Run(kLogin);
    bridge.Run(kEnterRoom);
    bridge.Run(R"({"type":"RequestView","param":["a"]})");
    // Switched on and off again: nothing to switch off at the end.
    bridge.Run(R"({"type":"OpenCamera"}{"type":"CloseCamera"}{"type":"OpenMic"})");
    const std::size_t before = bridge.Calls().size();

    bridge.CloseCommands();
    ASSERT_TRUE(bridge.WaitForLog("RecvMessage return err. code: 0\r\n"));
    // Events and frames still reach the host.
    const std::size_t objects = bridge.Objects().size();
    EXPECT_TRUE(
        bridge
            .Ask({{"op", "emit"}, {"cb", "OnKickOut"}, {"args", {{"reason", 7}, {"roomID", "r"}}}},
                 "emitted")
            .value("delivered", false));
    ASSERT_TRUE(bridge.WaitForObjectsWith("\"KickOut\"", 1));
    EXPECT_GT(bridge.Objects().size(), objects);
    EXPECT_EQ(bridge.Ask({{"op", "frame"}, {"stream", "a"}, {"width", 8}, {"height", 8}}, "framed")
                  .value("delivered", 0),
              1);
    Frame frame;
    EXPECT_TRUE(bridge.NextFrame(1, &frame));
    EXPECT_TRUE(bridge.Alive());
    EXPECT_EQ(bridge.CountInLog("host gone"), 0);
    EXPECT_EQ(bridge.Calls().size(), before);

    // Once the host reads nothing either, it has gone.
    bridge.CloseReplies();
    const Clock::time_point closed = Clock::now();
    bridge.CloseFrames();
    ExpectEndWithin(bridge, closed, 0);
    const Lines expected = ThenSdkShutDown({
        "EnableMic(false) -> true",
        "StopPlayingStream(\"a\") -> true",
        "SetExternalRenderCallback(null)",
        "LogoutRoom() -> true",
    });
    EXPECT_EQ(CallsAfter(bridge, before), expected);
    EXPECT_EQ(bridge.CountInLog("host gone (descriptor 3 ended, no reader on descriptor 4)"), 1);
}

TEST(HostGone, SigtermAndSigintEndTheBridgeInOrder) {
#ifdef _WIN32
    GTEST_SKIP() << "no signals on Windows";
#endif
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start(NoSanitizerPause()));
    bridge.Run(kLogin);
    bridge.Run(kEnterRoom);
    bridge.Run(R"({"type":"StartPreview"})");
    const std::size_t before = bridge.Calls().size();
    bridge.Terminate();
    ExpectEndWithin(bridge, Clock::now(), 0);
    const Lines expected = ThenSdkShutDown({
        "StopPreview(0) -> true",
        "SetExternalRenderCallback(null)",
        "LogoutRoom() -> true",
    });
    EXPECT_EQ(CallsAfter(bridge, before), expected);
    EXPECT_EQ(bridge.CountInLog("host gone (SIGTERM): switching everything off and ending\r\n"), 1);

    // Nothing switched on: no SDK call at all.
    BridgeProcess idle;
    ASSERT_TRUE(idle.Start(NoSanitizerPause()));
    const std::size_t idleBefore = idle.Calls().size();
    ASSERT_TRUE(idle.Interrupt());
    ExpectEndWithin(idle, Clock::now(), 0);
    EXPECT_EQ(CallsAfter(idle, idleBefore), Lines{});
    EXPECT_EQ(idle.CountInLog("host gone (SIGINT)"), 1);
}

TEST(HostGone, AnSdkCallThatNeverReturnsDoesNotHoldTheEnd) {
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start(NoSanitizerPause()));
    bridge.Run(kLogin);
    bridge.Run(kEnterRoom);
    bridge.Control({{"op", "hang"}, {"fn", "LogoutRoom"}});
    ASSERT_TRUE(bridge.Sync());
    const std::size_t before = bridge.Calls().size();

    bridge.CloseCommands();
    bridge.CloseFrames();
    bridge.CloseReplies();
    const Clock::time_point closed = Clock::now();
    EXPECT_TRUE(bridge.WaitForAnswer("hanging"));
    ExpectEndWithin(bridge, closed, 1);
    EXPECT_EQ(CallsAfter(bridge, before), Lines{"SetExternalRenderCallback(null)"});
    EXPECT_EQ(bridge.CountInLog("switching off not finished after 1300 ms: an SDK call has not "
                                "returned; exit code 1\r\n"),
              1);
}

TEST(HostGone, AHostThatGoesWhileACallHangsIsNoticedThoughItSentMoreCommands) {
    BridgeProcess::Options options = NoSanitizerPause();
    options.environment.emplace_back("QUORLANE_SDK_CALL_LIMIT_MS", "0");  // no watchdog
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start(options));
    bridge.Run(kLogin);
    bridge.Control({{"op", "hang"}, {"fn", "EnableCamera"}});
    ASSERT_TRUE(bridge.Sync());
    bridge.Send(R"({"type":"OpenCamera"})");
    ASSERT_TRUE(bridge.WaitForAnswer("hanging"));
    // An application quitting: one more command, then every pipe closed.
    bridge.Send(R"({"type":"Logout"})");
    bridge.CloseCommands();
    bridge.CloseFrames();
    bridge.CloseReplies();
    ExpectEndWithin(bridge, Clock::now(), 1);
    EXPECT_EQ(bridge.CountInLog("RecvMessage: [{\"type\":\"Logout\"}]"), 1);
}

TEST(HostGone, AnSdkCallThatHangsPastItsLimitEndsTheBridgeWithCode3AndAReport) {
    const int kLimitMs = 1000;
    BridgeProcess::Options options = NoSanitizerPause();
    options.environment.emplace_back("QUORLANE_SDK_CALL_LIMIT_MS", std::to_string(kLimitMs));
    options.stdoutPipe = true;
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start(options));
    bridge.ReadStdout();
    bridge.Run(kLogin);
    bridge.Control({{"op", "hang"}, {"fn", "EnableCamera"}});
    ASSERT_TRUE(bridge.Sync());
    const Clock::time_point sent = Clock::now();
    bridge.Send(R"({"type":"OpenCamera"})");
    ASSERT_TRUE(bridge.WaitForAnswer("hanging"));
    platform::ExitStatus status;
    ASSERT_TRUE(bridge.WaitForExit(60000, &status));
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count();
    EXPECT_TRUE(status.exited && status.code == 3) << status.Describe();
    EXPECT_EQ(bridge.CountInLog("LOG_FATAL SDK call EnableCamera has not returned after 1000 ms; "
                                "report "),
              1);
    // Windows: the minidump's time is the dump writer's (Wine's dbghelp takes seconds).
    const std::string log = bridge.LogText();
    const std::size_t dumpAt = log.find("(minidump written in ");
    const long long dumpMs =
        dumpAt == std::string::npos ? 0 : std::atoll(log.c_str() + dumpAt + 21);
    std::printf(
        "[ measured ] exit %lld ms after the command whose call hung (limit %d ms, "
        "minidump %lld ms)\n",
        ms, kLimitMs, dumpMs);
    EXPECT_LE(ms, kLimitMs + dumpMs + 1000) << "ended more than 1 s after the limit";
    ASSERT_TRUE(bridge.WaitForControlEnd());
    const std::string out = bridge.StdoutText();
    const std::string prefix = "Quorlane: crash report ";
    const std::size_t at = out.find(prefix);
    ASSERT_NE(at, std::string::npos) << out;
    const std::size_t begin = at + prefix.size();
    const std::filesystem::path report = out.substr(begin, out.find("\r\n", begin) - begin);
    EXPECT_TRUE(std::filesystem::equivalent(report.parent_path(),
                                            std::filesystem::path(bridge.Directory()) / "log"))
        << report;
    EXPECT_EQ(bridge.CountInLog("fault: none; an SDK call has not returned within its limit\n"
                                "SDK call in flight on the command worker: EnableCamera, for "),
              1);
}

}  // namespace
}  // namespace bridgetest
