#include "src/FrameRelay.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "src/Manager.h"

namespace quorlane {

namespace {

using framerelay::FrameLayout;
using framerelay::PlanFrame;

TEST(FrameRelay, PlansPlaneSizesWithOddDimensions) {
    FrameLayout vga;
    ASSERT_TRUE(PlanFrame(640, 480, &vga));
    EXPECT_EQ(vga.lumaSize, 640u * 480u);
    EXPECT_EQ(vga.chromaWidth, 320);
    EXPECT_EQ(vga.chromaHeight, 240);
    EXPECT_EQ(vga.chromaSize, 320u * 240u);
    EXPECT_EQ(vga.payloadSize, 640u * 480u * 3 / 2);

    FrameLayout odd;
    ASSERT_TRUE(PlanFrame(5, 3, &odd));
    EXPECT_EQ(odd.lumaSize, 15u);
    EXPECT_EQ(odd.chromaWidth, 3);
    EXPECT_EQ(odd.chromaHeight, 2);
    EXPECT_EQ(odd.payloadSize, 27u);

    FrameLayout one;
    ASSERT_TRUE(PlanFrame(1, 1, &one));
    EXPECT_EQ(one.payloadSize, 3u);

    FrameLayout refused;
    EXPECT_FALSE(PlanFrame(0, 480, &refused));
    EXPECT_FALSE(PlanFrame(640, 0, &refused));
    EXPECT_FALSE(PlanFrame(-2, 480, &refused));
    EXPECT_FALSE(PlanFrame(640, -480, &refused));
    // 46341 x 46341 already passes 2^31 in the luma plane alone.
    EXPECT_FALSE(PlanFrame(46341, 46341, &refused));
    EXPECT_FALSE(PlanFrame(2147483647, 2147483647, &refused));
    // The largest square that fits: 37836^2 * 1.5 = 2147344344; 37837 (odd) is 2147495691.
    FrameLayout largest;
    EXPECT_TRUE(PlanFrame(37836, 37836, &largest));
    EXPECT_EQ(largest.payloadSize, 2147344344u);
    EXPECT_FALSE(PlanFrame(37837, 37837, &refused));
}

TEST(FrameRelay, FitsDataMeasuresTheRowsAgainstTheLengthWithoutOverflow) {
    // 4 rows of 4 pixels, 20 bytes apart: the last row needs only its 16 bytes of pixels.
    EXPECT_TRUE(framerelay::FitsData(4, 4, 20, 3 * 20 + 16));
    EXPECT_FALSE(framerelay::FitsData(4, 4, 20, 3 * 20 + 15));
    // 8 of 64 rows delivered.
    EXPECT_FALSE(framerelay::FitsData(64, 64, 256, 8 * 256));
    // A stride of 1 GiB, and products far beyond 32 bits.
    EXPECT_FALSE(framerelay::FitsData(4, 4, 1 << 30, INT_MAX));
    EXPECT_FALSE(framerelay::FitsData(1, INT_MAX, INT_MAX, INT_MAX));
    EXPECT_FALSE(framerelay::FitsData(INT_MAX / 4, 2, INT_MAX, INT_MAX));
    EXPECT_TRUE(framerelay::FitsData(INT_MAX / 4, 1, INT_MAX, INT_MAX));
    // Negative length, stride below the row, or beyond 32 bits.
    EXPECT_FALSE(framerelay::FitsData(4, 1, 16, -1));
    EXPECT_FALSE(framerelay::FitsData(4, 1, 15, 100));
    EXPECT_FALSE(framerelay::FitsData(4, 1, std::int64_t{INT_MAX} + 1, INT_MAX));
}

TEST(FrameRelay, HeaderIsLittleEndianByteForByte) {
    FrameLayout layout;
    ASSERT_TRUE(PlanFrame(640, 480, &layout));
    unsigned char header[framerelay::kHeaderSize];
    framerelay::EncodeFrameHeader(layout, header);
    const unsigned char expected[] = {0x80, 0x02, 0, 0, 0xE0, 0x01, 0, 0, 0x00, 0x08, 0x07, 0};
    EXPECT_EQ(std::vector<unsigned char>(header, header + 12),
              std::vector<unsigned char>(expected, expected + 12));

    FrameLayout wide;
    wide.width = 0x01020304;
    wide.height = 0x7F000005;
    wide.payloadSize = 0x7FEEDD01;
    framerelay::EncodeFrameHeader(wide, header);
    const unsigned char expectedWide[] = {0x04, 0x03, 0x02, 0x01, 0x05, 0x00,
                                          0x00, 0x7F, 0x01, 0xDD, 0xEE, 0x7F};
    EXPECT_EQ(std::vector<unsigned char>(header, header + 12),
              std::vector<unsigned char>(expectedWide, expectedWide + 12));
}

// Blue, green, red, alpha of the eight bars: white, yellow, cyan, green, magenta, red, blue,
// black.
const unsigned char kBars[8][4] = {{255, 255, 255, 255}, {0, 255, 255, 255}, {255, 255, 0, 255},
                                   {0, 255, 0, 255},     {255, 0, 255, 255}, {0, 0, 255, 255},
                                   {255, 0, 0, 255},     {0, 0, 0, 255}};
// BT.601 studio-range Y, U, V of the same bars.
const int kBarYuv[8][3] = {{235, 128, 128}, {210, 16, 146}, {170, 166, 16}, {145, 54, 34},
                           {106, 202, 222}, {81, 90, 240},  {41, 240, 110}, {16, 128, 128}};

TEST(FrameRelay, ConvertsBarsToTheirYuvValues) {
    const int width = 64, height = 6, barWidth = width / 8;
    const int stride = width * 4 + 16;  // rows with padding: the stride must be honoured
    std::vector<unsigned char> pixels(static_cast<std::size_t>(stride) * height, 0x5A);
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            const unsigned char* bgra = kBars[x / barWidth];
            std::copy(bgra, bgra + 4, &pixels[static_cast<std::size_t>(row) * stride + x * 4]);
        }
    }
    FrameLayout layout;
    ASSERT_TRUE(PlanFrame(width, height, &layout));
    std::vector<unsigned char> yuv(layout.payloadSize, 0);
    framerelay::ConvertFrame(pixels.data(), stride, layout, yuv.data());

    const unsigned char* y = yuv.data();
    const unsigned char* u = y + layout.lumaSize;
    const unsigned char* v = u + layout.chromaSize;
    for (int bar = 0; bar < 8; ++bar) {
        const int x = bar * barWidth + barWidth / 2;
        for (int row = 0; row < height; ++row) {
            EXPECT_NEAR(y[row * width + x], kBarYuv[bar][0], 1) << "bar " << bar;
        }
        for (int row = 0; row < layout.chromaHeight; ++row) {
            EXPECT_NEAR(u[row * layout.chromaWidth + x / 2], kBarYuv[bar][1], 1) << "bar " << bar;
            EXPECT_NEAR(v[row * layout.chromaWidth + x / 2], kBarYuv[bar][2], 1) << "bar " << bar;
        }
    }
}

TEST(FrameRelay, ChannelComesFromTheMapUnderItsLock) {
    Manager manager;
    manager.Channels().Replace("s1", 1);
    manager.Channels().Replace("s4", 4);
    manager.Channels().Replace("broken", 9);
    manager.Channels().Replace("zero", 0);
    EXPECT_EQ(framerelay::ChannelOf(manager, nullptr), 0);
    EXPECT_EQ(framerelay::ChannelOf(manager, "s1"), 1);
    EXPECT_EQ(framerelay::ChannelOf(manager, "s4"), 4);
    EXPECT_EQ(framerelay::ChannelOf(manager, "unknown"), 0);
    EXPECT_EQ(framerelay::ChannelOf(manager, ""), 0);
    EXPECT_EQ(framerelay::ChannelOf(manager, "broken"), 0);
    EXPECT_EQ(framerelay::ChannelOf(manager, "zero"), 0);
}

}  // namespace

}  // namespace quorlane
