// One video frame as the bridge relays it, and the size rules of its planes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace host {

// Plane sizes of a planar YUV 4:2:0 frame: Y = width x height, each chroma plane
// ((width + 1) / 2) x ((height + 1) / 2).
struct FrameGeometry {
    int width = 0;
    int height = 0;
    std::size_t ySize = 0;
    std::size_t chromaSize = 0;
    int chromaWidth = 0;
    int chromaHeight = 0;

    std::size_t PayloadSize() const { return ySize + 2 * chromaSize; }
    // False for sizes of 0 or below, or above kMaxSide.
    static bool Compute(int width, int height, FrameGeometry* out);
    static constexpr int kMaxSide = 16384;
};

// A whole frame with its planes in I420 order (Y, then U, then V) whatever the channel sent.
struct Frame {
    int channel = 0;
    FrameGeometry geometry;
    std::vector<std::uint8_t> planes;

    const std::uint8_t* Y() const { return planes.data(); }
    const std::uint8_t* U() const { return planes.data() + geometry.ySize; }
    const std::uint8_t* V() const { return planes.data() + geometry.ySize + geometry.chromaSize; }
};

}  // namespace host
