// The demo room's pictures: each remote stream shows its stream ID in large letters on a
// background colour of its own, with a sweeping band and a bouncing block that move from frame
// to frame; the local preview shows a camera-like scene.
#pragma once

#include <cstdint>
#include <string>

#include "sdk/sim/Patterns.h"

namespace sim {

// Background colour of a stream: the same for the same ID, different for demo-1 to demo-3.
Bgra StreamColor(const std::string& streamID);

void DrawStreamPicture(std::uint8_t* pixels, int width, int height, int stride,
                       const std::string& streamID, std::uint64_t frameIndex);

void DrawCameraPicture(std::uint8_t* pixels, int width, int height, int stride,
                       std::uint64_t frameIndex);

}  // namespace sim
