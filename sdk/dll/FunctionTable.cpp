#include "sdk/dll/FunctionTable.h"

namespace dll {

namespace {

// In the order of Function.
const char* const kDecorations[kFunctionCount] = {
    "?EnableExternalRender@LIVEROOM@ZEGO@@YAX_N@Z",
    "?SetLogDir@LIVEROOM@ZEGO@@YA_NPEBD@Z",
    "?SetBusinessType@LIVEROOM@ZEGO@@YA_NH@Z",
    "?SetUseTestEnv@LIVEROOM@ZEGO@@YAX_N@Z",
    "?SetUser@LIVEROOM@ZEGO@@YA_NPEBD0@Z",
    "?SetAudioPrep2@LIVEROOM@ZEGO@@YAXP6AXAEBUAudioFrame@AVE@@AEAU34@@ZAEBUExtPrepSet@4@@Z",
    "?InitSDK@LIVEROOM@ZEGO@@YA_NIPEBEH@Z",
    "?UnInitSDK@LIVEROOM@ZEGO@@YA_NXZ",
    "?SetLivePublisherCallback@LIVEROOM@ZEGO@@YA_NPEAVILivePublisherCallback@12@@Z",
    "?SetLivePlayerCallback@LIVEROOM@ZEGO@@YA_NPEAVILivePlayerCallback@12@@Z",
    "?SetRoomCallback@LIVEROOM@ZEGO@@YA_NPEAVIRoomCallback@12@@Z",
    "?SetDeviceStateCallback@LIVEROOM@ZEGO@@YAXPEAVIZegoDeviceStateCallback@AV@2@@Z",
    "?SetIMCallback@LIVEROOM@ZEGO@@YA_NPEAVIIMCallback@12@@Z",
    "?SetExternalRenderCallback@LIVEROOM@ZEGO@@YAXPEAVIZegoVideoRenderCallback@12@@Z",
    "?EnableAux@LIVEROOM@ZEGO@@YA_N_N@Z",
    "?SetPlayVolume@LIVEROOM@ZEGO@@YA_NHPEBD@Z",
    "?LoginRoom@LIVEROOM@ZEGO@@YA_NPEBDH0@Z",
    "?LogoutRoom@LIVEROOM@ZEGO@@YA_NXZ",
    "?StartPlayingStream@LIVEROOM@ZEGO@@YA_NPEBDPEAX0@Z",
    "?StopPlayingStream@LIVEROOM@ZEGO@@YA_NPEBD@Z",
    "?StartPublishing@LIVEROOM@ZEGO@@YA_NPEBD0H0@Z",
    "?StopPublishing@LIVEROOM@ZEGO@@YA_NHPEBDW4PublishChannelIndex@AV@2@@Z",
    "?StartPreview@LIVEROOM@ZEGO@@YA_NW4PublishChannelIndex@AV@2@@Z",
    "?StopPreview@LIVEROOM@ZEGO@@YA_NW4PublishChannelIndex@AV@2@@Z",
    "?EnableCamera@LIVEROOM@ZEGO@@YA_N_NW4PublishChannelIndex@AV@2@@Z",
    "?EnableMic@LIVEROOM@ZEGO@@YA_N_N@Z",
    "?EnableSpeaker@LIVEROOM@ZEGO@@YA_N_N@Z",
    "?SetVideoCaptureResolution@LIVEROOM@ZEGO@@YA_NHHW4PublishChannelIndex@AV@2@@Z",
    "?SetVideoEncodeResolution@LIVEROOM@ZEGO@@YA_NHHW4PublishChannelIndex@AV@2@@Z",
    "?SetWaterMarkImagePath@LIVEROOM@ZEGO@@YAXPEBDW4PublishChannelIndex@AV@2@@Z",
    "?SetPublishWaterMarkRect@LIVEROOM@ZEGO@@YAXHHHHW4PublishChannelIndex@AV@2@@Z",
    "?SetPreviewWaterMarkRect@LIVEROOM@ZEGO@@YAXHHHHW4PublishChannelIndex@AV@2@@Z",
    ("?SendRoomMessage@LIVEROOM@ZEGO@@YAHW4ZegoMessageType@ROOM@2@W4ZegoMessageCategory@42@"
     "W4ZegoMessagePriority@42@PEBD@Z"),
};

}  // namespace

const char* Decoration(Function function) {
    return kDecorations[static_cast<std::size_t>(function)];
}

}  // namespace dll
