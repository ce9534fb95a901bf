// Frames per second through libquorlane against the raw pipe. The simulated SDK's source sends
// 640x360 frames on channel 1 as fast as the bridge takes them; each block runs the bridge for
// BLOCK_SECONDS and counts whole frames:
//   raw pipe   the host reads descriptor 6 itself with large reads and counts bytes (baseline)
//   C API      quorlane_receive_frame on the host's thread, each frame released at once
//   no reader  the library reads but the host never receives: its queue drops the oldest
// Blocks alternate so that every mode sees the same machine load. Prints the medians and the
// ratios against the raw pipe.
//
//   clib_frame_rate_bench [BLOCKS] [BLOCK_SECONDS]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "hosts/c/include/quorlane.h"
#include "platform/Clock.h"
#include "platform/Descriptors.h"
#include "platform/Process.h"
#include "platform/Spawn.h"

namespace {

const char* const kSetup[] = {
    R"({"type":"Login","param":{"userID":"bench","userName":"Bench","test":0}})",
    R"({"type":"EnterRoom","param":{"RoomName":"Bench","RoomID":"b1","role":1}})",
    R"({"type":"RequestView","param":["s1"]})"};
const char kSource[] =
    R"({"op":"source","stream":"s1","width":640,"height":360,"fps":0,"pattern":"solid"})";
const std::size_t kFrameBytes = 12 + 640 * 360 * 3 / 2;

double Now() {
    return static_cast<double>(platform::MonotonicNanoseconds()) / 1e9;
}

std::string WorkFolder() {
    const std::string dir = (std::filesystem::temp_directory_path() /
                             ("clib-bench-" + std::to_string(platform::ProcessId())))
                                .string();
    std::filesystem::create_directories(dir);
    return dir;
}

// The host reads the pipes itself.
double RawPipe(double seconds) {
    platform::Pipe pipes[9];  // 3, 4, 5..9, 10, 11
    platform::SpawnOptions spawn;
    spawn.path = QUORLANE_BINARY;
    spawn.workingDirectory = WorkFolder();
    spawn.stdoutPath = platform::NullDevicePath();
    spawn.environment = {{"QUORLANE_SIM_CONTROL", "10,11"}};
    const int numbers[9] = {3, 4, 5, 6, 7, 8, 9, 10, 11};
    for (int i = 0; i < 9; ++i) {
        if (!platform::MakePipe(&pipes[i]))
            return -1;
        const bool childReads = numbers[i] == 3 || numbers[i] == 10;
        if (numbers[i] >= 5 && numbers[i] <= 9)
            platform::SetPipeBufferSize(pipes[i].write.Get(), 1 << 20);
        spawn.descriptors.emplace_back(numbers[i],
                                       childReads ? pipes[i].read.Get() : pipes[i].write.Get());
    }
    platform::ChildProcess child;
    std::string error;
    if (!child.Spawn(spawn, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return -1;
    }
    for (int i = 0; i < 9; ++i) {
        const bool childReads = numbers[i] == 3 || numbers[i] == 10;
        (childReads ? pipes[i].read : pipes[i].write).Reset();
    }
    std::vector<std::thread> drains;
    for (int i : {1, 8, 2, 4, 5, 6}) {  // replies, control answers, the unused channels
        const int fd = pipes[i].read.Get();
        drains.emplace_back([fd] {
            std::vector<char> buffer(1 << 16);
            while (platform::ReadSome(fd, buffer.data(), buffer.size()) > 0) {
            }
        });
    }
    for (const char* c : kSetup)
        platform::WriteAll(pipes[0].write.Get(), c, std::strlen(c));
    const std::string source = std::string(kSource) + "\n";
    platform::WriteAll(pipes[7].write.Get(), source.data(), source.size());
    std::vector<char> buffer(1 << 20);
    const int fd = pipes[3].read.Get();  // channel 1
    std::uint64_t bytes = 0;
    double start = 0, end = 0;
    while (true) {
        const int n = platform::ReadSome(fd, buffer.data(), buffer.size());
        if (n <= 0)
            return -1;
        if (start == 0) {
            start = Now();
            end = start + seconds;
        }
        bytes += static_cast<std::uint64_t>(n);
        if (Now() >= end)
            break;
    }
    const double rate = static_cast<double>(bytes / kFrameBytes) / (Now() - start);
    child.KillAndWait();
    for (std::thread& t : drains)
        t.join();
    return rate;
}

// Through the library; `receive` false: the host never takes a frame.
double ThroughLibrary(double seconds, bool receive) {
    quorlane_options options;
    quorlane_options_init(&options);
    options.executable = QUORLANE_BINARY;
    const std::string dir = WorkFolder();
    options.working_directory = dir.c_str();
    options.stdout_path = platform::NullDevicePath();
    options.scripted = 1;
    quorlane_bridge* bridge;
    char message[256];
    if (quorlane_start(&options, &bridge, message, sizeof message) != QUORLANE_OK) {
        std::fprintf(stderr, "%s\n", message);
        return -1;
    }
    for (const char* c : kSetup)
        quorlane_send(bridge, c, static_cast<size_t>(-1));
    quorlane_send_control(bridge, kSource);
    quorlane_frame* frame;
    if (quorlane_receive_frame(bridge, 1, 20000, &frame) != QUORLANE_OK)
        return -1;
    quorlane_frame_release(frame);
    quorlane_stats stats;
    quorlane_get_stats(bridge, &stats);
    const std::uint64_t first = stats.frames_received[1];
    const double start = Now();
    std::uint64_t taken = 0;
    while (Now() - start < seconds) {
        if (!receive) {
            platform::SleepMilliseconds(50);
        } else if (quorlane_receive_frame(bridge, 1, 1000, &frame) == QUORLANE_OK) {
            quorlane_frame_release(frame);
            ++taken;
        }
    }
    const double elapsed = Now() - start;
    quorlane_get_stats(bridge, &stats);
    quorlane_destroy(bridge);
    const std::uint64_t frames = receive ? taken : stats.frames_received[1] - first;
    return static_cast<double>(frames) / elapsed;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int blocks = argc > 1 ? std::atoi(argv[1]) : 3;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 3;
    platform::IgnoreBrokenPipe();
    std::vector<double> raw, api, unread;
    for (int b = 0; b < blocks; ++b) {
        raw.push_back(RawPipe(seconds));
        api.push_back(ThroughLibrary(seconds, true));
        unread.push_back(ThroughLibrary(seconds, false));
        std::printf("block %d: raw pipe %.0f, C API %.0f, no reader %.0f frames/s\n", b + 1,
                    raw.back(), api.back(), unread.back());
    }
    const double r = Median(raw), a = Median(api), u = Median(unread);
    std::printf("640x360 frames per second (median of %d blocks of %.0f s)\n", blocks, seconds);
    std::printf("  raw pipe   %8.0f\n", r);
    std::printf("  C API      %8.0f   ratio %.2f\n", a, a / r);
    std::printf("  no reader  %8.0f   ratio %.2f (the bridge's rate while the host takes none)\n",
                u, u / r);
    return 0;
}
