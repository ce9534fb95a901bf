// Playing notifications: play state, quality, join-live answers, video size.
#include "SdkCallbacks.h"

using namespace ZEGO::LIVEROOM;

void CILivePlayerCallback::OnPlayStateUpdate(int, const char*) {}
void CILivePlayerCallback::OnPlayQualityUpdate(const char*, ZegoPlayQuality) {}
void CILivePlayerCallback::OnPlayQualityLevel(const char*, int, double, double) {}
void CILivePlayerCallback::OnJoinLiveResponse(int, const char*, const char*, int) {}
void CILivePlayerCallback::OnRecvEndJoinLiveCommand(const char*, const char*, const char*) {}
void CILivePlayerCallback::OnInviteJoinLiveRequest(int, const char*, const char*, const char*) {}
void CILivePlayerCallback::OnVideoSizeChanged(const char*, int, int) {}
void CILivePlayerCallback::OnRemoteCameraStatusUpdate(const char*, int) {}
