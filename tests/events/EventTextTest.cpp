#include "src/EventText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace quorlane {

namespace {

using namespace ZEGO::LIVEROOM;
using nlohmann::json;

ZegoStreamInfo Stream(const char* user, const char* name, const char* id, const char* extra) {
    ZegoStreamInfo s{};
    std::strncpy(s.szUserId, user, sizeof s.szUserId - 1);
    std::strncpy(s.szUserName, name, sizeof s.szUserName - 1);
    std::strncpy(s.szStreamId, id, sizeof s.szStreamId - 1);
    std::strncpy(s.szExtraInfo, extra, sizeof s.szExtraInfo - 1);
    return s;
}

ZegoRoomMessage Message(const char* user, const char* name, const char* content,
                        unsigned long long id) {
    ZegoRoomMessage m{};
    std::strncpy(m.szUserId, user, sizeof m.szUserId - 1);
    std::strncpy(m.szUserName, name, sizeof m.szUserName - 1);
    std::strncpy(m.szContent, content, sizeof m.szContent - 1);
    m.messageId = id;
    m.type = ZEGO::ROOM::Text;
    m.priority = ZEGO::ROOM::Default;
    m.category = ZEGO::ROOM::Chat;
    return m;
}

// Every text must be one JSON object with exactly "type" and "param".
json ParseEvent(const std::string& text) {
    json event = json::parse(text);
    EXPECT_TRUE(event.is_object());
    EXPECT_EQ(event.size(), 2u) << text;
    EXPECT_TRUE(event["param"].is_object()) << text;
    return event;
}

TEST(EventText, StreamListsAsTheExamplesRead) {
    const ZegoStreamInfo one[] = {Stream("u1", "Ann", "s1", "")};
    const std::string login = eventtext::StreamsList("r1", one, 1);
    EXPECT_EQ(login,
              "{\"type\":\"StreamsList\",\"param\":{\"code\":0,\"RoomID\":\"r1\",\"StreamInfo\":[{"
              "\"streamCount\":1,\"StreamInfo0\":[{\"UserId\":\"u1\",\"UserName\":\"Ann\","
              "\"StreamId\":\"s1\",\"ExtraInfo\":[]}]}]}}");
    ParseEvent(login);

    const std::string empty = eventtext::StreamsList("r1", nullptr, 0);
    EXPECT_EQ(empty,
              "{\"type\":\"StreamsList\",\"param\":{\"code\":0,\"RoomID\":\"r1\","
              "\"StreamInfo\":[{\"streamCount\":0}]}}");
    ParseEvent(empty);

    // A null array with a count reads nothing and lists nothing.
    EXPECT_EQ(eventtext::StreamsList("r1", nullptr, 3), empty);

    const ZegoStreamInfo three[] = {Stream("a", "A", "sa", "{\"k\":1}"),
                                    Stream("b", "B", "sb", "hello"), Stream("c", "C", "sc", "")};
    const std::string update = eventtext::StreamUpdate(StreamAdded, "r2", three, 3);
    EXPECT_EQ(update,
              "{\"type\":\"StreamUpdate\",\"param\":{\"code\":2001,\"RoomID\":\"r2\","
              "\"StreamInfo\":[{\"streamCount\":3,"
              "\"StreamInfo0\":[{\"UserId\":\"a\",\"UserName\":\"A\",\"StreamId\":\"sa\","
              "\"ExtraInfo\":[{\"k\":1}]}],"
              "\"StreamInfo1\":[{\"UserId\":\"b\",\"UserName\":\"B\",\"StreamId\":\"sb\","
              "\"ExtraInfo\":[\"hello\"]}],"
              "\"StreamInfo2\":[{\"UserId\":\"c\",\"UserName\":\"C\",\"StreamId\":\"sc\","
              "\"ExtraInfo\":[]}]}]}}");
    const json parsed = ParseEvent(update);
    EXPECT_EQ(parsed["param"]["StreamInfo"][0]["StreamInfo0"][0]["ExtraInfo"][0]["k"], 1);

    const std::string extern_ = eventtext::ExternStreamUpdate("r2", three + 2, 1);
    EXPECT_EQ(extern_,
              "{\"type\":\"ExternStreamUpdate\",\"param\":{\"RoomID\":\"r2\",\"StreamInfo\":[{"
              "\"streamCount\":1,\"StreamInfo0\":[{\"UserId\":\"c\",\"UserName\":\"C\","
              "\"StreamId\":\"sc\",\"ExtraInfo\":[]}]}]}}");
    EXPECT_FALSE(ParseEvent(extern_)["param"].contains("code"));
}

TEST(EventText, UserIdUnderCodeAndNullTexts) {
    const std::string recv = eventtext::RecvCustomCommand("u9", "Bob", "hi", "r1");
    EXPECT_EQ(recv,
              "{\"type\":\"RecvCustomCommand\",\"param\":{\"code\":\"u9\",\"UserName\":\"Bob\","
              "\"Content\":\"hi\",\"RoomID\":\"r1\"}}");
    EXPECT_TRUE(ParseEvent(recv)["param"]["code"].is_string());
    // Null texts are empty, not a crash.
    EXPECT_EQ(eventtext::Disconnect(nullptr),
              "{\"type\":\"Disconnect\",\"param\":{\"RoomID\":\"\"}}");
    EXPECT_EQ(eventtext::JoinLiveResponse(1, nullptr, nullptr, 2),
              "{\"type\":\"RecvEndJoinLiveCommand\",\"param\":{\"result\":1,\"FromUserId\":\"\","
              "\"FromUserName\":\"\",\"seq\":2}}");
}

TEST(EventText, RoomMessages) {
    const unsigned long long big = 5000000000ULL;  // above 2^32
    const std::string sent = eventtext::SendRoomMessage(0, 7, big, "r1");
    EXPECT_EQ(sent,
              "{\"type\":\"SendRoomMessage\",\"param\":{\"code\":0,\"sendSeq\":7,"
              "\"messageId\":5000000000,\"RoomID\":\"r1\"}}");
    EXPECT_EQ(ParseEvent(sent)["param"]["messageId"].get<unsigned long long>(), big);
    EXPECT_NE(eventtext::SendRoomMessage(0, 7, 18446744073709551615ULL, "r")
                  .find("\"messageId\":18446744073709551615,"),
              std::string::npos);

    const ZegoRoomMessage messages[] = {Message("u1", "Ann", "hello", big),
                                        Message("u2", "Bob", "bye", 1)};
    const std::string recv = eventtext::RecvRoomMessage("r1", messages, 2);
    EXPECT_EQ(recv,
              "{\"type\":\"RecvRoomMessage\",\"param\":{\"RoomID\":\"r1\",\"MessageInfo\":[{"
              "\"messageCount\":2,"
              "\"MessageInfo0\":[{\"UserId\":\"u1\",\"UserName\":\"Ann\",\"Content\":\"hello\","
              "\"messageId\":5000000000,\"type\":1,\"priority\":2,\"category\":1}],"
              "\"MessageInfo1\":[{\"UserId\":\"u2\",\"UserName\":\"Bob\",\"Content\":\"bye\","
              "\"messageId\":1,\"type\":1,\"priority\":2,\"category\":1}]}]}}");
    ParseEvent(recv);
    EXPECT_EQ(eventtext::RecvRoomMessage("r1", nullptr, 0),
              "{\"type\":\"RecvRoomMessage\",\"param\":{\"RoomID\":\"r1\",\"MessageInfo\":[{"
              "\"messageCount\":0}]}}");
}

TEST(EventText, HostileTextsStayValidJson) {
    const char* hostile[] = {"say \"hi\"", "back\\slash", "ctl\x01\n", "esc\\n\\u0041",
                             "}{",         "\"}]}]}",     "\xff\xfe"};
    for (const char* text : hostile) {
        const ZegoStreamInfo s[] = {Stream(text, text, text, text)};
        const ZegoRoomMessage m[] = {Message(text, text, text, 1)};
        const std::string texts[] = {
            eventtext::StreamsList(text, s, 1),
            eventtext::RecvRoomMessage(text, m, 1),
            eventtext::RecvCustomCommand(text, text, text, text),
            eventtext::JoinLiveRequest(1, text, text, text),
            eventtext::VideoSizeChanged(text, 1, 2),
        };
        for (const std::string& event : texts) {
            EXPECT_NO_THROW(ParseEvent(event)) << event;
        }
    }
    // Valid escapes reach the host decoded exactly as the peer wrote them.
    const ZegoRoomMessage m[] = {Message("u", "An\\\"n", "line\\nnext \xc3\xa9", 1)};
    const json parsed = ParseEvent(eventtext::RecvRoomMessage("r", m, 1));
    const json& item = parsed["param"]["MessageInfo"][0]["MessageInfo0"][0];
    EXPECT_EQ(item["UserName"], "An\"n");
    EXPECT_EQ(item["Content"], "line\nnext \xc3\xa9");
    // A raw quote is kept as a quote.
    const json quoted = ParseEvent(eventtext::RecvCustomCommand("u", "A\"B", "c", "r"));
    EXPECT_EQ(quoted["param"]["UserName"], "A\"B");
}

TEST(EventText, RecordTextsThatFillTheirSlotsAreNotOverread) {
    ZegoStreamInfo s;
    std::memset(&s, 'x', sizeof s);  // no terminating zero in any of the four texts
    const std::string text = eventtext::StreamsList("r", &s, 1);
    const json parsed = ParseEvent(text);
    const json& item = parsed["param"]["StreamInfo"][0]["StreamInfo0"][0];
    EXPECT_EQ(item["UserId"].get<std::string>(), std::string(kStreamTextSize, 'x'));
    EXPECT_EQ(item["StreamId"].get<std::string>(), std::string(kStreamTextSize, 'x'));
    EXPECT_EQ(item["ExtraInfo"][0].get<std::string>(), std::string(kStreamTextSize, 'x'));

    // Many long streams: the text grows past every fixed bound and is whole.
    std::vector<ZegoStreamInfo> many(40, s);
    const json big = ParseEvent(eventtext::StreamUpdate(2001, "r", many.data(), 40));
    EXPECT_EQ(big["param"]["StreamInfo"][0]["streamCount"], 40);
    EXPECT_TRUE(big["param"]["StreamInfo"][0].contains("StreamInfo39"));
}

ZegoPublishingStreamInfo Urls(std::vector<const char*> rtmp, std::vector<const char*> flv,
                              std::vector<const char*> hls) {
    ZegoPublishingStreamInfo info{};
    for (std::size_t i = 0; i < rtmp.size(); ++i)
        info.arrRtmpURLs[i] = rtmp[i];
    for (std::size_t i = 0; i < flv.size(); ++i)
        info.arrFlvURLs[i] = flv[i];
    for (std::size_t i = 0; i < hls.size(); ++i)
        info.arrHlsURLs[i] = hls[i];
    info.uiRtmpURLCount = static_cast<unsigned int>(rtmp.size());
    info.uiFlvURLCount = static_cast<unsigned int>(flv.size());
    info.uiHlsURLCount = static_cast<unsigned int>(hls.size());
    return info;
}

TEST(EventText, PublishStateUrlLists) {
    EXPECT_EQ(eventtext::PublishStateUpdate(0, "p1", Urls({}, {}, {})),
              "{\"type\":\"PublishStateUpdate\",\"param\":{\"code\":0,\"StreamID\":\"p1\","
              "\"StreamInfo\":[{}]}}");
    EXPECT_EQ(eventtext::PublishStateUpdate(0, "p1", Urls({"u0"}, {}, {})),
              "{\"type\":\"PublishStateUpdate\",\"param\":{\"code\":0,\"StreamID\":\"p1\","
              "\"StreamInfo\":[{\"Rtmp\":[{\"RtmpURLCount\":1,\"RtmpURL0\":\"u0\"}]}]}}");
    EXPECT_EQ(eventtext::PublishStateUpdate(3, "p1", Urls({}, {"f0", "f1"}, {})),
              "{\"type\":\"PublishStateUpdate\",\"param\":{\"code\":3,\"StreamID\":\"p1\","
              "\"StreamInfo\":[{\"Flv\":[{\"FlvURLCount\":2,\"FlvURL0\":\"f0\","
              "\"FlvURL1\":\"f1\"}]}]}}");
    const std::string all = eventtext::PublishStateUpdate(0, "p", Urls({"r0"}, {"f0"}, {"h0"}));
    EXPECT_EQ(all,
              "{\"type\":\"PublishStateUpdate\",\"param\":{\"code\":0,\"StreamID\":\"p\","
              "\"StreamInfo\":[{\"Rtmp\":[{\"RtmpURLCount\":1,\"RtmpURL0\":\"r0\"}],"
              "\"Flv\":[{\"FlvURLCount\":1,\"FlvURL0\":\"f0\"}],"
              "\"Hls\":[{\"HlsURLCount\":1,\"HlsURL0\":\"h0\"}]}]}}");
    ParseEvent(all);

    // A count above the ten slots lists the ten slots; unset slots are empty texts.
    ZegoPublishingStreamInfo wild = Urls({"r0"}, {}, {});
    wild.uiRtmpURLCount = 4000000000u;
    wild.uiHlsURLCount = 2;
    const json parsed = ParseEvent(eventtext::PublishStateUpdate(0, "p", wild));
    const json& rtmp = parsed["param"]["StreamInfo"][0]["Rtmp"][0];
    EXPECT_EQ(rtmp["RtmpURLCount"], 10);
    EXPECT_EQ(rtmp["RtmpURL0"], "r0");
    EXPECT_EQ(rtmp["RtmpURL9"], "");
    EXPECT_FALSE(rtmp.contains("RtmpURL10"));
    EXPECT_EQ(parsed["param"]["StreamInfo"][0]["Hls"][0]["HlsURL1"], "");
}

TEST(EventText, QualityForBothDirections) {
    ZegoStreamQuality q{};
    q.fps = 29.97;
    q.kbps = 1500.5;
    q.rtt = 40;
    q.pktLostRate = 3;
    q.quality = 1;
    q.akbps = 99;
    EXPECT_EQ(eventtext::PublishQualityUpdate("p1", q),
              "{\"type\":\"PublishQualityUpdate\",\"param\":{\"StreamID\":\"p1\","
              "\"publishQuality\":[{\"fps\":29.970000,\"kbps\":1500.500000,\"rtt\":40,"
              "\"pktLostRate\":3,\"quality\":1}]}}");
    EXPECT_EQ(eventtext::PlayQualityUpdate("s1", q),
              "{\"type\":\"PlayQualityUpdate\",\"param\":{\"StreamID\":\"s1\","
              "\"publishQuality\":[{\"fps\":29.970000,\"kbps\":1500.500000,\"rtt\":40,"
              "\"pktLostRate\":3,\"quality\":1}]}}");
    q.fps = 15;
    EXPECT_NE(eventtext::PlayQualityUpdate("s", q).find("\"fps\":15.000000,"), std::string::npos);

    // Figures with no JSON form are reported as 0; huge ones in full.
    q.fps = std::numeric_limits<double>::quiet_NaN();
    q.kbps = std::numeric_limits<double>::infinity();
    const std::string odd = eventtext::PlayQualityUpdate("s", q);
    EXPECT_NE(odd.find("\"fps\":0.000000,\"kbps\":0.000000,"), std::string::npos) << odd;
    q.fps = -1e300;
    const json huge = ParseEvent(eventtext::PublishQualityUpdate("s", q));
    EXPECT_DOUBLE_EQ(huge["param"]["publishQuality"][0]["fps"].get<double>(), -1e300);
}

ZegoMixStreamResult Mix(const char* stream, const char* mix) {
    ZegoMixStreamResult r{};
    std::strncpy(r.oStreamInfo.szStreamID, stream, kStreamTextSize - 1);
    std::strncpy(r.oStreamInfo.szMixStreamID, mix, kStreamTextSize - 1);
    return r;
}

TEST(EventText, MixStreamSections) {
    ZegoMixStreamResult plain = Mix("s1", "m1");
    plain.nNonExistsStreamCount = -2;
    EXPECT_EQ(eventtext::MixStream(plain, "m1", 7),
              "{\"type\":\"MixStream\",\"param\":{\"MixStreamID\":\"m1\",\"seq\":7,\"result\":[{"
              "\"ErrorCode\":0,\"oStreamInfo\":[{\"StreamID\":\"s1\",\"MixStreamID\":\"m1\"}]}]}}");

    ZegoMixStreamResult full = Mix("out", "mixed");
    full.uiErrorCode = 150;
    full.nNonExistsStreamCount = 2;
    full.ppNonExistsStreamIDList[0] = "gone0";
    full.ppNonExistsStreamIDList[1] = "gone1";
    full.oStreamInfo.urls = Urls({"r0"}, {"f0", "f1"}, {"h0"});
    const std::string text = eventtext::MixStream(full, "m2", -1);
    EXPECT_EQ(text,
              "{\"type\":\"MixStream\",\"param\":{\"MixStreamID\":\"m2\",\"seq\":-1,\"result\":[{"
              "\"ErrorCode\":150,"
              "\"NonExistsStream\":[{\"NonExistsStreamCount\":2,"
              "\"NonExistsStreamIDList0\":\"gone0\",\"NonExistsStreamIDList1\":\"gone1\"}],"
              "\"oStreamInfo\":[{\"StreamID\":\"out\",\"MixStreamID\":\"mixed\","
              "\"Rtmp\":[{\"RtmpURLCount\":1,\"RtmpURL0\":\"r0\"}],"
              "\"Flv\":[{\"FlvURLCount\":2,\"FlvRUL0\":\"f0\",\"FlvRUL1\":\"f1\"}],"
              "\"Hls\":[{\"HlsURLCount\":1,\"HlsURL0\":\"h0\"}]}]}]}}");
    ParseEvent(text);

    // Counts above the slots list the slots only.
    ZegoMixStreamResult wild = Mix("o", "m");
    wild.nNonExistsStreamCount = 1000;
    wild.ppNonExistsStreamIDList[9] = "last";
    wild.oStreamInfo.urls.uiFlvURLCount = 11;
    const json parsed = ParseEvent(eventtext::MixStream(wild, "m", 1));
    const json& missing = parsed["param"]["result"][0]["NonExistsStream"][0];
    EXPECT_EQ(missing["NonExistsStreamCount"], 10);
    EXPECT_EQ(missing["NonExistsStreamIDList9"], "last");
    EXPECT_FALSE(missing.contains("NonExistsStreamIDList10"));
    EXPECT_EQ(parsed["param"]["result"][0]["oStreamInfo"][0]["Flv"][0]["FlvURLCount"], 10);
}

}  // namespace

}  // namespace quorlane
