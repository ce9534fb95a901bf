// Room message notifications.
#include "EventText.h"
#include "SdkCallbacks.h"

namespace quorlane {

using namespace ZEGO::LIVEROOM;

void CIIMCallback::OnUpdateOnlineCount(int, const char*) {}

void CIIMCallback::OnSendRoomMessage(int errorCode, const char* pszRoomID, int sendSeq,
                                     unsigned long long messageId) {
    eventtext::Report("OnSendRoomMessage", [&] {
        return eventtext::SendRoomMessage(errorCode, sendSeq, messageId, pszRoomID);
    });
}

void CIIMCallback::OnUserUpdate(const ZegoUser*, unsigned int) {}

void CIIMCallback::OnSendBigRoomMessage(int, const char*, int, const char*) {}

void CIIMCallback::OnRecvBigRoomMessage(const char*, const char*) {}

void CIIMCallback::OnRecvRoomMessage(ZegoRoomMessage* pMessageInfo, unsigned int messageCount,
                                     const char* pszRoomID) {
    eventtext::Report("OnRecvRoomMessage", [&] {
        return eventtext::RecvRoomMessage(pszRoomID, pMessageInfo, messageCount);
    });
}

void CIIMCallback::OnSendConversationMessage(int, const char*, const char*, int) {}

void CIIMCallback::OnRecvConversationMessage(const char*, const char*) {}

}  // namespace quorlane
