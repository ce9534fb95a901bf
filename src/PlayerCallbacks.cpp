// Playing notifications: play state, quality, join-live answers, video size.
#include "EventText.h"
#include "SdkCallbacks.h"

namespace quorlane {

using namespace ZEGO::LIVEROOM;

void CILivePlayerCallback::OnPlayStateUpdate(int stateCode, const char* pszStreamID) {
    eventtext::Report("OnPlayStateUpdate",
                      [&] { return eventtext::PlayStateUpdate(stateCode, pszStreamID); });
}

void CILivePlayerCallback::OnPlayQualityUpdate(const char* pszStreamID,
                                               ZegoPlayQuality playQuality) {
    eventtext::Report("OnPlayQualityUpdate",
                      [&] { return eventtext::PlayQualityUpdate(pszStreamID, playQuality); });
}

void CILivePlayerCallback::OnPlayQualityLevel(const char*, int, double, double) {}

void CILivePlayerCallback::OnJoinLiveResponse(int result, const char* pszFromUserId,
                                              const char* pszFromUserName, int seq) {
    eventtext::Report("OnJoinLiveResponse", [&] {
        return eventtext::JoinLiveResponse(result, pszFromUserId, pszFromUserName, seq);
    });
}

void CILivePlayerCallback::OnRecvEndJoinLiveCommand(const char* pszFromUserId,
                                                    const char* pszFromUserName,
                                                    const char* pszRoomID) {
    eventtext::Report("OnRecvEndJoinLiveCommand", [&] {
        return eventtext::RecvEndJoinLiveCommand(pszFromUserId, pszFromUserName, pszRoomID);
    });
}

void CILivePlayerCallback::OnInviteJoinLiveRequest(int seq, const char* pszFromUserId,
                                                   const char* pszFromUserName,
                                                   const char* pszRoomID) {
    eventtext::Report("OnInviteJoinLiveRequest", [&] {
        return eventtext::InviteJoinLiveRequest(seq, pszFromUserId, pszFromUserName, pszRoomID);
    });
}

void CILivePlayerCallback::OnVideoSizeChanged(const char* pszStreamID, int nWidth, int nHeight) {
    eventtext::Report("OnVideoSizeChanged",
                      [&] { return eventtext::VideoSizeChanged(pszStreamID, nWidth, nHeight); });
}

void CILivePlayerCallback::OnRemoteCameraStatusUpdate(const char*, int) {}

}  // namespace quorlane
