// The benchmark's helper processes: this executable started again with a mode argument, its
// descriptor 5 on a pipe to the benchmark.
//   latency_bench --floor W H FPS   stamps, converts and writes one frame at a time, FPS a second
//   latency_bench --drain           reads and discards everything until end of input
#pragma once

#include <string>
#include <vector>

#include "platform/Spawn.h"

namespace latency {

constexpr int kChildFrameDescriptor = 5;

// The floor of a frame's latency as a host sees it: the frame stamped, converted with libyuv's
// ARGBToI420 and written (header and payload in one write) by a process of its own, with
// nothing else in between. Runs until a write fails.
int RunFloorWriter(int width, int height, int fps);

// Reads descriptor 5 in 1 MiB reads until end of input.
int RunDrain();

// Starts this executable with `args`, `fd` as its descriptor 5; false with a message on
// standard error when it cannot.
bool SpawnSelf(const std::vector<std::string>& args, int fd, platform::ChildProcess* child);

}  // namespace latency
