// The adapter between the Manager and the live-room SDK: owns the six callback objects, runs the
// SDK set-up at login, and offers one thin wrapper per SDK call. A wrapper fixes the constant
// arguments, logs a failure and returns the SDK's result unchanged. Runs on the command worker.
#pragma once

#include <atomic>
#include <memory>

#include "LiveRoom.h"
#include "SdkActivity.h"
#include "SdkCallbacks.h"

namespace quorlane {

class SdkZegoRoom {
  public:
    // Creates the six callback objects in field order and records the IM object in
    // ImCallbackInstance.
    SdkZegoRoom();
    // Destroys the callback objects in field order.
    ~SdkZegoRoom();
    SdkZegoRoom(const SdkZegoRoom&) = delete;
    SdkZegoRoom& operator=(const SdkZegoRoom&) = delete;

    // The SDK set-up; returns the result of its last step (the play volume) only.
    bool Init(const char* userID, const char* userName, int test);

    bool SetVideoCaptureResolution(int width, int height);
    bool SetVideoEncodeResolution(int width, int height);
    bool SetPlayVolume();
    bool EnableCamera(bool on);
    bool EnableMic(bool on);
    bool EnableSpeaker(bool on);
    // Registers the render callback, then logs in.
    bool LoginRoom(const char* roomID, int role, const char* roomName);
    // Withdraws the render callback, then logs out.
    bool LogoutRoom();
    bool StartPlayingStream(const char* streamID);
    bool StopPlayingStream(const char* streamID);
    bool StartPublishing(const char* title, const char* streamID, int flag, const char* params);
    // Stops the preview first (a failure there is logged and changes nothing).
    bool StopPublishing(int flag);
    bool EnableAux();
    bool StartPreview();
    bool StopPreview();
    // Withdraws the five callback registrations of the set-up, then shuts the SDK down
    // (results ignored). Nothing is switched on afterwards.
    void ShutDownSdk();

    // What the calls above have switched on and not off again. Read and changed on the command
    // worker only.
    const SdkActivity& Activity() const { return activity_; }

  private:
    std::unique_ptr<CILivePublisherCallback> publisherCallback;
    std::unique_ptr<CILivePlayerCallback> playerCallback;
    std::unique_ptr<CIRoomCallback> roomCallback;
    std::unique_ptr<CIIMCallback> imCallback;
    std::unique_ptr<CIZegoDeviceStateCallback> deviceStateCallback;
    std::unique_ptr<CIZegoVideoRenderCallback> renderCallback;
    SdkActivity activity_;
};

// The IM callback object, for registration after a successful room login. Set when the object
// is created, never cleared.
extern std::atomic<CIIMCallback*> ImCallbackInstance;

// The audio pre-processing callback: audio passes unchanged from `in` to `out`.
void CopyAudioFrame(const AVE::AudioFrame& in, AVE::AudioFrame& out);

}  // namespace quorlane
