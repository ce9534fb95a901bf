// Decoded frames: converted to planar YUV 4:2:0 and written to the host per render channel.
#include "FrameRelay.h"

#include <libyuv/convert.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "HostChannels.h"
#include "Manager.h"
#include "SdkCallbacks.h"

namespace framerelay {
namespace {

// One lock per channel: frames of two streams on one channel never interleave.
std::mutex channelWriteLocks[kChannelCount];

// A conversion buffer per thread, grown to the largest frame seen and kept: no allocation per
// frame on a steady stream.
class ThreadBuffer {
  public:
    unsigned char* Get(std::size_t size) {
        if (size > capacity_) {
            data_.reset(new unsigned char[size]);
            capacity_ = size;
        }
        return data_.get();
    }

  private:
    std::unique_ptr<unsigned char[]> data_;
    std::size_t capacity_ = 0;
};

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

    std::lock_guard<std::mutex> lock(channelWriteLocks[channel]);
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
    const int channel = ChannelOf(*manager, streamID);
    const std::int64_t packedStride = static_cast<std::int64_t>(width) * 4;
    if (strides == nullptr && packedStride > INT_MAX)
        return;
    const int stride = strides != nullptr ? strides[0] : static_cast<int>(packedStride);

    thread_local ThreadBuffer buffer;
    unsigned char* yuv = buffer.Get(layout.payloadSize);
    ConvertFrame(pixels, stride, layout, yuv);
    WriteFrame(channel, layout, yuv);
}

}  // namespace framerelay

void CIZegoVideoRenderCallback::OnVideoDataCallback(const unsigned char* pData, int,
                                                    const char* pszStreamID, int width, int height,
                                                    int strides[4]) {
    framerelay::RelayFrame(CurrentManager.load(), pData, strides, pszStreamID, width, height);
}
