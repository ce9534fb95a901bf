#include "sdk/sim/Notifications.h"

#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

namespace sim {
namespace {

using namespace ZEGO::LIVEROOM;

std::vector<ZegoStreamInfo> StreamRecords(const Json& args) {
    const Json& list = ArrayArg(args, "streams");
    std::vector<ZegoStreamInfo> records(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Json& item = list[i];
        if (!item.is_object())
            throw RequestError("\"streams\" must hold objects");
        ZegoStreamInfo& r = records[i];
        std::memset(&r, 0, sizeof r);
        CopyText(r.szUserId, sizeof r.szUserId, TextArg(item, "userID").Text());
        CopyText(r.szUserName, sizeof r.szUserName, TextArg(item, "userName").Text());
        CopyText(r.szStreamId, sizeof r.szStreamId, TextArg(item, "streamID").Text());
        CopyText(r.szExtraInfo, sizeof r.szExtraInfo, TextArg(item, "extraInfo").Text());
    }
    return records;
}

std::vector<ZegoRoomMessage> MessageRecords(const Json& args) {
    const Json& list = ArrayArg(args, "messages");
    std::vector<ZegoRoomMessage> records(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Json& item = list[i];
        if (!item.is_object())
            throw RequestError("\"messages\" must hold objects");
        ZegoRoomMessage& r = records[i];
        std::memset(&r, 0, sizeof r);
        CopyText(r.szUserId, sizeof r.szUserId, TextArg(item, "userID").Text());
        CopyText(r.szUserName, sizeof r.szUserName, TextArg(item, "userName").Text());
        CopyText(r.szContent, sizeof r.szContent, TextArg(item, "content").Text());
        r.messageId = Unsigned64Arg(item, "messageID");
        r.type = static_cast<ZEGO::ROOM::ZegoMessageType>(IntArg(item, "type"));
        r.priority = static_cast<ZEGO::ROOM::ZegoMessagePriority>(IntArg(item, "priority"));
        r.category = static_cast<ZEGO::ROOM::ZegoMessageCategory>(IntArg(item, "category"));
    }
    return records;
}

// The three URL lists of a publishing stream information, with the texts they point at.
class UrlLists {
  public:
    explicit UrlLists(const Json& object) {
        static const char* const kNames[3] = {"rtmp", "flv", "hls"};
        static const char* const kCounts[3] = {"rtmpCount", "flvCount", "hlsCount"};
        for (int list = 0; list < 3; ++list) {
            const Json& urls = ArrayArg(object, kNames[list]);
            for (const Json& url : urls) {
                if (!url.is_string())
                    throw RequestError(std::string("\"") + kNames[list] + "\" must hold strings");
                if (texts_[list].size() < static_cast<std::size_t>(kMaxURLs))
                    texts_[list].push_back(url.get<std::string>());
            }
            counts_[list] = Has(object, kCounts[list])
                                ? UnsignedArg(object, kCounts[list])
                                : static_cast<unsigned int>(texts_[list].size());
        }
    }
    UrlLists(const UrlLists&) = delete;
    UrlLists& operator=(const UrlLists&) = delete;

    // Slots without a URL hold the empty text.
    void Fill(ZegoPublishingStreamInfo* info) const {
        const char** slots[3] = {info->arrRtmpURLs, info->arrFlvURLs, info->arrHlsURLs};
        unsigned int* counts[3] = {&info->uiRtmpURLCount, &info->uiFlvURLCount,
                                   &info->uiHlsURLCount};
        for (int list = 0; list < 3; ++list) {
            for (int i = 0; i < kMaxURLs; ++i) {
                slots[list][i] = static_cast<std::size_t>(i) < texts_[list].size()
                                     ? texts_[list][i].c_str()
                                     : "";
            }
            *counts[list] = counts_[list];
        }
    }

  private:
    std::array<std::vector<std::string>, 3> texts_;
    std::array<unsigned int, 3> counts_{};
};

ZegoStreamQuality QualityRecord(const Json& args) {
    const Json& q = ObjectArg(args, "quality");
    ZegoStreamQuality quality{};
    quality.fps = DoubleArg(q, "fps");
    quality.kbps = DoubleArg(q, "kbps");
    quality.rtt = IntArg(q, "rtt");
    quality.pktLostRate = IntArg(q, "pktLostRate");
    quality.quality = IntArg(q, "quality");
    return quality;
}

ZEGO::AV::DeviceInfo DeviceRecord(const Json& args) {
    ZEGO::AV::DeviceInfo info;
    std::memset(&info, 0, sizeof info);
    CopyText(info.szDeviceId, sizeof info.szDeviceId, TextArg(args, "deviceID").Text());
    CopyText(info.szDeviceName, sizeof info.szDeviceName, TextArg(args, "deviceName").Text());
    return info;
}

template <class Interface>
using Invoke = std::function<void(Interface*)>;

template <class Interface>
bool To(CallbackRegistry& registry, Slot slot, const Invoke<Interface>& invoke) {
    return registry.Deliver<Interface>(slot, invoke);
}

using Emitter = std::function<bool(CallbackRegistry&, const Json&)>;

bool EmitPublishState(CallbackRegistry& registry, const Json& args) {
    int state = IntArg(args, "stateCode");
    ArgText stream = TextArg(args, "streamID");
    UrlLists urls(ObjectArg(args, "info"));
    ZegoPublishingStreamInfo info{};
    urls.Fill(&info);
    return To<ILivePublisherCallback>(registry, Slot::Publisher, [&](ILivePublisherCallback* c) {
        c->OnPublishStateUpdate(state, stream.Pointer(), info);
    });
}

bool EmitMixStream(CallbackRegistry& registry, const Json& args) {
    const Json& result = ObjectArg(args, "result");
    ArgText mixStream = TextArg(args, "mixStreamID");
    int seq = IntArg(args, "seq");
    ZegoMixStreamResult record{};
    record.uiErrorCode = IntArg(result, "errorCode");
    std::vector<std::string> missing;
    for (const Json& id : ArrayArg(result, "nonExists")) {
        if (!id.is_string())
            throw RequestError("\"nonExists\" must hold strings");
        if (missing.size() < static_cast<std::size_t>(kMaxNonExistsStreams))
            missing.push_back(id.get<std::string>());
    }
    for (int i = 0; i < kMaxNonExistsStreams; ++i) {
        record.ppNonExistsStreamIDList[i] =
            static_cast<std::size_t>(i) < missing.size() ? missing[i].c_str() : "";
    }
    record.nNonExistsStreamCount = Has(result, "nonExistsCount") ? IntArg(result, "nonExistsCount")
                                                                 : static_cast<int>(missing.size());
    const Json& output = ObjectArg(result, "output");
    CopyText(record.oStreamInfo.szStreamID, sizeof record.oStreamInfo.szStreamID,
             TextArg(output, "streamID").Text());
    CopyText(record.oStreamInfo.szMixStreamID, sizeof record.oStreamInfo.szMixStreamID,
             TextArg(output, "mixStreamID").Text());
    UrlLists urls(output);
    urls.Fill(&record.oStreamInfo.urls);
    return To<ILivePublisherCallback>(registry, Slot::Publisher, [&](ILivePublisherCallback* c) {
        c->OnMixStream(record, mixStream.Pointer(), seq);
    });
}

const std::map<std::string, Emitter>& Emitters() {
    // Never destroyed: the control thread may still use it while the process ends.
    static const auto* table = new std::map<std::string, Emitter>{
        // Room notifications.
        {"OnLoginRoom",
         [](CallbackRegistry& r, const Json& a) {
             int error = IntArg(a, "errorCode");
             ArgText room = TextArg(a, "roomID");
             auto streams = StreamRecords(a);
             return To<IRoomCallback>(r, Slot::Room, [&](IRoomCallback* c) {
                 c->OnLoginRoom(error, room.Pointer(), streams.data(),
                                static_cast<unsigned int>(streams.size()));
             });
         }},
        {"OnLogoutRoom",
         [](CallbackRegistry& r, const Json& a) {
             int error = IntArg(a, "errorCode");
             ArgText room = TextArg(a, "roomID");
             return To<IRoomCallback>(
                 r, Slot::Room, [&](IRoomCallback* c) { c->OnLogoutRoom(error, room.Pointer()); });
         }},
        {"OnKickOut",
         [](CallbackRegistry& r, const Json& a) {
             int reason = IntArg(a, "reason");
             ArgText room = TextArg(a, "roomID");
             return To<IRoomCallback>(
                 r, Slot::Room, [&](IRoomCallback* c) { c->OnKickOut(reason, room.Pointer()); });
         }},
        {"OnDisconnect",
         [](CallbackRegistry& r, const Json& a) {
             int error = IntArg(a, "errorCode");
             ArgText room = TextArg(a, "roomID");
             return To<IRoomCallback>(
                 r, Slot::Room, [&](IRoomCallback* c) { c->OnDisconnect(error, room.Pointer()); });
         }},
        {"OnStreamUpdated",
         [](CallbackRegistry& r, const Json& a) {
             auto type = static_cast<ZegoStreamUpdateType>(IntArg(a, "updateCode"));
             auto streams = StreamRecords(a);
             ArgText room = TextArg(a, "roomID");
             return To<IRoomCallback>(r, Slot::Room, [&](IRoomCallback* c) {
                 c->OnStreamUpdated(type, streams.data(), static_cast<unsigned int>(streams.size()),
                                    room.Pointer());
             });
         }},
        {"OnStreamExtraInfoUpdated",
         [](CallbackRegistry& r, const Json& a) {
             auto streams = StreamRecords(a);
             ArgText room = TextArg(a, "roomID");
             return To<IRoomCallback>(r, Slot::Room, [&](IRoomCallback* c) {
                 c->OnStreamExtraInfoUpdated(
                     streams.data(), static_cast<unsigned int>(streams.size()), room.Pointer());
             });
         }},
        {"OnCustomCommand",
         [](CallbackRegistry& r, const Json& a) {
             int error = IntArg(a, "errorCode");
             int seq = IntArg(a, "seq");
             ArgText room = TextArg(a, "roomID");
             return To<IRoomCallback>(r, Slot::Room, [&](IRoomCallback* c) {
                 c->OnCustomCommand(error, seq, room.Pointer());
             });
         }},
        {"OnRecvCustomCommand",
         [](CallbackRegistry& r, const Json& a) {
             ArgText user = TextArg(a, "userID"), name = TextArg(a, "userName"),
                     content = TextArg(a, "content"), room = TextArg(a, "roomID");
             return To<IRoomCallback>(r, Slot::Room, [&](IRoomCallback* c) {
                 c->OnRecvCustomCommand(user.Pointer(), name.Pointer(), content.Pointer(),
                                        room.Pointer());
             });
         }},
        // Room messages.
        {"OnSendRoomMessage",
         [](CallbackRegistry& r, const Json& a) {
             int error = IntArg(a, "errorCode");
             ArgText room = TextArg(a, "roomID");
             int seq = IntArg(a, "seq");
             std::uint64_t id = Unsigned64Arg(a, "messageID");
             return To<IIMCallback>(r, Slot::IM, [&](IIMCallback* c) {
                 c->OnSendRoomMessage(error, room.Pointer(), seq, id);
             });
         }},
        {"OnRecvRoomMessage",
         [](CallbackRegistry& r, const Json& a) {
             auto messages = MessageRecords(a);
             ArgText room = TextArg(a, "roomID");
             return To<IIMCallback>(r, Slot::IM, [&](IIMCallback* c) {
                 c->OnRecvRoomMessage(messages.data(), static_cast<unsigned int>(messages.size()),
                                      room.Pointer());
             });
         }},
        // Publisher notifications.
        {"OnPublishStateUpdate", EmitPublishState},
        {"OnJoinLiveRequest",
         [](CallbackRegistry& r, const Json& a) {
             int seq = IntArg(a, "seq");
             ArgText user = TextArg(a, "userID"), name = TextArg(a, "userName"),
                     room = TextArg(a, "roomID");
             return To<ILivePublisherCallback>(r, Slot::Publisher, [&](ILivePublisherCallback* c) {
                 c->OnJoinLiveRequest(seq, user.Pointer(), name.Pointer(), room.Pointer());
             });
         }},
        {"OnInviteJoinLiveResponse",
         [](CallbackRegistry& r, const Json& a) {
             int result = IntArg(a, "result");
             ArgText user = TextArg(a, "userID"), name = TextArg(a, "userName");
             int seq = IntArg(a, "seq");
             return To<ILivePublisherCallback>(r, Slot::Publisher, [&](ILivePublisherCallback* c) {
                 c->OnInviteJoinLiveResponse(result, user.Pointer(), name.Pointer(), seq);
             });
         }},
        {"OnEndJoinLive",
         [](CallbackRegistry& r, const Json& a) {
             int result = IntArg(a, "result");
             int seq = IntArg(a, "seq");
             ArgText room = TextArg(a, "roomID");
             return To<ILivePublisherCallback>(r, Slot::Publisher, [&](ILivePublisherCallback* c) {
                 c->OnEndJoinLive(result, seq, room.Pointer());
             });
         }},
        {"OnPublishQualityUpdate",
         [](CallbackRegistry& r, const Json& a) {
             ArgText stream = TextArg(a, "streamID");
             ZegoStreamQuality quality = QualityRecord(a);
             return To<ILivePublisherCallback>(r, Slot::Publisher, [&](ILivePublisherCallback* c) {
                 c->OnPublishQualityUpdate(stream.Pointer(), quality);
             });
         }},
        {"OnCaptureVideoSizeChanged",
         [](CallbackRegistry& r, const Json& a) {
             int width = IntArg(a, "width"), height = IntArg(a, "height");
             return To<ILivePublisherCallback>(r, Slot::Publisher, [&](ILivePublisherCallback* c) {
                 c->OnCaptureVideoSizeChanged(width, height);
             });
         }},
        {"OnMixStream", EmitMixStream},
        // Player notifications.
        {"OnPlayStateUpdate",
         [](CallbackRegistry& r, const Json& a) {
             int state = IntArg(a, "stateCode");
             ArgText stream = TextArg(a, "streamID");
             return To<ILivePlayerCallback>(r, Slot::Player, [&](ILivePlayerCallback* c) {
                 c->OnPlayStateUpdate(state, stream.Pointer());
             });
         }},
        {"OnPlayQualityUpdate",
         [](CallbackRegistry& r, const Json& a) {
             ArgText stream = TextArg(a, "streamID");
             ZegoStreamQuality quality = QualityRecord(a);
             return To<ILivePlayerCallback>(r, Slot::Player, [&](ILivePlayerCallback* c) {
                 c->OnPlayQualityUpdate(stream.Pointer(), quality);
             });
         }},
        {"OnJoinLiveResponse",
         [](CallbackRegistry& r, const Json& a) {
             int result = IntArg(a, "result");
             ArgText user = TextArg(a, "userID"), name = TextArg(a, "userName");
             int seq = IntArg(a, "seq");
             return To<ILivePlayerCallback>(r, Slot::Player, [&](ILivePlayerCallback* c) {
                 c->OnJoinLiveResponse(result, user.Pointer(), name.Pointer(), seq);
             });
         }},
        {"OnRecvEndJoinLiveCommand",
         [](CallbackRegistry& r, const Json& a) {
             ArgText user = TextArg(a, "userID"), name = TextArg(a, "userName"),
                     room = TextArg(a, "roomID");
             return To<ILivePlayerCallback>(r, Slot::Player, [&](ILivePlayerCallback* c) {
                 c->OnRecvEndJoinLiveCommand(user.Pointer(), name.Pointer(), room.Pointer());
             });
         }},
        {"OnInviteJoinLiveRequest",
         [](CallbackRegistry& r, const Json& a) {
             int seq = IntArg(a, "seq");
             ArgText user = TextArg(a, "userID"), name = TextArg(a, "userName"),
                     room = TextArg(a, "roomID");
             return To<ILivePlayerCallback>(r, Slot::Player, [&](ILivePlayerCallback* c) {
                 c->OnInviteJoinLiveRequest(seq, user.Pointer(), name.Pointer(), room.Pointer());
             });
         }},
        {"OnVideoSizeChanged",
         [](CallbackRegistry& r, const Json& a) {
             ArgText stream = TextArg(a, "streamID");
             int width = IntArg(a, "width"), height = IntArg(a, "height");
             return To<ILivePlayerCallback>(r, Slot::Player, [&](ILivePlayerCallback* c) {
                 c->OnVideoSizeChanged(stream.Pointer(), width, height);
             });
         }},
        // Notifications the bridge ignores; emitting them shows that it does.
        {"OnInitSDK",
         [](CallbackRegistry& r, const Json& a) {
             int error = IntArg(a, "errorCode");
             return To<IRoomCallback>(r, Slot::Room,
                                      [&](IRoomCallback* c) { c->OnInitSDK(error); });
         }},
        {"OnReconnect",
         [](CallbackRegistry& r, const Json& a) {
             int error = IntArg(a, "errorCode");
             ArgText room = TextArg(a, "roomID");
             return To<IRoomCallback>(
                 r, Slot::Room, [&](IRoomCallback* c) { c->OnReconnect(error, room.Pointer()); });
         }},
        {"OnTempBroken",
         [](CallbackRegistry& r, const Json& a) {
             int error = IntArg(a, "errorCode");
             ArgText room = TextArg(a, "roomID");
             return To<IRoomCallback>(
                 r, Slot::Room, [&](IRoomCallback* c) { c->OnTempBroken(error, room.Pointer()); });
         }},
        {"OnUpdateOnlineCount",
         [](CallbackRegistry& r, const Json& a) {
             int count = IntArg(a, "onlineCount");
             ArgText room = TextArg(a, "roomID");
             return To<IIMCallback>(r, Slot::IM, [&](IIMCallback* c) {
                 c->OnUpdateOnlineCount(count, room.Pointer());
             });
         }},
        {"OnUserUpdate",
         [](CallbackRegistry& r, const Json& a) {
             const Json& list = ArrayArg(a, "users");
             std::vector<ZegoUser> users(list.size());
             for (std::size_t i = 0; i < list.size(); ++i) {
                 if (!list[i].is_object())
                     throw RequestError("\"users\" must hold objects");
                 std::memset(&users[i], 0, sizeof users[i]);
                 CopyText(users[i].szUserId, sizeof users[i].szUserId,
                          TextArg(list[i], "userID").Text());
                 CopyText(users[i].szUserName, sizeof users[i].szUserName,
                          TextArg(list[i], "userName").Text());
             }
             return To<IIMCallback>(r, Slot::IM, [&](IIMCallback* c) {
                 c->OnUserUpdate(users.data(), static_cast<unsigned int>(users.size()));
             });
         }},
        {"OnSendBigRoomMessage",
         [](CallbackRegistry& r, const Json& a) {
             int error = IntArg(a, "errorCode");
             ArgText room = TextArg(a, "roomID");
             int seq = IntArg(a, "seq");
             ArgText id = TextArg(a, "messageID");
             return To<IIMCallback>(r, Slot::IM, [&](IIMCallback* c) {
                 c->OnSendBigRoomMessage(error, room.Pointer(), seq, id.Pointer());
             });
         }},
        {"OnRecvBigRoomMessage",
         [](CallbackRegistry& r, const Json& a) {
             ArgText content = TextArg(a, "content"), room = TextArg(a, "roomID");
             return To<IIMCallback>(r, Slot::IM, [&](IIMCallback* c) {
                 c->OnRecvBigRoomMessage(content.Pointer(), room.Pointer());
             });
         }},
        {"OnSendConversationMessage",
         [](CallbackRegistry& r, const Json& a) {
             int error = IntArg(a, "errorCode");
             ArgText room = TextArg(a, "roomID"), conversation = TextArg(a, "conversationID");
             int seq = IntArg(a, "seq");
             return To<IIMCallback>(r, Slot::IM, [&](IIMCallback* c) {
                 c->OnSendConversationMessage(error, room.Pointer(), conversation.Pointer(), seq);
             });
         }},
        {"OnRecvConversationMessage",
         [](CallbackRegistry& r, const Json& a) {
             ArgText content = TextArg(a, "content"), conversation = TextArg(a, "conversationID");
             return To<IIMCallback>(r, Slot::IM, [&](IIMCallback* c) {
                 c->OnRecvConversationMessage(content.Pointer(), conversation.Pointer());
             });
         }},
        {"OnPublishQualityLevel",
         [](CallbackRegistry& r, const Json& a) {
             ArgText stream = TextArg(a, "streamID");
             int quality = IntArg(a, "quality");
             double fps = DoubleArg(a, "fps"), kbps = DoubleArg(a, "kbps");
             return To<ILivePublisherCallback>(r, Slot::Publisher, [&](ILivePublisherCallback* c) {
                 c->OnPublishQualityLevel(stream.Pointer(), quality, fps, kbps);
             });
         }},
        {"OnAuxCallback",
         [](CallbackRegistry& r, const Json& a) {
             std::vector<unsigned char> data(
                 static_cast<std::size_t>(IntArgInRange(a, "bytes", 0, 1 << 20, 0)), 0);
             int length = static_cast<int>(data.size()), rate = IntArg(a, "sampleRate"),
                 channels = IntArg(a, "channels");
             return To<ILivePublisherCallback>(r, Slot::Publisher, [&](ILivePublisherCallback* c) {
                 c->OnAuxCallback(data.data(), &length, &rate, &channels);
             });
         }},
        {"OnPreviewSnapshot",
         [](CallbackRegistry& r, const Json&) {
             return To<ILivePublisherCallback>(r, Slot::Publisher, [&](ILivePublisherCallback* c) {
                 c->OnPreviewSnapshot(nullptr);
             });
         }},
        {"OnRelayCDNStateUpdate",
         [](CallbackRegistry& r, const Json& a) {
             ArgText stream = TextArg(a, "streamID");
             int state = IntArg(a, "state");
             return To<ILivePublisherCallback>(r, Slot::Publisher, [&](ILivePublisherCallback* c) {
                 c->OnRelayCDNStateUpdate(stream.Pointer(), state);
             });
         }},
        {"OnUpdateMixStreamConfig",
         [](CallbackRegistry& r, const Json& a) {
             unsigned int error = UnsignedArg(a, "errorCode");
             ArgText mix = TextArg(a, "mixStreamID");
             return To<ILivePublisherCallback>(r, Slot::Publisher, [&](ILivePublisherCallback* c) {
                 c->OnUpdateMixStreamConfig(error, mix.Pointer());
             });
         }},
        {"OnCaptureVideoFirstFrame",
         [](CallbackRegistry& r, const Json&) {
             return To<ILivePublisherCallback>(r, Slot::Publisher, [&](ILivePublisherCallback* c) {
                 c->OnCaptureVideoFirstFrame();
             });
         }},
        {"OnPlayQualityLevel",
         [](CallbackRegistry& r, const Json& a) {
             ArgText stream = TextArg(a, "streamID");
             int quality = IntArg(a, "quality");
             double fps = DoubleArg(a, "fps"), kbps = DoubleArg(a, "kbps");
             return To<ILivePlayerCallback>(r, Slot::Player, [&](ILivePlayerCallback* c) {
                 c->OnPlayQualityLevel(stream.Pointer(), quality, fps, kbps);
             });
         }},
        {"OnRemoteCameraStatusUpdate",
         [](CallbackRegistry& r, const Json& a) {
             ArgText stream = TextArg(a, "streamID");
             int status = IntArg(a, "status");
             return To<ILivePlayerCallback>(r, Slot::Player, [&](ILivePlayerCallback* c) {
                 c->OnRemoteCameraStatusUpdate(stream.Pointer(), status);
             });
         }},
        // Device notifications.
        {"OnAudioDeviceStateChanged",
         [](CallbackRegistry& r, const Json& a) {
             auto type = static_cast<ZEGO::AV::AudioDeviceType>(IntArg(a, "deviceType"));
             ZEGO::AV::DeviceInfo info = DeviceRecord(a);
             auto state = static_cast<ZEGO::AV::DeviceState>(IntArg(a, "state"));
             return To<ZEGO::AV::IZegoDeviceStateCallback>(
                 r, Slot::DeviceState, [&](ZEGO::AV::IZegoDeviceStateCallback* c) {
                     c->OnAudioDeviceStateChanged(type, &info, state);
                 });
         }},
        {"OnVideoDeviceStateChanged",
         [](CallbackRegistry& r, const Json& a) {
             ZEGO::AV::DeviceInfo info = DeviceRecord(a);
             auto state = static_cast<ZEGO::AV::DeviceState>(IntArg(a, "state"));
             return To<ZEGO::AV::IZegoDeviceStateCallback>(
                 r, Slot::DeviceState, [&](ZEGO::AV::IZegoDeviceStateCallback* c) {
                     c->OnVideoDeviceStateChanged(&info, state);
                 });
         }},
        {"OnDeviceError",
         [](CallbackRegistry& r, const Json& a) {
             ArgText device = TextArg(a, "deviceName");
             int error = IntArg(a, "errorCode");
             return To<ZEGO::AV::IZegoDeviceStateCallback>(
                 r, Slot::DeviceState, [&](ZEGO::AV::IZegoDeviceStateCallback* c) {
                     c->OnDeviceError(device.Pointer(), error);
                 });
         }},
    };
    return *table;
}

}  // namespace

bool EmitNotification(CallbackRegistry& registry, const std::string& name, const Json& args) {
    auto it = Emitters().find(name);
    if (it == Emitters().end())
        throw RequestError("unknown notification \"" + name + "\"");
    return it->second(registry, args);
}

}  // namespace sim
