// What only the Windows build does: binary mode on descriptors handed over in text mode, the
// SDK's log directory and the log file names of a bridge installed in a folder with a non-ASCII
// name, console output without a console, and frame pipes that are closed or missing.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/Process.h"
#include "tests/support/BridgeProcess.h"

namespace bridgetest {
namespace {

namespace fs = std::filesystem;

const char kLogin[] = R"({"type":"Login","param":{"userID":"u1","userName":"Ann","test":0}})";

// Logs in and enters a room: the bridge registers its render callback with the room login.
void EnterRoom(BridgeProcess& bridge) {
    bridge.Run(kLogin);
    bridge.Run(R"({"type":"EnterRoom","param":{"RoomName":"R","RoomID":"r1","role":2}})");
}

std::string Reply(int code, const std::string& type) {
    return "{ \"code\": " + std::to_string(code) + ", \"type\": \"" + type + "\" }";
}

// Solid red frames of `stream` (null: channel 0); returns how many the SDK delivered.
int DeliverRed(BridgeProcess& bridge, const nlohmann::json& stream, int width, int height) {
    const nlohmann::json answer = bridge.Ask({{"op", "frame"},
                                              {"stream", stream},
                                              {"width", width},
                                              {"height", height},
                                              {"pattern", "solid"},
                                              {"color", "#FF0000"}},
                                             "framed");
    return answer.value("delivered", -1);
}

bool Near(unsigned char value, int expected) {
    return value >= expected - 2 && value <= expected + 2;
}

// A whole red frame of `width` x `height` on `channel`: Y U V on channel 0, Y V U on 1 to 4.
void ExpectRedFrame(BridgeProcess& bridge, int channel, int width, int height) {
    SCOPED_TRACE("channel " + std::to_string(channel));
    Frame frame;
    ASSERT_TRUE(bridge.NextFrame(channel, &frame));
    const int luma = width * height, chroma = ((width + 1) / 2) * ((height + 1) / 2);
    ASSERT_EQ(frame.width, width);
    ASSERT_EQ(frame.height, height);
    ASSERT_EQ(frame.length, luma + 2 * chroma);
    ASSERT_EQ(frame.payload.size(), static_cast<std::size_t>(frame.length));
    const auto at = [&](int i) { return static_cast<unsigned char>(frame.payload[i]); };
    const int u = channel == 0 ? luma : luma + chroma;
    const int v = channel == 0 ? luma + chroma : luma;
    for (int i = 0; i < luma; ++i)
        ASSERT_TRUE(Near(at(i), 82)) << "Y at " << i << ": " << int(at(i));
    for (int i = 0; i < chroma; ++i) {
        ASSERT_TRUE(Near(at(u + i), 90)) << "U at " << i << ": " << int(at(u + i));
        ASSERT_TRUE(Near(at(v + i), 240)) << "V at " << i << ": " << int(at(v + i));
    }
}

TEST(WindowsBridge, DescriptorsHandedOverInTextModeCarryBytesUnchanged) {
    BridgeProcess bridge;
    BridgeProcess::Options options;
    options.textModeDescriptors = true;
    ASSERT_TRUE(bridge.Start(options));

    // In text mode a read drops CR and ends the input at 0x1A: the second command would be lost.
    Exchange e = bridge.Run("{\"type\":\"OpenMic\"}\r\n\x1a\r\n{\"type\":\"CloseMic\"}");
    EXPECT_EQ(e.replies, (Lines{Reply(1, "OpenMic"), Reply(1, "CloseMic")}));

    // 10 x 26 puts 0x0A and 0x1A into every header; a text-mode write would add CR before each
    // 0x0A. Every frame descriptor: channel 0 (no stream) and the four viewed streams.
    EnterRoom(bridge);
    bridge.Run(R"({"type":"RequestView","param":["s1","s2","s3","s4"]})");
    ASSERT_EQ(DeliverRed(bridge, nullptr, 10, 26), 1);
    for (int channel = 1; channel <= 4; ++channel)
        ASSERT_EQ(DeliverRed(bridge, "s" + std::to_string(channel), 10, 26), 1);
    for (int channel = 0; channel <= 4; ++channel)
        ExpectRedFrame(bridge, channel, 10, 26);
}

TEST(WindowsBridge, ACopyInANonAsciiFolderReportsItsDirectoryInUtf8AndNamesLogsWithoutExe) {
    const fs::path folder =
        fs::temp_directory_path() / fs::u8path(u8"Quorlane Br\u00fccke \u76ee\u5f55");
    fs::create_directories(folder);
    const fs::path copy = folder / "QuorlaneCopy.exe";
    fs::copy_file(QUORLANE_BINARY, copy, fs::copy_options::overwrite_existing);

    BridgeProcess bridge;
    BridgeProcess::Options options;
    options.binary = copy.u8string();
    ASSERT_TRUE(bridge.Start(options));
    Exchange e = bridge.Run(kLogin);
    ASSERT_GE(e.calls.size(), 2u);
    EXPECT_EQ(e.calls[1],
              "SetLogDir(" + nlohmann::json(folder.u8string() + "\\").dump() + ") -> true");

    ASSERT_TRUE(bridge.WaitForLog("RecvMessage"));
    int files = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(bridge.Directory()) / "log")) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.rfind("QuorlaneCopy_", 0), 0u) << name;
        EXPECT_EQ(name.find(".exe"), std::string::npos) << name;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(WindowsBridge, LogFolderConfigurationAndSdkLogFolderWithAnyCharacters) {
    const fs::path folder = fs::temp_directory_path() / fs::u8path(u8"J\u00fcrgen \u6d4b\u8bd5");
    fs::remove_all(folder);
    fs::create_directories(folder / "log");
    // An old file of the main logger there: deleted at start-up, as it is over 30 days old.
    const fs::path old = folder / "log" / "Quorlane_202001010000_000001_000.log";
    std::ofstream(old, std::ios::binary) << "old\r\n";
    fs::last_write_time(old, fs::file_time_type::clock::now() - std::chrono::hours(24 * 90));

    BridgeProcess bridge;
    BridgeProcess::Options options;
    options.configText = "[Main]\r\nname=Quorlane\r\npath=" + folder.u8string() + "\\log\r\n";
    options.environment = {{"QUORLANE_SDK_LOG_DIR", (folder / "sdk").u8string()}};
    ASSERT_TRUE(bridge.Start(options));
    Exchange e = bridge.Run(kLogin);
    ASSERT_GE(e.calls.size(), 2u);
    EXPECT_EQ(e.calls[1], "SetLogDir(" + nlohmann::json((folder / "sdk").u8string() + "/").dump() +
                              ") -> true");
    EXPECT_TRUE(fs::is_directory(folder / "sdk"));

    std::string text;
    for (int i = 0; i < 250 && text.find("RecvMessage") == std::string::npos; ++i) {
        text.clear();
        for (const auto& entry : fs::directory_iterator(folder / "log")) {
            std::ifstream in(entry.path(), std::ios::binary);
            text.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        platform::SleepMilliseconds(20);
    }
    EXPECT_NE(text.find("RecvMessage"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(old));
}

TEST(WindowsBridge, WithoutAConsoleOnlyPlainLinesReachStandardOutput) {
    BridgeProcess bridge;
    BridgeProcess::Options options;
    options.configText = "[Main]\nlevel=debug\n";
    ASSERT_TRUE(bridge.Start(options));  // standard output is a file: no console
    bridge.SetResult("EnableMic", false);
    Exchange e = bridge.Run(R"({"type":"OpenMic"})");
    EXPECT_EQ(e.replies, Lines{Reply(0, "OpenMic")});
    ASSERT_TRUE(bridge.WaitForLog("LOG_ERROR"));
    ASSERT_TRUE(bridge.WaitForLog("LOG_DEBUG RecvMessage"));

    const fs::path out = fs::path(bridge.Directory()) / "stdout.txt";
    std::string text;
    for (int i = 0; i < 100 && text.find("LOG_DEBUG RecvMessage") == std::string::npos; ++i) {
        std::ifstream in(out, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        platform::SleepMilliseconds(20);
    }
    EXPECT_NE(text.find("LOG_DEBUG RecvMessage"), std::string::npos) << text;
    EXPECT_EQ(text.find("LOG_ERROR"), std::string::npos) << text;
    EXPECT_EQ(text.find("LOG_ALARM"), std::string::npos) << text;
}

TEST(WindowsBridge, AConfigurationThatIsNotAFileIsALoadError) {
    // No FIFOs here: a folder named config.cfg must not be opened as the configuration either.
    BridgeProcess bridge;
    BridgeProcess::Options options;
    options.configDirectory = true;
    ASSERT_TRUE(bridge.Start(options));
    EXPECT_EQ(bridge.Run(R"({"type":"OpenMic"})").replies, Lines{Reply(1, "OpenMic")});
    const fs::path out = fs::path(bridge.Directory()) / "stdout.txt";
    std::string text;
    for (int i = 0; i < 100 && text.find("load config file error") == std::string::npos; ++i) {
        std::ifstream in(out, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        platform::SleepMilliseconds(20);
    }
    EXPECT_NE(text.find("qlog load config file error. filename=config.cfg"), std::string::npos)
        << text;
}

TEST(WindowsBridge, AHostThatClosesItsFramePipesLeavesTheBridgeWorking) {
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start());
    EnterRoom(bridge);
    bridge.Run(R"({"type":"RequestView","param":["s1"]})");
    bridge.CloseFrames();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(DeliverRed(bridge, nullptr, 16, 16), 1);
        EXPECT_EQ(DeliverRed(bridge, "s1", 16, 16), 1);
    }
    Exchange e = bridge.Run(R"({"type":"OpenCamera"})");
    EXPECT_EQ(e.replies, Lines{Reply(1, "OpenCamera")});
    EXPECT_TRUE(bridge.Alive());
}

TEST(WindowsBridge, AMissingDescriptorFiveIsReservedAndTheOtherChannelsWork) {
    BridgeProcess bridge;
    BridgeProcess::Options options;
    options.omittedDescriptors = {5};
    options.configText = "[Main]\nlevel=debug\n";  // a configuration and a log file are opened
    ASSERT_TRUE(bridge.Start(options));
    EnterRoom(bridge);
    bridge.Run(R"({"type":"RequestView","param":["s1"]})");
    EXPECT_EQ(DeliverRed(bridge, nullptr, 8, 8), 1);  // channel 0: nowhere to go, dropped
    ASSERT_EQ(DeliverRed(bridge, "s1", 8, 8), 1);
    ExpectRedFrame(bridge, 1, 8, 8);
    Exchange e = bridge.Run(R"({"type":"OpenMic"})");
    EXPECT_EQ(e.replies, Lines{Reply(1, "OpenMic")});
    EXPECT_TRUE(bridge.WaitForLog("RecvMessage"));
    EXPECT_TRUE(bridge.Alive());
}

}  // namespace
}  // namespace bridgetest
