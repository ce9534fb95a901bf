// Hosts that stop reading one of the bridge's outputs: nothing else stalls, the SDK's threads
// are never held, memory stays bounded, and once the host reads again everything that was
// kept arrives whole and in order.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/FileSystem.h"
#include "tests/support/BridgeProcess.h"

namespace {

using bridgetest::BridgeProcess;
using bridgetest::Frame;
using bridgetest::Lines;
using Clock = std::chrono::steady_clock;

const char kLogin[] = R"({"type":"Login","param":{"userID":"u","userName":"n","test":0}})";
const char kEnterRoom[] = R"({"type":"EnterRoom","param":{"RoomName":"R","RoomID":"r","role":2}})";

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Whole frames that arrive on `channel` within `ms`.
int FramesWithin(BridgeProcess& bridge, int channel, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    int frames = 0;
    Frame frame;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || !bridge.NextFrame(channel, &frame, static_cast<int>(left)))
            return frames;
        ++frames;
    }
}

void StartSource(BridgeProcess& bridge, const char* stream, int fps) {
    bridge.Control({{"op", "source"},
                    {"stream", stream},
                    {"width", 64},
                    {"height", 48},
                    {"fps", fps},
                    {"pattern", "solid"},
                    {"color", "#0000FF"}});
}

TEST(SlowHost, UnreadStandardOutputNeitherStallsLoggingNorGrowsMemory) {
    BridgeProcess bridge;
    BridgeProcess::Options options;
    options.stdoutPipe = true;
    // Under the address sanitizer, freed memory is held back (256 MiB by default), which would
    // hide what the bridge itself keeps.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    options.environment.emplace_back(
        "ASAN_OPTIONS",
        std::string(sanitizer != nullptr ? sanitizer : "") + ":quarantine_size_mb=8");
    ASSERT_TRUE(bridge.Start(options));
    const std::int64_t residentAtStart = bridge.ResidentBytes();

    // Commands as fast as the bridge takes them; each read is logged, and displayed at first.
    // They go on for three seconds, and until the log holds far more than standard output can keep
    // unread (the pipe, the console's buffer and, on Windows, the store behind it: some 200 KiB),
    // so that lines have been dropped from the console, however slowly a busy machine runs the
    // bridge.
    const std::uintmax_t kFarMoreThanTheConsoleKeeps = 1u << 20;
    std::string burst;
    for (int i = 0; i < 50; ++i)  // 1900 bytes: one read, one long log line
        burst += R"({"type":"OpenMic"}{"type":"CloseMic"})";
    const auto floodUntil = Clock::now() + std::chrono::seconds(3);
    const auto giveUp = Clock::now() + std::chrono::seconds(120);
    while (Clock::now() < floodUntil || bridge.LogBytes() < kFarMoreThanTheConsoleKeeps) {
        ASSERT_LT(Clock::now(), giveUp) << "the log grew to " << bridge.LogBytes() << " bytes";
        for (int i = 0; i < 50; ++i)
            bridge.Send(burst);
        bridge.Run("");
    }
    bridge.Run(R"({"type":"OpenMic","param":{"marker":"last of the burst"}})");
    // The log file kept receiving lines while the console was stuck.
    EXPECT_TRUE(bridge.WaitForLog("last of the burst", 20000));
    const std::int64_t growth = bridge.ResidentBytes() - residentAtStart;
    EXPECT_LT(growth, 64 << 20) << "resident memory grew by " << (growth >> 20) << " MiB";

    // Once the host reads standard output, the console says what it missed.
    bridge.ReadStdout();
    EXPECT_TRUE(WaitFor(
        [&] {
            bridge.Send(R"({"type":"OpenMic"})");
            return bridge.StdoutText().find("console lines dropped") != std::string::npos;
        },
        30000))
        << bridge.StdoutText().substr(0, 2000);
}

TEST(SlowHost, UnreadRepliesHoldNoSdkThreadAndLoseNoEvent) {
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start());
    bridge.Run(kLogin);
    bridge.Run(kEnterRoom);
    bridge.Run(R"({"type":"RequestView","param":["a"]})");
    StartSource(bridge, "a", 50);
    ASSERT_GT(FramesWithin(bridge, 1, 1000), 0);

    bridge.PauseReading(0, true);
    // Far more event text than a pipe holds; each answer comes back only once the
    // notification has returned to the SDK.
    const int kEvents = 300;
    const std::string padding(1000, 'p');
    for (int i = 0; i < kEvents; ++i) {
        const nlohmann::json answer =
            bridge.Ask({{"op", "emit"},
                        {"cb", "OnPlayStateUpdate"},
                        {"args", {{"stateCode", i}, {"streamID", "a-" + padding}}}},
                       "emitted", 5000);
        ASSERT_TRUE(answer.value("delivered", false)) << "notification " << i << " was held";
    }
    // Frames of the played stream keep coming while descriptor 4 is full.
    EXPECT_GE(FramesWithin(bridge, 1, 1000), 20);

    bridge.PauseReading(0, false);
    ASSERT_TRUE(bridge.WaitForObjectsWith("\"PlayStateUpdate\"", kEvents, 20000));
    int next = 0;
    for (const std::string& object : bridge.Objects()) {
        if (object.find("\"PlayStateUpdate\"") == std::string::npos)
            continue;
        const nlohmann::json event = nlohmann::json::parse(object);
        EXPECT_EQ(event["param"]["code"], next) << object.substr(0, 80);
        EXPECT_EQ(event["param"]["StreamID"], "a-" + padding);
        ++next;
    }
    EXPECT_EQ(next, kEvents);
    EXPECT_EQ(bridge.CountInLog("event texts dropped"), 0);
}

TEST(SlowHost, OneUnreadFramePipeStallsNoOtherChannelNorTheSdk) {
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start());
    bridge.Run(kLogin);
    bridge.Run(kEnterRoom);
    bridge.Run(R"({"type":"RequestView","param":["a","b"]})");
    StartSource(bridge, "b", 50);

    bridge.PauseReading(2, true);  // channel 1, the stream "a"
    const int kFrames = 30;
    const nlohmann::json answer = bridge.Ask({{"op", "frame"},
                                              {"stream", "a"},
                                              {"width", 1280},
                                              {"height", 720},
                                              {"pattern", "bars"},
                                              {"count", kFrames}},
                                             "framed", 10000);
    EXPECT_EQ(answer.value("delivered", -1), kFrames) << "the delivering thread was held";
    EXPECT_GE(FramesWithin(bridge, 2, 1000), 20) << "channel 2 lost its rate";
    EXPECT_TRUE(
        bridge.WaitForLog("frames dropped on channel 1: the host did not read descriptor 6", 5000));
    // Every OpenMic reply still comes at once.
    EXPECT_EQ(bridge.Run(R"({"type":"OpenMic"})").replies,
              Lines{R"({ "code": 1, "type": "OpenMic" })"});

    // What was kept arrives whole once the host reads again.
    bridge.PauseReading(2, false);
    int whole = 0;
    Frame frame;
    while (bridge.NextFrame(1, &frame, 1000)) {
        EXPECT_EQ(frame.width, 1280);
        EXPECT_EQ(frame.height, 720);
        EXPECT_EQ(frame.payload.size(), 1280u * 720 * 3 / 2);
        ++whole;
    }
    EXPECT_GE(whole, 1);
    EXPECT_LT(whole, kFrames);
}

// True where the system has FIFOs (Windows has none: a configuration directory stands in there).
bool HaveFifos() {
    const std::filesystem::path probe =
        std::filesystem::temp_directory_path() / "quorlane-fifo-probe";
    std::error_code ignored;
    std::filesystem::remove(probe, ignored);
    const bool made = platform::MakeFifo(probe.string());
    std::filesystem::remove(probe, ignored);
    return made;
}

TEST(SlowHost, ConfigurationFifoDoesNotHoldStartUp) {
    if (!HaveFifos())
        GTEST_SKIP() << "no FIFOs on this system";
    BridgeProcess bridge;
    BridgeProcess::Options options;
    options.configFifo = true;
    const auto start = Clock::now();
    ASSERT_TRUE(bridge.Start(options));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(bridge.Run(R"({"type":"OpenMic"})").replies,
              Lines{R"({ "code": 1, "type": "OpenMic" })"});
    std::ifstream out(std::filesystem::path(bridge.Directory()) / "stdout.txt", std::ios::binary);
    std::ostringstream text;
    text << out.rdbuf();
    EXPECT_NE(text.str().find("qlog load config file error. filename=config.cfg"),
              std::string::npos)
        << text.str();
}

}  // namespace
