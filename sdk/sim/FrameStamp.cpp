#include "sdk/sim/FrameStamp.h"

#include <cstddef>
#include <cstring>

namespace sim {
namespace {

// Full white (luma 235) and black (luma 16) in BT.601 limited range; a threshold halfway
// between tells them apart after any conversion that keeps whole blocks.
constexpr std::uint8_t kLumaThreshold = 128;

void FillBlockRow(std::uint8_t* row, std::uint64_t bits) {
    for (int bit = 0; bit < kStampBits; ++bit) {
        const bool set = (bits >> (kStampBits - 1 - bit)) & 1u;
        std::memset(row + 4 * kStampBlock * bit, set ? 0xFF : 0x00, 4 * kStampBlock);
        if (!set) {
            for (int x = 0; x < kStampBlock; ++x)
                row[4 * (kStampBlock * bit + x) + 3] = 0xFF;  // opaque black
        }
    }
}

std::uint64_t ReadBlockRow(const std::uint8_t* centreRow) {
    std::uint64_t bits = 0;
    for (int bit = 0; bit < kStampBits; ++bit) {
        const bool set = centreRow[kStampBlock * bit + kStampBlock / 2] >= kLumaThreshold;
        bits = bits << 1 | (set ? 1u : 0u);
    }
    return bits;
}

}  // namespace

bool CanStamp(int width, int height) {
    return width >= kStampWidth && height >= kStampHeight;
}

void StampFrame(std::uint8_t* pixels, int stride, std::uint64_t value) {
    for (int y = 0; y < kStampHeight; ++y) {
        const std::uint64_t bits = y < kStampBlock ? value : ~value;
        FillBlockRow(pixels + static_cast<std::size_t>(y) * stride, bits);
    }
}

bool ReadStamp(const std::uint8_t* luma, int stride, std::uint64_t* value) {
    const std::size_t centre = kStampBlock / 2;
    const std::uint64_t bits = ReadBlockRow(luma + centre * stride);
    const std::uint64_t check = ReadBlockRow(luma + (kStampBlock + centre) * stride);
    if (check != ~bits)
        return false;
    *value = bits;
    return true;
}

}  // namespace sim
