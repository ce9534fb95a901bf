// Room notifications: login result, stream lists, custom commands.
#include "SdkCallbacks.h"

using namespace ZEGO::LIVEROOM;

void CIRoomCallback::OnInitSDK(int) {}
void CIRoomCallback::OnLoginRoom(int, const char*, const ZegoStreamInfo*, unsigned int) {}
void CIRoomCallback::OnLogoutRoom(int, const char*) {}
void CIRoomCallback::OnKickOut(int, const char*) {}
void CIRoomCallback::OnDisconnect(int, const char*) {}
void CIRoomCallback::OnReconnect(int, const char*) {}
void CIRoomCallback::OnTempBroken(int, const char*) {}
void CIRoomCallback::OnStreamUpdated(ZegoStreamUpdateType, ZegoStreamInfo*, unsigned int,
                                     const char*) {}
void CIRoomCallback::OnStreamExtraInfoUpdated(ZegoStreamInfo*, unsigned int, const char*) {}
void CIRoomCallback::OnCustomCommand(int, int, const char*) {}
void CIRoomCallback::OnRecvCustomCommand(const char*, const char*, const char*, const char*) {}
