#include "sdk/sim/DemoPictures.h"

#include <algorithm>

#include "sdk/sim/BitmapFont.h"

namespace sim {
namespace {

const Bgra kPalette[6] = {
    {40, 40, 170, 255},   // dark red
    {40, 140, 40, 255},   // dark green
    {170, 60, 40, 255},   // dark blue
    {30, 120, 150, 255},  // brown
    {140, 40, 130, 255},  // purple
    {140, 130, 30, 255},  // teal
};

std::uint8_t Lighten(std::uint8_t value) {
    return static_cast<std::uint8_t>(value + (255 - value) / 2);
}

void FillRect(std::uint8_t* pixels, int width, int height, int stride, int left, int top, int w,
              int h, Bgra color) {
    int x0 = std::max(left, 0), x1 = std::min(left + w, width);
    int y0 = std::max(top, 0), y1 = std::min(top + h, height);
    for (int y = y0; y < y1; ++y) {
        std::uint8_t* row = pixels + static_cast<std::size_t>(y) * stride;
        for (int x = x0; x < x1; ++x) {
            row[4 * x] = color.b;
            row[4 * x + 1] = color.g;
            row[4 * x + 2] = color.r;
            row[4 * x + 3] = color.a;
        }
    }
}

// Position on a path that goes 0..span and back, `step` per frame.
int Bounce(std::uint64_t frameIndex, int step, int span) {
    if (span <= 0)
        return 0;
    std::uint64_t p = (frameIndex * static_cast<std::uint64_t>(step)) % (2u * span);
    return static_cast<int>(p < static_cast<std::uint64_t>(span) ? p : 2u * span - p);
}

void DrawLabel(std::uint8_t* pixels, int width, int height, int stride, const std::string& text,
               int maxScale, int centerY, Bgra color) {
    int unit = TextWidth(text, 1);
    if (unit <= 0)
        return;
    int scale = std::max(1, std::min(maxScale, width * 8 / 10 / unit));
    int x = (width - TextWidth(text, scale)) / 2;
    int y = centerY - kGlyphHeight * scale / 2;
    Bgra shadow{0, 0, 0, 255};
    DrawText(pixels, width, height, stride, x + scale / 2, y + scale / 2, scale, text, shadow);
    DrawText(pixels, width, height, stride, x, y, scale, text, color);
}

}  // namespace

Bgra StreamColor(const std::string& streamID) {
    unsigned hash = 0;
    for (unsigned char c : streamID)
        hash = hash * 31u + c;
    // demo-1, demo-2 and demo-3 differ only in their last character, so they land on
    // consecutive palette entries.
    return kPalette[hash % 6];
}

void DrawStreamPicture(std::uint8_t* pixels, int width, int height, int stride,
                       const std::string& streamID, std::uint64_t frameIndex) {
    Bgra back = StreamColor(streamID);
    Bgra band{Lighten(back.b), Lighten(back.g), Lighten(back.r), 255};
    FillRect(pixels, width, height, stride, 0, 0, width, height, back);
    int bandWidth = std::max(1, width / 8);
    int bandX = static_cast<int>((frameIndex * 6) % static_cast<std::uint64_t>(width + bandWidth)) -
                bandWidth;
    FillRect(pixels, width, height, stride, bandX, 0, bandWidth, height, band);
    int block = std::max(1, height / 8);
    FillRect(pixels, width, height, stride, Bounce(frameIndex, 7, width - block),
             Bounce(frameIndex, 5, height - block), block, block, Bgra{0, 220, 255, 255});
    DrawLabel(pixels, width, height, stride, streamID, 12, height / 2, Bgra{255, 255, 255, 255});
    std::string counter = std::to_string(frameIndex);
    DrawText(pixels, width, height, stride, 8, height - 8 - kGlyphHeight * 2, 2, counter,
             Bgra{255, 255, 255, 255});
}

void DrawCameraPicture(std::uint8_t* pixels, int width, int height, int stride,
                       std::uint64_t frameIndex) {
    // Sky fading into ground, a sun moving across, and a caption.
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = pixels + static_cast<std::size_t>(y) * stride;
        bool ground = y > height * 2 / 3;
        int t = height > 1 ? y * 255 / (height - 1) : 0;
        Bgra c = ground ? Bgra{40, static_cast<std::uint8_t>(120 - t / 4), 60, 255}
                        : Bgra{230, static_cast<std::uint8_t>(160 + t / 4),
                               static_cast<std::uint8_t>(90 + t / 3), 255};
        for (int x = 0; x < width; ++x) {
            row[4 * x] = c.b;
            row[4 * x + 1] = c.g;
            row[4 * x + 2] = c.r;
            row[4 * x + 3] = 255;
        }
    }
    int sun = std::max(2, height / 6);
    FillRect(pixels, width, height, stride, Bounce(frameIndex, 4, width - sun), height / 8, sun,
             sun, Bgra{60, 220, 255, 255});
    DrawLabel(pixels, width, height, stride, "CAMERA", 6, height * 5 / 6, Bgra{255, 255, 255, 255});
    DrawText(pixels, width, height, stride, 8, 8, 2, std::to_string(frameIndex),
             Bgra{0, 0, 0, 255});
}

}  // namespace sim
