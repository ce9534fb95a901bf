// Room message notifications.
#include "SdkCallbacks.h"

using namespace ZEGO::LIVEROOM;

void CIIMCallback::OnUpdateOnlineCount(int, const char*) {}
void CIIMCallback::OnSendRoomMessage(int, const char*, int, unsigned long long) {}
void CIIMCallback::OnUserUpdate(const ZegoUser*, unsigned int) {}
void CIIMCallback::OnSendBigRoomMessage(int, const char*, int, const char*) {}
void CIIMCallback::OnRecvBigRoomMessage(const char*, const char*) {}
void CIIMCallback::OnRecvRoomMessage(ZegoRoomMessage*, unsigned int, const char*) {}
void CIIMCallback::OnSendConversationMessage(int, const char*, const char*, int) {}
void CIIMCallback::OnRecvConversationMessage(const char*, const char*) {}
