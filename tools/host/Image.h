// Plain RGB pictures for snapshots and the contact sheet: conversion from I420, scaling,
// rectangles and a small bitmap font for labels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/host/Frame.h"

namespace host {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // rows of width x (r, g, b), no padding

    RgbImage() = default;
    RgbImage(int w, int h, Rgb fill = Rgb());
    Rgb At(int x, int y) const;
    void Set(int x, int y, Rgb color);  // ignores points outside
};

// Converts a frame (BT.601, limited range, as the bridge produces it) to RGB.
RgbImage FrameToRgb(const Frame& frame);

// Bilinear resampling to `width` x `height` (both at least 1).
RgbImage Scale(const RgbImage& source, int width, int height);

// Copies `source` into `target` with its top-left corner at (x, y), clipped.
void Paste(RgbImage& target, const RgbImage& source, int x, int y);

void FillRect(RgbImage& image, int x, int y, int width, int height, Rgb color);

// Draws text in a 5x7 bitmap font magnified by `scale`, letters upper case; characters without
// a glyph show as '?'. Returns the width drawn in pixels.
int DrawText(RgbImage& image, int x, int y, const std::string& text, Rgb color, int scale);

// Width in pixels that DrawText would use.
int TextWidth(const std::string& text, int scale);
constexpr int kGlyphHeight = 7;

}  // namespace host
