// The bridge outlives what a host does to its descriptors.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/Process.h"
#include "tests/bridge/BridgeFixture.h"

namespace bridgetest {
namespace {

// Processor time (user + system) of a process in clock ticks, from /proc/<pid>/stat.
long long CpuTicks(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long long utime = 0;
    long long stime = 0;
    // Fields after the name start with the state (field 3); utime is 14, stime 15.
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14) {
            utime = std::stoll(field);
        } else if (number == 15) {
            stime = std::stoll(field);
        }
    }
    return utime + stime;
}

// Descriptor number -> what it points at, from /proc/<pid>/fd.
std::string DescriptorTarget(int pid, int fd) {
    std::error_code error;
    const std::filesystem::path link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
    const std::filesystem::path target = std::filesystem::read_symlink(link, error);
    return error ? std::string() : target.string();
}

// The checks below read the bridge's state from /proc (Linux only).
bool HaveProc() {
    return HAVE_PROC != 0;
}

TEST(Robustness, EndOfInputIsLoggedOnceAndTheProcessIdles) {
    if (!HaveProc())
        GTEST_SKIP() << "needs /proc";
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start());
    Exchange e = bridge.Run(R"({"type":"Login","param":{"userID":"u","userName":"n","test":0}})");
    EXPECT_EQ(e.replies, Lines{Reply(1, "Login")});

    bridge.CloseCommands();
    ASSERT_TRUE(bridge.WaitForLog("LOG_ERROR RecvMessage return err. code: 0\r\n"));
    platform::SleepMilliseconds(200);
    const long long before = CpuTicks(bridge.Pid());
    platform::SleepMilliseconds(2000);
    const long long after = CpuTicks(bridge.Pid());
    ASSERT_GE(before, 0);
    // A reader spinning on end of input would burn about 200 ticks in two seconds.
    EXPECT_LE(after - before, 10) << "the process uses the processor while idle";
    EXPECT_EQ(bridge.CountInLog("RecvMessage return err."), 1);
    EXPECT_TRUE(bridge.Alive());

    // The SDK side goes on working: an event still reaches the host.
    const std::size_t objectsBefore = bridge.Objects().size();
    nlohmann::json emitted = bridge.Ask(
        {{"op", "emit"}, {"cb", "OnKickOut"}, {"args", {{"reason", 7}, {"roomID", "r"}}}},
        "emitted");
    EXPECT_EQ(emitted.value("delivered", false), true);
    ASSERT_TRUE(bridge.WaitForObjects(objectsBefore + 1));
    EXPECT_NE(bridge.Objects().back().find("KickOut"), std::string::npos);
    EXPECT_TRUE(bridge.Alive());
}

TEST(Robustness, AReadErrorIsLoggedOnceAndTheProcessIdles) {
    BridgeProcess bridge;
    BridgeProcess::Options options;
    options.unreadableCommands = true;
    ASSERT_TRUE(bridge.Start(options)) << "the greeting still comes";
    ASSERT_TRUE(bridge.WaitForLog("LOG_ERROR RecvMessage return err. code: -1\r\n"));
    const long long before = CpuTicks(bridge.Pid());
    platform::SleepMilliseconds(2000);
    EXPECT_LE(CpuTicks(bridge.Pid()) - before, 10);
    EXPECT_EQ(bridge.CountInLog("RecvMessage return err."), 1);
    EXPECT_TRUE(bridge.Alive());
}

TEST(Robustness, MissingFrameDescriptorsAreNotTakenByFiles) {
    if (!HaveProc())
        GTEST_SKIP() << "needs /proc";
    BridgeProcess bridge;
    BridgeProcess::Options options;
    options.frameDescriptors = false;
    options.configText = "[Main]\nlevel=debug\n";  // a configuration file is read as well
    ASSERT_TRUE(bridge.Start(options));
    // Make the logger open its file, then look at 5 to 9.
    bridge.Run(R"({"type":"OpenMic"})");
    ASSERT_TRUE(bridge.WaitForLog("RecvMessage"));
    for (int fd = 5; fd <= 9; ++fd) {
        const std::string target = DescriptorTarget(bridge.Pid(), fd);
        EXPECT_EQ(target, "/dev/null") << "descriptor " << fd;
    }
    for (int fd = 3; fd <= 4; ++fd) {
        EXPECT_NE(DescriptorTarget(bridge.Pid(), fd).find("pipe:"), std::string::npos);
    }
    // Frames for those channels fail quietly; the process lives on.
    bridge.Run(R"({"type":"EnterRoom","param":{"RoomName":"R","RoomID":"r","role":2}})");
    nlohmann::json framed = bridge.Ask({{"op", "frame"},
                                        {"stream", nullptr},
                                        {"width", 8},
                                        {"height", 8},
                                        {"pattern", "bars"},
                                        {"count", 3}},
                                       "framed");
    EXPECT_EQ(framed.value("delivered", 0), 3);
    Exchange e = bridge.Run(R"({"type":"OpenMic"})");
    EXPECT_EQ(e.replies, Lines{Reply(1, "OpenMic")});
    EXPECT_TRUE(bridge.Alive());
}

TEST(Robustness, FramesLargerThanTheDataTheSdkPassedAreRefusedAndTheBridgeRunsOn) {
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start());
    bridge.Run(R"({"type":"Login","param":{"userID":"u","userName":"n","test":0}})");
    bridge.Run(R"({"type":"EnterRoom","param":{"RoomName":"R","RoomID":"r","role":2}})");
    bridge.Run(R"({"type":"RequestView","param":["a"]})");
    const nlohmann::json frame = {{"op", "frame"}, {"stream", "a"}, {"width", 64}, {"height", 64}};
    // 8 of 64 rows delivered; then rows claimed 1 GiB apart.
    nlohmann::json shortFrame = frame;
    shortFrame["rows"] = 8;
    nlohmann::json hugeStride = frame;
    hugeStride["rows"] = 1;
    hugeStride["claimStride"] = 1 << 30;
    EXPECT_EQ(bridge.Ask(shortFrame, "framed").value("delivered", 0), 1);
    EXPECT_EQ(bridge.Ask(hugeStride, "framed").value("delivered", 0), 1);
    EXPECT_EQ(bridge.Ask(frame, "framed").value("delivered", 0), 1);
    Frame received;
    ASSERT_TRUE(bridge.NextFrame(1, &received));
    EXPECT_EQ(received.width, 64);
    EXPECT_EQ(received.height, 64);
    EXPECT_TRUE(bridge.Alive());
    // Logged once; the second refusal within the second is only counted.
    EXPECT_TRUE(
        bridge.WaitForLog("1 frames of stream a refused: 64x64 with rows 256 bytes apart "
                          "need more than the 2048 bytes the SDK passed\r\n"));
    EXPECT_EQ(bridge.CountInLog("frames of stream a refused"), 1);
}

TEST(Robustness, AHostThatClosesItsReplyPipeDoesNotKillTheProcess) {
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start());
    bridge.Run(R"({"type":"Login","param":{"userID":"u","userName":"n","test":0}})");
    const std::size_t loginCalls = bridge.Calls().size();
    bridge.CloseReplies();
    // Replies now fail to write; commands still run and reach the SDK.
    bridge.Send(R"({"type":"OpenMic"}{"type":"CloseCamera"})");
    EXPECT_TRUE(bridge.WaitForLog(R"(RecvMessage: [{"type":"OpenMic"}{"type":"CloseCamera"}])"));
    ASSERT_TRUE(bridge.WaitForCalls(loginCalls + 2));
    const Lines calls = bridge.Calls();
    EXPECT_EQ(Lines(calls.begin() + loginCalls, calls.end()),
              (Lines{"EnableMic(true) -> true", "EnableCamera(false, 0) -> true"}));
    // An event text through callbkmsg fails to write too.
    nlohmann::json emitted = bridge.Ask(
        {{"op", "emit"}, {"cb", "OnKickOut"}, {"args", {{"reason", 1}, {"roomID", "r"}}}},
        "emitted");
    EXPECT_EQ(emitted.value("delivered", false), true);
    platform::SleepMilliseconds(300);
    EXPECT_TRUE(bridge.Alive());
}

}  // namespace
}  // namespace bridgetest
