// What a `frame` or `source` request asks for, the pixels it delivers, and the delivery of
// one frame to the render callback.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sdk/sim/CallbackRegistry.h"
#include "sdk/sim/Patterns.h"
#include "sdk/sim/RequestArgs.h"

namespace sim {

// Largest frame a request may ask for, in bytes (stride x height).
constexpr long long kMaxFrameBytes = 256ll << 20;

struct FrameRecipe {
    std::optional<std::string> stream;  // no value: a null stream ID
    int width = 0;
    int height = 0;
    int stride = 0;
    PatternKind pattern = PatternKind::Bars;
    Bgra color{0, 0, 0, 255};
    bool nullPixels = false;
    // Each frame carries the moment of its delivery in its top-left corner (FrameStamp.h).
    bool stamp = false;
    // A frame the SDK describes wrongly: only this many rows of data (a buffer of exactly
    // stride x rows bytes, and that as the data length); -1 for all of them.
    int rows = -1;
    // The stride passed to the callback when not 0; the pixels keep `stride`.
    int claimedStride = 0;

    // Frames whose width or height is 0 or below carry a small zeroed buffer instead of a
    // picture (a receiver has to reject them anyway).
    bool Degenerate() const { return width <= 0 || height <= 0; }
    // stride x height (x rows when given), limited to the range of an int.
    int DataLength() const;
};

// Reads stream, width, height, stride, pattern, color, pixels, stamp, rows and claimStride;
// raises RequestError.
FrameRecipe ParseFrameRecipe(const Json& request);

// The pixels of a recipe, prepared once.
class FramePixels {
  public:
    explicit FramePixels(const FrameRecipe& recipe);
    const std::uint8_t* Frame(std::uint64_t index) const;

    // Frame `index` stamped with the monotonic clock, read as the last step. The pixels under
    // the stamp are kept and put back by Unstamp, so that frames sharing them (the moving
    // pattern) stay unchanged.
    const std::uint8_t* StampNow(std::uint64_t index);
    void Unstamp();

  private:
    std::unique_ptr<PatternImage> image_;
    std::vector<std::uint8_t> zeros_;
    bool null_ = false;
    std::uint8_t* stamped_ = nullptr;    // the frame carrying a stamp now, if any
    std::vector<std::uint8_t> covered_;  // its pixels under the stamp
};

// Hands frame `index` to the registered render callback; false when none is registered. A
// stamping recipe's frame carries the monotonic clock read just before the callback is entered.
bool DeliverFrame(CallbackRegistry& registry, const FrameRecipe& recipe, FramePixels& pixels,
                  std::uint64_t index);

}  // namespace sim
