#include "tests/sim/SimHarness.h"

#include <cstring>
#include <stdexcept>

#include "platform/Descriptors.h"
#include "sdk/sim/SimControl.h"

namespace simtest {

using namespace ZEGO::LIVEROOM;

const unsigned char kSignature[33] = "0123456789abcdefghijklmnopqrstuv";

// ---- ControlHarness ----------------------------------------------------------------------

ControlHarness::ControlHarness() {
    if (!platform::MakePipe(&requests_) || !platform::MakePipe(&output_))
        throw std::runtime_error("cannot make pipes");
    if (!sim::StartControlChannel(requests_.read.Get(), output_.write.Get()))
        throw std::runtime_error("a control channel is already open");
    reader_ = std::thread([this] { ReadLines(); });
}

ControlHarness::~ControlHarness() {
    requests_.write.Reset();  // the channel's input ends
    sim::StopControlChannel();
    output_.write.Reset();  // our reader's input ends
    reader_.join();
}

void ControlHarness::SendRaw(const std::string& line) {
    std::string text = line + "\n";
    if (platform::WriteAll(requests_.write.Get(), text.data(), text.size()) < 0)
        throw std::runtime_error("cannot write a request");
}

void ControlHarness::ReadLines() {
    std::string pending;
    char buffer[4096];
    for (;;) {
        int n = platform::ReadSome(output_.read.Get(), buffer, sizeof buffer);
        if (n <= 0)
            break;
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            Json value;
            try {
                value = Json::parse(line);
            } catch (const std::exception&) {
                value = Json{{"unparsable", line}};
            }
            platform::MutexLock hold(mutex_);
            lines_.push_back(std::move(value));
            arrived_.SignalAll();
        }
    }
    platform::MutexLock hold(mutex_);
    ended_ = true;
    arrived_.SignalAll();
}

std::optional<Json> ControlHarness::Next(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    platform::MutexLock hold(mutex_);
    while (lines_.empty() && !ended_ && arrived_.WaitUntil(deadline)) {
    }
    if (lines_.empty())
        return std::nullopt;
    Json line = std::move(lines_.front());
    lines_.pop_front();
    return line;
}

std::optional<std::vector<Json>> ControlHarness::Sync(std::chrono::milliseconds timeout) {
    int id = nextSyncId_++;
    Send({{"op", "sync"}, {"id", id}});
    std::vector<Json> before;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        std::optional<Json> line = Next(left);
        if (!line)
            return std::nullopt;
        if (line->value("op", "") == "synced" && line->value("id", -1) == id)
            return before;
        before.push_back(std::move(*line));
    }
}

std::vector<Json> ControlHarness::CallsOf(const std::vector<Json>& lines,
                                          const std::string& function) {
    std::vector<Json> calls;
    for (const Json& line : lines) {
        if (line.value("call", "") == function)
            calls.push_back(line);
    }
    return calls;
}

// ---- Recorder ------------------------------------------------------------------------------

std::string Quoted(const char* text) {
    return text != nullptr ? "\"" + std::string(text) + "\"" : "null";
}

namespace {

std::string Streams(const ZegoStreamInfo* streams, unsigned int count) {
    std::string text = "[";
    for (unsigned int i = 0; i < count; ++i) {
        const ZegoStreamInfo& s = streams[i];
        text += std::string(i ? "," : "") + "{" + Quoted(s.szUserId) + "," + Quoted(s.szUserName) +
                "," + Quoted(s.szStreamId) + "," + Quoted(s.szExtraInfo) + "}";
    }
    return text + "]";
}

std::string Urls(const char* const* urls, unsigned int count) {
    std::string text = std::to_string(count) + ":[";
    for (unsigned int i = 0; i < count && i < static_cast<unsigned>(kMaxURLs); ++i)
        text += std::string(i ? "," : "") + Quoted(urls[i]);
    return text + "]";
}

std::string Info(const ZegoPublishingStreamInfo& info) {
    return "{" + Urls(info.arrRtmpURLs, info.uiRtmpURLCount) + "," +
           Urls(info.arrFlvURLs, info.uiFlvURLCount) + "," +
           Urls(info.arrHlsURLs, info.uiHlsURLCount) + "}";
}

std::string Quality(const ZegoStreamQuality& q) {
    char text[128];
    std::snprintf(text, sizeof text, "{%g,%g,%d,%d,%d}", q.fps, q.kbps, q.rtt, q.pktLostRate,
                  q.quality);
    return text;
}

std::string Args(std::initializer_list<std::string> parts) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ",") + part;
    return text;
}

#define RECORD(name, ...) Add(std::string(name) + "(" + Args({__VA_ARGS__}) + ")")
#define N(x) std::to_string(x)

}  // namespace

void Recorder::Add(std::string text) {
    platform::MutexLock hold(mutex_);
    events_.push_back(Event{std::move(text), std::this_thread::get_id()});
    changed_.SignalAll();
}

std::vector<Recorder::Event> Recorder::Events() {
    platform::MutexLock hold(mutex_);
    return events_;
}

std::vector<std::string> Recorder::EventTexts() {
    platform::MutexLock hold(mutex_);
    std::vector<std::string> texts;
    for (const Event& e : events_)
        texts.push_back(e.text);
    return texts;
}

std::vector<FrameCall> Recorder::Frames() {
    platform::MutexLock hold(mutex_);
    return frames_;
}

std::size_t Recorder::FrameCount() {
    platform::MutexLock hold(mutex_);
    return frameCount_;
}

bool Recorder::WaitForEvent(const std::function<bool(const std::vector<std::string>&)>& predicate,
                            std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    platform::MutexLock hold(mutex_);
    for (;;) {
        std::vector<std::string> texts;
        for (const Event& e : events_)
            texts.push_back(e.text);
        if (predicate(texts))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        changed_.WaitUntil(deadline);
    }
}

bool Recorder::WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    platform::MutexLock hold(mutex_);
    while (frameCount_ < count) {
        if (!changed_.WaitUntil(deadline))
            return frameCount_ >= count;
    }
    return true;
}

void Recorder::Clear() {
    platform::MutexLock hold(mutex_);
    events_.clear();
    frames_.clear();
    frameCount_ = 0;
}

void Recorder::OnInitSDK(int e) {
    RECORD("OnInitSDK", N(e));
}
void Recorder::OnLoginRoom(int e, const char* room, const ZegoStreamInfo* s, unsigned int n) {
    RECORD("OnLoginRoom", N(e), Quoted(room), Streams(s, n), N(n));
}
void Recorder::OnLogoutRoom(int e, const char* room) {
    RECORD("OnLogoutRoom", N(e), Quoted(room));
}
void Recorder::OnKickOut(int reason, const char* room) {
    RECORD("OnKickOut", N(reason), Quoted(room));
}
void Recorder::OnDisconnect(int e, const char* room) {
    RECORD("OnDisconnect", N(e), Quoted(room));
}
void Recorder::OnReconnect(int e, const char* room) {
    RECORD("OnReconnect", N(e), Quoted(room));
}
void Recorder::OnTempBroken(int e, const char* room) {
    RECORD("OnTempBroken", N(e), Quoted(room));
}
void Recorder::OnStreamUpdated(ZegoStreamUpdateType type, ZegoStreamInfo* s, unsigned int n,
                               const char* room) {
    RECORD("OnStreamUpdated", N(static_cast<int>(type)), Streams(s, n), N(n), Quoted(room));
}
void Recorder::OnStreamExtraInfoUpdated(ZegoStreamInfo* s, unsigned int n, const char* room) {
    RECORD("OnStreamExtraInfoUpdated", Streams(s, n), N(n), Quoted(room));
}
void Recorder::OnCustomCommand(int e, int seq, const char* room) {
    RECORD("OnCustomCommand", N(e), N(seq), Quoted(room));
}
void Recorder::OnRecvCustomCommand(const char* user, const char* name, const char* content,
                                   const char* room) {
    RECORD("OnRecvCustomCommand", Quoted(user), Quoted(name), Quoted(content), Quoted(room));
}
void Recorder::OnUpdateOnlineCount(int n, const char* room) {
    RECORD("OnUpdateOnlineCount", N(n), Quoted(room));
}
void Recorder::OnSendRoomMessage(int e, const char* room, int seq, unsigned long long id) {
    RECORD("OnSendRoomMessage", N(e), Quoted(room), N(seq), N(id));
}
void Recorder::OnUserUpdate(const ZegoUser*, unsigned int n) {
    RECORD("OnUserUpdate", N(n));
}
void Recorder::OnSendBigRoomMessage(int e, const char* room, int seq, const char* id) {
    RECORD("OnSendBigRoomMessage", N(e), Quoted(room), N(seq), Quoted(id));
}
void Recorder::OnRecvBigRoomMessage(const char* content, const char* room) {
    RECORD("OnRecvBigRoomMessage", Quoted(content), Quoted(room));
}
void Recorder::OnRecvRoomMessage(ZegoRoomMessage* m, unsigned int n, const char* room) {
    std::string list = "[";
    for (unsigned int i = 0; i < n; ++i) {
        list += std::string(i ? "," : "") + "{" + Quoted(m[i].szUserId) + "," +
                Quoted(m[i].szUserName) + "," + Quoted(m[i].szContent) + "," + N(m[i].messageId) +
                "," + N(static_cast<int>(m[i].type)) + "," + N(static_cast<int>(m[i].priority)) +
                "," + N(static_cast<int>(m[i].category)) + "}";
    }
    RECORD("OnRecvRoomMessage", list + "]", N(n), Quoted(room));
}
void Recorder::OnSendConversationMessage(int e, const char* room, const char* id, int seq) {
    RECORD("OnSendConversationMessage", N(e), Quoted(room), Quoted(id), N(seq));
}
void Recorder::OnRecvConversationMessage(const char* content, const char* id) {
    RECORD("OnRecvConversationMessage", Quoted(content), Quoted(id));
}
void Recorder::OnPublishStateUpdate(int state, const char* stream,
                                    const ZegoPublishingStreamInfo& info) {
    RECORD("OnPublishStateUpdate", N(state), Quoted(stream), Info(info));
}
void Recorder::OnJoinLiveRequest(int seq, const char* user, const char* name, const char* room) {
    RECORD("OnJoinLiveRequest", N(seq), Quoted(user), Quoted(name), Quoted(room));
}
void Recorder::OnInviteJoinLiveResponse(int result, const char* user, const char* name, int seq) {
    RECORD("OnInviteJoinLiveResponse", N(result), Quoted(user), Quoted(name), N(seq));
}
void Recorder::OnEndJoinLive(int result, int seq, const char* room) {
    RECORD("OnEndJoinLive", N(result), N(seq), Quoted(room));
}
void Recorder::OnPublishQualityLevel(const char* stream, int quality, double, double) {
    RECORD("OnPublishQualityLevel", Quoted(stream), N(quality));
}
void Recorder::OnPublishQualityUpdate(const char* stream, ZegoPublishQuality q) {
    RECORD("OnPublishQualityUpdate", Quoted(stream), Quality(q));
}
void Recorder::OnAuxCallback(unsigned char*, int*, int*, int*) {
    RECORD("OnAuxCallback");
}
void Recorder::OnCaptureVideoSizeChanged(int width, int height) {
    RECORD("OnCaptureVideoSizeChanged", N(width), N(height));
}
void Recorder::OnPreviewSnapshot(void*) {
    RECORD("OnPreviewSnapshot");
}
void Recorder::OnRelayCDNStateUpdate(const char* stream, int state) {
    RECORD("OnRelayCDNStateUpdate", Quoted(stream), N(state));
}
void Recorder::OnUpdateMixStreamConfig(unsigned int e, const char* mix) {
    RECORD("OnUpdateMixStreamConfig", N(e), Quoted(mix));
}
void Recorder::OnMixStream(const ZegoMixStreamResult& r, const char* mix, int seq) {
    std::string missing = N(r.nNonExistsStreamCount) + ":[";
    for (int i = 0; i < r.nNonExistsStreamCount && i < kMaxNonExistsStreams; ++i)
        missing += std::string(i ? "," : "") + Quoted(r.ppNonExistsStreamIDList[i]);
    missing += "]";
    RECORD("OnMixStream", N(r.uiErrorCode), missing, Quoted(r.oStreamInfo.szStreamID),
           Quoted(r.oStreamInfo.szMixStreamID), Info(r.oStreamInfo.urls), Quoted(mix), N(seq));
}
void Recorder::OnCaptureVideoFirstFrame() {
    RECORD("OnCaptureVideoFirstFrame");
}
void Recorder::OnPlayStateUpdate(int state, const char* stream) {
    RECORD("OnPlayStateUpdate", N(state), Quoted(stream));
}
void Recorder::OnPlayQualityUpdate(const char* stream, ZegoPlayQuality q) {
    RECORD("OnPlayQualityUpdate", Quoted(stream), Quality(q));
}
void Recorder::OnPlayQualityLevel(const char* stream, int quality, double, double) {
    RECORD("OnPlayQualityLevel", Quoted(stream), N(quality));
}
void Recorder::OnJoinLiveResponse(int result, const char* user, const char* name, int seq) {
    RECORD("OnJoinLiveResponse", N(result), Quoted(user), Quoted(name), N(seq));
}
void Recorder::OnRecvEndJoinLiveCommand(const char* user, const char* name, const char* room) {
    RECORD("OnRecvEndJoinLiveCommand", Quoted(user), Quoted(name), Quoted(room));
}
void Recorder::OnInviteJoinLiveRequest(int seq, const char* user, const char* name,
                                       const char* room) {
    RECORD("OnInviteJoinLiveRequest", N(seq), Quoted(user), Quoted(name), Quoted(room));
}
void Recorder::OnVideoSizeChanged(const char* stream, int width, int height) {
    RECORD("OnVideoSizeChanged", Quoted(stream), N(width), N(height));
}
void Recorder::OnRemoteCameraStatusUpdate(const char* stream, int status) {
    RECORD("OnRemoteCameraStatusUpdate", Quoted(stream), N(status));
}
void Recorder::OnAudioDeviceStateChanged(ZEGO::AV::AudioDeviceType, ZEGO::AV::DeviceInfo*,
                                         ZEGO::AV::DeviceState) {
    RECORD("OnAudioDeviceStateChanged");
}
void Recorder::OnVideoDeviceStateChanged(ZEGO::AV::DeviceInfo*, ZEGO::AV::DeviceState) {
    RECORD("OnVideoDeviceStateChanged");
}
void Recorder::OnDeviceError(const char* device, int e) {
    RECORD("OnDeviceError", Quoted(device), N(e));
}

void Recorder::OnVideoDataCallback(const unsigned char* data, int dataLength, const char* streamID,
                                   int width, int height, int strides[4]) {
    FrameCall frame;
    frame.nullPixels = data == nullptr;
    frame.dataLength = dataLength;
    if (streamID != nullptr)
        frame.stream = std::string(streamID);
    frame.width = width;
    frame.height = height;
    std::memcpy(frame.strides, strides, sizeof frame.strides);
    frame.thread = std::this_thread::get_id();
    if (keepFrameBytes_ && data != nullptr && dataLength > 0)
        frame.bytes.assign(data, data + dataLength);
    platform::MutexLock hold(mutex_);
    ++frameCount_;
    if (keepFrameBytes_)
        frames_.push_back(std::move(frame));
    changed_.SignalAll();
}

void CopyAudio(const AVE::AudioFrame& in, AVE::AudioFrame& out) {
    out.frameType = in.frameType;
    out.samples = in.samples;
    out.bytesPerSample = in.bytesPerSample;
    out.channels = in.channels;
    out.sampleRate = in.sampleRate;
    out.timeStamp = in.timeStamp;
    out.configLen = in.configLen;
    out.bufLen = in.bufLen;
    if (in.bufLen > 0)
        std::memcpy(out.buffer, in.buffer, static_cast<std::size_t>(in.bufLen));
}

}  // namespace simtest
