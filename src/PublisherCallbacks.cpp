// Publishing notifications: publish state, quality, join-live, stream mixing.
#include "SdkCallbacks.h"

using namespace ZEGO::LIVEROOM;

void CILivePublisherCallback::OnPublishStateUpdate(int, const char*,
                                                   const ZegoPublishingStreamInfo&) {}
void CILivePublisherCallback::OnJoinLiveRequest(int, const char*, const char*, const char*) {}
void CILivePublisherCallback::OnInviteJoinLiveResponse(int, const char*, const char*, int) {}
void CILivePublisherCallback::OnEndJoinLive(int, int, const char*) {}
void CILivePublisherCallback::OnPublishQualityLevel(const char*, int, double, double) {}
void CILivePublisherCallback::OnPublishQualityUpdate(const char*, ZegoPublishQuality) {}
void CILivePublisherCallback::OnAuxCallback(unsigned char*, int*, int*, int*) {}
void CILivePublisherCallback::OnCaptureVideoSizeChanged(int, int) {}
void CILivePublisherCallback::OnPreviewSnapshot(void*) {}
void CILivePublisherCallback::OnRelayCDNStateUpdate(const char*, int) {}
void CILivePublisherCallback::OnUpdateMixStreamConfig(unsigned int, const char*) {}
void CILivePublisherCallback::OnMixStream(const ZegoMixStreamResult&, const char*, int) {}
void CILivePublisherCallback::OnCaptureVideoFirstFrame() {}
