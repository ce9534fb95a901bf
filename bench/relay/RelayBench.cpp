// Frame relay throughput and cost.
//
// 1. End to end: the bridge with the simulated SDK's frame sources (1920x1080), one channel and
//    then all five at once, read by this process as a host; against raw pipe throughput of the
//    same frame bytes written by a second process, measured in the same run. The sources
//    deliver a quarter more frames than the raw pipes carried, so the pipes stay the limit; the
//    bridge drops the frames they cannot take instead of holding up the delivering thread.
// 2. The relay alone (conversion and writes to the null device) against libyuv's ARGBToI420
//    alone, per frame.
//
// Usage: relay_bench [seconds per measurement, default 2] [rounds, default 3]
#include <libyuv/convert.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/ScriptedBridge.h"
#include "platform/Descriptors.h"
#include "platform/Process.h"
#include "platform/Spawn.h"
#include "src/FrameRelay.h"
#include "src/Manager.h"

namespace quorlane {

namespace {

using Clock = std::chrono::steady_clock;

const int kWidth = 1920;
const int kHeight = 1080;
const std::size_t kPayload = kWidth * kHeight * 3 / 2;
const std::size_t kFrameBytes = framerelay::kHeaderSize + kPayload;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// ---- the second process of the baseline: writes frames to descriptors 5.. until they fail ----

int RunPipeWriter(int channels) {
    platform::IgnoreBrokenPipe();
    framerelay::FrameLayout layout;
    framerelay::PlanFrame(kWidth, kHeight, &layout);
    std::vector<std::thread> writers;
    for (int channel = 0; channel < channels; ++channel) {
        writers.emplace_back([channel, &layout] {
            std::vector<unsigned char> payload(kPayload, 0x80);
            unsigned char header[framerelay::kHeaderSize];
            framerelay::EncodeFrameHeader(layout, header);
            const int fd = 5 + channel;
            for (;;) {
                if (platform::WriteAll(fd, header, sizeof header) < 0)
                    return;
                if (platform::WriteAll(fd, payload.data(), payload.size()) < 0)
                    return;
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    return 0;
}

// ---- reading frame descriptors as a host does ----

struct Throughput {
    double bytesPerSecond = 0;
    double framesPerSecond = 0;
};

// Reads every descriptor as fast as possible (also draining `others`, whose bytes do not
// count); measures after a warm-up.
Throughput Measure(const std::vector<int>& frameFds, const std::vector<int>& others, double warmUp,
                   double seconds) {
    std::vector<char> buffer(1 << 20);
    std::uint64_t counted = 0;
    bool measuring = false;
    Clock::time_point start = Clock::now();
    const Clock::time_point begin = start;
    for (;;) {
        const double elapsed = SecondsSince(measuring ? start : begin);
        if (!measuring && elapsed >= warmUp) {
            measuring = true;
            start = Clock::now();
            counted = 0;
        } else if (measuring && elapsed >= seconds) {
            break;
        }
        std::vector<platform::PollEntry> entries;
        for (int fd : frameFds)
            entries.push_back(platform::PollEntry{fd});
        for (int fd : others)
            entries.push_back(platform::PollEntry{fd});
        if (platform::PollDescriptors(entries, 100) < 0)
            break;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (!(entries[i].readable || entries[i].hangup))
                continue;
            const long n = platform::ReadNonBlocking(entries[i].fd, buffer.data(), buffer.size());
            if (n > 0 && i < frameFds.size())
                counted += static_cast<std::uint64_t>(n);
        }
    }
    const double duration = SecondsSince(start);
    Throughput result;
    result.bytesPerSecond = counted / duration;
    result.framesPerSecond = result.bytesPerSecond / kFrameBytes;
    return result;
}

Throughput RawPipeBaseline(int channels, double seconds) {
    platform::Pipe pipes[5];
    platform::SpawnOptions spawn;
    spawn.path = platform::ExecutablePath();
    spawn.args = {"--pipe-writer", std::to_string(channels)};
    std::vector<int> fds;
    for (int channel = 0; channel < channels; ++channel) {
        platform::MakePipe(&pipes[channel]);
        spawn.descriptors.emplace_back(5 + channel, pipes[channel].write.Get());
        platform::SetNonBlocking(pipes[channel].read.Get(), true);
        fds.push_back(pipes[channel].read.Get());
    }
    platform::ChildProcess child;
    std::string error;
    if (!child.Spawn(spawn, &error)) {
        std::fprintf(stderr, "cannot start the pipe writer: %s\n", error.c_str());
        std::exit(1);
    }
    for (int channel = 0; channel < channels; ++channel)
        pipes[channel].write.Reset();
    const Throughput result = Measure(fds, {}, 0.3, seconds);
    child.KillAndWait();
    return result;
}

// ---- the bridge as a host runs it ----

Throughput BridgeRelay(int channels, double seconds, int fps) {
    benchsupport::ScriptedBridge bridge("relay");
    if (!bridge.Start() || !bridge.JoinRoom(channels > 1))
        std::exit(1);
    const char* streams[5] = {"null", "\"s1\"", "\"s2\"", "\"s3\"", "\"s4\""};
    std::vector<int> frameFds;
    for (int channel = 0; channel < channels; ++channel) {
        platform::SetNonBlocking(bridge.FrameFd(channel), true);
        frameFds.push_back(bridge.FrameFd(channel));
        bridge.Control(std::string(R"({"op":"source","stream":)") + streams[channel] +
                       R"(,"width":1920,"height":1080,"fps":)" + std::to_string(fps) +
                       R"(,"pattern":"solid","color":"#3366CC"})"
                       "\n");
    }
    return Measure(frameFds, {bridge.ReplyFd(), bridge.ControlOutFd()}, 0.5, seconds);
}

// ---- the relay's own cost per frame ----

struct PerFrame {
    double relay = 0;  // seconds per frame
    double convert = 0;
};

PerFrame RelayCost(int frames) {
    // Channel 0 to the null device, so writes cost next to nothing.
    if (platform::IsDescriptorOpen(5) || !platform::ReserveDescriptor(5)) {
        std::fprintf(stderr, "descriptor 5 is in use; cannot measure the relay alone\n");
        std::exit(1);
    }
    std::vector<unsigned char> pixels(static_cast<std::size_t>(kWidth) * kHeight * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i * 7);
    std::vector<unsigned char> yuv(kPayload);
    framerelay::FrameLayout layout;
    framerelay::PlanFrame(kWidth, kHeight, &layout);
    Manager manager;
    int strides[4] = {kWidth * 4, 0, 0, 0};

    std::vector<double> relay, convert;
    for (int round = 0; round < 7; ++round) {
        Clock::time_point start = Clock::now();
        for (int i = 0; i < frames; ++i) {
            libyuv::ARGBToI420(pixels.data(), strides[0], yuv.data(), kWidth,
                               yuv.data() + layout.lumaSize, layout.chromaWidth,
                               yuv.data() + layout.lumaSize + layout.chromaSize, layout.chromaWidth,
                               kWidth, kHeight);
        }
        convert.push_back(SecondsSince(start) / frames);
        // Frames dropped (the writer thread was behind) cost nothing: only converted ones count.
        const std::uint64_t droppedBefore = framerelay::DroppedFrames(0);
        start = Clock::now();
        for (int i = 0; i < frames; ++i) {
            framerelay::RelayFrame(&manager, pixels.data(), static_cast<int>(pixels.size()),
                                   strides, nullptr, kWidth, kHeight);
        }
        const std::uint64_t dropped = framerelay::DroppedFrames(0) - droppedBefore;
        relay.push_back(SecondsSince(start) / std::max<double>(1, frames - double(dropped)));
    }
    std::sort(relay.begin(), relay.end());
    std::sort(convert.begin(), convert.end());
    return {relay[relay.size() / 2], convert[convert.size() / 2]};
}

// Measures bridge and raw pipe alternately, `rounds` times each, and prints the median ratio
// with the figures of the round that gave it: other load on the machine hits both sides alike.
void CompareThroughput(const char* name, int channels, double seconds, int rounds, double goal) {
    struct Round {
        Throughput bridge, raw;
        double ratio;
    };
    std::vector<Round> results;
    for (int round = 0; round < rounds; ++round) {
        Round r;
        r.raw = RawPipeBaseline(channels, seconds);
        const double fps = 1.25 * r.raw.framesPerSecond / channels;
        r.bridge = BridgeRelay(channels, seconds, std::max(30, static_cast<int>(fps)));
        r.ratio = r.bridge.bytesPerSecond / r.raw.bytesPerSecond;
        results.push_back(r);
    }
    std::sort(results.begin(), results.end(),
              [](const Round& a, const Round& b) { return a.ratio < b.ratio; });
    const Round& median = results[results.size() / 2];
    std::printf(
        "%-14s bridge %7.1f frames/s %7.1f MB/s | raw pipe %7.1f frames/s %7.1f MB/s | "
        "ratio %.2f (median of %d; range %.2f-%.2f; goal >= %.2f) %s\n",
        name, median.bridge.framesPerSecond, median.bridge.bytesPerSecond / 1e6,
        median.raw.framesPerSecond, median.raw.bytesPerSecond / 1e6, median.ratio, rounds,
        results.front().ratio, results.back().ratio, goal, median.ratio >= goal ? "met" : "MISSED");
}

}  // namespace

}  // namespace quorlane

int main(int argc, char** argv) {
    using namespace quorlane;
    if (argc >= 3 && std::strcmp(argv[1], "--pipe-writer") == 0) {
        return RunPipeWriter(std::atoi(argv[2]));
    }
    const double seconds = argc >= 2 ? std::atof(argv[1]) : 2.0;
    const int rounds = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 3;
    platform::IgnoreBrokenPipe();

    const PerFrame cost = RelayCost(60);
    const double costRatio = cost.relay / cost.convert;
    std::printf(
        "relay alone    %.3f ms/frame | ARGBToI420 alone %.3f ms/frame | ratio %.2f "
        "(goal <= 1.20) %s\n",
        cost.relay * 1e3, cost.convert * 1e3, costRatio, costRatio <= 1.2 ? "met" : "MISSED");

    CompareThroughput("one channel", 1, seconds, rounds, 0.75);
    CompareThroughput("five channels", 5, seconds, rounds, 0.60);
    return 0;
}
