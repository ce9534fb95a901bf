// A frame's delivery moment written into its top-left corner, for measuring how old a frame is
// when a host has it. Two rows of 64 black or white blocks of 8 x 8 pixels hold the monotonic
// clock's nanoseconds (most significant bit first) and then their complement, which tells a
// stamp from picture content. Whole blocks survive conversion to YUV: a host reads the stamp back
// from the luma plane with a threshold.
//   StampFrame(pixels, stride, platform::MonotonicNanoseconds());
//   ReadStamp(frame.y, width, &stamp);  // on the host, after the conversion
#pragma once

#include <cstdint>

namespace sim {

constexpr int kStampBlock = 8;                         // pixels per bit, in each direction
constexpr int kStampBits = 64;                         // bits per row of blocks
constexpr int kStampWidth = kStampBits * kStampBlock;  // 512 pixels
constexpr int kStampHeight = 2 * kStampBlock;          // 16 rows

// True when a frame is at least kStampWidth x kStampHeight pixels.
bool CanStamp(int width, int height);

// Writes `value` into the stamp area of 32-bit pixels (bytes blue, green, red, alpha), rows
// `stride` bytes apart.
void StampFrame(std::uint8_t* pixels, int stride, std::uint64_t value);

// Reads the stamp of a converted frame from its luma plane, rows `stride` bytes apart; false
// when the area holds no stamp.
bool ReadStamp(const std::uint8_t* luma, int stride, std::uint64_t* value);

}  // namespace sim
