// The functions of LiveRoom.h, each calling its counterpart in the vendor's DLL. A function the
// DLL lacks does nothing and returns failure: false, or 0 from SendRoomMessage. Callback objects
// reach the DLL as adapters with Microsoft-layout vtables.
#include <string>

#include "LiveRoom.h"
#include "logging/Qlog.h"
#include "platform/Process.h"
#include "sdk/dll/BindingReport.h"
#include "sdk/dll/CallbackAdapters.h"
#include "sdk/dll/Credentials.h"
#include "sdk/dll/RecordLayouts.h"
#include "sdk/dll/VendorLibrary.h"

namespace ZEGO {
namespace LIVEROOM {

namespace {

using dll::BoundFunction;
using dll::Function;

// Calls `function` of the DLL with the declaration's own signature; `failed` when it is missing.
template <typename Signature, typename Result, typename... Args>
Result Call(Function function, Result failed, Args... args) {
    Signature* bound = BoundFunction<Signature>(function);
    return bound != nullptr ? bound(args...) : failed;
}

template <typename Signature, typename... Args>
void CallVoid(Function function, Args... args) {
    Signature* bound = BoundFunction<Signature>(function);
    if (bound != nullptr)
        bound(args...);
}

// Registration functions receive the adapter that stands for the object.
using Register = bool(void*);
using RegisterVoid = void(void*);

}  // namespace

void EnableExternalRender(bool enable) {
    CallVoid<decltype(EnableExternalRender)>(Function::kEnableExternalRender, enable);
}

bool SetLogDir(const char* pszLogDir) {
    return Call<decltype(SetLogDir)>(Function::kSetLogDir, false, pszLogDir);
}

bool SetBusinessType(int type) {
    return Call<decltype(SetBusinessType)>(Function::kSetBusinessType, false, type);
}

void SetUseTestEnv(bool useTestEnv) {
    CallVoid<decltype(SetUseTestEnv)>(Function::kSetUseTestEnv, useTestEnv);
}

bool SetUser(const char* pszUserID, const char* pszUserName) {
    return Call<decltype(SetUser)>(Function::kSetUser, false, pszUserID, pszUserName);
}

void SetAudioPrep2(AudioPrepCallback callback, const AVE::ExtPrepSet& settings) {
    // A plain function already follows the x64 Windows convention; references travel as
    // pointers.
    CallVoid<void(AudioPrepCallback, const AVE::ExtPrepSet*)>(Function::kSetAudioPrep2, callback,
                                                              &settings);
}

bool InitSDK(unsigned int appID, const unsigned char* appSignature, int signatureLength) {
    dll::Credentials credentials;
    credentials.appID = appID;
    dll::EnvironmentUse fromEnvironment;
    std::string error;
    if (!dll::ApplyEnvironment(platform::GetEnvironment("QUORLANE_APP_ID"),
                               platform::GetEnvironment("QUORLANE_APP_SIGN"), &credentials,
                               &fromEnvironment, &error)) {
        dll::ReportError(error + "; InitSDK not called");
        return false;
    }
    if (fromEnvironment.appID || fromEnvironment.appSign) {
        QLOG(qlog::LOG_INFO, "InitSDK: app ID %u from %s, app signature %s from %s\r\n",
             credentials.appID, fromEnvironment.appID ? "QUORLANE_APP_ID" : "the build",
             fromEnvironment.appSign ? dll::MaskedAppSign(credentials.appSign).c_str() : "",
             fromEnvironment.appSign ? "QUORLANE_APP_SIGN" : "the build");
    }
    if (fromEnvironment.appSign) {
        appSignature = credentials.appSign.data();
        signatureLength = static_cast<int>(dll::kAppSignLength);
    }
    return Call<decltype(InitSDK)>(Function::kInitSDK, false, credentials.appID, appSignature,
                                   signatureLength);
}

bool UnInitSDK() {
    return Call<decltype(UnInitSDK)>(Function::kUnInitSDK, false);
}

bool SetLivePublisherCallback(ILivePublisherCallback* callback) {
    return Call<Register>(Function::kSetLivePublisherCallback, false, dll::AdapterFor(callback));
}

bool SetLivePlayerCallback(ILivePlayerCallback* callback) {
    return Call<Register>(Function::kSetLivePlayerCallback, false, dll::AdapterFor(callback));
}

bool SetRoomCallback(IRoomCallback* callback) {
    return Call<Register>(Function::kSetRoomCallback, false, dll::AdapterFor(callback));
}

void SetDeviceStateCallback(AV::IZegoDeviceStateCallback* callback) {
    CallVoid<RegisterVoid>(Function::kSetDeviceStateCallback, dll::AdapterFor(callback));
}

bool SetIMCallback(IIMCallback* callback) {
    return Call<Register>(Function::kSetIMCallback, false, dll::AdapterFor(callback));
}

void SetExternalRenderCallback(IZegoVideoRenderCallback* callback) {
    CallVoid<RegisterVoid>(Function::kSetExternalRenderCallback, dll::AdapterFor(callback));
}

bool EnableAux(bool enable) {
    return Call<decltype(EnableAux)>(Function::kEnableAux, false, enable);
}

bool SetPlayVolume(int volume, const char* pszStreamID) {
    return Call<decltype(SetPlayVolume)>(Function::kSetPlayVolume, false, volume, pszStreamID);
}

bool LoginRoom(const char* pszRoomID, int role, const char* pszRoomName) {
    return Call<decltype(LoginRoom)>(Function::kLoginRoom, false, pszRoomID, role, pszRoomName);
}

bool LogoutRoom() {
    return Call<decltype(LogoutRoom)>(Function::kLogoutRoom, false);
}

bool StartPlayingStream(const char* pszStreamID, void* pView, const char* pszParams) {
    return Call<decltype(StartPlayingStream)>(Function::kStartPlayingStream, false, pszStreamID,
                                              pView, pszParams);
}

bool StopPlayingStream(const char* pszStreamID) {
    return Call<decltype(StopPlayingStream)>(Function::kStopPlayingStream, false, pszStreamID);
}

bool StartPublishing(const char* pszTitle, const char* pszStreamID, int flag,
                     const char* pszParams) {
    return Call<decltype(StartPublishing)>(Function::kStartPublishing, false, pszTitle, pszStreamID,
                                           flag, pszParams);
}

bool StopPublishing(int flag, const char* pszMsg, AV::PublishChannelIndex index) {
    return Call<decltype(StopPublishing)>(Function::kStopPublishing, false, flag, pszMsg, index);
}

bool StartPreview(AV::PublishChannelIndex index) {
    return Call<decltype(StartPreview)>(Function::kStartPreview, false, index);
}

bool StopPreview(AV::PublishChannelIndex index) {
    return Call<decltype(StopPreview)>(Function::kStopPreview, false, index);
}

bool EnableCamera(bool enable, AV::PublishChannelIndex index) {
    return Call<decltype(EnableCamera)>(Function::kEnableCamera, false, enable, index);
}

bool EnableMic(bool enable) {
    return Call<decltype(EnableMic)>(Function::kEnableMic, false, enable);
}

bool EnableSpeaker(bool enable) {
    return Call<decltype(EnableSpeaker)>(Function::kEnableSpeaker, false, enable);
}

bool SetVideoCaptureResolution(int width, int height, AV::PublishChannelIndex index) {
    return Call<decltype(SetVideoCaptureResolution)>(Function::kSetVideoCaptureResolution, false,
                                                     width, height, index);
}

bool SetVideoEncodeResolution(int width, int height, AV::PublishChannelIndex index) {
    return Call<decltype(SetVideoEncodeResolution)>(Function::kSetVideoEncodeResolution, false,
                                                    width, height, index);
}

void SetWaterMarkImagePath(const char* pszPath, AV::PublishChannelIndex index) {
    CallVoid<decltype(SetWaterMarkImagePath)>(Function::kSetWaterMarkImagePath, pszPath, index);
}

void SetPublishWaterMarkRect(int left, int top, int right, int bottom,
                             AV::PublishChannelIndex index) {
    CallVoid<decltype(SetPublishWaterMarkRect)>(Function::kSetPublishWaterMarkRect, left, top,
                                                right, bottom, index);
}

void SetPreviewWaterMarkRect(int left, int top, int right, int bottom,
                             AV::PublishChannelIndex index) {
    CallVoid<decltype(SetPreviewWaterMarkRect)>(Function::kSetPreviewWaterMarkRect, left, top,
                                                right, bottom, index);
}

int SendRoomMessage(ROOM::ZegoMessageType type, ROOM::ZegoMessageCategory category,
                    ROOM::ZegoMessagePriority priority, const char* messageContent) {
    return Call<decltype(SendRoomMessage)>(Function::kSendRoomMessage, 0, type, category, priority,
                                           messageContent);
}

}  // namespace LIVEROOM
}  // namespace ZEGO
