// The records and enumerations that the bridge and the vendor's DLL exchange, held at compile
// time to their sizes and member offsets under Microsoft's x64 layout. Included by the binding
// (so the compiler that builds it must lay them out the same way) and compiled on its own for
// the x64 Microsoft target by the tests (so the figures are Microsoft's). Plain C++ with the
// SDK headers only, so that it compiles without any standard library.
#pragma once

#include <stddef.h>

#include "LiveRoom.h"

namespace dll {
namespace layout {

using namespace ZEGO::LIVEROOM;

static_assert(sizeof(bool) == 1 && sizeof(int) == 4 && sizeof(unsigned long long) == 8 &&
                  sizeof(double) == 8 && sizeof(void*) == 8,
              "x64 with 32-bit int");

static_assert(sizeof(ZEGO::AV::PublishChannelIndex) == 4, "enumeration size");
static_assert(sizeof(ZEGO::AV::AudioDeviceType) == 4, "enumeration size");
static_assert(sizeof(ZEGO::AV::DeviceState) == 4, "enumeration size");
static_assert(sizeof(ZEGO::ROOM::ZegoMessageType) == 4, "enumeration size");
static_assert(sizeof(ZEGO::ROOM::ZegoMessageCategory) == 4, "enumeration size");
static_assert(sizeof(ZEGO::ROOM::ZegoMessagePriority) == 4, "enumeration size");
static_assert(sizeof(ZegoStreamUpdateType) == 4, "enumeration size");

static_assert(sizeof(AVE::AudioFrame) == 48, "AudioFrame");
static_assert(offsetof(AVE::AudioFrame, sampleRate) == 16, "AudioFrame");
static_assert(offsetof(AVE::AudioFrame, timeStamp) == 24, "AudioFrame");
static_assert(offsetof(AVE::AudioFrame, configLen) == 32, "AudioFrame");
static_assert(offsetof(AVE::AudioFrame, bufLen) == 36, "AudioFrame");
static_assert(offsetof(AVE::AudioFrame, buffer) == 40, "AudioFrame");

static_assert(sizeof(AVE::ExtPrepSet) == 16, "ExtPrepSet");
static_assert(offsetof(AVE::ExtPrepSet, nSampleRate) == 4, "ExtPrepSet");
static_assert(offsetof(AVE::ExtPrepSet, nSamples) == 12, "ExtPrepSet");

static_assert(sizeof(ZEGO::AV::DeviceInfo) == 1024, "DeviceInfo");
static_assert(offsetof(ZEGO::AV::DeviceInfo, szDeviceName) == 512, "DeviceInfo");

static_assert(sizeof(ZegoStreamInfo) == 2048, "ZegoStreamInfo");
static_assert(offsetof(ZegoStreamInfo, szUserName) == 512, "ZegoStreamInfo");
static_assert(offsetof(ZegoStreamInfo, szStreamId) == 1024, "ZegoStreamInfo");
static_assert(offsetof(ZegoStreamInfo, szExtraInfo) == 1536, "ZegoStreamInfo");

static_assert(sizeof(ZegoRoomMessage) == 2072, "ZegoRoomMessage");
static_assert(offsetof(ZegoRoomMessage, szUserName) == 512, "ZegoRoomMessage");
static_assert(offsetof(ZegoRoomMessage, szContent) == 1024, "ZegoRoomMessage");
static_assert(offsetof(ZegoRoomMessage, messageId) == 2048, "ZegoRoomMessage");
static_assert(offsetof(ZegoRoomMessage, type) == 2056, "ZegoRoomMessage");
static_assert(offsetof(ZegoRoomMessage, priority) == 2060, "ZegoRoomMessage");
static_assert(offsetof(ZegoRoomMessage, category) == 2064, "ZegoRoomMessage");

static_assert(sizeof(ZegoPublishingStreamInfo) == 264, "ZegoPublishingStreamInfo");
static_assert(offsetof(ZegoPublishingStreamInfo, uiRtmpURLCount) == 80, "ZegoPublishingStreamInfo");
static_assert(offsetof(ZegoPublishingStreamInfo, arrFlvURLs) == 88, "ZegoPublishingStreamInfo");
static_assert(offsetof(ZegoPublishingStreamInfo, uiFlvURLCount) == 168, "ZegoPublishingStreamInfo");
static_assert(offsetof(ZegoPublishingStreamInfo, arrHlsURLs) == 176, "ZegoPublishingStreamInfo");
static_assert(offsetof(ZegoPublishingStreamInfo, uiHlsURLCount) == 256, "ZegoPublishingStreamInfo");

// Passed by value: larger than 8 bytes, so as a pointer to a copy the caller makes.
static_assert(sizeof(ZegoStreamQuality) == 48, "ZegoStreamQuality");
static_assert(offsetof(ZegoStreamQuality, kbps) == 8, "ZegoStreamQuality");
static_assert(offsetof(ZegoStreamQuality, rtt) == 16, "ZegoStreamQuality");
static_assert(offsetof(ZegoStreamQuality, pktLostRate) == 20, "ZegoStreamQuality");
static_assert(offsetof(ZegoStreamQuality, quality) == 24, "ZegoStreamQuality");
static_assert(offsetof(ZegoStreamQuality, akbps) == 32, "ZegoStreamQuality");
static_assert(offsetof(ZegoStreamQuality, width) == 40, "ZegoStreamQuality");
static_assert(offsetof(ZegoStreamQuality, height) == 44, "ZegoStreamQuality");

static_assert(sizeof(ZegoMixStreamOutput) == 1288, "ZegoMixStreamOutput");
static_assert(offsetof(ZegoMixStreamOutput, szMixStreamID) == 512, "ZegoMixStreamOutput");
static_assert(offsetof(ZegoMixStreamOutput, urls) == 1024, "ZegoMixStreamOutput");

static_assert(sizeof(ZegoMixStreamResult) == 1376, "ZegoMixStreamResult");
static_assert(offsetof(ZegoMixStreamResult, nNonExistsStreamCount) == 4, "ZegoMixStreamResult");
static_assert(offsetof(ZegoMixStreamResult, ppNonExistsStreamIDList) == 8, "ZegoMixStreamResult");
static_assert(offsetof(ZegoMixStreamResult, oStreamInfo) == 88, "ZegoMixStreamResult");

static_assert(sizeof(ZegoUser) == 1024, "ZegoUser");
static_assert(offsetof(ZegoUser, szUserName) == 512, "ZegoUser");

}  // namespace layout
}  // namespace dll
