// Decoded frames: converted to planar YUV 4:2:0 and written to the host per render channel.
#include "FrameRelay.h"

#include <libyuv/convert.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "CrashReport.h"
#include "HostChannels.h"
#include "Manager.h"
#include "SdkCallbacks.h"
#include "logging/Qlog.h"
#include "platform/CondVar.h"
#include "platform/Mutex.h"

namespace quorlane {

namespace framerelay {
namespace {

constexpr std::chrono::seconds kDropReportInterval{1};

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
// while delivering threads convert the next ones. Up to kFrameBacklog converted frames wait
// besides the one being written; a frame that arrives while they are all there is dropped
// before it is converted, so that no delivering thread ever waits for the host.
class ChannelWriter {
  public:
    // A buffer to convert one frame into: handed to the writer by Submit, or given back
    // unused when the reservation ends without it.
    class Reservation {
      public:
        Reservation() = default;
        explicit Reservation(ChannelWriter* writer) : writer_(writer) {}
        Reservation(Reservation&& other) noexcept
            : writer_(std::exchange(other.writer_, nullptr)), buffer_(std::move(other.buffer_)) {}
        Reservation& operator=(Reservation&&) = delete;
        Reservation(const Reservation&) = delete;
        Reservation& operator=(const Reservation&) = delete;
        ~Reservation() {
            if (writer_ != nullptr)
                writer_->Release(std::move(buffer_));
        }

        bool Valid() const { return writer_ != nullptr; }
        FrameBuffer& Buffer() { return *buffer_; }
        void Submit(const FrameLayout& layout) {
            std::exchange(writer_, nullptr)->Submit(std::move(buffer_), layout);
        }

      private:
        friend class ChannelWriter;
        ChannelWriter* writer_ = nullptr;
        std::unique_ptr<FrameBuffer> buffer_;
    };

    explicit ChannelWriter(int channel) : channel_(channel), thread_([this] { Run(); }) {}
    ChannelWriter(const ChannelWriter&) = delete;
    ChannelWriter& operator=(const ChannelWriter&) = delete;

    // A buffer for the next frame; an invalid reservation when the backlog is full, and the
    // frame is then counted as dropped.
    Reservation Reserve() EXCLUDES(mutex_) {
        Reservation reservation;
        std::uint64_t report = 0;
        {
            platform::MutexLock hold(mutex_);
            if (queue_.size() + reserved_ >= kFrameBacklog) {
                ++dropped_;
                ++droppedTotal_;
                report = TakeDropReport();
            } else {
                ++reserved_;
                reservation.writer_ = this;
                if (!spare_.empty()) {
                    reservation.buffer_ = std::move(spare_.back());
                    spare_.pop_back();
                }
            }
        }
        ReportDrops(report);
        if (reservation.Valid() && !reservation.buffer_)
            reservation.buffer_.reset(new FrameBuffer);  // on failure the reservation ends
        return reservation;
    }

    std::uint64_t DroppedTotal() EXCLUDES(mutex_) {
        platform::MutexLock hold(mutex_);
        return droppedTotal_;
    }

  private:
    struct Frame {
        std::unique_ptr<FrameBuffer> buffer;
        FrameLayout layout;
    };

    void Submit(std::unique_ptr<FrameBuffer> buffer, const FrameLayout& layout) EXCLUDES(mutex_) {
        {
            platform::MutexLock hold(mutex_);
            --reserved_;
            queue_.push_back(Frame{std::move(buffer), layout});
        }
        frameReady_.Signal();
    }

    void Release(std::unique_ptr<FrameBuffer> buffer) EXCLUDES(mutex_) {
        platform::MutexLock hold(mutex_);
        --reserved_;
        if (buffer)
            spare_.push_back(std::move(buffer));
    }

    // The drops to log now, at most once a second; 0 for none.
    std::uint64_t TakeDropReport() REQUIRES(mutex_) {
        const auto now = std::chrono::steady_clock::now();
        if (dropped_ == 0 || now - lastReport_ < kDropReportInterval)
            return 0;
        lastReport_ = now;
        return std::exchange(dropped_, 0);
    }

    void ReportDrops(std::uint64_t count) const {
        if (count != 0) {
            QLOG(qlog::LOG_ERROR,
                 "%llu frames dropped on channel %d: the host did not read descriptor %d\r\n",
                 static_cast<unsigned long long>(count), channel_, kFrameDescriptorBase + channel_);
        }
    }

    void Run() EXCLUDES(mutex_) {
        static const char* const kNames[kChannelCount] = {
            "frame writer of channel 0", "frame writer of channel 1", "frame writer of channel 2",
            "frame writer of channel 3", "frame writer of channel 4"};
        NameThisThread(kNames[channel_]);
        platform::MutexLock lock(mutex_);
        for (;;) {
            if (queue_.empty()) {
                // Drops not yet reported are reported within a second, even when no frame
                // comes any more.
                if (dropped_ != 0) {
                    const auto deadline = std::chrono::steady_clock::now() + kDropReportInterval;
                    while (queue_.empty() && frameReady_.WaitUntil(deadline)) {
                    }
                } else {
                    while (queue_.empty() && dropped_ == 0)
                        frameReady_.Wait();
                }
            }
            const std::uint64_t report = TakeDropReport();
            Frame frame;
            if (!queue_.empty()) {
                frame = std::move(queue_.front());
                queue_.pop_front();
            }
            lock.Unlock();
            ReportDrops(report);
            if (frame.buffer)
                WriteFrame(channel_, frame.layout, frame.buffer->Data());
            lock.Lock();
            if (frame.buffer)
                spare_.push_back(std::move(frame.buffer));
        }
    }

    const int channel_;
    platform::Mutex mutex_;
    platform::CondVar frameReady_{&mutex_};
    std::deque<Frame> queue_ GUARDED_BY(mutex_);
    std::vector<std::unique_ptr<FrameBuffer>> spare_ GUARDED_BY(mutex_);
    std::size_t reserved_ GUARDED_BY(mutex_) = 0;
    std::uint64_t dropped_ GUARDED_BY(mutex_) = 0;  // since the last report
    std::uint64_t droppedTotal_ GUARDED_BY(mutex_) = 0;
    std::chrono::steady_clock::time_point lastReport_ GUARDED_BY(mutex_);
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
    const int channel = manager.Channels().Lookup(streamID);
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

    if (WriteFrameHeader(channel, header) < 0)
        return false;
    if (channel == 0) {
        return WriteFrameData(channel, yuv, layout.payloadSize) >= 0;
    }
    // V before U (YV12) on channels 1 to 4, unlike channel 0, on purpose: hosts rely on it.
    return WriteFrameData(channel, yuv, layout.lumaSize) >= 0 &&
           WriteFrameData(channel, v, layout.chromaSize) >= 0 &&
           WriteFrameData(channel, u, layout.chromaSize) >= 0;
}

std::uint64_t DroppedFrames(int channel) {
    if (channel < 0 || channel >= kChannelCount)
        return 0;
    return WriterOf(channel).DroppedTotal();
}

bool FitsData(int width, int height, std::int64_t stride, int length) {
    const std::int64_t rowBytes = static_cast<std::int64_t>(width) * 4;
    if (width <= 0 || height <= 0 || length < 0 || stride < rowBytes || stride > INT_MAX)
        return false;
    // At most 2^31 x 2^31 + 2^33: no overflow in 64 bits.
    return stride * (height - 1) + rowBytes <= length;
}

namespace {

// Frames refused for their geometry, counted per stream and logged at most once a second.
class RefusalLog {
  public:
    void Count(const char* streamID, int width, int height, std::int64_t stride, int length)
        EXCLUDES(mutex_) {
        const std::string key = streamID != nullptr ? streamID : "(null)";
        const auto now = std::chrono::steady_clock::now();
        std::uint64_t count = 0;
        {
            platform::MutexLock hold(mutex_);
            if (streams_.size() >= kMaxStreams && streams_.find(key) == streams_.end())
                streams_.clear();
            Tally& tally = streams_[key];
            ++tally.refused;
            if (tally.reported && now - tally.lastReport < kDropReportInterval)
                return;
            tally.reported = true;
            tally.lastReport = now;
            count = std::exchange(tally.refused, 0);
        }
        QLOG(qlog::LOG_ERROR,
             "%llu frames of stream %s refused: %dx%d with rows %lld bytes apart need more than "
             "the %d bytes the SDK passed\r\n",
             static_cast<unsigned long long>(count), key.c_str(), width, height,
             static_cast<long long>(stride), length);
    }

  private:
    static constexpr std::size_t kMaxStreams = 64;
    struct Tally {
        std::uint64_t refused = 0;  // since the last report
        bool reported = false;
        std::chrono::steady_clock::time_point lastReport;
    };
    platform::Mutex mutex_;
    std::map<std::string, Tally> streams_ GUARDED_BY(mutex_);
};

RefusalLog& Refusals() {
    static RefusalLog* const log = new RefusalLog;  // never destroyed: SDK threads outlive main
    return *log;
}

}  // namespace

void RelayFrame(Manager* manager, const unsigned char* pixels, int length, const int* strides,
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
        if (!FitsData(width, height, stride, length)) {
            Refusals().Count(streamID, width, height, stride, length);
            return;
        }
        const int channel = ChannelOf(*manager, streamID);
        ChannelWriter::Reservation reservation = WriterOf(channel).Reserve();
        if (!reservation.Valid())
            return;  // the host is behind on this channel: dropped before any conversion
        ConvertFrame(pixels, static_cast<int>(stride), layout,
                     reservation.Buffer().Reserve(layout.payloadSize));
        reservation.Submit(layout);
    } catch (const std::exception&) {
        // No memory for the buffer or no thread for the writer: the frame is lost, and no
        // exception reaches the SDK.
    }
}

}  // namespace framerelay

void CIZegoVideoRenderCallback::OnVideoDataCallback(const unsigned char* pData, int dataLen,
                                                    const char* pszStreamID, int width, int height,
                                                    int strides[4]) {
    framerelay::RelayFrame(CurrentManager.load(), pData, dataLen, strides, pszStreamID, width,
                           height);
}

}  // namespace quorlane
