// Round trip of one command with a reply: the host writes {"type":"OpenMic"} on descriptor 3 and
// reads { "code": 1, "type": "OpenMic" } from descriptor 4. Baselines, measured in the same run
// in alternating blocks so that they see the same machine load: the same bytes echoed through a
// bare pair of pipes by a second thread, and by a second process; and an echo process whose
// reader thread hands each command to a worker thread that sleeps until it is signalled. Prints
// the medians and the ratios (goal: at most 3 against the bare echo). Where waking a thread on an
// idle processor is slow (virtual machines), the sleeping hand-off shows that cost; the bridge's
// reader and worker keep watching for a short while after each command instead of sleeping.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/Descriptors.h"
#include "platform/Process.h"
#include "platform/Spawn.h"
#include "platform/Sync.h"

namespace {

const char kCommand[] = R"({"type":"OpenMic"})";
const char kReply[] = R"({ "code": 1, "type": "OpenMic" })";
const int kWarmUp = 200;
const int kBlocks = 10;
const int kRoundsPerBlock = 300;

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

// Sends the command to `out` and reads the reply from `in`.
struct Peer {
    int out = -1;
    int in = -1;

    // One round in nanoseconds, or -1 on failure.
    double RoundTrip() const {
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

    bool Measure(int rounds, std::vector<double>* samples) const {
        for (int i = 0; i < rounds; ++i) {
            const double ns = RoundTrip();
            if (ns < 0) {
                return false;
            }
            if (samples != nullptr) {
                samples->push_back(ns);
            }
        }
        return true;
    }
};

// The baseline: a thread that answers every command with the reply over two bare pipes.
class PipeEcho {
  public:
    bool Start() {
        if (!platform::MakePipe(&request_) || !platform::MakePipe(&response_)) {
            return false;
        }
        thread_ = std::thread([this] {
            char command[sizeof kCommand];
            while (ReadExactly(request_.read.Get(), command, sizeof kCommand - 1)) {
                platform::WriteAll(response_.write.Get(), kReply, sizeof kReply - 1);
            }
        });
        return true;
    }
    ~PipeEcho() {
        request_.write.Reset();  // end of input ends the thread
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    Peer Host() const { return Peer{request_.write.Get(), response_.read.Get()}; }

  private:
    platform::Pipe request_;
    platform::Pipe response_;
    std::thread thread_;
};

// The same echo in a child process: the bench itself started with --echo, reading descriptor 3
// and answering on 4. It crosses a process boundary as the host and the bridge do.
class ProcessEcho {
  public:
    explicit ProcessEcho(const char* mode) : mode_(mode) {}

    bool Start() {
        platform::Pipe request;
        platform::Pipe response;
        if (!platform::MakePipe(&request) || !platform::MakePipe(&response)) {
            return false;
        }
        platform::SpawnOptions options;
        options.path = platform::ExecutablePath();
        options.args = {mode_};
        options.descriptors = {{3, request.read.Get()}, {4, response.write.Get()}};
        std::string error;
        if (!child_.Spawn(options, &error)) {
            std::fprintf(stderr, "cannot start the echo process: %s\n", error.c_str());
            return false;
        }
        requests_ = std::move(request.write);
        responses_ = std::move(response.read);
        return true;
    }
    Peer Host() const { return Peer{requests_.Get(), responses_.Get()}; }

  private:
    const char* mode_;
    platform::ChildProcess child_;
    platform::UniqueFd requests_;
    platform::UniqueFd responses_;
};

// The echo process started with --handoff: a reader thread hands each command to a worker
// thread through an event, and the worker answers; the bridge's reader-to-worker hand-off with
// nothing else, except that both threads go to sleep at once when they wait.
int RunHandOffEcho() {
    platform::AutoResetEvent ready;
    std::thread worker([&ready] {
        for (;;) {
            ready.Wait();
            platform::WriteAll(4, kReply, sizeof kReply - 1);
        }
    });
    worker.detach();
    char command[sizeof kCommand];
    while (ReadExactly(3, command, sizeof kCommand - 1)) {
        ready.Signal();
    }
    return 0;
}

int RunEcho() {
    char command[sizeof kCommand];
    while (ReadExactly(3, command, sizeof kCommand - 1)) {
        platform::WriteAll(4, kReply, sizeof kReply - 1);
    }
    return 0;
}

// The bridge, started as a host starts it, logged in so that it takes device switches.
class Bridge {
  public:
    bool Start() {
        directory_ = std::filesystem::temp_directory_path() /
                     ("quorlane-bench-" + std::to_string(platform::ProcessId()));
        std::filesystem::create_directories(directory_);
        platform::Pipe pipes[7];  // descriptors 3 to 9
        platform::SpawnOptions options;
        options.path = QUORLANE_BINARY;
        options.workingDirectory = directory_.string();
        options.stdoutPath = platform::NullDevicePath();
        options.stderrPath = (directory_ / "stderr.txt").string();
        for (int i = 0; i < 7; ++i) {
            if (!platform::MakePipe(&pipes[i])) {
                return false;
            }
            options.descriptors.emplace_back(3 + i,
                                             i == 0 ? pipes[i].read.Get() : pipes[i].write.Get());
        }
        std::string error;
        if (!child_.Spawn(options, &error)) {
            std::fprintf(stderr, "cannot start the bridge: %s\n", error.c_str());
            return false;
        }
        commands_ = std::move(pipes[0].write);
        replies_ = std::move(pipes[1].read);
        for (int i = 2; i < 7; ++i) {
            frames_[i - 2] = std::move(pipes[i].read);  // kept open, never written here
        }
        return Expect(nullptr, R"({ "code": 0, "type": "DaemonStart" })") &&
               Expect(R"({"type":"Login","param":{"userID":"bench","userName":"bench"}})",
                      R"({ "code": 1, "type": "Login" })");
    }
    ~Bridge() {
        child_.KillAndWait();
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    Peer Host() const { return Peer{commands_.Get(), replies_.Get()}; }

  private:
    bool Expect(const char* command, const std::string& reply) {
        if (command != nullptr &&
            platform::WriteAll(commands_.Get(), command, std::strlen(command)) < 0) {
            return false;
        }
        std::string received(reply.size(), '\0');
        return ReadExactly(replies_.Get(), &received[0], received.size()) && received == reply;
    }

    std::filesystem::path directory_;
    platform::ChildProcess child_;
    platform::UniqueFd commands_;
    platform::UniqueFd replies_;
    platform::UniqueFd frames_[5];
};

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--echo") == 0) {
        return RunEcho();
    }
    if (argc > 1 && std::strcmp(argv[1], "--handoff") == 0) {
        return RunHandOffEcho();
    }
    PipeEcho echo;
    ProcessEcho processEcho("--echo");
    ProcessEcho handOffEcho("--handoff");
    Bridge bridge;
    if (!echo.Start() || !processEcho.Start() || !handOffEcho.Start() || !bridge.Start()) {
        std::fprintf(stderr, "cannot start the measurement\n");
        return 1;
    }
    std::vector<double> echoSamples;
    std::vector<double> processEchoSamples;
    std::vector<double> handOffSamples;
    std::vector<double> bridgeSamples;
    bool ok =
        echo.Host().Measure(kWarmUp, nullptr) && processEcho.Host().Measure(kWarmUp, nullptr) &&
        handOffEcho.Host().Measure(kWarmUp, nullptr) && bridge.Host().Measure(kWarmUp, nullptr);
    for (int block = 0; ok && block < kBlocks; ++block) {
        ok = echo.Host().Measure(kRoundsPerBlock, &echoSamples) &&
             processEcho.Host().Measure(kRoundsPerBlock, &processEchoSamples) &&
             handOffEcho.Host().Measure(kRoundsPerBlock, &handOffSamples) &&
             bridge.Host().Measure(kRoundsPerBlock, &bridgeSamples);
    }
    if (!ok) {
        std::fprintf(stderr, "measurement failed\n");
        return 1;
    }
    const double echoMedian = Median(echoSamples);
    const double processEchoMedian = Median(processEchoSamples);
    const double handOffMedian = Median(handOffSamples);
    const double bridgeMedian = Median(bridgeSamples);
    std::printf("bare pipe echo (two threads),   median: %.1f us\n", echoMedian / 1000.0);
    std::printf("bare pipe echo (two processes), median: %.1f us\n", processEchoMedian / 1000.0);
    std::printf("echo, sleeping hand-off,        median: %.1f us\n", handOffMedian / 1000.0);
    std::printf("bridge OpenMic round trip,      median: %.1f us\n", bridgeMedian / 1000.0);
    std::printf("ratio bridge / echo (threads):   %.2f (goal <= 3)\n", bridgeMedian / echoMedian);
    std::printf("ratio bridge / echo (processes): %.2f (goal <= 3)\n",
                bridgeMedian / processEchoMedian);
    std::printf("ratio bridge / sleeping hand-off: %.2f\n", bridgeMedian / handOffMedian);
    return 0;
}
