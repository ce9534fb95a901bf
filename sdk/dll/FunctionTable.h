// Every function of LiveRoom.h, with the name Microsoft's compiler gives its declaration there:
// the names the binding looks up in the vendor's DLL.
#pragma once

#include <cstddef>

namespace dll {

enum class Function : int {
    kEnableExternalRender,
    kSetLogDir,
    kSetBusinessType,
    kSetUseTestEnv,
    kSetUser,
    kSetAudioPrep2,
    kInitSDK,
    kUnInitSDK,
    kSetLivePublisherCallback,
    kSetLivePlayerCallback,
    kSetRoomCallback,
    kSetDeviceStateCallback,
    kSetIMCallback,
    kSetExternalRenderCallback,
    kEnableAux,
    kSetPlayVolume,
    kLoginRoom,
    kLogoutRoom,
    kStartPlayingStream,
    kStopPlayingStream,
    kStartPublishing,
    kStopPublishing,
    kStartPreview,
    kStopPreview,
    kEnableCamera,
    kEnableMic,
    kEnableSpeaker,
    kSetVideoCaptureResolution,
    kSetVideoEncodeResolution,
    kSetWaterMarkImagePath,
    kSetPublishWaterMarkRect,
    kSetPreviewWaterMarkRect,
    kSendRoomMessage,
    kCount
};

constexpr std::size_t kFunctionCount = static_cast<std::size_t>(Function::kCount);

// The decoration of `function`'s declaration in LiveRoom.h.
const char* Decoration(Function function);

}  // namespace dll
