// The host tool against the real bridge on the simulated SDK's demo room.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>

#include "tests/host/HostRun.h"

namespace {

const char kSession[] =
    "timeout 10s\n"
    "wait reply DaemonStart code 0\n"
    "{\"type\":\"Login\",\"param\":{\"userID\":\"t1\",\"userName\":\"Tester\",\"test\":1}}\n"
    "wait reply Login code 1\n"
    "{\"type\":\"EnterRoom\",\"param\":{\"RoomName\":\"Demo\",\"RoomID\":\"demo\",\"role\":1}}\n"
    "wait reply EnterRoom code 0\n"
    "wait event StreamsList\n"
    "{\"type\":\"RequestView\",\"param\":[\"demo-1\",\"demo-2\",\"demo-3\"]}\n"
    "wait frames 1 5\n"
    "wait frames 2 5\n"
    "wait frames 3 5\n"
    "{\"type\":\"OpenCamera\"}\n"
    "wait reply OpenCamera code 1\n"
    "{\"type\":\"StartPreview\"}\n"
    "wait reply StartPreview code 1\n"
    "wait frames 0 5\n"
    "{\"type\":\"SendRoomMessage\",\"param\":{\"messageContent\":\"hi\",\"priority\":2,"
    "\"category\":1,\"type\":1}}\n"
    "wait event SendRoomMessage\n"
    "{\"type\":\"StopPreview\"}\n"
    "wait reply StopPreview code 1\n"
    "{\"type\":\"ExitRoom\"}\n"
    "{\"type\":\"Logout\"}\n"
    "wait reply Logout code 0\n";

// Frame count of a channel in the transcript's closing table ("      2      80  640x360 ...").
long TableFrames(const std::string& transcript, int channel) {
    std::size_t table = transcript.find("channel  frames");
    if (table == std::string::npos)
        return -1;
    std::istringstream rows(transcript.substr(table));
    std::string row;
    while (std::getline(rows, row)) {
        std::istringstream fields(row);
        long c = -1, frames = -1;
        if ((fields >> c >> frames) && c == channel)
            return frames;
    }
    return -1;
}

std::string CommandOutput(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string out;
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()))
        out += buffer;
    return out;
}

// Share of pixels whose channel `main` exceeds both others by 50.
double DominantShare(const hosttest::Png& png, int main) {
    std::size_t hits = 0, total = png.rgb.size() / 3;
    for (std::size_t i = 0; i < png.rgb.size(); i += 3) {
        int v[3] = {png.rgb[i], png.rgb[i + 1], png.rgb[i + 2]};
        if (v[main] > v[(main + 1) % 3] + 50 && v[main] > v[(main + 2) % 3] + 50)
            ++hits;
    }
    return total ? static_cast<double>(hits) / total : 0;
}

TEST(DemoRoom, HostToolRecordsEveryPlayingChannel) {
    hosttest::HostRun run = hosttest::RunHost(kSession, QUORLANE_BRIDGE_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.transcript;
    const std::string& t = run.transcript;
    for (const char* line :
         {"reply   Login code 1", "reply   EnterRoom code 0", "event   StreamsList",
          "\"StreamId\":\"demo-1\"", "event   SendRoomMessage",
          "the bridge was ended in order: exit code 0", "reply   StartPreview code 1",
          "reply   Logout code 0", "session complete"})
        EXPECT_NE(t.find(line), std::string::npos) << line << "\n" << t;
    EXPECT_EQ(t.find("FAILED"), std::string::npos) << t;

    bool haveProbe = !CommandOutput("command -v ffprobe").empty();
    for (int c = 0; c < 4; ++c) {
        std::string path = run.out + "/channel-" + std::to_string(c) + ".y4m";
        hosttest::Y4m y = hosttest::ReadY4m(path);
        ASSERT_TRUE(y.valid) << path << ": " << y.error;
        EXPECT_EQ(y.width, 640);
        EXPECT_EQ(y.height, 360);
        EXPECT_GE(y.frames.size(), 5u);
        EXPECT_EQ(static_cast<long>(y.frames.size()), TableFrames(t, c)) << t;
        if (haveProbe) {
            std::string probe = CommandOutput(
                "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                "stream=width,height,nb_read_frames -of csv=p=0 '" +
                path + "'");
            EXPECT_EQ(probe, "640,360," + std::to_string(y.frames.size()) + "\n") << path;
        }

        hosttest::Png png = hosttest::ReadPng(run.out + "/channel-" + std::to_string(c) + ".png");
        ASSERT_TRUE(png.valid) << png.error;
        EXPECT_EQ(png.width, 640);
        EXPECT_EQ(png.height, 360);
    }
    EXPECT_FALSE(hosttest::FileExists(run.out + "/channel-4.y4m"));
    EXPECT_EQ(TableFrames(t, 4), 0);

    // demo-2 is drawn on red, demo-3 on green: with the chroma planes in the wrong order they
    // would come out blue and purple.
    EXPECT_GT(DominantShare(hosttest::ReadPng(run.out + "/channel-2.png"), 0), 0.5);
    EXPECT_GT(DominantShare(hosttest::ReadPng(run.out + "/channel-3.png"), 1), 0.5);

    hosttest::Png sheet = hosttest::ReadPng(run.out + "/contact-sheet.png");
    ASSERT_TRUE(sheet.valid) << sheet.error;
    EXPECT_GT(sheet.width, 4 * 320);  // four channels side by side
}

TEST(ScriptedBridge, FramesKeepTheirColoursOnEveryChannel) {
    // Colour bars on channel 2 (sent as Y, V, U) and a solid red preview on channel 0 (Y, U, V):
    // the recordings hold I420 either way.
    hosttest::HostRun run = hosttest::RunHost(
        "scripted\n"
        "timeout 5s\n"
        "wait reply DaemonStart\n"
        "{\"type\":\"Login\",\"param\":{\"userID\":\"u1\",\"userName\":\"Ann\",\"test\":0}}\n"
        "wait reply Login code 1\n"
        "{\"type\":\"EnterRoom\",\"param\":{\"RoomName\":\"R\",\"RoomID\":\"r1\",\"role\":1}}\n"
        "wait call LoginRoom\n"
        "{\"type\":\"RequestView\",\"param\":[\"a\",\"b\"]}\n"
        "wait call StartPlayingStream\n"
        "wait call StartPlayingStream\n"
        "control {\"op\":\"frame\",\"stream\":\"b\",\"width\":320,\"height\":180,"
        "\"pattern\":\"bars\",\"count\":3}\n"
        "control {\"op\":\"frame\",\"stream\":null,\"width\":161,\"height\":91,"
        "\"pattern\":\"solid\",\"color\":\"#FF0000\",\"count\":2}\n"
        "wait frames 2 3\n"
        "wait frames 0 2\n",
        QUORLANE_BRIDGE_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.transcript;

    hosttest::Y4m bars = hosttest::ReadY4m(run.out + "/channel-2.y4m");
    ASSERT_TRUE(bars.valid) << bars.error;
    ASSERT_EQ(bars.frames.size(), 3u);
    ASSERT_EQ(bars.width, 320);
    const std::string& f = bars.frames[2];
    std::size_t y = 320 * 180, c = 160 * 90;
    auto u = [&](int bar) { return static_cast<unsigned char>(f[y + 45 * 160 + bar * 20 + 10]); };
    auto v = [&](int bar) {
        return static_cast<unsigned char>(f[y + c + 45 * 160 + bar * 20 + 10]);
    };
    // Bars: white, yellow, cyan, green, magenta, red, blue, black.
    EXPECT_NEAR(u(0), 128, 3);
    EXPECT_NEAR(v(0), 128, 3);
    EXPECT_LT(u(1), 40);   // yellow: little blue
    EXPECT_GT(v(5), 220);  // red: much red
    EXPECT_LT(u(5), 110);
    EXPECT_GT(u(6), 220);  // blue: much blue
    EXPECT_LT(v(6), 140);

    hosttest::Y4m red = hosttest::ReadY4m(run.out + "/channel-0.y4m");
    ASSERT_TRUE(red.valid) << red.error;
    EXPECT_EQ(red.width, 161);
    EXPECT_EQ(red.height, 91);
    ASSERT_EQ(red.frames.size(), 2u);
    std::size_t ry = 161 * 91, rc = 81 * 46;
    EXPECT_LT(static_cast<unsigned char>(red.frames[1][ry + rc / 2]), 110);       // U
    EXPECT_GT(static_cast<unsigned char>(red.frames[1][ry + rc + rc / 2]), 220);  // V
    EXPECT_FALSE(hosttest::FileExists(run.out + "/channel-1.y4m"));  // stream a sent nothing
}

}  // namespace
