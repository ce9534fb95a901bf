#include "tools/host/FrameAssembler.h"

#include <algorithm>
#include <cstring>

namespace host {

bool FrameGeometry::Compute(int width, int height, FrameGeometry* out) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    out->width = width;
    out->height = height;
    out->chromaWidth = (width + 1) / 2;
    out->chromaHeight = (height + 1) / 2;
    out->ySize = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    out->chromaSize =
        static_cast<std::size_t>(out->chromaWidth) * static_cast<std::size_t>(out->chromaHeight);
    return true;
}

std::int32_t ReadLittleEndian32(const std::uint8_t* bytes) {
    std::uint32_t value =
        static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
        (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
    std::int32_t result;
    std::memcpy(&result, &value, sizeof result);
    return result;
}

bool FrameAssembler::StartFrame() {
    std::int32_t width = ReadLittleEndian32(header_);
    std::int32_t height = ReadLittleEndian32(header_ + 4);
    std::int32_t length = ReadLittleEndian32(header_ + 8);
    FrameGeometry geometry;
    if (!FrameGeometry::Compute(width, height, &geometry)) {
        error_ = "frame " + std::to_string(frames_) + ": impossible size " + std::to_string(width) +
                 "x" + std::to_string(height);
        return false;
    }
    if (length < 0 || static_cast<std::size_t>(length) != geometry.PayloadSize()) {
        error_ = "frame " + std::to_string(frames_) + ": payload length " + std::to_string(length) +
                 " for " + std::to_string(width) + "x" + std::to_string(height) + " (expected " +
                 std::to_string(geometry.PayloadSize()) + ")";
        return false;
    }
    frame_.channel = channel_;
    frame_.geometry = geometry;
    frame_.planes.resize(geometry.PayloadSize());
    payloadFill_ = 0;
    inPayload_ = true;
    return true;
}

bool FrameAssembler::Feed(const std::uint8_t* data, std::size_t size,
                          const std::function<void(Frame&)>& onFrame) {
    if (Torn())
        return false;
    bytes_ += size;
    while (size > 0) {
        if (!inPayload_) {
            std::size_t take = std::min(size, sizeof header_ - headerFill_);
            std::memcpy(header_ + headerFill_, data, take);
            headerFill_ += take;
            data += take;
            size -= take;
            if (headerFill_ < sizeof header_)
                break;
            headerFill_ = 0;
            if (!StartFrame())
                return false;
            continue;
        }
        std::size_t take = std::min(size, frame_.planes.size() - payloadFill_);
        std::memcpy(frame_.planes.data() + payloadFill_, data, take);
        payloadFill_ += take;
        data += take;
        size -= take;
        if (payloadFill_ < frame_.planes.size())
            break;
        inPayload_ = false;
        if (channel_ != 0) {
            // Y, V, U on the wire: swap the two chroma planes back into I420 order.
            auto u = frame_.planes.begin() + static_cast<std::ptrdiff_t>(frame_.geometry.ySize);
            auto v = u + static_cast<std::ptrdiff_t>(frame_.geometry.chromaSize);
            std::swap_ranges(u, v, v);
        }
        ++frames_;
        onFrame(frame_);
    }
    return true;
}

bool FrameAssembler::Finish() {
    if (Torn())
        return false;
    if (inPayload_ || headerFill_ > 0) {
        error_ = "stream ended inside frame " + std::to_string(frames_) + " (" +
                 (inPayload_ ? std::to_string(payloadFill_) + " of " +
                                   std::to_string(frame_.planes.size()) + " payload bytes"
                             : std::to_string(headerFill_) + " of 12 header bytes") +
                 ")";
        return false;
    }
    return true;
}

}  // namespace host
