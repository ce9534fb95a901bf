// The benchmark's helper processes: this executable started again with a mode argument, its
// descriptor 5 on a pipe to the benchmark.
//   latency_bench --floor W H FPS     stamps, converts and writes one frame at a time
//   latency_bench --transfer W H FPS  writes one converted frame at a time, stamped as it goes
//   latency_bench --drain             reads and discards everything until end of input
#pragma once

#include <string>
#include <vector>

#include "platform/Spawn.h"

namespace latency {

constexpr int kChildFrameDescriptor = 5;

// Writes frames of a solid picture to descriptor 5, FPS a second, header and payload in one
// write, until a write fails. With `convertEach`, each frame's picture is stamped and then
// converted with libyuv's ARGBToI420 on the way, as the bridge does; without, the picture is
// converted once and each frame is stamped in its luma plane just before the write, so that
// its latency is the pipe transfer alone.
int RunFrameWriter(int width, int height, int fps, bool convertEach);

// Reads descriptor 5 in 1 MiB reads until end of input.
int RunDrain();

// Starts this executable with `args`, `fd` as its descriptor 5; false with a message on
// standard error when it cannot.
bool SpawnSelf(const std::vector<std::string>& args, int fd, platform::ChildProcess* child);

}  // namespace latency
