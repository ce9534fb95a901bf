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

Simulator& Sdk() {
    return Simulator::Get();
}

}  // namespace

void EnableExternalRender(bool enable) {
    Sdk().EnableExternalRender(enable);
    Recorded("EnableExternalRender", {enable});
}

bool SetLogDir(const char* pszLogDir) {
    return Recorded("SetLogDir", {Text(pszLogDir)}, Sdk().SetLogDir(pszLogDir));
}

bool SetBusinessType(int type) {
    return Recorded("SetBusinessType", {type}, Sdk().SetBusinessType(type));
}

void SetUseTestEnv(bool useTestEnv) {
    Sdk().SetUseTestEnv(useTestEnv);
    Recorded("SetUseTestEnv", {useTestEnv});
}

bool SetUser(const char* pszUserID, const char* pszUserName) {
    return Recorded("SetUser", {Text(pszUserID), Text(pszUserName)},
                    Sdk().SetUser(pszUserID, pszUserName));
}

void SetAudioPrep2(AudioPrepCallback callback, const AVE::ExtPrepSet& settings) {
    Sdk().SetAudioPrep2(callback);
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
                    Sdk().InitSDK(appID, appSignature, signatureLength));
}

bool UnInitSDK() {
    return Recorded("UnInitSDK", {}, Sdk().UnInitSDK());
}

bool SetLivePublisherCallback(ILivePublisherCallback* callback) {
    return Recorded("SetLivePublisherCallback", {Object(callback)},
                    Sdk().SetCallback("SetLivePublisherCallback", Slot::Publisher, callback));
}

bool SetLivePlayerCallback(ILivePlayerCallback* callback) {
    return Recorded("SetLivePlayerCallback", {Object(callback)},
                    Sdk().SetCallback("SetLivePlayerCallback", Slot::Player, callback));
}

bool SetRoomCallback(IRoomCallback* callback) {
    return Recorded("SetRoomCallback", {Object(callback)},
                    Sdk().SetCallback("SetRoomCallback", Slot::Room, callback));
}

void SetDeviceStateCallback(AV::IZegoDeviceStateCallback* callback) {
    Sdk().SetDeviceStateCallback(callback);
    Recorded("SetDeviceStateCallback", {Object(callback)});
}

bool SetIMCallback(IIMCallback* callback) {
    return Recorded("SetIMCallback", {Object(callback)},
                    Sdk().SetCallback("SetIMCallback", Slot::IM, callback));
}

void SetExternalRenderCallback(IZegoVideoRenderCallback* callback) {
    Sdk().SetExternalRenderCallback(callback);
    Recorded("SetExternalRenderCallback", {Object(callback)});
}

bool EnableAux(bool enable) {
    return Recorded("EnableAux", {enable}, Sdk().EnableAux(enable));
}

bool SetPlayVolume(int volume, const char* pszStreamID) {
    return Recorded("SetPlayVolume", {volume, Text(pszStreamID)},
                    Sdk().SetPlayVolume(volume, pszStreamID));
}

bool LoginRoom(const char* pszRoomID, int role, const char* pszRoomName) {
    return Recorded("LoginRoom", {Text(pszRoomID), role, Text(pszRoomName)},
                    Sdk().LoginRoom(pszRoomID, role, pszRoomName));
}

bool LogoutRoom() {
    return Recorded("LogoutRoom", {}, Sdk().LogoutRoom());
}

bool StartPlayingStream(const char* pszStreamID, void* pView, const char* pszParams) {
    return Recorded("StartPlayingStream", {Text(pszStreamID), Object(pView), Text(pszParams)},
                    Sdk().StartPlayingStream(pszStreamID));
}

bool StopPlayingStream(const char* pszStreamID) {
    return Recorded("StopPlayingStream", {Text(pszStreamID)}, Sdk().StopPlayingStream(pszStreamID));
}

bool StartPublishing(const char* pszTitle, const char* pszStreamID, int flag,
                     const char* pszParams) {
    return Recorded("StartPublishing", {Text(pszTitle), Text(pszStreamID), flag, Text(pszParams)},
                    Sdk().StartPublishing(pszTitle, pszStreamID, flag, pszParams));
}

bool StopPublishing(int flag, const char* pszMsg, AV::PublishChannelIndex index) {
    return Recorded("StopPublishing", {flag, Text(pszMsg), Channel(index)},
                    Sdk().StopPublishing(flag, index));
}

bool StartPreview(AV::PublishChannelIndex index) {
    return Recorded("StartPreview", {Channel(index)}, Sdk().StartPreview(index));
}

bool StopPreview(AV::PublishChannelIndex index) {
    return Recorded("StopPreview", {Channel(index)}, Sdk().StopPreview(index));
}

bool EnableCamera(bool enable, AV::PublishChannelIndex index) {
    return Recorded("EnableCamera", {enable, Channel(index)}, Sdk().EnableCamera(enable, index));
}

bool EnableMic(bool enable) {
    return Recorded("EnableMic", {enable}, Sdk().EnableMic(enable));
}

bool EnableSpeaker(bool enable) {
    return Recorded("EnableSpeaker", {enable}, Sdk().EnableSpeaker(enable));
}

bool SetVideoCaptureResolution(int width, int height, AV::PublishChannelIndex index) {
    return Recorded("SetVideoCaptureResolution", {width, height, Channel(index)},
                    Sdk().SetVideoCaptureResolution(width, height, index));
}

bool SetVideoEncodeResolution(int width, int height, AV::PublishChannelIndex index) {
    return Recorded("SetVideoEncodeResolution", {width, height, Channel(index)},
                    Sdk().SetVideoEncodeResolution(width, height, index));
}

void SetWaterMarkImagePath(const char* pszPath, AV::PublishChannelIndex index) {
    Recorded("SetWaterMarkImagePath", {Text(pszPath), Channel(index)});
}

void SetPublishWaterMarkRect(int left, int top, int right, int bottom,
                             AV::PublishChannelIndex index) {
    Recorded("SetPublishWaterMarkRect", {left, top, right, bottom, Channel(index)});
}

void SetPreviewWaterMarkRect(int left, int top, int right, int bottom,
                             AV::PublishChannelIndex index) {
    Recorded("SetPreviewWaterMarkRect", {left, top, right, bottom, Channel(index)});
}

int SendRoomMessage(ROOM::ZegoMessageType type, ROOM::ZegoMessageCategory category,
                    ROOM::ZegoMessagePriority priority, const char* messageContent) {
    int result = Sdk().SendRoomMessage(messageContent);
    Json value = result;
    Sdk().Record("SendRoomMessage",
                 {static_cast<int>(type), static_cast<int>(category), static_cast<int>(priority),
                  Text(messageContent)},
                 &value);
    return result;
}

}  // namespace LIVEROOM
}  // namespace ZEGO
