#include "SdkZegoRoom.h"

#include <cstring>
#include <string>

#include "SdkCallWatch.h"
#include "SdkLogFolder.h"
#include "logging/CredentialMask.h"
#include "logging/Qlog.h"

namespace quorlane {

using namespace ZEGO;

std::atomic<CIIMCallback*> ImCallbackInstance{nullptr};

namespace {

// Built-in credentials, set at configure time (QUORLANE_APP_ID, QUORLANE_APP_SIGN). The
// signature is kept with a zero byte after its 32 bytes so that it prints as a text.
const unsigned int kAppID = QUORLANE_APP_ID;
const unsigned char kAppSign[33] = QUORLANE_APP_SIGN;
const int kAppSignLength = 32;

const AV::PublishChannelIndex kMainChannel = AV::PUBLISH_CHN_MAIN;
const char* const kNoText = nullptr;

}  // namespace

SdkZegoRoom::SdkZegoRoom()
    : publisherCallback(new CILivePublisherCallback),
      playerCallback(new CILivePlayerCallback),
      roomCallback(new CIRoomCallback),
      imCallback(new CIIMCallback),
      deviceStateCallback(new CIZegoDeviceStateCallback),
      renderCallback(new CIZegoVideoRenderCallback) {
    ImCallbackInstance.store(imCallback.get());
}

SdkZegoRoom::~SdkZegoRoom() {
    publisherCallback.reset();
    playerCallback.reset();
    roomCallback.reset();
    imCallback.reset();
    deviceStateCallback.reset();
    renderCallback.reset();
}

bool SdkZegoRoom::Init(const char* userID, const char* userName, int test) {
    activity_.setUp = true;
    SdkCallInFlight call("EnableExternalRender");
    LIVEROOM::EnableExternalRender(true);

    const SdkLogFolder logFolder = ChooseSdkLogFolder(SdkLogFolderInputs::Current());
    const std::string& logDir = logFolder.path;
    QLOG(qlog::LOG_INFO, "SDK log folder %s: %s\r\n", logDir.c_str(), logFolder.reason);
    call.Next("SetLogDir");
    if (!LIVEROOM::SetLogDir(logDir.c_str())) {
        QLOG(qlog::LOG_ERROR, "SetLogDir dir=%s, failed\r\n", logDir.c_str());
    }
    call.Next("SetBusinessType");
    if (!LIVEROOM::SetBusinessType(0)) {
        // Reads 1 though 0 is passed, kept on purpose: log readers rely on it.
        QLOG(qlog::LOG_ERROR, "SetBusinessType(1), failed\r\n");
    }
    call.Next("SetUseTestEnv");
    LIVEROOM::SetUseTestEnv(test != 0);
    call.Next("SetUser");
    if (!LIVEROOM::SetUser(userID, userName)) {
        QLOG(qlog::LOG_ERROR, "SetUser user=%s, name=%s, failed\r\n", userID, userName);
    }

    AVE::ExtPrepSet settings;
    settings.bEncode = false;
    settings.nSampleRate = 0;
    settings.nChannel = 0;
    settings.nSamples = 0;
    call.Next("SetAudioPrep2");
    LIVEROOM::SetAudioPrep2(CopyAudioFrame, settings);

    call.Next("InitSDK");
    if (!LIVEROOM::InitSDK(kAppID, kAppSign, kAppSignLength)) {
        // A credential: only its ends are shown.
        QLOG(qlog::LOG_ERROR, "InitSDK appid=%u, key=%s, failed\r\n", kAppID,
             qlog::MaskCredential(kAppSign, kAppSignLength).c_str());
    }
    call.Next("SetLivePublisherCallback");
    if (!LIVEROOM::SetLivePublisherCallback(publisherCallback.get())) {
        QLOG(qlog::LOG_ERROR, "SetLivePublisherCallback, failed\r\n");
    }
    call.Next("SetLivePlayerCallback");
    if (!LIVEROOM::SetLivePlayerCallback(playerCallback.get())) {
        QLOG(qlog::LOG_ERROR, "SetLivePlayerCallback, failed\r\n");
    }
    call.Next("SetRoomCallback");
    if (!LIVEROOM::SetRoomCallback(roomCallback.get())) {
        QLOG(qlog::LOG_ERROR, "SetRoomCallback, failed\r\n");
    }
    call.Next("SetDeviceStateCallback");
    LIVEROOM::SetDeviceStateCallback(deviceStateCallback.get());

    if (!EnableAux()) {
        QLOG(qlog::LOG_ERROR, "EnableAux(false), failed\r\n");
    }
    const bool volumeSet = SetPlayVolume();
    if (!volumeSet) {
        QLOG(qlog::LOG_ERROR, "SetPlayVolume(100), failed\r\n");
    }
    return volumeSet;
}

bool SdkZegoRoom::SetVideoCaptureResolution(int width, int height) {
    SdkCallInFlight call("SetVideoCaptureResolution");
    const bool ok = LIVEROOM::SetVideoCaptureResolution(width, height, kMainChannel);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "SetVideoCaptureResolution(%d, %d), failed\r\n", width, height);
    }
    return ok;
}

bool SdkZegoRoom::SetVideoEncodeResolution(int width, int height) {
    SdkCallInFlight call("SetVideoEncodeResolution");
    const bool ok = LIVEROOM::SetVideoEncodeResolution(width, height, kMainChannel);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "SetVideoEncodeResolution(%d, %d), failed\r\n", width, height);
    }
    return ok;
}

bool SdkZegoRoom::SetPlayVolume() {
    SdkCallInFlight call("SetPlayVolume");
    const bool ok = LIVEROOM::SetPlayVolume(100, kNoText);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "SetPlayVolume(%d, %s), failed\r\n", 100, kNoText);
    }
    return ok;
}

bool SdkZegoRoom::EnableCamera(bool on) {
    SdkCallInFlight call("EnableCamera");
    const bool ok = LIVEROOM::EnableCamera(on, kMainChannel);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "EnableCamera(%d), failed\r\n", on ? 1 : 0);
    } else {
        activity_.camera = on;
    }
    return ok;
}

bool SdkZegoRoom::EnableMic(bool on) {
    SdkCallInFlight call("EnableMic");
    const bool ok = LIVEROOM::EnableMic(on);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "EnableMic(%d), failed\r\n", on ? 1 : 0);
    } else {
        activity_.mic = on;
    }
    return ok;
}

bool SdkZegoRoom::EnableSpeaker(bool on) {
    SdkCallInFlight call("EnableSpeaker");
    const bool ok = LIVEROOM::EnableSpeaker(on);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "EnableSpeaker(%d), failed\r\n", on ? 1 : 0);
    }
    return ok;
}

bool SdkZegoRoom::LoginRoom(const char* roomID, int role, const char* roomName) {
    SdkCallInFlight call("SetExternalRenderCallback");
    LIVEROOM::SetExternalRenderCallback(renderCallback.get());
    call.Next("LoginRoom");
    const bool ok = LIVEROOM::LoginRoom(roomID, role, roomName);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "LoginRoom(%s, %d, %s), failed\r\n", roomID, role, roomName);
    } else {
        activity_.inRoom = true;
    }
    return ok;
}

bool SdkZegoRoom::LogoutRoom() {
    SdkCallInFlight call("SetExternalRenderCallback");
    LIVEROOM::SetExternalRenderCallback(nullptr);
    call.Next("LogoutRoom");
    const bool ok = LIVEROOM::LogoutRoom();
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "LogoutRoom(), failed\r\n");
    } else {
        activity_.inRoom = false;
    }
    return ok;
}

bool SdkZegoRoom::StartPlayingStream(const char* streamID) {
    SdkCallInFlight call("StartPlayingStream");
    const bool ok = LIVEROOM::StartPlayingStream(streamID, nullptr, kNoText);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "StartPlayingStream(%s, %s), failed\r\n", streamID, kNoText);
    } else if (streamID != nullptr) {
        activity_.playing.insert(streamID);
    }
    return ok;
}

bool SdkZegoRoom::StopPlayingStream(const char* streamID) {
    SdkCallInFlight call("StopPlayingStream");
    const bool ok = LIVEROOM::StopPlayingStream(streamID);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "StopPlayingStream(%s), failed\r\n", streamID);
    } else if (streamID != nullptr) {
        activity_.playing.erase(streamID);
    }
    return ok;
}

bool SdkZegoRoom::StartPublishing(const char* title, const char* streamID, int flag,
                                  const char* params) {
    SdkCallInFlight call("StartPublishing");
    const bool ok = LIVEROOM::StartPublishing(title, streamID, flag, params);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "StartPublishing(%s, %s, %d, %s), failed\r\n", title, streamID, flag,
             params);
    } else {
        activity_.publishing = true;
    }
    return ok;
}

bool SdkZegoRoom::StopPublishing(int flag) {
    SdkCallInFlight call("StopPreview");
    if (!LIVEROOM::StopPreview(kMainChannel)) {
        // "faild" and "ret=0" are kept as they are on purpose: log readers rely on them.
        QLOG(qlog::LOG_ERROR, "StopPreview faild ret=%d\r\n", 0);
    } else {
        activity_.previewing = false;
    }
    call.Next("StopPublishing");
    const bool ok = LIVEROOM::StopPublishing(flag, kNoText, kMainChannel);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "StopPublishing(%d, %s, %d), failed\r\n", flag, kNoText, 0);
    } else {
        activity_.publishing = false;
    }
    return ok;
}

bool SdkZegoRoom::EnableAux() {
    SdkCallInFlight call("EnableAux");
    const bool ok = LIVEROOM::EnableAux(false);
    if (!ok) {
        // "faild" is kept as it is on purpose: log readers rely on it.
        QLOG(qlog::LOG_ERROR, "EnableAux(%d) faild\r\n", 0);
    }
    return ok;
}

bool SdkZegoRoom::StartPreview() {
    SdkCallInFlight call("StartPreview");
    const bool ok = LIVEROOM::StartPreview(kMainChannel);
    if (!ok) {
        // "faild" and "ret=0" are kept as they are on purpose: log readers rely on them.
        QLOG(qlog::LOG_ERROR, "StartPreview faild ret=%d\r\n", 0);
    } else {
        activity_.previewing = true;
    }
    return ok;
}

bool SdkZegoRoom::StopPreview() {
    SdkCallInFlight call("StopPreview");
    const bool ok = LIVEROOM::StopPreview(kMainChannel);
    if (!ok) {
        // "faild" and "ret=0" are kept as they are on purpose: log readers rely on them.
        QLOG(qlog::LOG_ERROR, "StopPreview faild ret=%d\r\n", 0);
    } else {
        activity_.previewing = false;
    }
    return ok;
}

void SdkZegoRoom::ShutDownSdk() {
    SdkCallInFlight call("SetLivePublisherCallback");
    LIVEROOM::SetLivePublisherCallback(nullptr);
    call.Next("SetLivePlayerCallback");
    LIVEROOM::SetLivePlayerCallback(nullptr);
    call.Next("SetRoomCallback");
    LIVEROOM::SetRoomCallback(nullptr);
    call.Next("SetIMCallback");
    LIVEROOM::SetIMCallback(nullptr);
    call.Next("SetDeviceStateCallback");
    LIVEROOM::SetDeviceStateCallback(nullptr);
    call.Next("UnInitSDK");
    LIVEROOM::UnInitSDK();
    activity_ = SdkActivity();
}

void CopyAudioFrame(const AVE::AudioFrame& in, AVE::AudioFrame& out) {
    out.frameType = in.frameType;
    out.samples = in.samples;
    out.bytesPerSample = in.bytesPerSample;
    out.channels = in.channels;
    out.sampleRate = in.sampleRate;
    out.timeStamp = in.timeStamp;
    out.configLen = in.configLen;
    out.bufLen = in.bufLen;
    if (in.bufLen > 0 && in.buffer != nullptr && out.buffer != nullptr && in.buffer != out.buffer) {
        std::memmove(out.buffer, in.buffer, static_cast<std::size_t>(in.bufLen));
    }
}

}  // namespace quorlane
