// The measurements of the latency benchmark, each started and ended on its own: frames through
// the bridge, frames through the helper processes that make the floor, the conversion alone,
// and the processor time of the simulated SDK's frame generation.
#pragma once

#include "bench/latency/Latencies.h"

namespace latency {

struct Size {
    int width;
    int height;
};

// The latencies of the frames that arrived within a measurement's window (after a warm-up), and
// the processor seconds the writing processes used in it.
struct Outcome {
    Latencies latencies;
    double cpuSeconds = 0;
};

// `streams` frame sources through the bridge, `fps` each, a fraction of a period apart. One
// stream plays as s1 on channel 1; five play on channels 0 to 4.
Outcome MeasureBridge(int streams, Size size, int fps, double seconds);

// The same through `streams` helper processes (ChildModes.h), each writing frames to a pipe of
// its own: `convertEach` converts every frame on the way, otherwise only the pipe transfer is
// measured.
Outcome MeasureWriters(int streams, bool convertEach, Size size, int fps, double seconds);

// ARGBToI420 of the stamped picture on this thread, `frames` times at `fps`: the wall time of
// each conversion.
Latencies MeasureConversion(Size size, int fps, int frames);

// Processor seconds per frame of the simulated SDK's stamped sources alone, run in this process
// into a render callback that only counts, the same way MeasureBridge starts them.
double SourceCpuPerFrame(int streams, Size size, int fps, double seconds);

// Processor seconds per frame of ARGBToI420 of one picture again and again (and of five
// pictures in turn, as five streams bring them, which no cache holds), and of one write of its
// payload to a pipe that a second process drains, again and again, each on this thread.
struct HotCost {
    double convert = 0;
    double convertFive = 0;
    double write = 0;
};
HotCost MeasureHotCost(Size size, int frames);

}  // namespace latency
