// The video frame relay: each decoded 32-bit frame becomes planar YUV 4:2:0 behind a 12-byte
// header on descriptor 5 + channel. Channel 0 (preview and unmapped streams) carries Y, U, V;
// channels 1 to 4 carry Y, V, U.
//   framerelay::RelayFrame(CurrentManager.load(), pixels, length, strides, streamID, width,
//   height);
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorlane {

class Manager;

namespace framerelay {

constexpr std::size_t kHeaderSize = 12;
// Converted frames that may wait for a channel's pipe besides the one being written.
constexpr std::size_t kFrameBacklog = 3;

// Plane sizes of one frame; no row has a gap.
struct FrameLayout {
    int width = 0;
    int height = 0;
    std::size_t lumaSize = 0;  // width x height
    int chromaWidth = 0;       // (width + 1) / 2
    int chromaHeight = 0;      // (height + 1) / 2
    std::size_t chromaSize = 0;
    std::size_t payloadSize = 0;  // luma + 2 x chroma
};

// Fills `layout`; false when the width or height is 0 or below, or the payload length does not
// fit the header's signed 32-bit field.
bool PlanFrame(int width, int height, FrameLayout* layout);

// Width, height and payload length as little-endian signed 32-bit integers.
void EncodeFrameHeader(const FrameLayout& layout, unsigned char header[kHeaderSize]);

// The channel of a stream: its entry in the Manager's ChannelMap (looked up under the map's lock),
// 0 for a null or unmapped stream ID or a mapped value outside 1 to 4.
int ChannelOf(Manager& manager, const char* streamID);

// Converts the frame into `out` (layout.payloadSize bytes) as Y, U, V.
void ConvertFrame(const unsigned char* pixels, int stride, const FrameLayout& layout,
                  unsigned char* out);

// Writes header and planes of a converted frame to its channel in the channel's plane order;
// once a write fails, the rest of the frame is skipped. Returns false when a write failed.
// Called by the channel's one writer thread, which writes its frames one after another, so
// frames of one channel never interleave (and by tests while no frame of that channel is under
// way).
bool WriteFrame(int channel, const FrameLayout& layout, const unsigned char* yuv);

// Frames dropped on a channel since the process started.
std::uint64_t DroppedFrames(int channel);

// The whole relay of one frame: nothing happens without a Manager, without pixels, or with
// dimensions PlanFrame refuses, or with a stride below 4 x width bytes; a null stride pointer
// means rows of exactly 4 x width bytes. A frame whose rows would reach past the `length` bytes
// the SDK passed is refused and never read; refusals are logged at most once a second per
// stream, with their count. No exception leaves it, and it never waits for the host: the frame
// is converted on the calling thread and written by the channel's writer thread, behind at most
// kFrameBacklog others; when that many already wait, the frame is dropped unconverted, and the
// drops are logged at most once a second per channel.
void RelayFrame(Manager* manager, const unsigned char* pixels, int length, const int* strides,
                const char* streamID, int width, int height);

// Whether rows of `width` 32-bit pixels, `stride` bytes apart, `height` of them, lie within
// `length` bytes; false for a negative length or stride below 4 x width.
bool FitsData(int width, int height, std::int64_t stride, int length);

}  // namespace framerelay

}  // namespace quorlane
