// Frame latency through the bridge: how old a frame is when the host has its last byte, counted
// from the moment the simulated SDK enters the render callback. The stamp travels in the frame's
// first pixels (sdk/sim/FrameStamp.h) on the monotonic clock that both processes read; each
// frame descriptor is read by a thread of its own with blocking reads straight into the frame.
//
// The floor of each size, measured in the same run: ARGBToI420 of the same picture on one
// thread, plus the raw transfer of the converted bytes from a second process through a pipe
// (header and payload in one write, read the same way); every pair of the two samples added,
// whose median is the floor. Cases: 640x360, 1280x720 and 1920x1080, one stream alone (channel
// 1) at 60 frames/s or as given; five 1920x1080 streams at 30 frames/s (channels 0 to 4), their
// sources started a fifth of a period apart, as independent cameras would be, beside five
// processes that each convert and write such a stream. The measurements take turns, `rounds`
// times, so that other load on the machine hits all alike; the samples of all rounds are pooled.
// The p99 of each case is also set against the p99 of what it is made of, which shows how much
// of the tail the machine's other load puts on the work itself.
//
// The cost of a frame under the five streams: the bridge's processor time per relayed frame,
// less the simulated SDK's own frame generation (the same sources into a render callback that
// does nothing, measured alone in this process), against the five processes' processor time per
// frame: ARGBToI420 plus one pipe write of the payload, on the same pictures at the same pace.
// For reference, both steps on one thread in a tight loop over one picture (hot caches), and the
// conversion over five pictures in turn (cold, as under five streams).
//
// Usage: latency_bench [seconds per measurement, default 4] [rounds, default 2]
//                      [frames per second of the one-stream cases, default 60]
// The last line reads: latency 1080p: p50 A ms p99 B ms floor F ms (p99/floor R), for one
// 1080p stream alone.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/latency/ChildModes.h"
#include "bench/latency/Latencies.h"
#include "bench/latency/Measurements.h"
#include "platform/Descriptors.h"

namespace latency {
namespace {

constexpr Size kSizes[] = {{640, 360}, {1280, 720}, {1920, 1080}};
constexpr int kSizeCount = sizeof kSizes / sizeof kSizes[0];
constexpr Size k1080p = kSizes[kSizeCount - 1];
constexpr int kConversionsPerRound = 60;
constexpr int kManyStreams = 5;
constexpr int kManyFps = 30;
constexpr double kOneStreamGoal = 1.5;
constexpr double kManyStreamsGoal = 2.0;
constexpr double kCostGoal = 1.3;

std::string Goal(double ratio, double goal) {
    char text[64];
    std::snprintf(text, sizeof text, "(goal <= %.1f) %s", goal, ratio <= goal ? "met" : "MISSED");
    return text;
}

// One row: the latencies' order statistics, and the p99 over `floor` when it is given.
void PrintRow(const std::string& size, const char* what, const Latencies& latencies,
              double floor = 0, const std::string& goal = "") {
    std::printf("%-10s %-38s %6zu %7.2f %7.2f %7.2f", size.c_str(), what, latencies.Count(),
                latencies.P50(), latencies.P99(), latencies.Max());
    if (floor > 0)
        std::printf(" %9.2f  %s", latencies.P99() / floor, goal.c_str());
    std::printf("\n");
}

int Run(double seconds, int rounds, int singleFps) {
    platform::IgnoreBrokenPipe();
    Latencies conversions[kSizeCount], transfers[kSizeCount], singles[kSizeCount];
    Latencies manyWriters, many;
    double manyWritersCpu = 0, manyCpu = 0;
    for (int round = 0; round < rounds; ++round) {
        for (int s = 0; s < kSizeCount; ++s) {
            conversions[s].Append(MeasureConversion(kSizes[s], singleFps, kConversionsPerRound));
            transfers[s].Append(MeasureWriters(1, false, kSizes[s], singleFps, seconds).latencies);
            singles[s].Append(MeasureBridge(1, kSizes[s], singleFps, seconds).latencies);
        }
        Outcome outcome = MeasureWriters(kManyStreams, true, k1080p, kManyFps, seconds);
        manyWriters.Append(outcome.latencies);
        manyWritersCpu += outcome.cpuSeconds;
        outcome = MeasureBridge(kManyStreams, k1080p, kManyFps, seconds);
        many.Append(outcome.latencies);
        manyCpu += outcome.cpuSeconds;
    }

    std::printf(
        "frame latency in ms, from the render callback's entry to the host's last byte; %d "
        "round(s) of %.0f s per case\n",
        rounds, seconds);
    std::printf("%-10s %-38s %6s %7s %7s %7s %9s\n", "size", "case", "frames", "p50", "p99", "max",
                "p99/floor");
    Latencies floors[kSizeCount];
    const std::string oneStream = "bridge, one stream at " + std::to_string(singleFps) + "/s";
    for (int s = 0; s < kSizeCount; ++s) {
        const std::string size =
            std::to_string(kSizes[s].width) + "x" + std::to_string(kSizes[s].height);
        floors[s] = Latencies::Sums(conversions[s], transfers[s]);
        PrintRow(size, "ARGBToI420 alone", conversions[s]);
        PrintRow(size, "raw pipe transfer, second process", transfers[s]);
        std::printf("%-10s %-38s %6s %7.2f %7.2f %7.2f\n", size.c_str(),
                    "floor: the two, one after the other", "", floors[s].P50(), floors[s].P99(),
                    floors[s].Max());
        const double ratio = singles[s].P99() / floors[s].P50();
        PrintRow(size, oneStream.c_str(), singles[s], floors[s].P50(),
                 s == kSizeCount - 1 ? Goal(ratio, kOneStreamGoal) : "");
    }
    const double floor1080 = floors[kSizeCount - 1].P50();
    PrintRow("1920x1080", "five processes: convert + write, 30/s", manyWriters, floor1080);
    PrintRow("1920x1080", "bridge, five streams at 30/s", many, floor1080,
             Goal(many.P99() / floor1080, kManyStreamsGoal));
    std::printf("(p99/floor: the row's p99 over the floor's p50 for one frame of its size)\n");
    std::printf("p99 over the p99 of what it is made of (the floor; five processes):");
    for (int s = 0; s < kSizeCount; ++s)
        std::printf(" %dx%d %.2f,", kSizes[s].width, kSizes[s].height,
                    singles[s].P99() / floors[s].P99());
    std::printf(" five streams %.2f\n", many.P99() / manyWriters.P99());

    const double generation = SourceCpuPerFrame(kManyStreams, k1080p, kManyFps, seconds);
    const double bridgeProcess =
        manyCpu / static_cast<double>(std::max<std::size_t>(many.Count(), 1));
    const double bridgeCost = bridgeProcess - generation;
    const double writersCost =
        manyWritersCpu / static_cast<double>(std::max<std::size_t>(manyWriters.Count(), 1));
    const double costRatio = bridgeCost / writersCost;
    std::printf(
        "cpu per 1080p frame, five streams at 30/s: bridge %.3f ms (its process %.3f, less the "
        "simulated SDK's frame generation %.3f) | five processes: ARGBToI420 + one pipe write "
        "%.3f ms | ratio %.2f %s\n",
        bridgeCost * 1e3, bridgeProcess * 1e3, generation * 1e3, writersCost * 1e3, costRatio,
        Goal(costRatio, kCostGoal).c_str());
    const HotCost hot = MeasureHotCost(k1080p, 60);
    std::printf(
        "cpu per 1080p frame in a tight loop: ARGBToI420 of one picture %.3f ms (of five in turn "
        "%.3f) + one pipe write %.3f ms = %.3f ms (bridge / this: %.2f)\n",
        hot.convert * 1e3, hot.convertFive * 1e3, hot.write * 1e3, (hot.convert + hot.write) * 1e3,
        bridgeCost / (hot.convert + hot.write));

    const Latencies& single1080 = singles[kSizeCount - 1];
    std::printf("latency 1080p: p50 %.2f ms p99 %.2f ms floor %.2f ms (p99/floor %.2f)\n",
                single1080.P50(), single1080.P99(), floor1080, single1080.P99() / floor1080);
    return 0;
}

}  // namespace
}  // namespace latency

int main(int argc, char** argv) {
    using namespace latency;
    const bool floorMode = argc >= 5 && std::strcmp(argv[1], "--floor") == 0;
    if (floorMode || (argc >= 5 && std::strcmp(argv[1], "--transfer") == 0))
        return RunFrameWriter(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                              floorMode);
    if (argc >= 2 && std::strcmp(argv[1], "--drain") == 0)
        return RunDrain();
    const double seconds = argc >= 2 ? std::max(0.5, std::atof(argv[1])) : 4.0;
    const int rounds = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 2;
    const int singleFps = argc >= 4 ? std::max(1, std::atoi(argv[3])) : 60;
    return Run(seconds, rounds, singleFps);
}
