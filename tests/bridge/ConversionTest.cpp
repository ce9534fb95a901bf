// Number conversion of command arguments and the audio pass-through callback.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "src/Dispatch.h"
#include "src/SdkZegoRoom.h"

namespace quorlane {

namespace {

TEST(NumberToInt32, TruncatesTowardZeroAndMapsTheRestToTheMinimum) {
    EXPECT_EQ(NumberToInt32(2.9), 2);
    EXPECT_EQ(NumberToInt32(-2.9), -2);
    EXPECT_EQ(NumberToInt32(1.7), 1);
    EXPECT_EQ(NumberToInt32(-0.5), 0);
    EXPECT_EQ(NumberToInt32(0.0), 0);
    EXPECT_EQ(NumberToInt32(2147483647.0), 2147483647);
    EXPECT_EQ(NumberToInt32(2147483647.9), 2147483647);
    EXPECT_EQ(NumberToInt32(-2147483648.0), -2147483647 - 1);
    EXPECT_EQ(NumberToInt32(-2147483648.9), -2147483647 - 1);

    const std::int32_t minimum = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(NumberToInt32(2147483648.0), minimum);
    EXPECT_EQ(NumberToInt32(-2147483649.0), minimum);
    EXPECT_EQ(NumberToInt32(1e300), minimum);
    EXPECT_EQ(NumberToInt32(-1e300), minimum);
    EXPECT_EQ(NumberToInt32(std::numeric_limits<double>::infinity()), minimum);
    EXPECT_EQ(NumberToInt32(-std::numeric_limits<double>::infinity()), minimum);
    EXPECT_EQ(NumberToInt32(std::nan("")), minimum);
}

AVE::AudioFrame FilledFrame(unsigned char* buffer, int length) {
    AVE::AudioFrame frame;
    frame.frameType = 1;
    frame.samples = 480;
    frame.bytesPerSample = 2;
    frame.channels = 2;
    frame.sampleRate = 48000;
    frame.timeStamp = 12345.625;
    frame.configLen = 7;
    frame.bufLen = length;
    frame.buffer = buffer;
    return frame;
}

TEST(CopyAudioFrame, CopiesTheFieldsAndExactlyBufLenBytes) {
    std::vector<unsigned char> input(64);
    for (std::size_t i = 0; i < input.size(); ++i) {
        input[i] = static_cast<unsigned char>(i * 7 + 1);
    }
    const AVE::AudioFrame in = FilledFrame(input.data(), 40);
    std::vector<unsigned char> output(64, 0xEE);
    AVE::AudioFrame out = {};
    out.buffer = output.data();

    CopyAudioFrame(in, out);
    EXPECT_EQ(out.frameType, 1);
    EXPECT_EQ(out.samples, 480);
    EXPECT_EQ(out.bytesPerSample, 2);
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.sampleRate, 48000);
    EXPECT_EQ(out.timeStamp, 12345.625);
    EXPECT_EQ(out.configLen, 7);
    EXPECT_EQ(out.bufLen, 40);
    EXPECT_EQ(out.buffer, output.data()) << "the output keeps its own buffer";
    EXPECT_EQ(0, std::memcmp(output.data(), input.data(), 40));
    for (std::size_t i = 40; i < output.size(); ++i) {
        EXPECT_EQ(output[i], 0xEE) << "byte " << i << " lies past the data length";
    }
}

TEST(CopyAudioFrame, CopiesNoSampleBytesForAnEmptyOrMissingBuffer) {
    std::vector<unsigned char> input(16, 0x11);
    std::vector<unsigned char> output(16, 0x22);
    AVE::AudioFrame out = {};
    out.buffer = output.data();

    CopyAudioFrame(FilledFrame(input.data(), 0), out);
    EXPECT_EQ(out.bufLen, 0);
    EXPECT_EQ(out.sampleRate, 48000);
    EXPECT_EQ(output, std::vector<unsigned char>(16, 0x22));

    // A null input buffer or a negative length copies nothing and does not crash.
    CopyAudioFrame(FilledFrame(nullptr, 16), out);
    CopyAudioFrame(FilledFrame(input.data(), -5), out);
    EXPECT_EQ(output, std::vector<unsigned char>(16, 0x22));
}

}  // namespace

}  // namespace quorlane
