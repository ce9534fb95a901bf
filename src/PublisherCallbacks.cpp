// Publishing notifications: publish state, quality, join-live, stream mixing.
#include "EventText.h"
#include "SdkCallbacks.h"

namespace quorlane {

using namespace ZEGO::LIVEROOM;

void CILivePublisherCallback::OnPublishStateUpdate(int stateCode, const char* pszStreamID,
                                                   const ZegoPublishingStreamInfo& oStreamInfo) {
    eventtext::Report("OnPublishStateUpdate", [&] {
        return eventtext::PublishStateUpdate(stateCode, pszStreamID, oStreamInfo);
    });
}

void CILivePublisherCallback::OnJoinLiveRequest(int seq, const char* pszFromUserId,
                                                const char* pszFromUserName,
                                                const char* pszRoomID) {
    eventtext::Report("OnJoinLiveRequest", [&] {
        return eventtext::JoinLiveRequest(seq, pszFromUserId, pszFromUserName, pszRoomID);
    });
}

void CILivePublisherCallback::OnInviteJoinLiveResponse(int result, const char* pszFromUserId,
                                                       const char* pszFromUserName, int seq) {
    eventtext::Report("OnInviteJoinLiveResponse", [&] {
        return eventtext::InviteJoinLiveResponse(result, pszFromUserId, pszFromUserName, seq);
    });
}

void CILivePublisherCallback::OnEndJoinLive(int result, int seq, const char* pszRoomID) {
    eventtext::Report("OnEndJoinLive",
                      [&] { return eventtext::EndJoinLive(result, seq, pszRoomID); });
}

void CILivePublisherCallback::OnPublishQualityLevel(const char*, int, double, double) {}

void CILivePublisherCallback::OnPublishQualityUpdate(const char* pszStreamID,
                                                     ZegoPublishQuality publishQuality) {
    eventtext::Report("OnPublishQualityUpdate",
                      [&] { return eventtext::PublishQualityUpdate(pszStreamID, publishQuality); });
}

void CILivePublisherCallback::OnAuxCallback(unsigned char*, int*, int*, int*) {}

void CILivePublisherCallback::OnCaptureVideoSizeChanged(int nWidth, int nHeight) {
    eventtext::Report("OnCaptureVideoSizeChanged",
                      [&] { return eventtext::CaptureVideoSizeChanged(nWidth, nHeight); });
}

void CILivePublisherCallback::OnPreviewSnapshot(void*) {}

void CILivePublisherCallback::OnRelayCDNStateUpdate(const char*, int) {}

void CILivePublisherCallback::OnUpdateMixStreamConfig(unsigned int, const char*) {}

void CILivePublisherCallback::OnMixStream(const ZegoMixStreamResult& result,
                                          const char* pszMixStreamID, int seq) {
    eventtext::Report("OnMixStream",
                      [&] { return eventtext::MixStream(result, pszMixStreamID, seq); });
}

void CILivePublisherCallback::OnCaptureVideoFirstFrame() {}

}  // namespace quorlane
