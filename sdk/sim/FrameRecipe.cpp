#include "sdk/sim/FrameRecipe.h"

#include <climits>
#include <cstring>

#include "platform/Clock.h"
#include "sdk/sim/FrameStamp.h"

namespace sim {
namespace {

constexpr long long kMaxDimension = 1 << 20;

}  // namespace

int FrameRecipe::DataLength() const {
    long long length = static_cast<long long>(stride) * (rows >= 0 ? rows : height);
    if (length > INT_MAX)
        return INT_MAX;
    if (length < INT_MIN)
        return INT_MIN;
    return static_cast<int>(length);
}

FrameRecipe ParseFrameRecipe(const Json& request) {
    FrameRecipe recipe;
    ArgText stream = TextArg(request, "stream");
    if (Has(request, "stream") && !stream.IsNull())
        recipe.stream = stream.Text();
    if (!Has(request, "width") || !Has(request, "height"))
        throw RequestError("\"width\" and \"height\" are required");
    recipe.width =
        static_cast<int>(IntArgInRange(request, "width", -kMaxDimension, kMaxDimension, 0));
    recipe.height =
        static_cast<int>(IntArgInRange(request, "height", -kMaxDimension, kMaxDimension, 0));
    recipe.stride =
        static_cast<int>(IntArgInRange(request, "stride", INT_MIN, INT_MAX, 4ll * recipe.width));
    if (Has(request, "pattern")) {
        ArgText name = TextArg(request, "pattern");
        if (name.IsNull() || !ParsePatternKind(name.Text(), &recipe.pattern))
            throw RequestError("\"pattern\" must be \"bars\", \"solid\" or \"moving\"");
    }
    if (Has(request, "color")) {
        ArgText color = TextArg(request, "color");
        if (color.IsNull() || !ParseColor(color.Text(), &recipe.color))
            throw RequestError("\"color\" must be \"#RRGGBB\"");
    }
    if (Has(request, "pixels")) {
        if (!request.at("pixels").is_null())
            throw RequestError("\"pixels\" may only be null");
        recipe.nullPixels = true;
    }
    recipe.stamp = BoolArg(request, "stamp");
    if (recipe.stamp && (recipe.nullPixels || !CanStamp(recipe.width, recipe.height)))
        throw RequestError("\"stamp\" needs pixels and a frame of at least 512x16");
    if (Has(request, "claimStride"))
        recipe.claimedStride =
            static_cast<int>(IntArgInRange(request, "claimStride", 1, INT_MAX, 0));
    if (!recipe.Degenerate()) {
        if (Has(request, "rows"))
            recipe.rows = static_cast<int>(IntArgInRange(request, "rows", 0, recipe.height, 0));
        if (static_cast<long long>(recipe.stride) < 4ll * recipe.width)
            throw RequestError("\"stride\" is shorter than a row of 4 x width bytes");
        if (static_cast<long long>(recipe.stride) * recipe.height > kMaxFrameBytes)
            throw RequestError("frame larger than 256 MiB");
    }
    return recipe;
}

FramePixels::FramePixels(const FrameRecipe& recipe) {
    if (recipe.nullPixels) {
        null_ = true;
    } else if (recipe.Degenerate()) {
        zeros_.assign(64, 0);
    } else {
        image_ = std::make_unique<PatternImage>(recipe.pattern, recipe.color, recipe.width,
                                                recipe.height, recipe.stride);
    }
}

const std::uint8_t* FramePixels::Frame(std::uint64_t index) const {
    if (null_)
        return nullptr;
    if (image_)
        return image_->Frame(index);
    return zeros_.data();
}

const std::uint8_t* FramePixels::StampNow(std::uint64_t index) {
    if (!image_)
        return Frame(index);
    Unstamp();
    stamped_ = image_->Frame(index);
    const std::size_t rowBytes = 4 * kStampWidth;
    covered_.resize(rowBytes * kStampHeight);
    for (int y = 0; y < kStampHeight; ++y)
        std::memcpy(&covered_[y * rowBytes], stamped_ + y * image_->Stride(), rowBytes);
    StampFrame(stamped_, image_->Stride(),
               static_cast<std::uint64_t>(platform::MonotonicNanoseconds()));
    return stamped_;
}

void FramePixels::Unstamp() {
    if (stamped_ == nullptr)
        return;
    const std::size_t rowBytes = 4 * kStampWidth;
    for (int y = 0; y < kStampHeight; ++y)
        std::memcpy(stamped_ + y * image_->Stride(), &covered_[y * rowBytes], rowBytes);
    stamped_ = nullptr;
}

namespace {

// Puts the stamped pixels back when a delivery ends, also when the callback throws.
class StampRemoval {
  public:
    explicit StampRemoval(FramePixels* pixels) : pixels_(pixels) {}
    ~StampRemoval() {
        if (pixels_ != nullptr)
            pixels_->Unstamp();
    }
    StampRemoval(const StampRemoval&) = delete;
    StampRemoval& operator=(const StampRemoval&) = delete;

  private:
    FramePixels* pixels_;
};

}  // namespace

bool DeliverFrame(CallbackRegistry& registry, const FrameRecipe& recipe, FramePixels& pixels,
                  std::uint64_t index) {
    const char* stream = recipe.stream ? recipe.stream->c_str() : nullptr;
    return registry.Deliver<ZEGO::LIVEROOM::IZegoVideoRenderCallback>(
        Slot::Render, [&](ZEGO::LIVEROOM::IZegoVideoRenderCallback* callback) {
            int strides[4] = {recipe.claimedStride != 0 ? recipe.claimedStride : recipe.stride, 0,
                              0, 0};
            StampRemoval removal(recipe.stamp ? &pixels : nullptr);
            const std::uint8_t* data = recipe.stamp ? pixels.StampNow(index) : pixels.Frame(index);
            // Cut short: a reader that goes past the data length leaves the buffer.
            std::vector<std::uint8_t> part;
            if (recipe.rows >= 0 && data != nullptr) {
                part.assign(data, data + recipe.DataLength());
                data = part.data();
            }
            callback->OnVideoDataCallback(data, recipe.DataLength(), stream, recipe.width,
                                          recipe.height, strides);
        });
}

}  // namespace sim
