// Round trip of one command with a reply: the host writes {"type":"OpenMic"} on descriptor 3 and
// reads { "code": 1, "type": "OpenMic" } from descriptor 4. Baseline, measured in the same run:
// the same bytes echoed through a bare pair of pipes by a second thread. Prints both medians and
// their ratio (goal: at most 3).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/descriptors.h"
#include "platform/process.h"
#include "platform/spawn.h"

namespace {

const char kCommand[] = R"({"type":"OpenMic"})";
const char kReply[] = R"({ "code": 1, "type": "OpenMic" })";
const int kWarmUp = 200;
const int kRounds = 3000;

// Reads exactly `size` bytes; false at end of input or on error.
bool ReadExactly(int fd, char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const int count = platform::ReadSome(fd, buffer + done, size - done);
        if (count <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One round: write the command, read the reply; nanoseconds, or -1 on failure.
double RoundTrip(int out, int in) {
    char reply[sizeof kReply];
    const std::int64_t start = platform::MonotonicNanoseconds();
    if (platform::WriteAll(out, kCommand, sizeof kCommand - 1) < 0 ||
        !ReadExactly(in, reply, sizeof kReply - 1)) {
        return -1;
    }
    const std::int64_t end = platform::MonotonicNanoseconds();
    if (std::memcmp(reply, kReply, sizeof kReply - 1) != 0) {
        std::fprintf(stderr, "unexpected reply: %.*s\n", static_cast<int>(sizeof kReply - 1),
                     reply);
        return -1;
    }
    return static_cast<double>(end - start);
}

bool Measure(int out, int in, std::vector<double>* samples) {
    for (int i = 0; i < kWarmUp + kRounds; ++i) {
        const double ns = RoundTrip(out, in);
        if (ns < 0) {
            return false;
        }
        if (i >= kWarmUp) {
            samples->push_back(ns);
        }
    }
    return true;
}

bool MeasurePipeEcho(std::vector<double>* samples) {
    platform::Pipe request;
    platform::Pipe response;
    if (!platform::MakePipe(&request) || !platform::MakePipe(&response)) {
        return false;
    }
    std::thread echo([&] {
        char command[sizeof kCommand];
        while (ReadExactly(request.read.Get(), command, sizeof kCommand - 1)) {
            platform::WriteAll(response.write.Get(), kReply, sizeof kReply - 1);
        }
    });
    const bool ok = Measure(request.write.Get(), response.read.Get(), samples);
    request.write.Reset();
    echo.join();
    return ok;
}

bool MeasureBridge(std::vector<double>* samples) {
    const std::filesystem::path directory =
        std::filesystem::temp_directory_path() /
        ("quorlane-bench-" + std::to_string(platform::ProcessId()));
    std::filesystem::create_directories(directory);

    platform::Pipe pipes[7];  // descriptors 3 to 9
    platform::SpawnOptions options;
    options.path = QUORLANE_BINARY;
    options.workingDirectory = directory.string();
    options.stdoutPath = "/dev/null";
    options.stderrPath = (directory / "stderr.txt").string();
    for (int i = 0; i < 7; ++i) {
        if (!platform::MakePipe(&pipes[i])) {
            return false;
        }
        options.descriptors.emplace_back(3 + i,
                                         i == 0 ? pipes[i].read.Get() : pipes[i].write.Get());
    }
    platform::ChildProcess bridge;
    std::string error;
    if (!bridge.Spawn(options, &error)) {
        std::fprintf(stderr, "cannot start the bridge: %s\n", error.c_str());
        return false;
    }
    for (int i = 0; i < 7; ++i) {  // keep only the host's ends
        (i == 0 ? pipes[i].read : pipes[i].write).Reset();
    }
    const char greeting[] = R"({ "code": 0, "type": "DaemonStart" })";
    char received[sizeof greeting];
    bool ok = ReadExactly(pipes[1].read.Get(), received, sizeof greeting - 1);
    ok = ok && std::memcmp(received, greeting, sizeof greeting - 1) == 0;
    // The SDK takes device switches once it is set up.
    const char login[] = R"({"type":"Login","param":{"userID":"bench","userName":"bench"}})";
    const char loggedIn[] = R"({ "code": 1, "type": "Login" })";
    char loginReply[sizeof loggedIn];
    ok = ok && platform::WriteAll(pipes[0].write.Get(), login, sizeof login - 1) > 0 &&
         ReadExactly(pipes[1].read.Get(), loginReply, sizeof loggedIn - 1) &&
         std::memcmp(loginReply, loggedIn, sizeof loggedIn - 1) == 0;
    ok = ok && Measure(pipes[0].write.Get(), pipes[1].read.Get(), samples);
    bridge.KillAndWait();
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
    return ok;
}

}  // namespace

int main() {
    std::vector<double> echo;
    std::vector<double> bridge;
    if (!MeasurePipeEcho(&echo) || !MeasureBridge(&bridge)) {
        std::fprintf(stderr, "measurement failed\n");
        return 1;
    }
    const double echoMedian = Median(echo);
    const double bridgeMedian = Median(bridge);
    std::printf("bare pipe echo (two threads), median: %.1f us\n", echoMedian / 1000.0);
    std::printf("bridge OpenMic round trip,    median: %.1f us\n", bridgeMedian / 1000.0);
    std::printf("ratio bridge / echo: %.2f (goal <= 3)\n", bridgeMedian / echoMedian);
    return 0;
}
