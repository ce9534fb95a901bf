// Room notifications: login result, stream lists, custom commands.
#include <exception>

#include "EventText.h"
#include "HostChannels.h"
#include "LiveRoom.h"
#include "Manager.h"
#include "SdkCallbacks.h"
#include "SdkZegoRoom.h"
#include "logging/Qlog.h"

namespace quorlane {

using namespace ZEGO::LIVEROOM;

namespace {

// The "EnterRoom" reply, queued ahead of the room's stream list. Like the event reports, it
// lets no exception reach the SDK.
void ReplyEnterRoom(int code) {
    try {
        if (CurrentManager.load() != nullptr) {
            PostResult(code, "EnterRoom");
        }
    } catch (const std::exception& e) {
        QLOG(qlog::LOG_ERROR, "OnLoginRoom, e=%s\r\n", e.what());
    }
}

}  // namespace

void CIRoomCallback::OnInitSDK(int) {}

void CIRoomCallback::OnLoginRoom(int errorCode, const char* pszRoomID,
                                 const ZegoStreamInfo* pStreamInfo, unsigned int streamCount) {
    if (errorCode != 0) {
        ReplyEnterRoom(errorCode);
        QLOG(qlog::LOG_ERROR, "fail loginroom, errorCode=%d\r\n", errorCode);
        return;
    }
    ReplyEnterRoom(0);
    if (CIIMCallback* im = ImCallbackInstance.load()) {
        if (!SetIMCallback(im)) {
            QLOG(qlog::LOG_ERROR, "SetIMCallback() failed\r\n");
        }
    }
    // A success logged at error level, kept on purpose: log readers rely on it.
    QLOG(qlog::LOG_ERROR, "succ loginroom, ret=%d,streamCount=%d\r\n", 0,
         static_cast<int>(streamCount));
    eventtext::Report("OnLoginRoom",
                      [&] { return eventtext::StreamsList(pszRoomID, pStreamInfo, streamCount); });
}

void CIRoomCallback::OnLogoutRoom(int errorCode, const char* pszRoomID) {
    eventtext::Report("OnLogoutRoom", [&] { return eventtext::LogoutRoom(errorCode, pszRoomID); });
}

void CIRoomCallback::OnKickOut(int reason, const char* pszRoomID) {
    eventtext::Report("OnKickOut", [&] { return eventtext::KickOut(reason, pszRoomID); });
}

// The error code is left out of the event on purpose: hosts rely on its members.
void CIRoomCallback::OnDisconnect(int, const char* pszRoomID) {
    eventtext::Report("OnDisconnect", [&] { return eventtext::Disconnect(pszRoomID); });
}

void CIRoomCallback::OnReconnect(int, const char*) {}

void CIRoomCallback::OnTempBroken(int, const char*) {}

void CIRoomCallback::OnStreamUpdated(ZegoStreamUpdateType type, ZegoStreamInfo* pStreamInfo,
                                     unsigned int streamCount, const char* pszRoomID) {
    eventtext::Report("OnStreamUpdated", [&] {
        return eventtext::StreamUpdate(type, pszRoomID, pStreamInfo, streamCount);
    });
}

void CIRoomCallback::OnStreamExtraInfoUpdated(ZegoStreamInfo* pStreamInfo, unsigned int streamCount,
                                              const char* pszRoomID) {
    eventtext::Report("OnStreamExtraInfoUpdated", [&] {
        return eventtext::ExternStreamUpdate(pszRoomID, pStreamInfo, streamCount);
    });
}

void CIRoomCallback::OnCustomCommand(int errorCode, int requestSeq, const char* pszRoomID) {
    eventtext::Report("OnCustomCommand",
                      [&] { return eventtext::CustomCommand(errorCode, requestSeq, pszRoomID); });
}

void CIRoomCallback::OnRecvCustomCommand(const char* pszUserId, const char* pszUserName,
                                         const char* pszContent, const char* pszRoomID) {
    eventtext::Report("OnRecvCustomCommand", [&] {
        return eventtext::RecvCustomCommand(pszUserId, pszUserName, pszContent, pszRoomID);
    });
}

}  // namespace quorlane
