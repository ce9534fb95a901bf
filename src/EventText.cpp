#include "EventText.h"

#include <cstddef>

#include "EventTextWriter.h"

namespace quorlane::eventtext {
namespace {

using ZEGO::LIVEROOM::kMaxNonExistsStreams;
using ZEGO::LIVEROOM::kMaxURLs;

template <std::size_t N>
std::size_t Slot(const char (&)[N]) {
    return N;
}

// A counted list: "<name>":[{"<countName>":n,"<name>0":[{...}],...}], the members of each item
// written by `writeItem`. A null array lists nothing, whatever its count.
template <typename Item, typename WriteItem>
void WriteCountedList(EventTextWriter& event, const char* name, const char* countName,
                      const Item* items, unsigned int count, WriteItem writeItem) {
    if (items == nullptr)
        count = 0;
    event.OpenItem(name).Int(countName, static_cast<int>(count));
    for (unsigned int i = 0; i < count; ++i) {
        event.OpenItem({name, i});
        writeItem(items[i]);
        event.CloseItem();
    }
    event.CloseItem();
}

void WriteStreamList(EventTextWriter& event, const ZegoStreamInfo* streams, unsigned int count) {
    WriteCountedList(event, "StreamInfo", "streamCount", streams, count,
                     [&event](const ZegoStreamInfo& stream) {
                         event.Text("UserId", stream.szUserId, Slot(stream.szUserId))
                             .Text("UserName", stream.szUserName, Slot(stream.szUserName))
                             .Text("StreamId", stream.szStreamId, Slot(stream.szStreamId))
                             .ExtraInfo("ExtraInfo", stream.szExtraInfo, Slot(stream.szExtraInfo));
                     });
}

void WriteMessageList(EventTextWriter& event, const ZegoRoomMessage* messages, unsigned int count) {
    WriteCountedList(event, "MessageInfo", "messageCount", messages, count,
                     [&event](const ZegoRoomMessage& message) {
                         event.Text("UserId", message.szUserId, Slot(message.szUserId))
                             .Text("UserName", message.szUserName, Slot(message.szUserName))
                             .Text("Content", message.szContent, Slot(message.szContent))
                             .Unsigned("messageId", message.messageId)
                             .Int("type", message.type)
                             .Int("priority", message.priority)
                             .Int("category", message.category);
                     });
}

// "publishQuality":[{"fps":..,"kbps":..,"rtt":..,"pktLostRate":..,"quality":..}]
// Play quality goes under "publishQuality" too, on purpose: hosts rely on it.
void WriteQuality(EventTextWriter& event, const ZegoStreamQuality& quality) {
    event.OpenItem("publishQuality")
        .Fixed("fps", quality.fps)
        .Fixed("kbps", quality.kbps)
        .Int("rtt", quality.rtt)
        .Int("pktLostRate", quality.pktLostRate)
        .Int("quality", quality.quality)
        .CloseItem();
}

struct UrlListNames {
    const char* list;   // Rtmp
    const char* count;  // RtmpURLCount
    const char* item;   // RtmpURL
};

const UrlListNames kRtmp = {"Rtmp", "RtmpURLCount", "RtmpURL"};
const UrlListNames kFlv = {"Flv", "FlvURLCount", "FlvURL"};
// "FlvRUL" in the mix result is kept on purpose: hosts rely on the spelling.
const UrlListNames kMixFlv = {"Flv", "FlvURLCount", "FlvRUL"};
const UrlListNames kHls = {"Hls", "HlsURLCount", "HlsURL"};

// One URL list, or nothing when its count is 0. A count above the record's slots is clamped to
// them, and the reported count is the number of URLs listed.
void WriteUrlList(EventTextWriter& event, const UrlListNames& names, const char* const* urls,
                  unsigned int count) {
    if (count > static_cast<unsigned int>(kMaxURLs))
        count = kMaxURLs;
    if (count == 0)
        return;
    event.OpenItem(names.list).Int(names.count, static_cast<int>(count));
    for (unsigned int i = 0; i < count; ++i)
        event.Text({names.item, i}, urls[i]);
    event.CloseItem();
}

// The non-empty URL lists of `info`, RTMP, FLV and HLS in this order.
void WriteUrlLists(EventTextWriter& event, const ZegoPublishingStreamInfo& info,
                   const UrlListNames& flvNames) {
    WriteUrlList(event, kRtmp, info.arrRtmpURLs, info.uiRtmpURLCount);
    WriteUrlList(event, flvNames, info.arrFlvURLs, info.uiFlvURLCount);
    WriteUrlList(event, kHls, info.arrHlsURLs, info.uiHlsURLCount);
}

// "result":[{"ErrorCode":n,"NonExistsStream":[{...}],"oStreamInfo":[{...}]}]
void WriteMixResult(EventTextWriter& event, const ZegoMixStreamResult& result) {
    event.OpenItem("result").Int("ErrorCode", result.uiErrorCode);
    int missing = result.nNonExistsStreamCount;
    if (missing > kMaxNonExistsStreams)
        missing = kMaxNonExistsStreams;
    if (missing > 0) {
        event.OpenItem("NonExistsStream").Int("NonExistsStreamCount", missing);
        for (int i = 0; i < missing; ++i) {
            event.Text({"NonExistsStreamIDList", static_cast<unsigned>(i)},
                       result.ppNonExistsStreamIDList[i]);
        }
        event.CloseItem();
    }
    const auto& output = result.oStreamInfo;
    event.OpenItem("oStreamInfo")
        .Text("StreamID", output.szStreamID, Slot(output.szStreamID))
        .Text("MixStreamID", output.szMixStreamID, Slot(output.szMixStreamID));
    WriteUrlLists(event, output.urls, kMixFlv);
    event.CloseItem().CloseItem();
}

// The shapes that several events share.
std::string CodeAndRoom(const char* type, int code, const char* roomID) {
    return EventTextWriter(type).Int("code", code).Text("RoomID", roomID).Finish();
}

std::string SeqFromSender(const char* type, int seq, const char* userID, const char* userName,
                          const char* roomID) {
    return EventTextWriter(type)
        .Int("seq", seq)
        .Text("FromUserId", userID)
        .Text("FromUserName", userName)
        .Text("RoomID", roomID)
        .Finish();
}

std::string ResultFromSender(const char* type, int result, const char* userID, const char* userName,
                             int seq) {
    return EventTextWriter(type)
        .Int("result", result)
        .Text("FromUserId", userID)
        .Text("FromUserName", userName)
        .Int("seq", seq)
        .Finish();
}

std::string StreamAndQuality(const char* type, const char* streamID,
                             const ZegoStreamQuality& quality) {
    EventTextWriter event(type);
    event.Text("StreamID", streamID);
    WriteQuality(event, quality);
    return event.Finish();
}

}  // namespace

std::string StreamsList(const char* roomID, const ZegoStreamInfo* streams, unsigned int count) {
    EventTextWriter event("StreamsList");
    event.Int("code", 0).Text("RoomID", roomID);
    WriteStreamList(event, streams, count);
    return event.Finish();
}

std::string LogoutRoom(int errorCode, const char* roomID) {
    return CodeAndRoom("LogoutRoom", errorCode, roomID);
}

std::string KickOut(int reason, const char* roomID) {
    return CodeAndRoom("KickOut", reason, roomID);
}

std::string Disconnect(const char* roomID) {
    return EventTextWriter("Disconnect").Text("RoomID", roomID).Finish();
}

std::string StreamUpdate(int updateCode, const char* roomID, const ZegoStreamInfo* streams,
                         unsigned int count) {
    EventTextWriter event("StreamUpdate");
    event.Int("code", updateCode).Text("RoomID", roomID);
    WriteStreamList(event, streams, count);
    return event.Finish();
}

std::string ExternStreamUpdate(const char* roomID, const ZegoStreamInfo* streams,
                               unsigned int count) {
    // "Extern" for extra information is kept on purpose: hosts rely on the name.
    EventTextWriter event("ExternStreamUpdate");
    event.Text("RoomID", roomID);
    WriteStreamList(event, streams, count);
    return event.Finish();
}

std::string CustomCommand(int errorCode, int seq, const char* roomID) {
    return EventTextWriter("CustomCommand")
        .Int("code", errorCode)
        .Int("seq", seq)
        .Text("RoomID", roomID)
        .Finish();
}

std::string RecvCustomCommand(const char* userID, const char* userName, const char* content,
                              const char* roomID) {
    // The sender's user ID under "code" is kept on purpose: hosts rely on it.
    return EventTextWriter("RecvCustomCommand")
        .Text("code", userID)
        .Text("UserName", userName)
        .Text("Content", content)
        .Text("RoomID", roomID)
        .Finish();
}

std::string SendRoomMessage(int errorCode, int sendSeq, unsigned long long messageID,
                            const char* roomID) {
    return EventTextWriter("SendRoomMessage")
        .Int("code", errorCode)
        .Int("sendSeq", sendSeq)
        .Unsigned("messageId", messageID)
        .Text("RoomID", roomID)
        .Finish();
}

std::string RecvRoomMessage(const char* roomID, const ZegoRoomMessage* messages,
                            unsigned int count) {
    EventTextWriter event("RecvRoomMessage");
    event.Text("RoomID", roomID);
    WriteMessageList(event, messages, count);
    return event.Finish();
}

std::string PublishStateUpdate(int stateCode, const char* streamID,
                               const ZegoPublishingStreamInfo& info) {
    EventTextWriter event("PublishStateUpdate");
    event.Int("code", stateCode).Text("StreamID", streamID).OpenItem("StreamInfo");
    WriteUrlLists(event, info, kFlv);
    event.CloseItem();
    return event.Finish();
}

std::string JoinLiveRequest(int seq, const char* userID, const char* userName, const char* roomID) {
    return SeqFromSender("JoinLiveRequest", seq, userID, userName, roomID);
}

std::string InviteJoinLiveResponse(int result, const char* userID, const char* userName, int seq) {
    return ResultFromSender("InviteJoinLiveResponse", result, userID, userName, seq);
}

std::string EndJoinLive(int result, int seq, const char* roomID) {
    return EventTextWriter("EndJoinLive")
        .Int("result", result)
        .Int("seq", seq)
        .Text("RoomID", roomID)
        .Finish();
}

std::string PublishQualityUpdate(const char* streamID, const ZegoStreamQuality& quality) {
    return StreamAndQuality("PublishQualityUpdate", streamID, quality);
}

std::string CaptureVideoSizeChanged(int width, int height) {
    return EventTextWriter("CaptureVideoSizeChanged")
        .Int("Width", width)
        .Int("Height", height)
        .Finish();
}

std::string MixStream(const ZegoMixStreamResult& result, const char* mixStreamID, int seq) {
    EventTextWriter event("MixStream");
    event.Text("MixStreamID", mixStreamID).Int("seq", seq);
    WriteMixResult(event, result);
    return event.Finish();
}

std::string PlayStateUpdate(int stateCode, const char* streamID) {
    return EventTextWriter("PlayStateUpdate")
        .Int("code", stateCode)
        .Text("StreamID", streamID)
        .Finish();
}

std::string PlayQualityUpdate(const char* streamID, const ZegoStreamQuality& quality) {
    return StreamAndQuality("PlayQualityUpdate", streamID, quality);
}

std::string JoinLiveResponse(int result, const char* userID, const char* userName, int seq) {
    // A join-live answer under this name is kept on purpose: hosts tell it apart by its members.
    return ResultFromSender("RecvEndJoinLiveCommand", result, userID, userName, seq);
}

std::string RecvEndJoinLiveCommand(const char* userID, const char* userName, const char* roomID) {
    return EventTextWriter("RecvEndJoinLiveCommand")
        .Text("FromUserId", userID)
        .Text("FromUserName", userName)
        .Text("RoomID", roomID)
        .Finish();
}

std::string InviteJoinLiveRequest(int seq, const char* userID, const char* userName,
                                  const char* roomID) {
    return SeqFromSender("InviteJoinLiveRequest", seq, userID, userName, roomID);
}

std::string VideoSizeChanged(const char* streamID, int width, int height) {
    return EventTextWriter("VideoSizeChanged")
        .Text("StreamID", streamID)
        .Int("Width", width)
        .Int("Height", height)
        .Finish();
}

}  // namespace quorlane::eventtext
