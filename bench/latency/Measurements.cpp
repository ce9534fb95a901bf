#include "bench/latency/Measurements.h"

#include <libyuv/convert.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LiveRoom.h"
#include "bench/latency/ChildModes.h"
#include "bench/latency/FrameReceiver.h"
#include "bench/support/ScriptedBridge.h"
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
constexpr int kMaxStreams = 5;
const sim::Bgra kColour{0xCC, 0x66, 0x33, 0xFF};  // #3366CC
// The streams of channels 0 to 4 as JSON: the null stream and the requested s1 to s4.
const char* const kStreamIds[kMaxStreams] = {"null", "\"s1\"", "\"s2\"", "\"s3\"", "\"s4\""};

void SleepSeconds(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Sources started one after another this far apart spread evenly over a frame period.
void StaggerPause(int fps, int streams) {
    SleepSeconds(1.0 / fps / streams);
}

std::string SourceRequest(const std::string& streamJson, Size size, int fps) {
    return R"({"op":"source","stream":)" + streamJson + R"(,"width":)" +
           std::to_string(size.width) + R"(,"height":)" + std::to_string(size.height) +
           R"(,"fps":)" + std::to_string(fps) +
           R"(,"pattern":"solid","color":"#3366CC","stamp":true})" + "\n";
}

// Reads the receivers' samples after they ended; ends the run on a torn stream or frames
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
}

// Runs `cpuSeconds` (of the writers) around a window of `seconds` after the warm-up.
template <typename CpuSeconds>
void Window(double seconds, CpuSeconds cpuSeconds, std::int64_t* start, std::int64_t* end,
            double* cpu) {
    SleepSeconds(kWarmUpSeconds);
    const double cpuStart = cpuSeconds();
    *start = platform::MonotonicNanoseconds();
    SleepSeconds(seconds);
    *end = platform::MonotonicNanoseconds();
    *cpu = cpuSeconds() - cpuStart;
}

class CountingRenderer final : public ZEGO::LIVEROOM::IZegoVideoRenderCallback {
  public:
    void OnVideoDataCallback(const unsigned char*, int, const char*, int, int, int[4]) override {
        frames.fetch_add(1, std::memory_order_relaxed);
    }
    std::atomic<std::uint64_t> frames{0};
};

}  // namespace

Outcome MeasureBridge(int streams, Size size, int fps, double seconds) {
    benchsupport::ScriptedBridge bridge("latency");
    if (!bridge.Start() || !bridge.JoinRoom(true)) {
        bridge.Stop();
        std::exit(1);
    }
    // Nothing is waited for on descriptors 4 and 11 from here on.
    bridge.DrainRepliesAndControl();
    const int first = streams == 1 ? 1 : 0;
    std::vector<std::unique_ptr<FrameReceiver>> receivers;
    for (int channel = first; channel < first + streams; ++channel)
        receivers.push_back(std::make_unique<FrameReceiver>(bridge.FrameFd(channel)));
    for (int channel = first; channel < first + streams; ++channel) {
        if (channel != first)
            StaggerPause(fps, streams);
        bridge.Control(SourceRequest(kStreamIds[channel], size, fps));
    }
    Outcome outcome;
    std::int64_t start = 0, end = 0;
    Window(
        seconds, [&bridge] { return bridge.CpuSeconds(); }, &start, &end, &outcome.cpuSeconds);
    bridge.Stop();
    Collect(receivers, start, end, &outcome);
    return outcome;
}

Outcome MeasureWriters(int streams, bool convertEach, Size size, int fps, double seconds) {
    std::vector<platform::ChildProcess> writers(static_cast<std::size_t>(streams));
    std::vector<platform::UniqueFd> readEnds;
    std::vector<std::unique_ptr<FrameReceiver>> receivers;
    for (int i = 0; i < streams; ++i) {
        if (i != 0)
            StaggerPause(fps, streams);
        platform::Pipe pipe;
        if (!platform::MakePipe(&pipe) ||
            !SpawnSelf({convertEach ? "--floor" : "--transfer", std::to_string(size.width),
                        std::to_string(size.height), std::to_string(fps)},
                       pipe.write.Get(), &writers[i]))
            std::exit(1);
        receivers.push_back(std::make_unique<FrameReceiver>(pipe.read.Get()));
        readEnds.push_back(std::move(pipe.read));
    }
    Outcome outcome;
    std::int64_t start = 0, end = 0;
    Window(
        seconds,
        [&writers] {
            double total = 0;
            for (const platform::ChildProcess& writer : writers)
                total += writer.CpuSeconds();
            return total;
        },
        &start, &end, &outcome.cpuSeconds);
    for (platform::ChildProcess& writer : writers)
        writer.KillAndWait();
    Collect(receivers, start, end, &outcome);
    return outcome;
}

Latencies MeasureConversion(Size size, int fps, int frames) {
    quorlane::framerelay::FrameLayout layout;
    quorlane::framerelay::PlanFrame(size.width, size.height, &layout);
    const int stride = 4 * size.width;
    sim::PatternImage picture(sim::PatternKind::Solid, kColour, size.width, size.height, stride);
    std::vector<std::uint8_t> yuv(layout.payloadSize);
    std::uint8_t* u = yuv.data() + layout.lumaSize;
    Latencies latencies;
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::nanoseconds(1000000000 / fps);
    Clock::time_point due = Clock::now();
    for (int i = 0; i < frames; ++i) {
        std::this_thread::sleep_until(due);
        due += period;
        const std::int64_t start = platform::MonotonicNanoseconds();
        sim::StampFrame(picture.Frame(0), stride, static_cast<std::uint64_t>(start));
        libyuv::ARGBToI420(picture.Frame(0), stride, yuv.data(), size.width, u, layout.chromaWidth,
                           u + layout.chromaSize, layout.chromaWidth, size.width, size.height);
        latencies.Add(platform::MonotonicNanoseconds() - start);
    }
    return latencies;
}

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
    for (int i = 0; i < streams; ++i) {
        if (i != 0)
            StaggerPause(fps, streams);
        const std::string request = SourceRequest(kStreamIds[i % kMaxStreams], size, fps);
        platform::WriteAll(requests.write.Get(), request.data(), request.size());
    }
    // The frames counted alongside the processor time, at the start and at the end.
    std::uint64_t counted[2] = {};
    int reading = 0;
    std::int64_t start = 0, end = 0;
    double cpu = 0;
    Window(
        seconds,
        [&] {
            counted[reading++] = renderer.frames.load();
            return platform::ProcessCpuNanoseconds() / 1e9;
        },
        &start, &end, &cpu);
    const std::uint64_t frames = counted[1] - counted[0];
    ZEGO::LIVEROOM::SetExternalRenderCallback(nullptr);
    requests.write.Reset();
    sim::StopControlChannel();
    output.write.Reset();
    drain.join();
    return cpu / static_cast<double>(std::max<std::uint64_t>(frames, 1));
}

HotCost MeasureHotCost(Size size, int frames) {
    quorlane::framerelay::FrameLayout layout;
    quorlane::framerelay::PlanFrame(size.width, size.height, &layout);
    const int stride = 4 * size.width;
    std::vector<std::unique_ptr<sim::PatternImage>> pictures;
    for (int i = 0; i < kMaxStreams; ++i) {
        pictures.push_back(std::make_unique<sim::PatternImage>(sim::PatternKind::Solid, kColour,
                                                               size.width, size.height, stride));
    }
    std::vector<std::uint8_t> payload(layout.payloadSize);
    std::uint8_t* u = payload.data() + layout.lumaSize;
    auto convert = [&](int count) {
        const std::int64_t start = platform::ThreadCpuNanoseconds();
        for (int i = 0; i < frames; ++i) {
            libyuv::ARGBToI420(pictures[i % count]->Frame(0), stride, payload.data(), size.width, u,
                               layout.chromaWidth, u + layout.chromaSize, layout.chromaWidth,
                               size.width, size.height);
        }
        return (platform::ThreadCpuNanoseconds() - start) / 1e9 / frames;
    };
    HotCost cost;
    cost.convert = convert(1);
    cost.convertFive = convert(kMaxStreams);

    platform::Pipe pipe;
    platform::ChildProcess drain;
    if (!platform::MakePipe(&pipe) || !SpawnSelf({"--drain"}, pipe.read.Get(), &drain))
        std::exit(1);
    pipe.read.Reset();
    const std::int64_t start = platform::ThreadCpuNanoseconds();
    for (int i = 0; i < frames; ++i) {
        if (platform::WriteAll(pipe.write.Get(), payload.data(), payload.size()) < 0)
            std::exit(1);
    }
    cost.write = (platform::ThreadCpuNanoseconds() - start) / 1e9 / frames;
    pipe.write.Reset();
    drain.WaitFor(10000);
    return cost;
}

}  // namespace latency
