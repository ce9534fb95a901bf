#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tools/host/FrameAssembler.h"

namespace {

using host::Frame;
using host::FrameAssembler;

void PutLittleEndian(std::vector<std::uint8_t>& out, std::int32_t v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
}

// A frame on the wire: header, then Y filled with `y`, and the two chroma planes in the
// order given (first, second), each byte numbered so a swap or shift is visible.
std::vector<std::uint8_t> WireFrame(int w, int h, std::int32_t length, std::uint8_t y,
                                    std::uint8_t first, std::uint8_t second) {
    std::vector<std::uint8_t> out;
    PutLittleEndian(out, w);
    PutLittleEndian(out, h);
    PutLittleEndian(out, length);
    std::size_t ySize = static_cast<std::size_t>(w) * h;
    std::size_t c = static_cast<std::size_t>((w + 1) / 2) * ((h + 1) / 2);
    out.insert(out.end(), ySize, y);
    for (std::size_t i = 0; i < c; ++i)
        out.push_back(static_cast<std::uint8_t>(first + i));
    for (std::size_t i = 0; i < c; ++i)
        out.push_back(static_cast<std::uint8_t>(second + i));
    return out;
}

TEST(FrameAssembler, RebuildsFramesFedInAnyPieces) {
    // 5 x 3: Y 15 bytes, chroma 3 x 2 = 6 bytes each, payload 27.
    std::vector<std::uint8_t> stream = WireFrame(5, 3, 27, 9, 100, 200);
    std::vector<std::uint8_t> second = WireFrame(4, 2, 12, 7, 50, 60);
    stream.insert(stream.end(), second.begin(), second.end());
    for (std::size_t piece : {std::size_t{1}, std::size_t{5}, std::size_t{13}, stream.size()}) {
        FrameAssembler a(0);
        std::vector<Frame> frames;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            std::size_t n = std::min(piece, stream.size() - at);
            ASSERT_TRUE(a.Feed(stream.data() + at, n, [&](Frame& f) { frames.push_back(f); }));
        }
        ASSERT_EQ(frames.size(), 2u) << "piece " << piece;
        EXPECT_TRUE(a.Finish());
        EXPECT_EQ(a.Frames(), 2u);
        EXPECT_EQ(frames[0].geometry.width, 5);
        EXPECT_EQ(frames[0].geometry.height, 3);
        EXPECT_EQ(frames[0].geometry.chromaWidth, 3);
        EXPECT_EQ(frames[0].geometry.chromaHeight, 2);
        EXPECT_EQ(frames[0].planes.size(), 27u);
        EXPECT_EQ(frames[0].Y()[14], 9);
        EXPECT_EQ(frames[0].U()[0], 100);  // channel 0 keeps Y, U, V
        EXPECT_EQ(frames[0].V()[5], 205);
        EXPECT_EQ(frames[1].geometry.width, 4);
        EXPECT_EQ(frames[1].U()[1], 51);
        EXPECT_EQ(frames[1].V()[0], 60);
    }
}

TEST(FrameAssembler, SwapsChromaBackOnRemoteChannels) {
    // Channels 1 to 4 send Y, V, U: V bytes numbered from 30, U from 70.
    std::vector<std::uint8_t> wire = WireFrame(6, 4, 24 + 2 * 6, 1, 30, 70);
    for (int channel = 1; channel <= 4; ++channel) {
        FrameAssembler a(channel);
        std::vector<Frame> frames;
        ASSERT_TRUE(a.Feed(wire.data(), wire.size(), [&](Frame& f) { frames.push_back(f); }));
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].channel, channel);
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(frames[0].U()[i], 70 + i);
            EXPECT_EQ(frames[0].V()[i], 30 + i);
        }
    }
}

TEST(FrameAssembler, DetectsTornStreams) {
    auto feed = [](FrameAssembler& a, const std::vector<std::uint8_t>& bytes, int* count) {
        return a.Feed(bytes.data(), bytes.size(), [&](Frame&) { ++*count; });
    };
    int count = 0;
    {
        FrameAssembler a(1);
        EXPECT_FALSE(feed(a, WireFrame(5, 3, 26, 0, 0, 0), &count));  // length one short
        EXPECT_TRUE(a.Torn());
        EXPECT_NE(a.Error().find("payload length 26 for 5x3 (expected 27)"), std::string::npos)
            << a.Error();
        EXPECT_FALSE(feed(a, WireFrame(5, 3, 27, 0, 0, 0), &count));  // stays torn
    }
    {
        FrameAssembler a(0);
        EXPECT_FALSE(feed(a, WireFrame(0, 3, 0, 0, 0, 0), &count));
        EXPECT_NE(a.Error().find("impossible size 0x3"), std::string::npos) << a.Error();
    }
    {
        FrameAssembler a(0);
        std::vector<std::uint8_t> header;
        PutLittleEndian(header, -640);
        PutLittleEndian(header, 480);
        PutLittleEndian(header, 460800);
        EXPECT_FALSE(feed(a, header, &count));
    }
    {
        // A frame followed by a second one that stops in the middle.
        FrameAssembler a(2);
        std::vector<std::uint8_t> bytes = WireFrame(4, 4, 24, 0, 0, 0);
        std::vector<std::uint8_t> cut = WireFrame(4, 4, 24, 0, 0, 0);
        bytes.insert(bytes.end(), cut.begin(), cut.begin() + 20);
        EXPECT_TRUE(feed(a, bytes, &count));
        EXPECT_FALSE(a.Finish());
        EXPECT_NE(a.Error().find("stream ended inside frame 1 (8 of 24 payload bytes)"),
                  std::string::npos)
            << a.Error();
    }
    {
        FrameAssembler a(0);
        std::vector<std::uint8_t> bytes = WireFrame(4, 4, 24, 0, 0, 0);
        EXPECT_TRUE(feed(a, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 7), &count));
        EXPECT_FALSE(a.Finish());
        EXPECT_NE(a.Error().find("7 of 12 header bytes"), std::string::npos) << a.Error();
    }
    EXPECT_EQ(count, 1);  // only the whole frame of the cut stream was delivered
}

}  // namespace
