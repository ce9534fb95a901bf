// Test pictures: exact bytes of the fixed patterns, padding, colours, the moving pattern, the
// bitmap font and the demo room's pictures.
#include <gtest/gtest.h>

#include <vector>

#include "sdk/sim/BitmapFont.h"
#include "sdk/sim/DemoPictures.h"
#include "sdk/sim/Patterns.h"

namespace {

using namespace sim;

std::vector<std::uint8_t> Pixel(int b, int g, int r, int a = 255) {
    return {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g),
            static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(a)};
}

std::vector<std::uint8_t> At(const std::vector<std::uint8_t>& pixels, int stride, int x, int y) {
    auto begin = pixels.begin() + y * stride + 4 * x;
    return std::vector<std::uint8_t>(begin, begin + 4);
}

TEST(PatternTest, BarsAreEightFullIntensityColoursInBgraOrder) {
    const int width = 8, height = 3, stride = 40;  // 8 bytes of padding per row
    std::vector<std::uint8_t> pixels(stride * height, 0);
    FillBars(pixels.data(), width, height, stride);
    const std::vector<std::vector<std::uint8_t>> expected = {
        Pixel(255, 255, 255), Pixel(0, 255, 255), Pixel(255, 255, 0), Pixel(0, 255, 0),
        Pixel(255, 0, 255),   Pixel(0, 0, 255),   Pixel(255, 0, 0),   Pixel(0, 0, 0)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            EXPECT_EQ(At(pixels, stride, x, y), expected[x]) << x << "," << y;
        for (int p = width * 4; p < stride; ++p)
            EXPECT_EQ(pixels[y * stride + p], kPaddingByte);
    }
    // A width that is not a multiple of 8: 10 pixels give bars of 2,1,1,2,1,1,1,1... in order.
    std::vector<std::uint8_t> wide(40, 0);
    FillBars(wide.data(), 10, 1, 40);
    int bar = 0;
    for (int x = 0; x < 10; ++x) {
        auto pixel = At(wide, 40, x, 0);
        while (bar < 8 && pixel != expected[bar])
            ++bar;
        ASSERT_LT(bar, 8) << "bars out of order at x=" << x;
    }
    EXPECT_EQ(At(wide, 40, 0, 0), expected[0]);
    EXPECT_EQ(At(wide, 40, 9, 0), expected[7]);
}

TEST(PatternTest, ColoursParseAsRgbAndStoreAsBgra) {
    Bgra c{};
    ASSERT_TRUE(ParseColor("#1A2b3C", &c));
    EXPECT_EQ(c.r, 0x1A);
    EXPECT_EQ(c.g, 0x2B);
    EXPECT_EQ(c.b, 0x3C);
    EXPECT_EQ(c.a, 255);
    for (const char* bad : {"", "#12345", "#1234567", "123456#", "#12345G", "red"})
        EXPECT_FALSE(ParseColor(bad, &c)) << bad;

    std::vector<std::uint8_t> pixels(2 * 12, 0);
    FillSolid(pixels.data(), 2, 2, 12, c);
    EXPECT_EQ(At(pixels, 12, 1, 1), Pixel(0x3C, 0x2B, 0x1A));
    EXPECT_EQ(pixels[8], kPaddingByte);

    PatternKind kind;
    EXPECT_TRUE(ParsePatternKind("moving", &kind));
    EXPECT_EQ(kind, PatternKind::Moving);
    EXPECT_FALSE(ParsePatternKind("Bars", &kind));
}

TEST(PatternTest, MovingFramesDifferAndRepeatWithTheirPeriod) {
    const int width = 64, height = 48, stride = 64 * 4 + 4;
    PatternImage image(PatternKind::Moving, Bgra{}, width, height, stride);
    auto frame = [&](std::uint64_t i) {
        const std::uint8_t* p = image.Frame(i);
        return std::vector<std::uint8_t>(p, p + stride * height);
    };
    EXPECT_NE(frame(0), frame(1));
    EXPECT_NE(frame(1), frame(2));
    EXPECT_EQ(frame(0), frame(32));  // 256 rows of period, 8 rows a frame
    // Frame k equals the picture drawn directly with its offset.
    std::vector<std::uint8_t> direct(stride * height);
    FillMoving(direct.data(), width, height, stride, 5 * 8);
    EXPECT_EQ(frame(5), direct);

    PatternImage still(PatternKind::Bars, Bgra{}, 8, 2, 32);
    EXPECT_EQ(still.Frame(0), still.Frame(7));
}

TEST(PatternTest, TextIsDrawnScaledAndClipped) {
    const int width = 20, height = 16, stride = width * 4;
    std::vector<std::uint8_t> pixels(stride * height, 0);
    const Bgra white{255, 255, 255, 255};
    DrawText(pixels.data(), width, height, stride, 0, 0, 2, "1", white);
    // Glyph "1": top row 0x04 (middle column only), bottom row 0x0E (three columns).
    EXPECT_EQ(At(pixels, stride, 4, 0), Pixel(255, 255, 255));
    EXPECT_EQ(At(pixels, stride, 5, 1), Pixel(255, 255, 255));
    EXPECT_EQ(At(pixels, stride, 0, 0), Pixel(0, 0, 0, 0));
    EXPECT_EQ(At(pixels, stride, 2, 13), Pixel(255, 255, 255));
    EXPECT_EQ(At(pixels, stride, 0, 13), Pixel(0, 0, 0, 0));
    EXPECT_EQ(TextWidth("ab", 3), (2 * 6 - 1) * 3);
    EXPECT_EQ(GlyphRows('a'), GlyphRows('A'));
    EXPECT_NE(GlyphRows('1'), GlyphRows('2'));
    // Partly or wholly outside the frame: nothing is written out of bounds.
    DrawText(pixels.data(), width, height, stride, -7, 10, 3, "W-9?", white);
    DrawText(pixels.data(), width, height, stride, 1000, -1000, 3, "X", white);
}

TEST(PatternTest, DemoPicturesTellStreamsApartAndMove) {
    EXPECT_NE(
        StreamColor("demo-1").r * 65536 + StreamColor("demo-1").g * 256 + StreamColor("demo-1").b,
        StreamColor("demo-2").r * 65536 + StreamColor("demo-2").g * 256 + StreamColor("demo-2").b);
    const int width = 160, height = 90, stride = width * 4;
    auto draw = [&](const std::string& id, std::uint64_t index) {
        std::vector<std::uint8_t> pixels(stride * height);
        DrawStreamPicture(pixels.data(), width, height, stride, id, index);
        return pixels;
    };
    EXPECT_NE(draw("demo-1", 0), draw("demo-2", 0));
    EXPECT_NE(draw("demo-1", 0), draw("demo-1", 1));
    EXPECT_EQ(draw("demo-3", 4), draw("demo-3", 4));
    // Only the label differs between two IDs of the same colour: the text is really drawn.
    EXPECT_NE(draw("demo-1", 0), draw("demo-7", 0));

    std::vector<std::uint8_t> a(stride * height), b(stride * height);
    DrawCameraPicture(a.data(), width, height, stride, 0);
    DrawCameraPicture(b.data(), width, height, stride, 10);
    EXPECT_NE(a, b);
}

}  // namespace
