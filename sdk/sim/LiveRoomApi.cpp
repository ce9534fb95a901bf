// The live-room SDK functions of the simulated SDK.
#include "LiveRoom.h"

namespace ZEGO {
namespace LIVEROOM {

void EnableExternalRender(bool) {}
bool SetLogDir(const char*) {
    return true;
}
bool SetBusinessType(int) {
    return true;
}
void SetUseTestEnv(bool) {}
bool SetUser(const char*, const char*) {
    return true;
}
void SetAudioPrep2(AudioPrepCallback, const AVE::ExtPrepSet&) {}
bool InitSDK(unsigned int, const unsigned char*, int) {
    return true;
}
bool UnInitSDK() {
    return true;
}
bool SetLivePublisherCallback(ILivePublisherCallback*) {
    return true;
}
bool SetLivePlayerCallback(ILivePlayerCallback*) {
    return true;
}
bool SetRoomCallback(IRoomCallback*) {
    return true;
}
void SetDeviceStateCallback(AV::IZegoDeviceStateCallback*) {}
bool SetIMCallback(IIMCallback*) {
    return true;
}
void SetExternalRenderCallback(IZegoVideoRenderCallback*) {}
bool EnableAux(bool) {
    return true;
}
bool SetPlayVolume(int, const char*) {
    return true;
}
bool LoginRoom(const char*, int, const char*) {
    return true;
}
bool LogoutRoom() {
    return true;
}
bool StartPlayingStream(const char*, void*, const char*) {
    return true;
}
bool StopPlayingStream(const char*) {
    return true;
}
bool StartPublishing(const char*, const char*, int, const char*) {
    return true;
}
bool StopPublishing(int, const char*, AV::PublishChannelIndex) {
    return true;
}
bool StartPreview(AV::PublishChannelIndex) {
    return true;
}
bool StopPreview(AV::PublishChannelIndex) {
    return true;
}
bool EnableCamera(bool, AV::PublishChannelIndex) {
    return true;
}
bool EnableMic(bool) {
    return true;
}
bool EnableSpeaker(bool) {
    return true;
}
bool SetVideoCaptureResolution(int, int, AV::PublishChannelIndex) {
    return true;
}
bool SetVideoEncodeResolution(int, int, AV::PublishChannelIndex) {
    return true;
}
void SetWaterMarkImagePath(const char*, AV::PublishChannelIndex) {}
void SetPublishWaterMarkRect(int, int, int, int, AV::PublishChannelIndex) {}
void SetPreviewWaterMarkRect(int, int, int, int, AV::PublishChannelIndex) {}
int SendRoomMessage(ROOM::ZegoMessageType, ROOM::ZegoMessageCategory, ROOM::ZegoMessagePriority,
                    const char*) {
    return 1;
}

}  // namespace LIVEROOM
}  // namespace ZEGO
