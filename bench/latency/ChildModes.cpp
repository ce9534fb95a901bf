#include "bench/latency/ChildModes.h"

#include <libyuv/convert.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/Descriptors.h"
#include "platform/Process.h"
#include "sdk/sim/FrameStamp.h"
#include "sdk/sim/Patterns.h"
#include "src/FrameRelay.h"

namespace latency {

int RunFloorWriter(int width, int height, int fps) {
    using quorlane::framerelay::kHeaderSize;
    platform::IgnoreBrokenPipe();
    quorlane::framerelay::FrameLayout layout;
    if (!quorlane::framerelay::PlanFrame(width, height, &layout) || fps <= 0)
        return 2;
    const int stride = 4 * width;
    sim::PatternImage picture(sim::PatternKind::Solid, sim::Bgra{0xCC, 0x66, 0x33, 0xFF}, width,
                              height, stride);
    std::vector<std::uint8_t> frame(kHeaderSize + layout.payloadSize);
    quorlane::framerelay::EncodeFrameHeader(layout, frame.data());
    std::uint8_t* y = frame.data() + kHeaderSize;
    std::uint8_t* u = y + layout.lumaSize;
    std::uint8_t* v = u + layout.chromaSize;

    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::nanoseconds(1000000000 / fps);
    Clock::time_point due = Clock::now();
    for (;;) {
        std::this_thread::sleep_until(due);
        due += period;
        sim::StampFrame(picture.Frame(0), stride,
                        static_cast<std::uint64_t>(platform::MonotonicNanoseconds()));
        libyuv::ARGBToI420(picture.Frame(0), stride, y, width, u, layout.chromaWidth, v,
                           layout.chromaWidth, width, height);
        if (platform::WriteAll(kChildFrameDescriptor, frame.data(), frame.size()) < 0)
            return 0;
    }
}

int RunDrain() {
    std::vector<char> buffer(1 << 20);
    while (platform::ReadSome(kChildFrameDescriptor, buffer.data(), buffer.size()) > 0) {
    }
    return 0;
}

bool SpawnSelf(const std::vector<std::string>& args, int fd, platform::ChildProcess* child) {
    platform::SpawnOptions spawn;
    spawn.path = platform::ExecutablePath();
    spawn.args = args;
    spawn.descriptors = {{kChildFrameDescriptor, fd}};
    std::string error;
    if (!child->Spawn(spawn, &error)) {
        std::fprintf(stderr, "cannot start %s: %s\n", args.empty() ? "" : args[0].c_str(),
                     error.c_str());
        return false;
    }
    return true;
}

}  // namespace latency
