#include "sdk/sim/FrameSpec.h"

#include <climits>

namespace sim {
namespace {

constexpr long long kMaxDimension = 1 << 20;

}  // namespace

int FrameSpec::DataLength() const {
    long long length = static_cast<long long>(stride) * height;
    if (length > INT_MAX)
        return INT_MAX;
    if (length < INT_MIN)
        return INT_MIN;
    return static_cast<int>(length);
}

FrameSpec ParseFrameSpec(const Json& request) {
    FrameSpec spec;
    ArgText stream = TextArg(request, "stream");
    if (Has(request, "stream") && !stream.null())
        spec.stream = stream.str();
    if (!Has(request, "width") || !Has(request, "height"))
        throw RequestError("\"width\" and \"height\" are required");
    spec.width =
        static_cast<int>(IntArgInRange(request, "width", -kMaxDimension, kMaxDimension, 0));
    spec.height =
        static_cast<int>(IntArgInRange(request, "height", -kMaxDimension, kMaxDimension, 0));
    spec.stride =
        static_cast<int>(IntArgInRange(request, "stride", INT_MIN, INT_MAX, 4ll * spec.width));
    if (Has(request, "pattern")) {
        ArgText name = TextArg(request, "pattern");
        if (name.null() || !ParsePatternKind(name.str(), &spec.pattern))
            throw RequestError("\"pattern\" must be \"bars\", \"solid\" or \"moving\"");
    }
    if (Has(request, "color")) {
        ArgText color = TextArg(request, "color");
        if (color.null() || !ParseColor(color.str(), &spec.color))
            throw RequestError("\"color\" must be \"#RRGGBB\"");
    }
    if (Has(request, "pixels")) {
        if (!request.at("pixels").is_null())
            throw RequestError("\"pixels\" may only be null");
        spec.nullPixels = true;
    }
    if (!spec.Degenerate()) {
        if (static_cast<long long>(spec.stride) < 4ll * spec.width)
            throw RequestError("\"stride\" is shorter than a row of 4 x width bytes");
        if (static_cast<long long>(spec.stride) * spec.height > kMaxFrameBytes)
            throw RequestError("frame larger than 256 MiB");
    }
    return spec;
}

FramePixels::FramePixels(const FrameSpec& spec) {
    if (spec.nullPixels) {
        null_ = true;
    } else if (spec.Degenerate()) {
        zeros_.assign(64, 0);
    } else {
        image_ = std::make_unique<PatternImage>(spec.pattern, spec.color, spec.width, spec.height,
                                                spec.stride);
    }
}

const std::uint8_t* FramePixels::Frame(std::uint64_t index) const {
    if (null_)
        return nullptr;
    if (image_)
        return image_->Frame(index);
    return zeros_.data();
}

bool DeliverFrame(CallbackRegistry& registry, const FrameSpec& spec, const FramePixels& pixels,
                  std::uint64_t index) {
    const std::uint8_t* data = pixels.Frame(index);
    const char* stream = spec.stream ? spec.stream->c_str() : nullptr;
    return registry.Deliver<ZEGO::LIVEROOM::IZegoVideoRenderCallback>(
        Slot::Render, [&](ZEGO::LIVEROOM::IZegoVideoRenderCallback* callback) {
            int strides[4] = {spec.stride, 0, 0, 0};
            callback->OnVideoDataCallback(data, spec.DataLength(), stream, spec.width, spec.height,
                                          strides);
        });
}

}  // namespace sim
