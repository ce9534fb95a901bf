// A 5x7 bitmap font (digits, letters, a few signs) drawn scaled up onto a frame, so a person
// can read stream names in the demo room's pictures.
#pragma once

#include <cstdint>
#include <string>

#include "sdk/sim/Patterns.h"

namespace sim {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

// Rows of one glyph, top first; bit 4 is the leftmost column. Lower-case letters use the
// upper-case glyphs; characters without a glyph are drawn as a box.
const std::uint8_t* GlyphRows(char c);

// Width in pixels of `text` at `scale`, one blank column between glyphs.
int TextWidth(const std::string& text, int scale);

// Draws `text` with its top-left corner at (x, y); pixels outside the frame are skipped.
void DrawText(std::uint8_t* pixels, int width, int height, int stride, int x, int y, int scale,
              const std::string& text, Bgra color);

}  // namespace sim
