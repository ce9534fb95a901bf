// The host tool against a stand-in bridge: transcript, waits, recordings, failures.
#include <gtest/gtest.h>

#include "tests/host/HostRun.h"

namespace {

using hosttest::ReadPng;
using hosttest::ReadY4m;
using hosttest::RunHost;

const std::string kFake = FAKE_BRIDGE_PATH;

TEST(HostTool, RunsScriptRecordsChannelsAndWritesPictures) {
    hosttest::HostRun run = RunHost(
        "timeout 5s\n"
        "wait reply DaemonStart code 0\n"
        "{\"type\":\"OpenMic\"}\n"
        "send {\"type\":\"OpenMic\",\"param\":{\"code\":7}}\n"
        "wait reply OpenMic code 1\n"
        "wait reply OpenMic code 7\n"
        "{\"type\":\"Event\"}\n"
        "wait event KickOut\n"
        "{\"type\":\"RequestView\",\"param\":[\"alpha\",\"\",\"beta\"]}\n"
        "{\"type\":\"Frames\",\"param\":{\"channel\":0,\"count\":3,\"width\":64,\"height\":48,"
        "\"y\":81,\"u\":90,\"v\":240}}\n"
        "{\"type\":\"Frames\",\"param\":{\"channel\":2,\"count\":2,\"width\":33,\"height\":17,"
        "\"y\":41,\"u\":240,\"v\":110}}\n"
        "wait frames 0 3\n"
        "wait frames 2 2\n"
        "note done\n",
        kFake);
    ASSERT_EQ(run.exitCode, 0) << run.transcript;
    const std::string& t = run.transcript;
    EXPECT_NE(t.find("reply   DaemonStart code 0"), std::string::npos) << t;
    EXPECT_NE(t.find("send    {\"type\":\"OpenMic\",\"param\":{\"code\":7}}"), std::string::npos);
    EXPECT_NE(t.find("reply   OpenMic code 7"), std::string::npos);
    EXPECT_NE(t.find("event   KickOut {\"type\":\"KickOut\",\"param\":{\"n\":1}}"),
              std::string::npos);
    EXPECT_NE(t.find("note    done"), std::string::npos);
    EXPECT_NE(t.find("frames  ch0 3  ch1 0  ch2 2  ch3 0  ch4 0"), std::string::npos) << t;
    EXPECT_NE(t.find("beta"), std::string::npos);   // channel 2 is named after its stream
    EXPECT_EQ(t.find("\x1b["), std::string::npos);  // no colour when asked for none

    hosttest::Y4m ch0 = ReadY4m(run.out + "/channel-0.y4m");
    ASSERT_TRUE(ch0.valid) << ch0.error;
    EXPECT_EQ(ch0.width, 64);
    EXPECT_EQ(ch0.height, 48);
    EXPECT_EQ(ch0.colorspace, "420jpeg");
    ASSERT_EQ(ch0.frames.size(), 3u);
    EXPECT_EQ(static_cast<unsigned char>(ch0.frames[0][64 * 48]), 90);  // U first

    // Channel 2 came as Y, V, U: the file holds Y, U, V.
    hosttest::Y4m ch2 = ReadY4m(run.out + "/channel-2.y4m");
    ASSERT_TRUE(ch2.valid) << ch2.error;
    EXPECT_EQ(ch2.width, 33);
    EXPECT_EQ(ch2.height, 17);
    ASSERT_EQ(ch2.frames.size(), 2u);
    std::size_t y = 33 * 17, c = 17 * 9;
    EXPECT_EQ(static_cast<unsigned char>(ch2.frames[1][y]), 240);
    EXPECT_EQ(static_cast<unsigned char>(ch2.frames[1][y + c]), 110);
    EXPECT_FALSE(hosttest::FileExists(run.out + "/channel-1.y4m"));

    // Snapshots: channel 0 is red, channel 2 blue.
    hosttest::Png p0 = ReadPng(run.out + "/channel-0.png");
    ASSERT_TRUE(p0.valid) << p0.error;
    EXPECT_EQ(p0.width, 64);
    EXPECT_GT(p0.rgb[0], 240);
    EXPECT_LT(p0.rgb[2], 15);
    hosttest::Png p2 = ReadPng(run.out + "/channel-2.png");
    ASSERT_TRUE(p2.valid) << p2.error;
    EXPECT_LT(p2.rgb[0], 15);
    EXPECT_GT(p2.rgb[2], 240);
    hosttest::Png sheet = ReadPng(run.out + "/contact-sheet.png");
    ASSERT_TRUE(sheet.valid) << sheet.error;
    EXPECT_GT(sheet.width, 2 * 180);
}

TEST(HostTool, KeepsDrainingLargeFramesWhileWaitingForAReply) {
    // 40 frames of 1280 x 720 (55 MB) go out before the reply; the fake writes them blocking,
    // so the reply only comes if the host reads frames while it waits.
    hosttest::HostRun run = RunHost(
        "{\"type\":\"Frames\",\"param\":{\"channel\":1,\"count\":40,\"width\":1280,"
        "\"height\":720}}\n"
        "{\"type\":\"Frames\",\"param\":{\"channel\":3,\"count\":40,\"width\":1280,"
        "\"height\":720}}\n"
        "{\"type\":\"CloseMic\"}\n"
        "wait reply CloseMic within 30s\n"
        "wait frames 1 40 within 5s\n"
        "wait frames 3 40 within 5s\n",
        kFake, {"--no-record", "--no-pictures"});
    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_NE(run.transcript.find("reply   CloseMic code 1"), std::string::npos) << run.transcript;
    EXPECT_FALSE(hosttest::FileExists(run.out + "/channel-1.y4m"));
    EXPECT_FALSE(hosttest::FileExists(run.out + "/contact-sheet.png"));
}

TEST(HostTool, FailsClearlyOnTimeoutsAndWrongCodes) {
    hosttest::HostRun run =
        RunHost("{\"type\":\"Silence\"}\nwait reply Login within 200ms\n", kFake);
    EXPECT_EQ(run.exitCode, 1) << run.transcript;
    EXPECT_NE(run.transcript.find("FAILED: line 2: timed out: wait reply Login within 200ms"),
              std::string::npos)
        << run.transcript;

    run = RunHost("{\"type\":\"OpenMic\"}\nwait reply OpenMic code 0\n", kFake);
    EXPECT_EQ(run.exitCode, 1) << run.transcript;
    EXPECT_NE(run.transcript.find("reply OpenMic came with code 1, expected 0"), std::string::npos)
        << run.transcript;

    run = RunHost("wait frames 4 1 within 100ms\n", kFake);
    EXPECT_EQ(run.exitCode, 1) << run.transcript;
    EXPECT_NE(run.transcript.find("(channel 4 has 0 new frames)"), std::string::npos);

    // A reply satisfies one wait only.
    run = RunHost("{\"type\":\"OpenMic\"}\nwait reply OpenMic\nwait reply OpenMic within 200ms\n",
                  kFake);
    EXPECT_EQ(run.exitCode, 1) << run.transcript;
}

TEST(HostTool, ReportsADyingBridgeWithItsStandardError) {
    hosttest::HostRun run = RunHost(
        "wait reply DaemonStart\n{\"type\":\"Die\"}\nwait reply Logout within 20s\n", kFake);
    EXPECT_EQ(run.exitCode, 2) << run.transcript;
    // An abort: signal 6 on POSIX, exit code 3 from the Windows runtime.
    EXPECT_TRUE(run.transcript.find("the bridge ended (killed by signal 6") != std::string::npos ||
                run.transcript.find("the bridge ended (exit code 3") != std::string::npos)
        << run.transcript;
    EXPECT_NE(run.transcript.find("fake bridge dying"), std::string::npos) << run.transcript;

    run = RunHost("pause 10ms\n", "/nonexistent/bridge");
    EXPECT_EQ(run.exitCode, 2) << run.transcript;
    EXPECT_NE(run.transcript.find("cannot start /nonexistent/bridge"), std::string::npos);
}

TEST(HostTool, ReportsTornFrames) {
    hosttest::HostRun run = RunHost(
        "{\"type\":\"Frames\",\"param\":{\"channel\":1,\"count\":1,\"width\":8,\"height\":8,"
        "\"length\":95}}\n"
        "{\"type\":\"OpenMic\"}\nwait reply OpenMic\npause 100ms\n",
        kFake);
    EXPECT_EQ(run.exitCode, 4) << run.transcript;
    EXPECT_NE(run.transcript.find("channel 1 torn: frame 0: payload length 95 for 8x8 "
                                  "(expected 96)"),
              std::string::npos)
        << run.transcript;
}

TEST(HostTool, TalksToTheControlChannelInScriptedMode) {
    hosttest::HostRun run = RunHost(
        "scripted\n"
        "control {\"op\":\"sync\",\"id\":5}\n"
        "wait control synced within 5s\n"
        "{\"type\":\"OpenMic\"}\n"
        "wait call OpenMic within 5s\n"
        "wait reply OpenMic\n",
        kFake, {"--calls"});
    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_NE(run.transcript.find("sdk     {\"id\":5,\"op\":\"synced\"}"), std::string::npos)
        << run.transcript;
    EXPECT_NE(run.transcript.find("sdk     {\"args\":[],\"call\":\"OpenMic\"}"), std::string::npos);
}

TEST(HostTool, RejectsBadScriptsAndOptions) {
    // Each is refused before the bridge starts: nothing of it is sent.
    hosttest::HostRun run = RunHost("wait frames 9 1\n", kFake);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.transcript.find("line 1: channel must be 0 to 4"), std::string::npos);
    run = RunHost("{\"type\":\"Login\"}\nwait event StreamList\n", kFake);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.transcript.find("line 2: unknown event 'StreamList' (did you mean StreamsList?)"),
              std::string::npos)
        << run.transcript;
    EXPECT_EQ(run.transcript.find("send"), std::string::npos) << run.transcript;
    run = RunHost("{\"type\":\"Login\"\n", kFake);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.transcript.find("line 1: not JSON"), std::string::npos) << run.transcript;
    run = RunHost("timeout 10\n", kFake);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.transcript.find("needs a unit (10s or 10ms)"), std::string::npos);
    run = RunHost("pause 1ms\n", kFake, {"--timeout", "10"});
    EXPECT_EQ(run.exitCode, 3);
    run = RunHost("pause 1ms\n", kFake, {"--fps", "zero"});
    EXPECT_EQ(run.exitCode, 3);
    run = RunHost("pause 1ms\n", kFake, {"--frobnicate"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.transcript.find("unknown option --frobnicate"), std::string::npos);
}

}  // namespace
