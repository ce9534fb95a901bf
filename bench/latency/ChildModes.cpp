#include "bench/latency/ChildModes.h"

#include <libyuv/convert.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/Descriptors.h"
#include "platform/Process.h"
#include "sdk/sim/FrameStamp.h"
#include "sdk/sim/Patterns.h"
#include "src/FrameRelay.h"

namespace latency {

namespace {

// Writes a stamp the way a converted stamped picture carries it: blocks of luma 235 for a set
// bit and 16 for a clear one.
void StampLuma(std::uint8_t* luma, int stride, std::uint64_t value) {
    for (int y = 0; y < sim::kStampHeight; ++y) {
        const std::uint64_t bits = y < sim::kStampBlock ? value : ~value;
        std::uint8_t* row = luma + static_cast<std::size_t>(y) * stride;
        for (int bit = 0; bit < sim::kStampBits; ++bit) {
            const bool set = (bits >> (sim::kStampBits - 1 - bit)) & 1u;
            std::memset(row + sim::kStampBlock * bit, set ? 235 : 16, sim::kStampBlock);
        }
    }
}

}  // namespace

int RunFrameWriter(int width, int height, int fps, bool convertEach) {
    using quorlane::framerelay::kHeaderSize;
    platform::IgnoreBrokenPipe();
    quorlane::framerelay::FrameLayout layout;
    if (!quorlane::framerelay::PlanFrame(width, height, &layout) || fps <= 0 ||
        !sim::CanStamp(width, height))
        return 2;
    const int stride = 4 * width;
    sim::PatternImage picture(sim::PatternKind::Solid, sim::Bgra{0xCC, 0x66, 0x33, 0xFF}, width,
                              height, stride);
    std::vector<std::uint8_t> frame(kHeaderSize + layout.payloadSize);
    quorlane::framerelay::EncodeFrameHeader(layout, frame.data());
    std::uint8_t* y = frame.data() + kHeaderSize;
    std::uint8_t* u = y + layout.lumaSize;
    std::uint8_t* v = u + layout.chromaSize;
    auto convert = [&] {
        libyuv::ARGBToI420(picture.Frame(0), stride, y, width, u, layout.chromaWidth, v,
                           layout.chromaWidth, width, height);
    };
    convert();

    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::nanoseconds(1000000000 / fps);
    Clock::time_point due = Clock::now();
    for (;;) {
        std::this_thread::sleep_until(due);
        due += period;
        const auto now = static_cast<std::uint64_t>(platform::MonotonicNanoseconds());
        if (convertEach) {
            sim::StampFrame(picture.Frame(0), stride, now);
            convert();
        } else {
            StampLuma(y, width, now);
        }
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
    spawn.killWithParent = true;  // spawned by the main thread, which outlives it
    std::string error;
    if (!child->Spawn(spawn, &error)) {
        std::fprintf(stderr, "cannot start %s: %s\n", args.empty() ? "" : args[0].c_str(),
                     error.c_str());
        return false;
    }
    return true;
}

}  // namespace latency
