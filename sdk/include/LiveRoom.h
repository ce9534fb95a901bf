// The live-room SDK's functions as the bridge calls them. A false result (0 from
// SendRoomMessage) is a failure.
#pragma once

#include "AVDefines.h"
#include "LiveRoomCallback.h"
#include "LiveRoomDefines.h"

namespace ZEGO {
namespace LIVEROOM {

typedef void (*AudioPrepCallback)(const AVE::AudioFrame& inFrame, AVE::AudioFrame& outFrame);

void EnableExternalRender(bool enable);
bool SetLogDir(const char* pszLogDir);
bool SetBusinessType(int type);
void SetUseTestEnv(bool useTestEnv);
bool SetUser(const char* pszUserID, const char* pszUserName);
void SetAudioPrep2(AudioPrepCallback callback, const AVE::ExtPrepSet& settings);
bool InitSDK(unsigned int appID, const unsigned char* appSignature, int signatureLength);
bool UnInitSDK();

bool SetLivePublisherCallback(ILivePublisherCallback* callback);
bool SetLivePlayerCallback(ILivePlayerCallback* callback);
bool SetRoomCallback(IRoomCallback* callback);
void SetDeviceStateCallback(AV::IZegoDeviceStateCallback* callback);
bool SetIMCallback(IIMCallback* callback);
void SetExternalRenderCallback(IZegoVideoRenderCallback* callback);

bool EnableAux(bool enable);
bool SetPlayVolume(int volume, const char* pszStreamID);

bool LoginRoom(const char* pszRoomID, int role, const char* pszRoomName);
bool LogoutRoom();

bool StartPlayingStream(const char* pszStreamID, void* pView, const char* pszParams);
bool StopPlayingStream(const char* pszStreamID);

bool StartPublishing(const char* pszTitle, const char* pszStreamID, int flag,
                     const char* pszParams);
bool StopPublishing(int flag, const char* pszMsg, AV::PublishChannelIndex index);
bool StartPreview(AV::PublishChannelIndex index);
bool StopPreview(AV::PublishChannelIndex index);

bool EnableCamera(bool enable, AV::PublishChannelIndex index);
bool EnableMic(bool enable);
bool EnableSpeaker(bool enable);
bool SetVideoCaptureResolution(int width, int height, AV::PublishChannelIndex index);
bool SetVideoEncodeResolution(int width, int height, AV::PublishChannelIndex index);

void SetWaterMarkImagePath(const char* pszPath, AV::PublishChannelIndex index);
void SetPublishWaterMarkRect(int left, int top, int right, int bottom,
                             AV::PublishChannelIndex index);
void SetPreviewWaterMarkRect(int left, int top, int right, int bottom,
                             AV::PublishChannelIndex index);

int SendRoomMessage(ROOM::ZegoMessageType type, ROOM::ZegoMessageCategory category,
                    ROOM::ZegoMessagePriority priority, const char* messageContent);

}  // namespace LIVEROOM
}  // namespace ZEGO
