// Records and enumerations that the live-room SDK passes to its callbacks.
#pragma once

#include "AVDefines.h"

namespace ZEGO {
namespace ROOM {

enum ZegoMessageType : int {
    Text = 1,
    Picture = 2,
    File = 3,
    OtherType = 100,
};

enum ZegoMessageCategory : int {
    Chat = 1,
    System = 2,
    Like = 3,
    Gift = 4,
    OtherCategory = 100,
};

enum ZegoMessagePriority : int {
    Default = 2,
    High = 3,
};

}  // namespace ROOM

namespace LIVEROOM {

const int kStreamTextSize = 512;
const int kMessageContentSize = 1024;
const int kMaxURLs = 10;
const int kMaxNonExistsStreams = 10;

// One stream of a room: four zero-terminated texts.
struct ZegoStreamInfo {
    char szUserId[kStreamTextSize];
    char szUserName[kStreamTextSize];
    char szStreamId[kStreamTextSize];
    char szExtraInfo[kStreamTextSize];
};

enum ZegoStreamUpdateType : int {
    StreamAdded = 2001,
    StreamDeleted = 2002,
};

// One room message.
struct ZegoRoomMessage {
    char szUserId[kStreamTextSize];
    char szUserName[kStreamTextSize];
    char szContent[kMessageContentSize];
    unsigned long long messageId;
    ROOM::ZegoMessageType type;
    ROOM::ZegoMessagePriority priority;
    ROOM::ZegoMessageCategory category;
};

// Addresses of a published stream: up to 10 URLs per protocol, with the count in use.
struct ZegoPublishingStreamInfo {
    const char* arrRtmpURLs[kMaxURLs];
    unsigned int uiRtmpURLCount;
    const char* arrFlvURLs[kMaxURLs];
    unsigned int uiFlvURLCount;
    const char* arrHlsURLs[kMaxURLs];
    unsigned int uiHlsURLCount;
};

// Quality figures of a published or played stream.
struct ZegoStreamQuality {
    double fps;
    double kbps;
    int rtt;
    int pktLostRate;
    int quality;
    double akbps;  // audio bit rate; not reported by the bridge
    int width;
    int height;
};

typedef ZegoStreamQuality ZegoPublishQuality;
typedef ZegoStreamQuality ZegoPlayQuality;

// Output of a stream mix.
struct ZegoMixStreamOutput {
    char szStreamID[kStreamTextSize];
    char szMixStreamID[kStreamTextSize];
    ZegoPublishingStreamInfo urls;
};

struct ZegoMixStreamResult {
    int uiErrorCode;
    int nNonExistsStreamCount;
    const char* ppNonExistsStreamIDList[kMaxNonExistsStreams];
    ZegoMixStreamOutput oStreamInfo;
};

struct ZegoUser {
    char szUserId[kStreamTextSize];
    char szUserName[kStreamTextSize];
};

}  // namespace LIVEROOM
}  // namespace ZEGO
