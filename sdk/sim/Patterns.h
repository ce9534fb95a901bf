// Test pictures in the SDK's frame layout: 32-bit pixels, bytes blue, green, red, alpha, rows
// `stride` bytes apart. Bytes between the end of a row and the next row are padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct Bgra {
    std::uint8_t b, g, r, a;
};

// The eight bars, left to right: white, yellow, cyan, green, magenta, red, blue, black.
extern const Bgra kBarColors[8];

// Value of the padding bytes after each row.
constexpr std::uint8_t kPaddingByte = 0xA5;

enum class PatternKind { Bars, Solid, Moving };

// Parses "bars", "solid" or "moving"; false for anything else.
bool ParsePatternKind(const std::string& name, PatternKind* kind);
// Parses "#RRGGBB" (alpha 255); false when malformed.
bool ParseColor(const std::string& text, Bgra* color);

void FillSolid(std::uint8_t* pixels, int width, int height, int stride, Bgra color);
void FillBars(std::uint8_t* pixels, int width, int height, int stride);
// Diagonal bars in the bar colours; `rowOffset` shifts the picture up by that many rows.
void FillMoving(std::uint8_t* pixels, int width, int height, int stride, int rowOffset);

// A pattern drawn once, from which frames are handed out without redrawing. A moving pattern
// is drawn onto a taller image; frame k starts a few rows further down it.
class PatternImage {
  public:
    PatternImage(PatternKind kind, Bgra color, int width, int height, int stride);
    PatternImage(const PatternImage&) = delete;
    PatternImage& operator=(const PatternImage&) = delete;

    const std::uint8_t* Frame(std::uint64_t index) const;
    std::uint8_t* Frame(std::uint64_t index);
    int Stride() const { return stride_; }

  private:
    PatternKind kind_;
    int stride_;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace sim
