// Event texts for the host: {"type":"...","param":{...}} composed from the SDK's notification
// arguments. Pure functions; every text field passes through jsonsafe, so each result is valid
// JSON however the SDK's texts look. Texts grow as needed: nothing is cut.
//   PostEvent(eventtext::KickOut(reason, roomID).c_str());
#pragma once

#include <functional>
#include <string>

#include "LiveRoomDefines.h"

namespace quorlane::eventtext {

using ZEGO::LIVEROOM::ZegoMixStreamResult;
using ZEGO::LIVEROOM::ZegoPublishingStreamInfo;
using ZEGO::LIVEROOM::ZegoRoomMessage;
using ZEGO::LIVEROOM::ZegoStreamInfo;
using ZEGO::LIVEROOM::ZegoStreamQuality;

// Room events.
std::string StreamsList(const char* roomID, const ZegoStreamInfo* streams, unsigned int count);
std::string LogoutRoom(int errorCode, const char* roomID);
std::string KickOut(int reason, const char* roomID);
std::string Disconnect(const char* roomID);
std::string StreamUpdate(int updateCode, const char* roomID, const ZegoStreamInfo* streams,
                         unsigned int count);
std::string ExternStreamUpdate(const char* roomID, const ZegoStreamInfo* streams,
                               unsigned int count);
std::string CustomCommand(int errorCode, int seq, const char* roomID);
std::string RecvCustomCommand(const char* userID, const char* userName, const char* content,
                              const char* roomID);

// Room message events.
std::string SendRoomMessage(int errorCode, int sendSeq, unsigned long long messageID,
                            const char* roomID);
std::string RecvRoomMessage(const char* roomID, const ZegoRoomMessage* messages,
                            unsigned int count);

// Publisher events.
std::string PublishStateUpdate(int stateCode, const char* streamID,
                               const ZegoPublishingStreamInfo& info);
std::string JoinLiveRequest(int seq, const char* userID, const char* userName, const char* roomID);
std::string InviteJoinLiveResponse(int result, const char* userID, const char* userName, int seq);
std::string EndJoinLive(int result, int seq, const char* roomID);
std::string PublishQualityUpdate(const char* streamID, const ZegoStreamQuality& quality);
std::string CaptureVideoSizeChanged(int width, int height);
std::string MixStream(const ZegoMixStreamResult& result, const char* mixStreamID, int seq);

// Player events. A join-live response and an end-join-live command share the type
// "RecvEndJoinLiveCommand" and differ by their members.
std::string PlayStateUpdate(int stateCode, const char* streamID);
std::string PlayQualityUpdate(const char* streamID, const ZegoStreamQuality& quality);
std::string JoinLiveResponse(int result, const char* userID, const char* userName, int seq);
std::string RecvEndJoinLiveCommand(const char* userID, const char* userName, const char* roomID);
std::string InviteJoinLiveRequest(int seq, const char* userID, const char* userName,
                                  const char* roomID);
std::string VideoSizeChanged(const char* streamID, int width, int height);

// Composes and posts one event unless no Manager exists. Any standard exception while composing
// or posting loses the event and logs "<notification>, e=<what>" at LOG_ERROR; nothing escapes.
void Report(const char* notification, const std::function<std::string()>& compose);

}  // namespace quorlane::eventtext
