// Stamps in frames: read back from the luma plane after libyuv's conversion, refused on pictures
// that carry none, written with the clock at delivery, and gone again from the pattern afterwards.
#include <gtest/gtest.h>
#include <libyuv/convert.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/Clock.h"
#include "sdk/sim/FrameStamp.h"
#include "sdk/sim/Patterns.h"
#include "tests/sim/SimHarness.h"

namespace {

using namespace sim;
using namespace simtest;

// The luma plane of 32-bit pixels as ARGBToI420 makes it.
std::vector<std::uint8_t> Luma(const std::uint8_t* pixels, int width, int height, int stride) {
    const int chromaSize = ((width + 1) / 2) * ((height + 1) / 2);
    std::vector<std::uint8_t> yuv(static_cast<std::size_t>(width) * height + 2 * chromaSize);
    std::uint8_t* u = yuv.data() + static_cast<std::size_t>(width) * height;
    libyuv::ARGBToI420(pixels, stride, yuv.data(), width, u, (width + 1) / 2, u + chromaSize,
                       (width + 1) / 2, width, height);
    yuv.resize(static_cast<std::size_t>(width) * height);
    return yuv;
}

TEST(FrameStampTest, StampsSurviveConversionOnAnyPictureAndPicturesAloneCarryNone) {
    const int width = 640, height = 360, stride = 4 * width + 12;
    const std::uint64_t values[] = {0,
                                    1,
                                    0x8000000000000001ull,
                                    0x0123456789ABCDEFull,
                                    ~std::uint64_t{0} - 1,
                                    static_cast<std::uint64_t>(platform::MonotonicNanoseconds())};
    const struct {
        PatternKind kind;
        Bgra colour;
    } pictures[] = {{PatternKind::Bars, {}},
                    {PatternKind::Moving, {}},
                    {PatternKind::Solid, {0, 0, 0, 255}},
                    {PatternKind::Solid, {255, 255, 255, 255}},
                    {PatternKind::Solid, {128, 128, 128, 255}}};
    for (const auto& picture : pictures) {
        SCOPED_TRACE(static_cast<int>(picture.kind));
        PatternImage image(picture.kind, picture.colour, width, height, stride);
        std::uint64_t read = 0;
        EXPECT_FALSE(ReadStamp(Luma(image.Frame(3), width, height, stride).data(), width, &read));
        for (std::uint64_t value : values) {
            StampFrame(image.Frame(3), stride, value);
            ASSERT_TRUE(
                ReadStamp(Luma(image.Frame(3), width, height, stride).data(), width, &read));
            EXPECT_EQ(read, value);
        }
    }
    // The smallest frame that holds a stamp.
    std::vector<std::uint8_t> small(4 * kStampWidth * kStampHeight, 0x40);
    StampFrame(small.data(), 4 * kStampWidth, 42);
    std::uint64_t read = 0;
    ASSERT_TRUE(ReadStamp(Luma(small.data(), kStampWidth, kStampHeight, 4 * kStampWidth).data(),
                          kStampWidth, &read));
    EXPECT_EQ(read, 42u);
    EXPECT_TRUE(CanStamp(kStampWidth, kStampHeight));
    EXPECT_FALSE(CanStamp(kStampWidth - 1, 1000));
    EXPECT_FALSE(CanStamp(1000, kStampHeight - 1));
}

class StampedDeliveryTest : public ::testing::Test {
  protected:
    // Delivers `count` frames of the moving pattern and returns them.
    std::vector<FrameCall> Moving(int count, bool stamp) {
        recorder.Clear();
        Json request = {{"op", "frame"},  {"width", kWidth},     {"height", kHeight},
                        {"count", count}, {"pattern", "moving"}, {"stamp", stamp}};
        channel.Send(request);
        EXPECT_TRUE(channel.Sync().has_value());
        return recorder.Frames();
    }

    static constexpr int kWidth = kStampWidth;
    static constexpr int kHeight = 64;
    Recorder recorder;  // declared first: outlives the channel
    ControlHarness channel;
};

TEST_F(StampedDeliveryTest, EachFrameCarriesTheClockOfItsDeliveryAndThePatternStaysIntact) {
    ZEGO::LIVEROOM::SetExternalRenderCallback(&recorder);
    ASSERT_TRUE(channel.Sync().has_value());
    // 33 frames: the moving pattern comes round to its first rows again, which earlier frames'
    // stamps covered for a while.
    const std::vector<FrameCall> plain = Moving(33, false);
    const auto before = static_cast<std::uint64_t>(platform::MonotonicNanoseconds());
    const std::vector<FrameCall> stamped = Moving(33, true);
    const auto after = static_cast<std::uint64_t>(platform::MonotonicNanoseconds());
    ASSERT_EQ(plain.size(), 33u);
    ASSERT_EQ(stamped.size(), 33u);
    std::uint64_t previous = before;
    const std::size_t stampBytes = 4 * kStampWidth * kStampHeight;  // rows as wide as the frame
    for (std::size_t i = 0; i < stamped.size(); ++i) {
        SCOPED_TRACE(i);
        std::uint64_t stamp = 0;
        ASSERT_TRUE(ReadStamp(Luma(stamped[i].bytes.data(), kWidth, kHeight, 4 * kWidth).data(),
                              kWidth, &stamp));
        EXPECT_GE(stamp, previous);
        EXPECT_LE(stamp, after);
        previous = stamp;
        // Below the stamp, every frame is the pattern as delivered without stamps.
        EXPECT_TRUE(std::equal(stamped[i].bytes.begin() + stampBytes, stamped[i].bytes.end(),
                               plain[i].bytes.begin() + stampBytes));
    }

    // Too small for a stamp, or no pixels to write it into: refused.
    for (Json request : {Json{{"width", kStampWidth - 2}, {"height", 64}},
                         Json{{"width", 640}, {"height", 360}, {"pixels", nullptr}}}) {
        request["op"] = "frame";
        request["stamp"] = true;
        channel.Send(request);
        auto lines = channel.Sync();
        ASSERT_TRUE(lines.has_value());
        ASSERT_EQ(lines->size(), 1u);
        EXPECT_EQ(lines->front().value("op", ""), "error");
    }
    ZEGO::LIVEROOM::SetExternalRenderCallback(nullptr);
}

}  // namespace
