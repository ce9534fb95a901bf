// The simulated SDK's one process-wide object: the state a real SDK keeps (initialisation,
// user, room, playing streams, preview, publishing), the registered callbacks, the mode (demo
// room, or scripted through the control channel) and the results it hands back.
//
// Lock order: mutex_ may be held while DemoRoom's lock is taken. It is never held while a
// LineWriter writes, while the registry waits for deliveries or while a thread is joined.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "LiveRoom.h"
#include "platform/Mutex.h"
#include "platform/ThreadAnnotations.h"
#include "sdk/sim/CallGate.h"
#include "sdk/sim/CallbackRegistry.h"
#include "sdk/sim/FrameRecipe.h"
#include "sdk/sim/RequestArgs.h"

namespace sim {

class ControlChannel;
class DemoRoom;
class FrameSource;
class LineWriter;

class Simulator {
  public:
    // Created at process start when QUORLANE_SIM_CONTROL is set, else on first use; reads
    // QUORLANE_SIM_CONTROL then. Never destroyed.
    static Simulator& Get();

    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Scripted mode on the given descriptors; false when a channel is already open.
    bool StartControl(int in, int out);
    // Ends scripted mode and resets everything to a fresh demo-mode SDK. Waits for the
    // channel's thread, which ends once its input has reached its end.
    void StopControl();

    CallbackRegistry& Registry() { return registry_; }

    // A call record (scripted mode only): {"call":name,"args":[...]} plus "result" when given.
    void Record(const char* function, Json args, const Json* result = nullptr);
    // A line to the control channel's output (scripted mode only).
    void Answer(const Json& line);

    // Control requests.
    static bool HasResult(const std::string& function);
    static bool ReturnsNumber(const std::string& function);
    void SetResult(const std::string& function, std::optional<long long> value);
    void StartSource(const FrameRecipe& recipe, double fps);
    void StopSource(const std::optional<std::string>& stream);
    // Calls of `function` hold (the channel is told {"op":"hanging","fn":...} as each one
    // starts to) until released, or until scripted mode ends.
    void HoldCalls(const std::string& function);
    void ReleaseCalls(const std::string& function);

    // The next call of `function` faults (a write through a null pointer) on its caller's
    // thread, as a vendor SDK with a bug would.
    void CrashInCall(const std::string& function) EXCLUDES(crashLock_);

    // Run first by every SDK function: holds the call while its function is held, and faults
    // where CrashInCall asked for it.
    void Enter(const char* function) EXCLUDES(crashLock_);

    // The SDK functions.
    void EnableExternalRender(bool enable);
    bool SetLogDir(const char* directory);
    bool SetBusinessType(int type);
    void SetUseTestEnv(bool useTestEnv);
    bool SetUser(const char* userID, const char* userName);
    void SetAudioPrep2(ZEGO::LIVEROOM::AudioPrepCallback callback);
    bool InitSDK(unsigned int appID, const unsigned char* signature, int signatureLength);
    bool UnInitSDK();
    bool SetCallback(const char* function, Slot slot, void* object);
    void SetDeviceStateCallback(void* object);
    void SetExternalRenderCallback(void* object);
    bool EnableAux(bool enable);
    bool SetPlayVolume(int volume, const char* streamID);
    bool LoginRoom(const char* roomID, int role, const char* roomName);
    bool LogoutRoom();
    bool StartPlayingStream(const char* streamID);
    bool StopPlayingStream(const char* streamID);
    bool StartPublishing(const char* title, const char* streamID, int flag, const char* params);
    bool StopPublishing(int flag, ZEGO::AV::PublishChannelIndex index);
    bool StartPreview(ZEGO::AV::PublishChannelIndex index);
    bool StopPreview(ZEGO::AV::PublishChannelIndex index);
    bool EnableCamera(bool enable, ZEGO::AV::PublishChannelIndex index);
    bool EnableMic(bool enable);
    bool EnableSpeaker(bool enable);
    bool SetVideoCaptureResolution(int width, int height, ZEGO::AV::PublishChannelIndex index);
    bool SetVideoEncodeResolution(int width, int height, ZEGO::AV::PublishChannelIndex index);
    int SendRoomMessage(const char* content);

  private:
    Simulator();

    // The result of `function`: in scripted mode what the control channel set (default true),
    // in the demo room whether the call is allowed in the current state.
    bool Outcome(const char* function, bool allowed) REQUIRES(mutex_);
    // A fresh positive sequence number for SendRoomMessage.
    int NextSequence() REQUIRES(mutex_);
    // Forgets room, streams, preview, publishing and device settings; hands the threads to
    // stop to the caller. Settings made before InitSDK (user, external rendering) stay.
    void ResetLocked(std::unique_ptr<DemoRoom>* demo,
                     std::map<std::optional<std::string>, std::unique_ptr<FrameSource>>* sources)
        REQUIRES(mutex_);

    platform::Mutex mutex_;
    platform::Mutex crashLock_;  // taken alone
    std::set<std::string> crashIn_ GUARDED_BY(crashLock_);
    CallbackRegistry registry_;
    CallGate gate_;

    std::unique_ptr<ControlChannel> channel_ GUARDED_BY(mutex_);
    std::shared_ptr<LineWriter> output_ GUARDED_BY(mutex_);
    std::map<std::string, long long> results_ GUARDED_BY(mutex_);
    std::map<std::optional<std::string>, std::unique_ptr<FrameSource>> sources_ GUARDED_BY(mutex_);
    std::unique_ptr<DemoRoom> demo_ GUARDED_BY(mutex_);

    bool initialized_ GUARDED_BY(mutex_) = false;
    bool externalRender_ GUARDED_BY(mutex_) = false;
    std::string userID_ GUARDED_BY(mutex_);
    std::string roomID_ GUARDED_BY(mutex_);
    bool inRoom_ GUARDED_BY(mutex_) = false;  // from a login call until the logout
    std::set<std::string> playing_ GUARDED_BY(mutex_);
    bool previewing_ GUARDED_BY(mutex_) = false;
    std::string publishing_ GUARDED_BY(mutex_);  // stream ID; empty when not publishing
    bool camera_ GUARDED_BY(mutex_) = true;
    int captureWidth_ GUARDED_BY(mutex_) = 640;
    int captureHeight_ GUARDED_BY(mutex_) = 360;
    int nextSequence_ GUARDED_BY(mutex_) = 1;
};

}  // namespace sim
