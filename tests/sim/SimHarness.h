// Test helpers for the simulated SDK: a control channel on two pipes with a reader that
// collects the output lines, and callback objects that record every notification and frame.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "LiveRoom.h"
#include "platform/CondVar.h"
#include "platform/Mutex.h"
#include "platform/Spawn.h"
#include "platform/ThreadAnnotations.h"

namespace simtest {

using Json = nlohmann::json;
using namespace std::chrono_literals;

// Opens the control channel on fresh pipes and reads what the SDK writes back. Closing it
// ends the channel and resets the SDK to a fresh state.
class ControlHarness {
  public:
    ControlHarness();
    ~ControlHarness();
    ControlHarness(const ControlHarness&) = delete;
    ControlHarness& operator=(const ControlHarness&) = delete;

    // Writes one request line as given (need not be valid JSON).
    void SendRaw(const std::string& line);
    void Send(const Json& request) { SendRaw(request.dump()); }

    // Next output line, or nullopt after `timeout`.
    std::optional<Json> Next(std::chrono::milliseconds timeout = 5000ms);
    // Sends a sync request and returns every line before its answer (nullopt on time-out).
    std::optional<std::vector<Json>> Sync(std::chrono::milliseconds timeout = 5000ms);
    // Lines that record calls of `function`, out of `lines`.
    static std::vector<Json> CallsOf(const std::vector<Json>& lines, const std::string& function);

  private:
    void ReadLines();

    platform::Pipe requests_;
    platform::Pipe output_;
    std::thread reader_;
    platform::Mutex mutex_;
    platform::CondVar arrived_{&mutex_};
    std::deque<Json> lines_ GUARDED_BY(mutex_);
    bool ended_ GUARDED_BY(mutex_) = false;
    int nextSyncId_ = 1;  // the test's thread only
};

// One received frame: the arguments and a copy of the pixel bytes (stride x height).
struct FrameCall {
    bool nullPixels = false;
    int dataLength = 0;
    std::optional<std::string> stream;
    int width = 0, height = 0;
    int strides[4] = {0, 0, 0, 0};
    std::vector<std::uint8_t> bytes;
    std::thread::id thread;
};

// Implements every callback interface; records each notification as a text
// "Name(arg,arg,...)" with the thread it arrived on, and each frame.
class Recorder : public ZEGO::LIVEROOM::IRoomCallback,
                 public ZEGO::LIVEROOM::IIMCallback,
                 public ZEGO::LIVEROOM::ILivePublisherCallback,
                 public ZEGO::LIVEROOM::ILivePlayerCallback,
                 public ZEGO::LIVEROOM::IZegoVideoRenderCallback,
                 public ZEGO::AV::IZegoDeviceStateCallback {
  public:
    struct Event {
        std::string text;
        std::thread::id thread;
    };

    // When false, frames are counted but their bytes are not copied.
    explicit Recorder(bool keepFrameBytes = true) : keepFrameBytes_(keepFrameBytes) {}

    std::vector<Event> Events();
    std::vector<std::string> EventTexts();
    std::vector<FrameCall> Frames();
    std::size_t FrameCount();
    // Waits until `predicate` holds over the event texts; false after `timeout`.
    bool WaitForEvent(const std::function<bool(const std::vector<std::string>&)>& predicate,
                      std::chrono::milliseconds timeout = 5000ms);
    bool WaitForFrames(std::size_t count, std::chrono::milliseconds timeout = 5000ms);
    void Clear();

    // IRoomCallback
    void OnInitSDK(int errorCode) override;
    void OnLoginRoom(int errorCode, const char* roomID,
                     const ZEGO::LIVEROOM::ZegoStreamInfo* streams, unsigned int count) override;
    void OnLogoutRoom(int errorCode, const char* roomID) override;
    void OnKickOut(int reason, const char* roomID) override;
    void OnDisconnect(int errorCode, const char* roomID) override;
    void OnReconnect(int errorCode, const char* roomID) override;
    void OnTempBroken(int errorCode, const char* roomID) override;
    void OnStreamUpdated(ZEGO::LIVEROOM::ZegoStreamUpdateType type,
                         ZEGO::LIVEROOM::ZegoStreamInfo* streams, unsigned int count,
                         const char* roomID) override;
    void OnStreamExtraInfoUpdated(ZEGO::LIVEROOM::ZegoStreamInfo* streams, unsigned int count,
                                  const char* roomID) override;
    void OnCustomCommand(int errorCode, int seq, const char* roomID) override;
    void OnRecvCustomCommand(const char* userID, const char* userName, const char* content,
                             const char* roomID) override;
    // IIMCallback
    void OnUpdateOnlineCount(int count, const char* roomID) override;
    void OnSendRoomMessage(int errorCode, const char* roomID, int seq,
                           unsigned long long messageID) override;
    void OnUserUpdate(const ZEGO::LIVEROOM::ZegoUser* users, unsigned int count) override;
    void OnSendBigRoomMessage(int errorCode, const char* roomID, int seq,
                              const char* messageID) override;
    void OnRecvBigRoomMessage(const char* content, const char* roomID) override;
    void OnRecvRoomMessage(ZEGO::LIVEROOM::ZegoRoomMessage* messages, unsigned int count,
                           const char* roomID) override;
    void OnSendConversationMessage(int errorCode, const char* roomID, const char* conversationID,
                                   int seq) override;
    void OnRecvConversationMessage(const char* content, const char* conversationID) override;
    // ILivePublisherCallback
    void OnPublishStateUpdate(int stateCode, const char* streamID,
                              const ZEGO::LIVEROOM::ZegoPublishingStreamInfo& info) override;
    void OnJoinLiveRequest(int seq, const char* userID, const char* userName,
                           const char* roomID) override;
    void OnInviteJoinLiveResponse(int result, const char* userID, const char* userName,
                                  int seq) override;
    void OnEndJoinLive(int result, int seq, const char* roomID) override;
    void OnPublishQualityLevel(const char* streamID, int quality, double fps, double kbps) override;
    void OnPublishQualityUpdate(const char* streamID,
                                ZEGO::LIVEROOM::ZegoPublishQuality quality) override;
    void OnAuxCallback(unsigned char* data, int* length, int* sampleRate, int* channels) override;
    void OnCaptureVideoSizeChanged(int width, int height) override;
    void OnPreviewSnapshot(void* image) override;
    void OnRelayCDNStateUpdate(const char* streamID, int state) override;
    void OnUpdateMixStreamConfig(unsigned int errorCode, const char* mixStreamID) override;
    void OnMixStream(const ZEGO::LIVEROOM::ZegoMixStreamResult& result, const char* mixStreamID,
                     int seq) override;
    void OnCaptureVideoFirstFrame() override;
    // ILivePlayerCallback
    void OnPlayStateUpdate(int stateCode, const char* streamID) override;
    void OnPlayQualityUpdate(const char* streamID,
                             ZEGO::LIVEROOM::ZegoPlayQuality quality) override;
    void OnPlayQualityLevel(const char* streamID, int quality, double fps, double kbps) override;
    void OnJoinLiveResponse(int result, const char* userID, const char* userName, int seq) override;
    void OnRecvEndJoinLiveCommand(const char* userID, const char* userName,
                                  const char* roomID) override;
    void OnInviteJoinLiveRequest(int seq, const char* userID, const char* userName,
                                 const char* roomID) override;
    void OnVideoSizeChanged(const char* streamID, int width, int height) override;
    void OnRemoteCameraStatusUpdate(const char* streamID, int status) override;
    // IZegoVideoRenderCallback
    void OnVideoDataCallback(const unsigned char* data, int dataLength, const char* streamID,
                             int width, int height, int strides[4]) override;
    // IZegoDeviceStateCallback
    void OnAudioDeviceStateChanged(ZEGO::AV::AudioDeviceType type, ZEGO::AV::DeviceInfo* info,
                                   ZEGO::AV::DeviceState state) override;
    void OnVideoDeviceStateChanged(ZEGO::AV::DeviceInfo* info,
                                   ZEGO::AV::DeviceState state) override;
    void OnDeviceError(const char* deviceName, int errorCode) override;

  private:
    void Add(std::string text);

    const bool keepFrameBytes_;
    platform::Mutex mutex_;
    platform::CondVar changed_{&mutex_};
    std::vector<Event> events_ GUARDED_BY(mutex_);
    std::vector<FrameCall> frames_ GUARDED_BY(mutex_);
    std::size_t frameCount_ GUARDED_BY(mutex_) = 0;
};

// Text form of a possibly null C string: the text in quotes, or null.
std::string Quoted(const char* text);

// The audio pre-processing callback a host would register: copies the input frame.
void CopyAudio(const AVE::AudioFrame& in, AVE::AudioFrame& out);

// The 32 bytes of a test app signature.
extern const unsigned char kSignature[33];

}  // namespace simtest
