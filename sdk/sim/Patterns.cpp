#include "sdk/sim/Patterns.h"

#include <cstring>

namespace sim {
namespace {

// The moving pattern repeats every 8 bars of this many rows (and columns).
constexpr int kMovingBarSize = 32;
constexpr int kMovingPeriod = 8 * kMovingBarSize;
// Rows the moving pattern advances per frame.
constexpr int kMovingStep = 8;

void StorePixel(std::uint8_t* at, Bgra color) {
    at[0] = color.b;
    at[1] = color.g;
    at[2] = color.r;
    at[3] = color.a;
}

void FillPadding(std::uint8_t* row, int width, int stride) {
    std::size_t used = static_cast<std::size_t>(width) * 4;
    if (static_cast<std::size_t>(stride) > used)
        std::memset(row + used, kPaddingByte, static_cast<std::size_t>(stride) - used);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

const Bgra kBarColors[8] = {
    {255, 255, 255, 255},  // white
    {0, 255, 255, 255},    // yellow
    {255, 255, 0, 255},    // cyan
    {0, 255, 0, 255},      // green
    {255, 0, 255, 255},    // magenta
    {0, 0, 255, 255},      // red
    {255, 0, 0, 255},      // blue
    {0, 0, 0, 255},        // black
};

bool ParsePatternKind(const std::string& name, PatternKind* kind) {
    if (name == "bars")
        *kind = PatternKind::Bars;
    else if (name == "solid")
        *kind = PatternKind::Solid;
    else if (name == "moving")
        *kind = PatternKind::Moving;
    else
        return false;
    return true;
}

bool ParseColor(const std::string& text, Bgra* color) {
    if (text.size() != 7 || text[0] != '#')
        return false;
    int value[6];
    for (int i = 0; i < 6; ++i) {
        value[i] = HexDigit(text[1 + i]);
        if (value[i] < 0)
            return false;
    }
    color->r = static_cast<std::uint8_t>(value[0] * 16 + value[1]);
    color->g = static_cast<std::uint8_t>(value[2] * 16 + value[3]);
    color->b = static_cast<std::uint8_t>(value[4] * 16 + value[5]);
    color->a = 255;
    return true;
}

void FillSolid(std::uint8_t* pixels, int width, int height, int stride, Bgra color) {
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = pixels + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x)
            StorePixel(row + 4 * x, color);
        FillPadding(row, width, stride);
    }
}

void FillBars(std::uint8_t* pixels, int width, int height, int stride) {
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = pixels + static_cast<std::size_t>(y) * stride;
        if (y > 0) {
            std::memcpy(row, pixels, static_cast<std::size_t>(stride));
            continue;
        }
        for (int x = 0; x < width; ++x)
            StorePixel(row + 4 * x, kBarColors[static_cast<long long>(x) * 8 / width]);
        FillPadding(row, width, stride);
    }
}

void FillMoving(std::uint8_t* pixels, int width, int height, int stride, int rowOffset) {
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = pixels + static_cast<std::size_t>(y) * stride;
        int shifted = (y + rowOffset) % kMovingPeriod;
        for (int x = 0; x < width; ++x) {
            int bar = ((x + shifted) / kMovingBarSize) % 8;
            StorePixel(row + 4 * x, kBarColors[bar]);
        }
        FillPadding(row, width, stride);
    }
}

PatternImage::PatternImage(PatternKind kind, Bgra color, int width, int height, int stride)
    : kind_(kind), stride_(stride) {
    int rows = kind == PatternKind::Moving ? height + kMovingPeriod : height;
    pixels_.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(stride));
    switch (kind) {
        case PatternKind::Bars:
            FillBars(pixels_.data(), width, rows, stride);
            break;
        case PatternKind::Solid:
            FillSolid(pixels_.data(), width, rows, stride, color);
            break;
        case PatternKind::Moving:
            FillMoving(pixels_.data(), width, rows, stride, 0);
            break;
    }
}

const std::uint8_t* PatternImage::Frame(std::uint64_t index) const {
    if (kind_ != PatternKind::Moving)
        return pixels_.data();
    std::size_t row = static_cast<std::size_t>((index * kMovingStep) % kMovingPeriod);
    return pixels_.data() + row * static_cast<std::size_t>(stride_);
}

std::uint8_t* PatternImage::Frame(std::uint64_t index) {
    return const_cast<std::uint8_t*>(static_cast<const PatternImage&>(*this).Frame(index));
}

}  // namespace sim
