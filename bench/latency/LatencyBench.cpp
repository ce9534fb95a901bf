// Frame latency through the bridge: how old a frame is when the host has its last byte, counted
// from the moment the simulated SDK enters the render callback. The stamp travels in the frame's
// first pixels (sdk/sim/FrameStamp.h) on the monotonic clock that both processes read; each
// frame descriptor is read by a thread of its own with blocking reads straight into the frame.
//
// The floor, measured in the same run: a second process that stamps the same picture, converts
// it with ARGBToI420 and writes header and payload in one write to a pipe read the same way.
// Cases: 640x360, 1280x720 and 1920x1080, one stream alone (channel 1) at 60 frames/s; five
// 1920x1080 streams at 30 frames/s (channels 0 to 4, their sources started a fifth of a period
// apart, as independent cameras would be). Floor and bridge take turns, `rounds` times, so that
// other load on the machine hits both alike; the samples of all rounds are pooled.
//
// The cost of a frame: the bridge's processor time per relayed frame under the five streams, less
// the simulated SDK's own frame generation (the same sources into a render callback that does
// nothing, measured alone in this process), against ARGBToI420 plus one pipe write of the payload,
// each measured alone on one thread.
//
// Usage: latency_bench [seconds per measurement, default 4] [rounds, default 2]
// The last line reads: latency 1080p: p50 A ms p99 B ms floor F ms (p99/floor R)
#include <libyuv/convert.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LiveRoom.h"
#include "bench/latency/BridgeUnderTest.h"
#include "bench/latency/ChildModes.h"
#include "bench/latency/FrameReceiver.h"
#include "bench/latency/Latencies.h"
#include "platform/Clock.h"
#include "platform/CpuTime.h"
#include "platform/Descriptors.h"
#include "platform/Spawn.h"
#include "sdk/sim/FrameStamp.h"
#include "sdk/sim/Patterns.h"
#include "sdk/sim/SimControl.h"
#include "src/FrameRelay.h"

namespace latency {
namespace {

constexpr double kWarmUpSeconds = 1.0;
constexpr int kSingleFps = 60;
constexpr int kManyStreams = 5;
constexpr int kManyFps = 30;

struct Size {
    int width;
    int height;
};
constexpr Size kSizes[] = {{640, 360}, {1280, 720}, {1920, 1080}};
constexpr Size k1080p = {1920, 1080};

void SleepSeconds(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Sources started one after another this far apart spread evenly over a frame period.
void StaggerPause(int fps, int streams) {
    SleepSeconds(1.0 / fps / streams);
}

// What one measurement gave: the latencies of the frames that arrived within its window.
struct Outcome {
    Latencies latencies;
    double windowSeconds = 0;
    double cpuSeconds = 0;  // of the writing process over the window, where measured
};

// Reads the receivers' samples after they ended; fails the run on a torn stream or frames
// without a stamp, since the figures would then mean nothing.
void Collect(std::vector<std::unique_ptr<FrameReceiver>>& receivers, std::int64_t start,
             std::int64_t end, Outcome* outcome) {
    for (auto& receiver : receivers) {
        receiver->Join();
        if (receiver->Torn() || receiver->Unstamped() != 0) {
            std::fprintf(stderr, "a frame stream was torn or carried %llu frames without a stamp\n",
                         static_cast<unsigned long long>(receiver->Unstamped()));
            std::exit(1);
        }
        for (const Sample& sample : receiver->Samples()) {
            if (sample.arrival >= start && sample.arrival < end)
                outcome->latencies.Add(sample.latency);
        }
    }
    outcome->windowSeconds = (end - start) / 1e9;
}

Outcome MeasureFloor(Size size, int fps, double seconds) {
    platform::Pipe pipe;
    platform::ChildProcess writer;
    if (!platform::MakePipe(&pipe) || !SpawnSelf({"--floor", std::to_string(size.width),
                                                  std::to_string(size.height), std::to_string(fps)},
                                                 pipe.write.Get(), &writer))
        std::exit(1);
    pipe.write.Reset();
    std::vector<std::unique_ptr<FrameReceiver>> receivers;
    receivers.push_back(std::make_unique<FrameReceiver>(pipe.read.Get()));
    SleepSeconds(kWarmUpSeconds);
    const std::int64_t start = platform::MonotonicNanoseconds();
    SleepSeconds(seconds);
    const std::int64_t end = platform::MonotonicNanoseconds();
    writer.KillAndWait();
    Outcome outcome;
    Collect(receivers, start, end, &outcome);
    return outcome;
}

// `streams` 1: stream s1 on channel 1; more: the null stream on channel 0 and s1 to s4.
Outcome MeasureBridge(int streams, Size size, int fps, double seconds) {
    BridgeUnderTest bridge;
    if (!bridge.Start())
        std::exit(1);
    const char* ids[kManyStreams] = {"", "s1", "s2", "s3", "s4"};
    const int first = streams == 1 ? 1 : 0;
    std::vector<std::unique_ptr<FrameReceiver>> receivers;
    for (int channel = first; channel < first + streams; ++channel)
        receivers.push_back(std::make_unique<FrameReceiver>(bridge.FrameFd(channel)));
    for (int channel = first; channel < first + streams; ++channel) {
        if (channel != first)
            StaggerPause(fps, streams);
        bridge.StartSource(ids[channel], size.width, size.height, fps);
    }
    SleepSeconds(kWarmUpSeconds);
    const double cpuStart = bridge.CpuSeconds();
    const std::int64_t start = platform::MonotonicNanoseconds();
    SleepSeconds(seconds);
    const std::int64_t end = platform::MonotonicNanoseconds();
    const double cpuEnd = bridge.CpuSeconds();
    bridge.Stop();
    Outcome outcome;
    Collect(receivers, start, end, &outcome);
    outcome.cpuSeconds = cpuEnd - cpuStart;
    return outcome;
}

// ---- the cost of a frame ----

class CountingRenderer final : public ZEGO::LIVEROOM::IZegoVideoRenderCallback {
  public:
    void OnVideoDataCallback(const unsigned char*, int, const char*, int, int, int[4]) override {
        frames.fetch_add(1, std::memory_order_relaxed);
    }
    std::atomic<std::uint64_t> frames{0};
};

// Processor seconds per frame of the simulated SDK's sources alone, in this process: the same
// stamped sources as in the bridge, into a render callback that only counts.
double SourceCpuPerFrame(int streams, Size size, int fps, double seconds) {
    platform::Pipe requests, output;
    if (!platform::MakePipe(&requests) || !platform::MakePipe(&output))
        std::exit(1);
    std::thread drain([fd = output.read.Get()] {
        char buffer[4096];
        while (platform::ReadSome(fd, buffer, sizeof buffer) > 0) {
        }
    });
    sim::StartControlChannel(requests.read.Get(), output.write.Get());
    CountingRenderer renderer;
    ZEGO::LIVEROOM::SetExternalRenderCallback(&renderer);
    const char* ids[kManyStreams] = {"null", "\"s1\"", "\"s2\"", "\"s3\"", "\"s4\""};
    for (int i = 0; i < streams; ++i) {
        if (i != 0)
            StaggerPause(fps, streams);
        const std::string request =
            std::string(R"({"op":"source","stream":)") + ids[i % kManyStreams] + R"(,"width":)" +
            std::to_string(size.width) + R"(,"height":)" + std::to_string(size.height) +
            R"(,"fps":)" + std::to_string(fps) +
            R"(,"pattern":"solid","color":"#3366CC","stamp":true})" + "\n";
        platform::WriteAll(requests.write.Get(), request.data(), request.size());
    }
    SleepSeconds(kWarmUpSeconds);
    const std::int64_t cpuStart = platform::ProcessCpuNanoseconds();
    const std::uint64_t framesStart = renderer.frames.load();
    SleepSeconds(seconds);
    const std::int64_t cpuEnd = platform::ProcessCpuNanoseconds();
    const std::uint64_t frames = renderer.frames.load() - framesStart;
    ZEGO::LIVEROOM::SetExternalRenderCallback(nullptr);
    requests.write.Reset();
    sim::StopControlChannel();
    output.write.Reset();
    drain.join();
    return (cpuEnd - cpuStart) / 1e9 / std::max<std::uint64_t>(frames, 1);
}

struct AloneCost {
    double convert = 0;  // processor seconds per frame
    double write = 0;
};

// ARGBToI420 of the 1080p picture, and one write of its payload to a pipe that a second process
// drains, each on this thread and timed by its processor time.
AloneCost ConvertAndWriteCost(int frames) {
    quorlane::framerelay::FrameLayout layout;
    quorlane::framerelay::PlanFrame(k1080p.width, k1080p.height, &layout);
    const int stride = 4 * k1080p.width;
    sim::PatternImage picture(sim::PatternKind::Solid, sim::Bgra{0xCC, 0x66, 0x33, 0xFF},
                              k1080p.width, k1080p.height, stride);
    sim::StampFrame(picture.Frame(0), stride, 1);
    std::vector<std::uint8_t> payload(layout.payloadSize);
    std::uint8_t* u = payload.data() + layout.lumaSize;
    AloneCost cost;
    std::int64_t start = platform::ThreadCpuNanoseconds();
    for (int i = 0; i < frames; ++i) {
        libyuv::ARGBToI420(picture.Frame(0), stride, payload.data(), k1080p.width, u,
                           layout.chromaWidth, u + layout.chromaSize, layout.chromaWidth,
                           k1080p.width, k1080p.height);
    }
    cost.convert = (platform::ThreadCpuNanoseconds() - start) / 1e9 / frames;

    platform::Pipe pipe;
    platform::ChildProcess drain;
    if (!platform::MakePipe(&pipe) || !SpawnSelf({"--drain"}, pipe.read.Get(), &drain))
        std::exit(1);
    pipe.read.Reset();
    start = platform::ThreadCpuNanoseconds();
    for (int i = 0; i < frames; ++i) {
        if (platform::WriteAll(pipe.write.Get(), payload.data(), payload.size()) < 0)
            std::exit(1);
    }
    cost.write = (platform::ThreadCpuNanoseconds() - start) / 1e9 / frames;
    pipe.write.Reset();
    drain.WaitFor(10000);
    return cost;
}

// ---- the report ----

void PrintRow(const char* size, const char* what, const Latencies& latencies, double floorP50,
              const char* goal) {
    std::printf("%-10s %-34s %6zu %7.2f %7.2f %7.2f", size, what, latencies.Count(),
                latencies.P50(), latencies.P99(), latencies.Max());
    if (floorP50 > 0)
        std::printf(" %9.2f", latencies.P99() / floorP50);
    if (goal != nullptr)
        std::printf("  %s", goal);
    std::printf("\n");
}

std::string Goal(double ratio, double goal) {
    char text[64];
    std::snprintf(text, sizeof text, "(goal <= %.1f) %s", goal, ratio <= goal ? "met" : "MISSED");
    return text;
}

int Run(double seconds, int rounds) {
    platform::IgnoreBrokenPipe();
    constexpr int kSizeCount = sizeof kSizes / sizeof kSizes[0];
    Latencies floors[kSizeCount], singles[kSizeCount], many;
    double manyCpu = 0;
    for (int round = 0; round < rounds; ++round) {
        for (int s = 0; s < kSizeCount; ++s) {
            floors[s].Append(MeasureFloor(kSizes[s], kSingleFps, seconds).latencies);
            singles[s].Append(MeasureBridge(1, kSizes[s], kSingleFps, seconds).latencies);
        }
        const Outcome outcome = MeasureBridge(kManyStreams, k1080p, kManyFps, seconds);
        many.Append(outcome.latencies);
        manyCpu += outcome.cpuSeconds;
    }

    std::printf(
        "frame latency in ms, from the render callback's entry to the host's last byte; %d "
        "round(s) of %.0f s per case\n",
        rounds, seconds);
    std::printf("%-10s %-34s %6s %7s %7s %7s %9s\n", "size", "case", "frames", "p50", "p99", "max",
                "p99/floor");
    const double floor1080 = floors[kSizeCount - 1].P50();
    for (int s = 0; s < kSizeCount; ++s) {
        char size[32];
        std::snprintf(size, sizeof size, "%dx%d", kSizes[s].width, kSizes[s].height);
        PrintRow(size, "floor: ARGBToI420 + raw pipe", floors[s], 0, nullptr);
        const double ratio = singles[s].P99() / floors[s].P50();
        const std::string goal = Goal(ratio, 1.5);
        PrintRow(size, "bridge, one stream at 60/s", singles[s], floors[s].P50(),
                 s == kSizeCount - 1 ? goal.c_str() : nullptr);
    }
    const std::string manyGoal = Goal(many.P99() / floor1080, 2.0);
    PrintRow("1920x1080", "bridge, five streams at 30/s", many, floor1080, manyGoal.c_str());
    std::printf("(p99/floor: the case's p99 over the floor's p50 at the same size)\n");

    const double generation = SourceCpuPerFrame(kManyStreams, k1080p, kManyFps, seconds);
    const double relayed = static_cast<double>(many.Count());
    const double bridgeProcess = relayed > 0 ? manyCpu / relayed : 0;
    const double bridgeCost = bridgeProcess - generation;
    const AloneCost alone = ConvertAndWriteCost(60);
    const double aloneCost = alone.convert + alone.write;
    const double costRatio = bridgeCost / aloneCost;
    std::printf(
        "cpu per relayed 1080p frame, five streams at 30/s: bridge %.3f ms (its process %.3f, "
        "less the simulated SDK's frame generation %.3f) | ARGBToI420 %.3f + one pipe write "
        "%.3f = %.3f ms alone | ratio %.2f %s\n",
        bridgeCost * 1e3, bridgeProcess * 1e3, generation * 1e3, alone.convert * 1e3,
        alone.write * 1e3, aloneCost * 1e3, costRatio, Goal(costRatio, 1.3).c_str());

    const Latencies& single1080 = singles[kSizeCount - 1];
    std::printf("latency 1080p: p50 %.2f ms p99 %.2f ms floor %.2f ms (p99/floor %.2f)\n",
                single1080.P50(), single1080.P99(), floor1080, single1080.P99() / floor1080);
    return 0;
}

}  // namespace
}  // namespace latency

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "--floor") == 0)
        return latency::RunFloorWriter(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc >= 2 && std::strcmp(argv[1], "--drain") == 0)
        return latency::RunDrain();
    const double seconds = argc >= 2 ? std::max(0.5, std::atof(argv[1])) : 4.0;
    const int rounds = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 2;
    return latency::Run(seconds, rounds);
}
