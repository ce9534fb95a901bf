#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/Process.h"
#include "tools/host/ContactSheet.h"
#include "tools/host/Image.h"
#include "tools/host/PngFile.h"
#include "tools/host/Y4mWriter.h"

namespace {

using host::Frame;
using host::FrameGeometry;
using host::Rgb;
using host::RgbImage;

Frame SolidFrame(int w, int h, std::uint8_t y, std::uint8_t u, std::uint8_t v) {
    Frame f;
    EXPECT_TRUE(FrameGeometry::Compute(w, h, &f.geometry));
    f.planes.assign(f.geometry.ySize, y);
    f.planes.insert(f.planes.end(), f.geometry.chromaSize, u);
    f.planes.insert(f.planes.end(), f.geometry.chromaSize, v);
    return f;
}

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "host-picture-" + std::to_string(platform::ProcessId()) + "-" +
           name;
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void ExpectNear(Rgb c, int r, int g, int b) {
    EXPECT_NEAR(c.r, r, 3);
    EXPECT_NEAR(c.g, g, 3);
    EXPECT_NEAR(c.b, b, 3);
}

TEST(Y4mWriter, WritesHeaderAndWholeFramesOfOneSize) {
    std::string path = TempPath("a.y4m");
    host::Y4mWriter w;
    ASSERT_TRUE(w.Open(path, 5, 3, 15));
    Frame a = SolidFrame(5, 3, 1, 2, 3);
    Frame b = SolidFrame(5, 3, 4, 5, 6);
    Frame other = SolidFrame(4, 4, 0, 0, 0);
    EXPECT_TRUE(w.Write(a));
    EXPECT_FALSE(w.Write(other));  // another size does not fit the stream
    EXPECT_TRUE(w.Write(b));
    EXPECT_EQ(w.Frames(), 2u);
    EXPECT_TRUE(w.Close());
    std::string header = "YUV4MPEG2 W5 H3 F15:1 Ip A1:1 C420jpeg XCOLORRANGE=LIMITED\n";
    std::string expected = header + "FRAME\n" + std::string(a.planes.begin(), a.planes.end()) +
                           "FRAME\n" + std::string(b.planes.begin(), b.planes.end());
    EXPECT_EQ(FileBytes(path), expected);
    std::remove(path.c_str());

    EXPECT_FALSE(w.Open("/nonexistent-dir/x.y4m", 5, 3, 15));
}

TEST(Image, ConvertsLimitedRangeYuvToRgb) {
    // BT.601 limited range: white, black, and the primaries as a converter produces them.
    ExpectNear(host::FrameToRgb(SolidFrame(2, 2, 235, 128, 128)).At(1, 1), 255, 255, 255);
    ExpectNear(host::FrameToRgb(SolidFrame(2, 2, 16, 128, 128)).At(0, 0), 0, 0, 0);
    ExpectNear(host::FrameToRgb(SolidFrame(2, 2, 81, 90, 240)).At(0, 1), 255, 0, 0);
    ExpectNear(host::FrameToRgb(SolidFrame(2, 2, 145, 54, 34)).At(1, 0), 0, 255, 0);
    ExpectNear(host::FrameToRgb(SolidFrame(2, 2, 41, 240, 110)).At(0, 0), 0, 0, 255);

    // Chroma is shared by 2 x 2 pixels, including the last odd column and row.
    Frame f = SolidFrame(3, 3, 81, 128, 128);
    f.planes[f.geometry.ySize + 1] = 90;                           // U of column 2, row 0
    f.planes[f.geometry.ySize + f.geometry.chromaSize + 1] = 240;  // V of column 2, row 0
    RgbImage rgb = host::FrameToRgb(f);
    EXPECT_GT(rgb.At(2, 0).r, 200);
    EXPECT_GT(rgb.At(2, 1).r, 200);
    EXPECT_LT(rgb.At(2, 2).r, 120);  // row 2 uses the second chroma row
    EXPECT_LT(rgb.At(1, 0).r, 120);  // column 1 uses the first chroma column
}

TEST(Image, ScalesAndDrawsLabels) {
    RgbImage src(4, 2, Rgb{10, 20, 30});
    for (int y = 0; y < 2; ++y) {
        for (int x = 2; x < 4; ++x)
            src.Set(x, y, Rgb{200, 100, 0});
    }
    RgbImage half = host::Scale(src, 2, 1);
    ExpectNear(half.At(0, 0), 10, 20, 30);
    ExpectNear(half.At(1, 0), 200, 100, 0);
    RgbImage big = host::Scale(src, 40, 20);
    ExpectNear(big.At(0, 0), 10, 20, 30);
    ExpectNear(big.At(39, 19), 200, 100, 0);

    RgbImage canvas(60, 20);
    int width = host::DrawText(canvas, 1, 1, "a1", Rgb{255, 255, 255}, 1);
    EXPECT_EQ(width, host::TextWidth("a1", 1));
    // 'A' has its top row 01110: columns 2 to 4 lit, 1 and 5 dark.
    EXPECT_EQ(canvas.At(1, 1).r, 0);
    EXPECT_EQ(canvas.At(2, 1).r, 255);
    EXPECT_EQ(canvas.At(4, 1).r, 255);
    EXPECT_EQ(canvas.At(5, 1).r, 0);
    // An unknown character draws the '?' glyph, not nothing.
    RgbImage other(10, 10);
    host::DrawText(other, 0, 0, "~", Rgb{255, 0, 0}, 1);
    EXPECT_EQ(other.At(1, 0).r, 255);
}

TEST(Png, WrittenFilesDecodeToTheSamePixels) {
    RgbImage image(7, 5, Rgb{0, 0, 0});
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x)
            image.Set(
                x, y,
                Rgb{static_cast<std::uint8_t>(x * 30), static_cast<std::uint8_t>(y * 50), 77});
    }
    std::string path = TempPath("a.png");
    std::string error;
    ASSERT_TRUE(host::WritePng(path, image, &error)) << error;

    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&png, path.c_str())) << png.message;
    png.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(png));
    ASSERT_TRUE(png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) << png.message;
    EXPECT_EQ(png.width, 7u);
    EXPECT_EQ(png.height, 5u);
    EXPECT_EQ(pixels, image.pixels);
    std::remove(path.c_str());

    EXPECT_FALSE(host::WritePng("/nonexistent-dir/a.png", image, &error));
    EXPECT_NE(error.find("/nonexistent-dir/a.png"), std::string::npos);
    EXPECT_FALSE(host::WritePng(path, RgbImage(), &error));
}

TEST(ContactSheet, PlacesEveryTileSideBySideAtOneHeight) {
    std::vector<host::SheetTile> tiles(3);
    tiles[0].label = "CH0 PREVIEW";
    tiles[0].picture = RgbImage(640, 360, Rgb{255, 0, 0});
    tiles[1].label = "CH1";
    tiles[1].picture = RgbImage(320, 240, Rgb{0, 255, 0});
    tiles[2].label = "CH2";
    tiles[2].picture = RgbImage(100, 100, Rgb{0, 0, 255});
    RgbImage sheet = host::MakeContactSheet(tiles, 90);
    // Widths 160, 120 and 90 at height 90, with margins; one row.
    EXPECT_GE(sheet.width, 160 + 120 + 90);
    EXPECT_LT(sheet.width, 160 + 120 + 90 + 200);
    EXPECT_GT(sheet.height, 90);
    // Each colour appears somewhere, in order from left to right.
    int firstRed = -1, firstGreen = -1, firstBlue = -1;
    int row = sheet.height - 20;
    for (int x = 0; x < sheet.width; ++x) {
        Rgb c = sheet.At(x, row);
        if (c.r == 255 && c.g == 0 && firstRed < 0)
            firstRed = x;
        if (c.g == 255 && c.r == 0 && firstGreen < 0)
            firstGreen = x;
        if (c.b == 255 && c.r == 0 && firstBlue < 0)
            firstBlue = x;
    }
    EXPECT_GE(firstRed, 0);
    EXPECT_GT(firstGreen, firstRed + 159);
    EXPECT_GT(firstBlue, firstGreen + 119);
}

}  // namespace
