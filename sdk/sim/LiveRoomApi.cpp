// The live-room SDK functions of the simulated SDK: each one runs the call and, in scripted
// mode, writes its call record with the arguments in the function's order and its result.
#include <string>

#include "LiveRoom.h"
#include "sdk/sim/Simulator.h"

namespace ZEGO {
namespace LIVEROOM {
namespace {

using sim::Json;
using sim::Simulator;
using sim::Slot;

Json Text(const char* text) {
    return text != nullptr ? Json(std::string(text)) : Json(nullptr);
}

Json Object(const void* object) {
    return object != nullptr ? Json("object") : Json(nullptr);
}

Json Channel(AV::PublishChannelIndex index) {
    return static_cast<int>(index);
}

// The arguments as a JSON array. A list, not a Json: a braced single Json would otherwise be
// taken as that value itself by some compilers instead of an array holding it.
Json ArgumentList(std::initializer_list<Json> args) {
    Json list = Json::array();
    for (const Json& arg : args)
        list.push_back(arg);
    return list;
}

bool Recorded(const char* function, std::initializer_list<Json> args, bool result) {
    Json value = result;
    Simulator::Get().Record(function, ArgumentList(args), &value);
    return result;
}

void Recorded(const char* function, std::initializer_list<Json> args) {
    Simulator::Get().Record(function, ArgumentList(args));
}

// The simulator, once a held call of `function` may go on.
Simulator& Sdk(const char* function) {
    Simulator& simulator = Simulator::Get();
    simulator.Enter(function);
    return simulator;
}

}  // namespace

void EnableExternalRender(bool enable) {
    Sdk(__func__).EnableExternalRender(enable);
    Recorded("EnableExternalRender", {enable});
}

bool SetLogDir(const char* pszLogDir) {
    return Recorded("SetLogDir", {Text(pszLogDir)}, Sdk(__func__).SetLogDir(pszLogDir));
}

bool SetBusinessType(int type) {
    return Recorded("SetBusinessType", {type}, Sdk(__func__).SetBusinessType(type));
}

void SetUseTestEnv(bool useTestEnv) {
    Sdk(__func__).SetUseTestEnv(useTestEnv);
    Recorded("SetUseTestEnv", {useTestEnv});
}

bool SetUser(const char* pszUserID, const char* pszUserName) {
    return Recorded("SetUser", {Text(pszUserID), Text(pszUserName)},
                    Sdk(__func__).SetUser(pszUserID, pszUserName));
}

void SetAudioPrep2(AudioPrepCallback callback, const AVE::ExtPrepSet& settings) {
    Sdk(__func__).SetAudioPrep2(callback);
    Json set = {{"bEncode", settings.bEncode},
                {"nSampleRate", settings.nSampleRate},
                {"nChannel", settings.nChannel},
                {"nSamples", settings.nSamples}};
    Recorded("SetAudioPrep2", {callback != nullptr ? Json("object") : Json(nullptr), set});
}

bool InitSDK(unsigned int appID, const unsigned char* appSignature, int signatureLength) {
    Json signature = nullptr;
    if (appSignature != nullptr && signatureLength >= 0)
        signature = std::string(reinterpret_cast<const char*>(appSignature),
                                static_cast<std::size_t>(signatureLength));
    return Recorded("InitSDK", {appID, signature, signatureLength},
                    Sdk(__func__).InitSDK(appID, appSignature, signatureLength));
}

bool UnInitSDK() {
    return Recorded("UnInitSDK", {}, Sdk(__func__).UnInitSDK());
}

bool SetLivePublisherCallback(ILivePublisherCallback* callback) {
    return Recorded(
        "SetLivePublisherCallback", {Object(callback)},
        Sdk(__func__).SetCallback("SetLivePublisherCallback", Slot::Publisher, callback));
}

bool SetLivePlayerCallback(ILivePlayerCallback* callback) {
    return Recorded("SetLivePlayerCallback", {Object(callback)},
                    Sdk(__func__).SetCallback("SetLivePlayerCallback", Slot::Player, callback));
}

bool SetRoomCallback(IRoomCallback* callback) {
    return Recorded("SetRoomCallback", {Object(callback)},
                    Sdk(__func__).SetCallback("SetRoomCallback", Slot::Room, callback));
}

void SetDeviceStateCallback(AV::IZegoDeviceStateCallback* callback) {
    Sdk(__func__).SetDeviceStateCallback(callback);
    Recorded("SetDeviceStateCallback", {Object(callback)});
}

bool SetIMCallback(IIMCallback* callback) {
    return Recorded("SetIMCallback", {Object(callback)},
                    Sdk(__func__).SetCallback("SetIMCallback", Slot::IM, callback));
}

void SetExternalRenderCallback(IZegoVideoRenderCallback* callback) {
    Sdk(__func__).SetExternalRenderCallback(callback);
    Recorded("SetExternalRenderCallback", {Object(callback)});
}

bool EnableAux(bool enable) {
    return Recorded("EnableAux", {enable}, Sdk(__func__).EnableAux(enable));
}

bool SetPlayVolume(int volume, const char* pszStreamID) {
    return Recorded("SetPlayVolume", {volume, Text(pszStreamID)},
                    Sdk(__func__).SetPlayVolume(volume, pszStreamID));
}

bool LoginRoom(const char* pszRoomID, int role, const char* pszRoomName) {
    return Recorded("LoginRoom", {Text(pszRoomID), role, Text(pszRoomName)},
                    Sdk(__func__).LoginRoom(pszRoomID, role, pszRoomName));
}

bool LogoutRoom() {
    return Recorded("LogoutRoom", {}, Sdk(__func__).LogoutRoom());
}

bool StartPlayingStream(const char* pszStreamID, void* pView, const char* pszParams) {
    return Recorded("StartPlayingStream", {Text(pszStreamID), Object(pView), Text(pszParams)},
                    Sdk(__func__).StartPlayingStream(pszStreamID));
}

bool StopPlayingStream(const char* pszStreamID) {
    return Recorded("StopPlayingStream", {Text(pszStreamID)},
                    Sdk(__func__).StopPlayingStream(pszStreamID));
}

bool StartPublishing(const char* pszTitle, const char* pszStreamID, int flag,
                     const char* pszParams) {
    return Recorded("StartPublishing", {Text(pszTitle), Text(pszStreamID), flag, Text(pszParams)},
                    Sdk(__func__).StartPublishing(pszTitle, pszStreamID, flag, pszParams));
}

bool StopPublishing(int flag, const char* pszMsg, AV::PublishChannelIndex index) {
    return Recorded("StopPublishing", {flag, Text(pszMsg), Channel(index)},
                    Sdk(__func__).StopPublishing(flag, index));
}

bool StartPreview(AV::PublishChannelIndex index) {
    return Recorded("StartPreview", {Channel(index)}, Sdk(__func__).StartPreview(index));
}

bool StopPreview(AV::PublishChannelIndex index) {
    return Recorded("StopPreview", {Channel(index)}, Sdk(__func__).StopPreview(index));
}

bool EnableCamera(bool enable, AV::PublishChannelIndex index) {
    return Recorded("EnableCamera", {enable, Channel(index)},
                    Sdk(__func__).EnableCamera(enable, index));
}

bool EnableMic(bool enable) {
    return Recorded("EnableMic", {enable}, Sdk(__func__).EnableMic(enable));
}

bool EnableSpeaker(bool enable) {
    return Recorded("EnableSpeaker", {enable}, Sdk(__func__).EnableSpeaker(enable));
}

bool SetVideoCaptureResolution(int width, int height, AV::PublishChannelIndex index) {
    return Recorded("SetVideoCaptureResolution", {width, height, Channel(index)},
                    Sdk(__func__).SetVideoCaptureResolution(width, height, index));
}

bool SetVideoEncodeResolution(int width, int height, AV::PublishChannelIndex index) {
    return Recorded("SetVideoEncodeResolution", {width, height, Channel(index)},
                    Sdk(__func__).SetVideoEncodeResolution(width, height, index));
}

void SetWaterMarkImagePath(const char* pszPath, AV::PublishChannelIndex index) {
    Sdk(__func__);
    Recorded("SetWaterMarkImagePath", {Text(pszPath), Channel(index)});
}

void SetPublishWaterMarkRect(int left, int top, int right, int bottom,
                             AV::PublishChannelIndex index) {
    Sdk(__func__);
    Recorded("SetPublishWaterMarkRect", {left, top, right, bottom, Channel(index)});
}

void SetPreviewWaterMarkRect(int left, int top, int right, int bottom,
                             AV::PublishChannelIndex index) {
    Sdk(__func__);
    Recorded("SetPreviewWaterMarkRect", {left, top, right, bottom, Channel(index)});
}

int SendRoomMessage(ROOM::ZegoMessageType type, ROOM::ZegoMessageCategory category,
                    ROOM::ZegoMessagePriority priority, const char* messageContent) {
    int result = Sdk(__func__).SendRoomMessage(messageContent);
    Json value = result;
    Simulator::Get().Record("SendRoomMessage",
                            {static_cast<int>(type), static_cast<int>(category),
                             static_cast<int>(priority), Text(messageContent)},
                            &value);
    return result;
}

}  // namespace LIVEROOM
}  // namespace ZEGO
