// Rebuilds whole frames from the byte stream of one frame descriptor: a 12-byte header (width,
// height, payload length; little-endian signed 32-bit) and the payload. Channel 0 sends the
// planes as Y, U, V; channels 1 to 4 as Y, V, U; frames come out in Y, U, V order.
//
//   FrameAssembler assembler(channel);
//   assembler.Feed(bytes, count, [](Frame& frame) { ... });
//
// A header whose sizes disagree (payload length other than Y + 2C, or an impossible size) makes
// the stream torn: there is no way to find the next frame, so further bytes are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "tools/host/Frame.h"

namespace host {

class FrameAssembler {
  public:
    explicit FrameAssembler(int channel) : channel_(channel) {}

    // Consumes `size` bytes and hands every completed frame to `onFrame` (which may move the
    // planes away). Returns false once the stream is torn.
    bool Feed(const std::uint8_t* data, std::size_t size,
              const std::function<void(Frame&)>& onFrame);

    // Call at end of input: a frame cut off in the middle makes the stream torn.
    bool Finish();

    bool Torn() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }
    std::uint64_t Frames() const { return frames_; }
    std::uint64_t Bytes() const { return bytes_; }
    int Channel() const { return channel_; }

  private:
    bool StartFrame();

    int channel_;
    std::uint8_t header_[12] = {};
    std::size_t headerFill_ = 0;
    Frame frame_;
    std::size_t payloadFill_ = 0;
    bool inPayload_ = false;
    std::uint64_t frames_ = 0;
    std::uint64_t bytes_ = 0;
    std::string error_;
};

// Reads a little-endian signed 32-bit integer.
std::int32_t ReadLittleEndian32(const std::uint8_t* bytes);

}  // namespace host
