// Decoded frames: converted to planar YUV 4:2:0 and written to the host per render channel.
#include "FrameRelay.h"

#include <libyuv/convert.h>

#include <climits>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "HostChannels.h"
#include "Manager.h"
#include "SdkCallbacks.h"

namespace framerelay {
namespace {

// One lock per channel: frames of two streams on one channel never interleave. Never destroyed,
// since writer threads may hold one while the process exits.
std::mutex& ChannelWriteLock(int channel) {
    static std::mutex* const locks = new std::mutex[kChannelCount];
    return locks[channel];
}

// A growable byte buffer whose contents are not initialised; kept at its largest size.
class FrameBuffer {
  public:
    unsigned char* Reserve(std::size_t size) {
        if (size > capacity_) {
            data_.reset(new unsigned char[size]);
            capacity_ = size;
        }
        return data_.get();
    }
    unsigned char* Data() const { return data_.get(); }
    void Swap(FrameBuffer& other) noexcept {
        data_.swap(other.data_);
        std::swap(capacity_, other.capacity_);
    }

  private:
    std::unique_ptr<unsigned char[]> data_;
    std::size_t capacity_ = 0;
};

// The writer of one channel: a thread that writes converted frames, one at a time and whole,
// while the delivering thread converts the next one. One frame waits at most; a delivering
// thread that finds the slot taken blocks until the writer takes it, so a full pipe still
// holds up the SDK thread, one frame later.
class ChannelWriter {
  public:
    explicit ChannelWriter(int channel) : channel_(channel), thread_([this] { Run(); }) {}
    ChannelWriter(const ChannelWriter&) = delete;
    ChannelWriter& operator=(const ChannelWriter&) = delete;

    // Queues the frame in `frame`, which receives a spare buffer in exchange.
    void Submit(const FrameLayout& layout, FrameBuffer& frame) {
        std::unique_lock<std::mutex> lock(mutex_);
        slotFree_.wait(lock, [this] { return !pending_; });
        slot_.Swap(frame);
        slotLayout_ = layout;
        pending_ = true;
        frameReady_.notify_one();
    }

  private:
    void Run() {
        FrameBuffer writing;
        for (;;) {
            FrameLayout layout;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                frameReady_.wait(lock, [this] { return pending_; });
                slot_.Swap(writing);
                layout = slotLayout_;
                pending_ = false;
                slotFree_.notify_all();
            }
            WriteFrame(channel_, layout, writing.Data());
        }
    }

    const int channel_;
    std::mutex mutex_;
    std::condition_variable frameReady_;
    std::condition_variable slotFree_;
    FrameBuffer slot_;
    FrameLayout slotLayout_;
    bool pending_ = false;
    std::thread thread_;  // last: starts once the fields above exist
};

// The writers live as long as the process, like the bridge's other threads: never destroyed,
// never joined.
ChannelWriter& WriterOf(int channel) {
    static ChannelWriter* const* writers = [] {
        static ChannelWriter* all[kChannelCount];
        for (int c = 0; c < kChannelCount; ++c)
            all[c] = new ChannelWriter(c);
        return all;
    }();
    return *writers[channel];
}

void PutLittleEndian32(unsigned char* out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    out[0] = static_cast<unsigned char>(bits & 0xFF);
    out[1] = static_cast<unsigned char>((bits >> 8) & 0xFF);
    out[2] = static_cast<unsigned char>((bits >> 16) & 0xFF);
    out[3] = static_cast<unsigned char>((bits >> 24) & 0xFF);
}

}  // namespace

bool PlanFrame(int width, int height, FrameLayout* layout) {
    if (width <= 0 || height <= 0)
        return false;
    const std::uint64_t luma = static_cast<std::uint64_t>(width) * height;
    const std::uint64_t chromaWidth = (static_cast<std::uint64_t>(width) + 1) / 2;
    const std::uint64_t chromaHeight = (static_cast<std::uint64_t>(height) + 1) / 2;
    const std::uint64_t chroma = chromaWidth * chromaHeight;
    const std::uint64_t payload = luma + 2 * chroma;
    if (payload > static_cast<std::uint64_t>(INT_MAX))
        return false;
    layout->width = width;
    layout->height = height;
    layout->lumaSize = static_cast<std::size_t>(luma);
    layout->chromaWidth = static_cast<int>(chromaWidth);
    layout->chromaHeight = static_cast<int>(chromaHeight);
    layout->chromaSize = static_cast<std::size_t>(chroma);
    layout->payloadSize = static_cast<std::size_t>(payload);
    return true;
}

void EncodeFrameHeader(const FrameLayout& layout, unsigned char header[kHeaderSize]) {
    PutLittleEndian32(header, layout.width);
    PutLittleEndian32(header + 4, layout.height);
    PutLittleEndian32(header + 8, static_cast<std::int32_t>(layout.payloadSize));
}

int ChannelOf(Manager& manager, const char* streamID) {
    if (streamID == nullptr)
        return 0;
    const std::string key(streamID);
    int channel = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(manager.channelLock);
        const auto found = manager.channelMap.find(key);
        if (found != manager.channelMap.end())
            channel = found->second;
    }
    return (channel >= 1 && channel < kChannelCount) ? channel : 0;
}

void ConvertFrame(const unsigned char* pixels, int stride, const FrameLayout& layout,
                  unsigned char* out) {
    unsigned char* y = out;
    unsigned char* u = out + layout.lumaSize;
    unsigned char* v = u + layout.chromaSize;
    libyuv::ARGBToI420(pixels, stride, y, layout.width, u, layout.chromaWidth, v,
                       layout.chromaWidth, layout.width, layout.height);
}

bool WriteFrame(int channel, const FrameLayout& layout, const unsigned char* yuv) {
    if (channel < 0 || channel >= kChannelCount)
        return false;
    unsigned char header[kHeaderSize];
    EncodeFrameHeader(layout, header);
    const unsigned char* u = yuv + layout.lumaSize;
    const unsigned char* v = u + layout.chromaSize;

    std::lock_guard<std::mutex> lock(ChannelWriteLock(channel));
    if (WriteFrameHeader(channel, header) < 0)
        return false;
    if (channel == 0) {
        return WriteFrameData(channel, yuv, layout.payloadSize) >= 0;
    }
    return WriteFrameData(channel, yuv, layout.lumaSize) >= 0 &&
           WriteFrameData(channel, v, layout.chromaSize) >= 0 &&
           WriteFrameData(channel, u, layout.chromaSize) >= 0;
}

void RelayFrame(Manager* manager, const unsigned char* pixels, const int* strides,
                const char* streamID, int width, int height) {
    if (manager == nullptr || pixels == nullptr)
        return;
    FrameLayout layout;
    if (!PlanFrame(width, height, &layout))
        return;
    // Rows of 32-bit pixels are at least 4 x width bytes apart; a shorter or negative stride
    // would read outside the frame.
    const std::int64_t packedStride = static_cast<std::int64_t>(width) * 4;
    const std::int64_t stride = strides != nullptr ? strides[0] : packedStride;
    if (stride < packedStride || stride > INT_MAX)
        return;
    try {
        const int channel = ChannelOf(*manager, streamID);
        // Each delivering thread converts into a buffer of its own, which it trades for a spare
        // one when it hands the frame to the channel's writer: no allocation per frame once the
        // buffers have grown to the frame size.
        thread_local FrameBuffer buffer;
        ConvertFrame(pixels, static_cast<int>(stride), layout, buffer.Reserve(layout.payloadSize));
        WriterOf(channel).Submit(layout, buffer);
    } catch (const std::exception&) {
        // No memory for the buffer or no thread for the writer: the frame is lost, and no
        // exception reaches the SDK.
    }
}

}  // namespace framerelay

void CIZegoVideoRenderCallback::OnVideoDataCallback(const unsigned char* pData, int,
                                                    const char* pszStreamID, int width, int height,
                                                    int strides[4]) {
    framerelay::RelayFrame(CurrentManager.load(), pData, strides, pszStreamID, width, height);
}
