#include "tools/host/Image.h"

#include <algorithm>
#include <cctype>

#include "tools/host/Font5x7.h"

namespace host {

RgbImage::RgbImage(int w, int h, Rgb fill)
    : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3) {
    for (std::size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = fill.r;
        pixels[i + 1] = fill.g;
        pixels[i + 2] = fill.b;
    }
}

Rgb RgbImage::At(int x, int y) const {
    const std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
    return Rgb{p[0], p[1], p[2]};
}

void RgbImage::Set(int x, int y, Rgb color) {
    if (x < 0 || y < 0 || x >= width || y >= height)
        return;
    std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
    p[0] = color.r;
    p[1] = color.g;
    p[2] = color.b;
}

namespace {

std::uint8_t Clamp(int value) {
    return static_cast<std::uint8_t>(std::min(255, std::max(0, value)));
}

}  // namespace

RgbImage FrameToRgb(const Frame& frame) {
    const FrameGeometry& g = frame.geometry;
    RgbImage image(g.width, g.height);
    for (int y = 0; y < g.height; ++y) {
        const std::uint8_t* yRow = frame.Y() + static_cast<std::size_t>(y) * g.width;
        const std::uint8_t* uRow = frame.U() + static_cast<std::size_t>(y / 2) * g.chromaWidth;
        const std::uint8_t* vRow = frame.V() + static_cast<std::size_t>(y / 2) * g.chromaWidth;
        std::uint8_t* out = &image.pixels[static_cast<std::size_t>(y) * g.width * 3];
        for (int x = 0; x < g.width; ++x) {
            // Fixed point (x 1024) BT.601 limited-range coefficients.
            int c = 1192 * (yRow[x] - 16);
            int d = uRow[x / 2] - 128;
            int e = vRow[x / 2] - 128;
            out[3 * x] = Clamp((c + 1634 * e + 512) >> 10);
            out[3 * x + 1] = Clamp((c - 401 * d - 832 * e + 512) >> 10);
            out[3 * x + 2] = Clamp((c + 2066 * d + 512) >> 10);
        }
    }
    return image;
}

RgbImage Scale(const RgbImage& source, int width, int height) {
    RgbImage out(std::max(1, width), std::max(1, height));
    if (source.width <= 0 || source.height <= 0)
        return out;
    for (int y = 0; y < out.height; ++y) {
        // Sample centres mapped back into the source.
        double sy = (y + 0.5) * source.height / out.height - 0.5;
        int y0 = std::max(0, std::min(source.height - 1, static_cast<int>(sy)));
        int y1 = std::min(source.height - 1, y0 + 1);
        double fy = std::max(0.0, std::min(1.0, sy - y0));
        for (int x = 0; x < out.width; ++x) {
            double sx = (x + 0.5) * source.width / out.width - 0.5;
            int x0 = std::max(0, std::min(source.width - 1, static_cast<int>(sx)));
            int x1 = std::min(source.width - 1, x0 + 1);
            double fx = std::max(0.0, std::min(1.0, sx - x0));
            Rgb a = source.At(x0, y0), b = source.At(x1, y0);
            Rgb c = source.At(x0, y1), d = source.At(x1, y1);
            auto mix = [&](std::uint8_t pa, std::uint8_t pb, std::uint8_t pc, std::uint8_t pd) {
                double top = pa + (pb - pa) * fx;
                double bottom = pc + (pd - pc) * fx;
                return Clamp(static_cast<int>(top + (bottom - top) * fy + 0.5));
            };
            out.Set(x, y,
                    Rgb{mix(a.r, b.r, c.r, d.r), mix(a.g, b.g, c.g, d.g), mix(a.b, b.b, c.b, d.b)});
        }
    }
    return out;
}

void Paste(RgbImage& target, const RgbImage& source, int x, int y) {
    for (int row = 0; row < source.height; ++row) {
        for (int col = 0; col < source.width; ++col)
            target.Set(x + col, y + row, source.At(col, row));
    }
}

void FillRect(RgbImage& image, int x, int y, int width, int height, Rgb color) {
    for (int row = y; row < y + height; ++row) {
        for (int col = x; col < x + width; ++col)
            image.Set(col, row, color);
    }
}

int TextWidth(const std::string& text, int scale) {
    return static_cast<int>(text.size()) * 6 * scale;
}

int DrawText(RgbImage& image, int x, int y, const std::string& text, Rgb color, int scale) {
    int cursor = x;
    for (char raw : text) {
        char c =
            raw == 'x' ? raw : static_cast<char>(std::toupper(static_cast<unsigned char>(raw)));
        const std::uint8_t* rows = GlyphRows(c);
        if (rows == nullptr)
            rows = GlyphRows('?');
        for (int row = 0; row < kGlyphHeight; ++row) {
            for (int col = 0; col < 5; ++col) {
                if ((rows[row] >> (4 - col)) & 1)
                    FillRect(image, cursor + col * scale, y + row * scale, scale, scale, color);
            }
        }
        cursor += 6 * scale;
    }
    return cursor - x;
}

}  // namespace host
