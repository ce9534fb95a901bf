#include "EventText.h"

#include <cmath>
#include <cstdio>

#include "JsonSafe.h"

namespace quorlane::eventtext {
namespace {

using ZEGO::LIVEROOM::kMaxNonExistsStreams;
using ZEGO::LIVEROOM::kMaxURLs;

void AppendInt(std::string& out, long long value) {
    char digits[24];
    const int n = std::snprintf(digits, sizeof digits, "%lld", value);
    out.append(digits, static_cast<std::size_t>(n));
}

void AppendUnsigned(std::string& out, unsigned long long value) {
    char digits[24];
    const int n = std::snprintf(digits, sizeof digits, "%llu", value);
    out.append(digits, static_cast<std::size_t>(n));
}

// Six digits after the point. NaN and infinities have no JSON form and are reported as 0.
void AppendFixed(std::string& out, double value) {
    if (!std::isfinite(value))
        value = 0.0;
    char digits[400];  // the largest double prints 309 digits before the point
    const int n = std::snprintf(digits, sizeof digits, "%f", value);
    out.append(digits, static_cast<std::size_t>(n));
}

// "name":"text" followed by `tail` (a comma or the closing brace of the parameter object).
void AppendTextMember(std::string& out, const char* name, const char* text, const char* tail,
                      std::size_t limit = jsonsafe::kUnbounded) {
    out += '"';
    out += name;
    out += "\":\"";
    jsonsafe::AppendJsonSafe(out, text, limit);
    out += '"';
    out += tail;
}

void AppendIntMember(std::string& out, const char* name, long long value, const char* tail) {
    out += '"';
    out += name;
    out += "\":";
    AppendInt(out, value);
    out += tail;
}

// Closes a counted list: "}]" over its last character, which is always a comma.
void CloseOverLastComma(std::string& list) {
    list.back() = '}';
    list += ']';
}

std::string Event(const char* type, const std::string& param) {
    std::string text;
    text.reserve(param.size() + 32);
    text += "{\"type\":\"";
    text += type;
    text += "\",\"param\":";
    text += param;
    text += '}';
    return text;
}

template <std::size_t N>
std::size_t Slot(const char (&)[N]) {
    return N;
}

std::string StreamItem(unsigned int index, const ZegoStreamInfo& stream) {
    std::string item = "\"StreamInfo";
    AppendUnsigned(item, index);
    item += "\":[{";
    AppendTextMember(item, "UserId", stream.szUserId, ",", Slot(stream.szUserId));
    AppendTextMember(item, "UserName", stream.szUserName, ",", Slot(stream.szUserName));
    AppendTextMember(item, "StreamId", stream.szStreamId, ",", Slot(stream.szStreamId));
    item += "\"ExtraInfo\":";
    jsonsafe::AppendExtraInfo(item, stream.szExtraInfo, Slot(stream.szExtraInfo));
    item += "}]";
    return item;
}

// "StreamInfo":[{"streamCount":n,"StreamInfo0":[{...}],...}]
std::string StreamList(const ZegoStreamInfo* streams, unsigned int count) {
    if (streams == nullptr)
        count = 0;
    std::string list = "\"StreamInfo\":[{";
    AppendIntMember(list, "streamCount", static_cast<int>(count), ",");
    for (unsigned int i = 0; i < count; ++i) {
        list += StreamItem(i, streams[i]);
        list += ',';
    }
    CloseOverLastComma(list);
    return list;
}

std::string MessageItem(unsigned int index, const ZegoRoomMessage& message) {
    std::string item = "\"MessageInfo";
    AppendUnsigned(item, index);
    item += "\":[{";
    AppendTextMember(item, "UserId", message.szUserId, ",", Slot(message.szUserId));
    AppendTextMember(item, "UserName", message.szUserName, ",", Slot(message.szUserName));
    AppendTextMember(item, "Content", message.szContent, ",", Slot(message.szContent));
    item += "\"messageId\":";
    AppendUnsigned(item, message.messageId);
    item += ',';
    AppendIntMember(item, "type", message.type, ",");
    AppendIntMember(item, "priority", message.priority, ",");
    AppendIntMember(item, "category", message.category, "}]");
    return item;
}

// "publishQuality":[{"fps":..,"kbps":..,"rtt":..,"pktLostRate":..,"quality":..}]
// Play quality goes under "publishQuality" too, on purpose: hosts rely on it.
std::string QualitySection(const ZegoStreamQuality& quality) {
    std::string section = "\"publishQuality\":[{\"fps\":";
    AppendFixed(section, quality.fps);
    section += ",\"kbps\":";
    AppendFixed(section, quality.kbps);
    section += ',';
    AppendIntMember(section, "rtt", quality.rtt, ",");
    AppendIntMember(section, "pktLostRate", quality.pktLostRate, ",");
    AppendIntMember(section, "quality", quality.quality, "}]");
    return section;
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
std::string UrlList(const UrlListNames& names, const char* const* urls, unsigned int count) {
    if (count > static_cast<unsigned int>(kMaxURLs))
        count = kMaxURLs;
    if (count == 0)
        return std::string();
    std::string list = "\"";
    list += names.list;
    list += "\":[{";
    AppendIntMember(list, names.count, static_cast<int>(count), ",");
    for (unsigned int i = 0; i < count; ++i) {
        std::string name = names.item;
        AppendUnsigned(name, i);
        AppendTextMember(list, name.c_str(), urls[i], ",");
    }
    CloseOverLastComma(list);
    return list;
}

// Appends each non-empty URL list of `info` followed by a comma; returns how many were written.
int AppendUrlLists(std::string& out, const ZegoPublishingStreamInfo& info,
                   const UrlListNames& flvNames) {
    const std::string lists[] = {
        UrlList(kRtmp, info.arrRtmpURLs, info.uiRtmpURLCount),
        UrlList(flvNames, info.arrFlvURLs, info.uiFlvURLCount),
        UrlList(kHls, info.arrHlsURLs, info.uiHlsURLCount),
    };
    int written = 0;
    for (const std::string& list : lists) {
        if (list.empty())
            continue;
        out += list;
        out += ',';
        ++written;
    }
    return written;
}

std::string MixResultSection(const ZegoMixStreamResult& result) {
    std::string section = "\"result\":[{";
    AppendIntMember(section, "ErrorCode", result.uiErrorCode, ",");
    int missing = result.nNonExistsStreamCount;
    if (missing > kMaxNonExistsStreams)
        missing = kMaxNonExistsStreams;
    if (missing > 0) {
        std::string list = "\"NonExistsStream\":[{";
        AppendIntMember(list, "NonExistsStreamCount", missing, ",");
        for (int i = 0; i < missing; ++i) {
            std::string name = "NonExistsStreamIDList";
            AppendInt(name, i);
            AppendTextMember(list, name.c_str(), result.ppNonExistsStreamIDList[i], ",");
        }
        CloseOverLastComma(list);
        section += list;
        section += ',';
    }
    const auto& output = result.oStreamInfo;
    std::string out = "\"oStreamInfo\":[{";
    AppendTextMember(out, "StreamID", output.szStreamID, ",", Slot(output.szStreamID));
    AppendTextMember(out, "MixStreamID", output.szMixStreamID, ",", Slot(output.szMixStreamID));
    AppendUrlLists(out, output.urls, kMixFlv);
    CloseOverLastComma(out);
    section += out;
    section += "}]";
    return section;
}

// Members "FromUserId" and "FromUserName" with a comma after each.
void AppendSender(std::string& param, const char* userID, const char* userName) {
    AppendTextMember(param, "FromUserId", userID, ",");
    AppendTextMember(param, "FromUserName", userName, ",");
}

}  // namespace

std::string StreamsList(const char* roomID, const ZegoStreamInfo* streams, unsigned int count) {
    std::string param = "{";
    AppendIntMember(param, "code", 0, ",");
    AppendTextMember(param, "RoomID", roomID, ",");
    param += StreamList(streams, count);
    param += '}';
    return Event("StreamsList", param);
}

std::string LogoutRoom(int errorCode, const char* roomID) {
    std::string param = "{";
    AppendIntMember(param, "code", errorCode, ",");
    AppendTextMember(param, "RoomID", roomID, "}");
    return Event("LogoutRoom", param);
}

std::string KickOut(int reason, const char* roomID) {
    std::string param = "{";
    AppendIntMember(param, "code", reason, ",");
    AppendTextMember(param, "RoomID", roomID, "}");
    return Event("KickOut", param);
}

std::string Disconnect(const char* roomID) {
    std::string param = "{";
    AppendTextMember(param, "RoomID", roomID, "}");
    return Event("Disconnect", param);
}

std::string StreamUpdate(int updateCode, const char* roomID, const ZegoStreamInfo* streams,
                         unsigned int count) {
    std::string param = "{";
    AppendIntMember(param, "code", updateCode, ",");
    AppendTextMember(param, "RoomID", roomID, ",");
    param += StreamList(streams, count);
    param += '}';
    return Event("StreamUpdate", param);
}

std::string ExternStreamUpdate(const char* roomID, const ZegoStreamInfo* streams,
                               unsigned int count) {
    std::string param = "{";
    AppendTextMember(param, "RoomID", roomID, ",");
    param += StreamList(streams, count);
    param += '}';
    // "Extern" for extra information is kept on purpose: hosts rely on the name.
    return Event("ExternStreamUpdate", param);
}

std::string CustomCommand(int errorCode, int seq, const char* roomID) {
    std::string param = "{";
    AppendIntMember(param, "code", errorCode, ",");
    AppendIntMember(param, "seq", seq, ",");
    AppendTextMember(param, "RoomID", roomID, "}");
    return Event("CustomCommand", param);
}

std::string RecvCustomCommand(const char* userID, const char* userName, const char* content,
                              const char* roomID) {
    std::string param = "{";
    // The sender's user ID under "code" is kept on purpose: hosts rely on it.
    AppendTextMember(param, "code", userID, ",");
    AppendTextMember(param, "UserName", userName, ",");
    AppendTextMember(param, "Content", content, ",");
    AppendTextMember(param, "RoomID", roomID, "}");
    return Event("RecvCustomCommand", param);
}

std::string SendRoomMessage(int errorCode, int sendSeq, unsigned long long messageID,
                            const char* roomID) {
    std::string param = "{";
    AppendIntMember(param, "code", errorCode, ",");
    AppendIntMember(param, "sendSeq", sendSeq, ",");
    param += "\"messageId\":";
    AppendUnsigned(param, messageID);
    param += ',';
    AppendTextMember(param, "RoomID", roomID, "}");
    return Event("SendRoomMessage", param);
}

std::string RecvRoomMessage(const char* roomID, const ZegoRoomMessage* messages,
                            unsigned int count) {
    if (messages == nullptr)
        count = 0;
    std::string list = "\"MessageInfo\":[{";
    AppendIntMember(list, "messageCount", static_cast<int>(count), ",");
    for (unsigned int i = 0; i < count; ++i) {
        list += MessageItem(i, messages[i]);
        list += ',';
    }
    CloseOverLastComma(list);

    std::string param = "{";
    AppendTextMember(param, "RoomID", roomID, ",");
    param += list;
    param += '}';
    return Event("RecvRoomMessage", param);
}

std::string PublishStateUpdate(int stateCode, const char* streamID,
                               const ZegoPublishingStreamInfo& info) {
    std::string section = "\"StreamInfo\":[{";
    if (AppendUrlLists(section, info, kFlv) > 0) {
        CloseOverLastComma(section);
    } else {
        section += "}]";
    }
    std::string param = "{";
    AppendIntMember(param, "code", stateCode, ",");
    AppendTextMember(param, "StreamID", streamID, ",");
    param += section;
    param += '}';
    return Event("PublishStateUpdate", param);
}

std::string JoinLiveRequest(int seq, const char* userID, const char* userName, const char* roomID) {
    std::string param = "{";
    AppendIntMember(param, "seq", seq, ",");
    AppendSender(param, userID, userName);
    AppendTextMember(param, "RoomID", roomID, "}");
    return Event("JoinLiveRequest", param);
}

std::string InviteJoinLiveResponse(int result, const char* userID, const char* userName, int seq) {
    std::string param = "{";
    AppendIntMember(param, "result", result, ",");
    AppendSender(param, userID, userName);
    AppendIntMember(param, "seq", seq, "}");
    return Event("InviteJoinLiveResponse", param);
}

std::string EndJoinLive(int result, int seq, const char* roomID) {
    std::string param = "{";
    AppendIntMember(param, "result", result, ",");
    AppendIntMember(param, "seq", seq, ",");
    AppendTextMember(param, "RoomID", roomID, "}");
    return Event("EndJoinLive", param);
}

std::string PublishQualityUpdate(const char* streamID, const ZegoStreamQuality& quality) {
    std::string param = "{";
    AppendTextMember(param, "StreamID", streamID, ",");
    param += QualitySection(quality);
    param += '}';
    return Event("PublishQualityUpdate", param);
}

std::string CaptureVideoSizeChanged(int width, int height) {
    std::string param = "{";
    AppendIntMember(param, "Width", width, ",");
    AppendIntMember(param, "Height", height, "}");
    return Event("CaptureVideoSizeChanged", param);
}

std::string MixStream(const ZegoMixStreamResult& result, const char* mixStreamID, int seq) {
    std::string param = "{";
    AppendTextMember(param, "MixStreamID", mixStreamID, ",");
    AppendIntMember(param, "seq", seq, ",");
    param += MixResultSection(result);
    param += '}';
    return Event("MixStream", param);
}

std::string PlayStateUpdate(int stateCode, const char* streamID) {
    std::string param = "{";
    AppendIntMember(param, "code", stateCode, ",");
    AppendTextMember(param, "StreamID", streamID, "}");
    return Event("PlayStateUpdate", param);
}

std::string PlayQualityUpdate(const char* streamID, const ZegoStreamQuality& quality) {
    std::string param = "{";
    AppendTextMember(param, "StreamID", streamID, ",");
    param += QualitySection(quality);
    param += '}';
    return Event("PlayQualityUpdate", param);
}

std::string JoinLiveResponse(int result, const char* userID, const char* userName, int seq) {
    std::string param = "{";
    AppendIntMember(param, "result", result, ",");
    AppendSender(param, userID, userName);
    AppendIntMember(param, "seq", seq, "}");
    // A join-live answer under this name is kept on purpose: hosts tell it apart by its members.
    return Event("RecvEndJoinLiveCommand", param);
}

std::string RecvEndJoinLiveCommand(const char* userID, const char* userName, const char* roomID) {
    std::string param = "{";
    AppendSender(param, userID, userName);
    AppendTextMember(param, "RoomID", roomID, "}");
    return Event("RecvEndJoinLiveCommand", param);
}

std::string InviteJoinLiveRequest(int seq, const char* userID, const char* userName,
                                  const char* roomID) {
    std::string param = "{";
    AppendIntMember(param, "seq", seq, ",");
    AppendSender(param, userID, userName);
    AppendTextMember(param, "RoomID", roomID, "}");
    return Event("InviteJoinLiveRequest", param);
}

std::string VideoSizeChanged(const char* streamID, int width, int height) {
    std::string param = "{";
    AppendTextMember(param, "StreamID", streamID, ",");
    AppendIntMember(param, "Width", width, ",");
    AppendIntMember(param, "Height", height, "}");
    return Event("VideoSizeChanged", param);
}

}  // namespace quorlane::eventtext
