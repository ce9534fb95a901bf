#include "bench/latency/FrameReceiver.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Clock.h"
#include "platform/Descriptors.h"
#include "sdk/sim/FrameStamp.h"
#include "src/FrameRelay.h"

namespace latency {
namespace {

// Reads exactly `size` bytes; false at end of input or on an error.
bool ReadExactly(int fd, std::uint8_t* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const int count = platform::ReadSome(fd, buffer + done, size - done);
        if (count <= 0)
            return false;
        done += static_cast<std::size_t>(count);
    }
    return true;
}

std::int32_t LittleEndian32(const std::uint8_t* bytes) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
        static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24);
}

}  // namespace

FrameReceiver::FrameReceiver(int fd) : fd_(fd), thread_([this] { Run(); }) {}

FrameReceiver::~FrameReceiver() {
    Join();
}

void FrameReceiver::Join() {
    if (thread_.joinable())
        thread_.join();
}

void FrameReceiver::Run() {
    samples_.reserve(4096);
    std::vector<std::uint8_t> payload;
    std::uint8_t header[quorlane::framerelay::kHeaderSize];
    for (;;) {
        if (!ReadExactly(fd_, header, sizeof header))
            return;
        const int width = LittleEndian32(header);
        const int height = LittleEndian32(header + 4);
        quorlane::framerelay::FrameLayout layout;
        if (!quorlane::framerelay::PlanFrame(width, height, &layout) ||
            static_cast<std::int64_t>(layout.payloadSize) != LittleEndian32(header + 8)) {
            torn_ = true;
            return;
        }
        payload.resize(layout.payloadSize);
        if (!ReadExactly(fd_, payload.data(), payload.size()))
            return;
        const std::int64_t arrival = platform::MonotonicNanoseconds();
        std::uint64_t stamp = 0;
        if (sim::CanStamp(width, height) && sim::ReadStamp(payload.data(), width, &stamp))
            samples_.push_back(Sample{arrival, arrival - static_cast<std::int64_t>(stamp)});
        else
            ++unstamped_;
    }
}

}  // namespace latency
