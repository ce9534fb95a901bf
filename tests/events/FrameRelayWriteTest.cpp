// The relay writing to descriptors 5 to 9 of this very process, which point at pipes read here:
// what is written, what is not, and frames from several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/Descriptors.h"
#include "platform/Redirect.h"
#include "platform/Spawn.h"
#include "src/FrameRelay.h"
#include "src/Manager.h"

namespace quorlane {

namespace {

using Clock = std::chrono::steady_clock;

// Pipes standing in for the host on descriptors 5 to 9.
class HostPipes {
  public:
    HostPipes() {
        platform::IgnoreBrokenPipe();
        // Hold the numbers 5 to 9 first, so that no pipe end below is given one of them.
        for (int channel = 0; channel < 5; ++channel) {
            platform::ReserveDescriptor(5 + channel);
        }
        for (int channel = 0; channel < 5; ++channel) {
            platform::Pipe pipe;
            EXPECT_TRUE(platform::MakePipe(&pipe));
            platform::SetPipeBufferSize(pipe.read.Get(), 1 << 20);
            for (const int end : {pipe.read.Get(), pipe.write.Get()}) {
                EXPECT_TRUE(end < 5 || end > 9) << end;
            }
            EXPECT_TRUE(platform::DuplicateOnto(pipe.write.Get(), 5 + channel));
            platform::SetNonBlocking(pipe.read.Get(), true);
            reads_[channel] = std::move(pipe.read);
        }
    }

    // Bytes of `channel` until `want` arrived or `timeoutMs` passed.
    std::string Read(int channel, std::size_t want, int timeoutMs) {
        std::string bytes;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        char buffer[1 << 16];
        while (bytes.size() < want && Clock::now() < deadline) {
            std::vector<platform::PollEntry> entries = {platform::PollEntry{reads_[channel].Get()}};
            platform::PollDescriptors(entries, 20);
            const long n = platform::ReadNonBlocking(reads_[channel].Get(), buffer, sizeof buffer);
            if (n > 0)
                bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }

    void CloseReader(int channel) { reads_[channel].Reset(); }

  private:
    platform::UniqueFd reads_[5];
};

std::vector<unsigned char> SolidPixels(int width, int height, unsigned char blue,
                                       unsigned char green, unsigned char red) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = blue;
        pixels[i + 1] = green;
        pixels[i + 2] = red;
        pixels[i + 3] = 255;
    }
    return pixels;
}

std::int32_t HeaderField(const std::string& bytes, std::size_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | p[1] << 8 | p[2] << 16 |
                                     static_cast<std::uint32_t>(p[3]) << 24);
}

HostPipes& Pipes() {
    static HostPipes* pipes = new HostPipes();  // descriptors 5 to 9 keep pointing at them
    return *pipes;
}

TEST(FrameRelayWrite, WritesNothingWithoutManagerPixelsOrUsableSize) {
    HostPipes& pipes = Pipes();
    Manager manager;
    const std::vector<unsigned char> pixels = SolidPixels(4, 4, 0, 0, 255);
    int strides[4] = {16, 0, 0, 0};
    framerelay::RelayFrame(nullptr, pixels.data(), 64, strides, nullptr, 4, 4);
    framerelay::RelayFrame(&manager, nullptr, 64, strides, nullptr, 4, 4);
    framerelay::RelayFrame(&manager, pixels.data(), 64, strides, nullptr, 0, 4);
    framerelay::RelayFrame(&manager, pixels.data(), 64, strides, nullptr, 4, -1);
    // Refused before any pixel is read: the payload length would not fit the header.
    framerelay::RelayFrame(&manager, pixels.data(), 64, strides, nullptr, 46341, 46341);
    // Rows closer than 4 x width bytes, or going backwards, are not rows of this frame.
    int shortStrides[4] = {15, 0, 0, 0};
    framerelay::RelayFrame(&manager, pixels.data(), 64, shortStrides, nullptr, 4, 4);
    int backwards[4] = {-16, 0, 0, 0};
    framerelay::RelayFrame(&manager, pixels.data(), 64, backwards, nullptr, 4, 4);
    // Rows that reach past the data the SDK passed: a frame of one row less, a stride of 1 GiB
    // (whose rows would lie far beyond the buffer), an unknown length.
    framerelay::RelayFrame(&manager, pixels.data(), 63, strides, nullptr, 4, 4);
    int huge[4] = {1 << 30, 0, 0, 0};
    framerelay::RelayFrame(&manager, pixels.data(), 64, huge, nullptr, 4, 4);
    framerelay::RelayFrame(&manager, pixels.data(), -1, strides, nullptr, 4, 4);
    EXPECT_EQ(pipes.Read(0, 1, 300), "");

    // A null stride list means packed rows; the last row needs only its own pixels.
    framerelay::RelayFrame(&manager, pixels.data(), 64, nullptr, nullptr, 4, 4);
    const std::string frame = pipes.Read(0, 12 + 24, 5000);
    ASSERT_EQ(frame.size(), 12u + 24u);
    EXPECT_EQ(HeaderField(frame, 0), 4);
    EXPECT_EQ(HeaderField(frame, 4), 4);
    EXPECT_EQ(HeaderField(frame, 8), 24);
    EXPECT_NEAR(static_cast<unsigned char>(frame[12]), 81, 1);  // Y of red
    EXPECT_EQ(pipes.Read(0, 1, 200), "");
}

TEST(FrameRelayWrite, AFailingChannelLosesItsFramesAndNothingElse) {
    HostPipes& pipes = Pipes();
    Manager manager;
    manager.Channels().Replace("gone", 3);
    pipes.CloseReader(3);  // writes to descriptor 8 now fail

    const std::vector<unsigned char> pixels = SolidPixels(8, 6, 255, 0, 0);
    int strides[4] = {32, 0, 0, 0};
    framerelay::FrameLayout layout;
    ASSERT_TRUE(framerelay::PlanFrame(8, 6, &layout));
    std::vector<unsigned char> yuv(layout.payloadSize);
    framerelay::ConvertFrame(pixels.data(), 32, layout, yuv.data());
    EXPECT_FALSE(framerelay::WriteFrame(3, layout, yuv.data()));
    for (int i = 0; i < 20; ++i) {
        framerelay::RelayFrame(&manager, pixels.data(), 8 * 6 * 4, strides, "gone", 8, 6);
    }
    // Channel 0 goes on untouched.
    EXPECT_TRUE(framerelay::WriteFrame(0, layout, yuv.data()));
    const std::string frame = pipes.Read(0, 12 + layout.payloadSize, 5000);
    ASSERT_EQ(frame.size(), 12 + layout.payloadSize);
    EXPECT_EQ(frame.substr(12), std::string(yuv.begin(), yuv.end()));
}

TEST(FrameRelayWrite, ConcurrentFramesOnOneChannelStayWholeWhileTheMapChanges) {
    HostPipes& pipes = Pipes();
    Manager manager;
    const int kThreads = 4, kFrames = 150;
    std::atomic<bool> stop{false};
    // Moves "t1" between channel 1 and channel 0 as view requests do.
    std::thread viewer([&] {
        for (int round = 0; !stop.load(); ++round)
            manager.Channels().Replace("t1", round % 2 == 0 ? 1 : 0);
    });
    const std::uint64_t droppedBefore = framerelay::DroppedFrames(0);
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            const int width = 20 + 7 * t, height = 10 + 3 * t;  // one size per thread
            const std::vector<unsigned char> pixels = SolidPixels(width, height, 0, 255, 0);
            int strides[4] = {width * 4, 0, 0, 0};
            const char* stream = t == 1 ? "t1" : (t == 2 ? "unmapped" : nullptr);
            for (int i = 0; i < kFrames; ++i) {
                framerelay::RelayFrame(&manager, pixels.data(), width * height * 4, strides, stream,
                                       width, height);
            }
        });
    }
    // Read channel 0 while the senders run, so they never wait on a full pipe for long.
    std::string bytes;
    int frames = 0;
    bool whole = true;
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    std::atomic<int> running{kThreads};
    std::thread joiner([&] {
        for (std::thread& sender : senders)
            sender.join();
        running = 0;
    });
    while (Clock::now() < deadline) {
        const std::string more = pipes.Read(0, 1, running.load() > 0 ? 50 : 300);
        if (more.empty() && running.load() == 0)
            break;
        bytes += more;
        while (bytes.size() >= 12) {
            const int width = HeaderField(bytes, 0), height = HeaderField(bytes, 4);
            const int length = HeaderField(bytes, 8);
            const int t = (width - 20) / 7;
            if (t < 0 || t >= kThreads || width != 20 + 7 * t || height != 10 + 3 * t ||
                length != width * height + 2 * ((width + 1) / 2) * ((height + 1) / 2)) {
                whole = false;
                break;
            }
            if (bytes.size() < 12u + length)
                break;
            for (int i = 0; i < width * height; ++i) {
                if (std::abs(static_cast<unsigned char>(bytes[12 + i]) - 145) > 1)
                    whole = false;
            }
            bytes.erase(0, 12u + length);
            ++frames;
        }
        if (!whole)
            break;
    }
    stop = true;
    joiner.join();
    viewer.join();
    EXPECT_TRUE(whole) << "a frame on descriptor 5 was torn after " << frames << " frames";
    EXPECT_TRUE(bytes.empty());
    // Threads 0 and 2 always land on channel 0; thread 1 only while "t1" is unmapped. Frames
    // that came faster than this reader took them were dropped, and counted.
    EXPECT_GT(frames, 0);
    EXPECT_GE(frames + static_cast<int>(framerelay::DroppedFrames(0) - droppedBefore), 2 * kFrames);
}

}  // namespace

}  // namespace quorlane
