// The six objects the SDK calls back. They hold no data; they reach the bridge through
// CurrentManager. Room, IM, publisher and player notifications become event texts for the
// host; frames go to the frame relay; device-state notifications are ignored.
#pragma once

#include "LiveRoom.h"

namespace quorlane {

class CILivePublisherCallback final : public ZEGO::LIVEROOM::ILivePublisherCallback {
  public:
    void OnPublishStateUpdate(int stateCode, const char* pszStreamID,
                              const ZEGO::LIVEROOM::ZegoPublishingStreamInfo& oStreamInfo) override;
    void OnJoinLiveRequest(int seq, const char* pszFromUserId, const char* pszFromUserName,
                           const char* pszRoomID) override;
    void OnInviteJoinLiveResponse(int result, const char* pszFromUserId,
                                  const char* pszFromUserName, int seq) override;
    void OnEndJoinLive(int result, int seq, const char* pszRoomID) override;
    void OnPublishQualityLevel(const char* pszStreamID, int quality, double videoFPS,
                               double videoKBS) override;
    void OnPublishQualityUpdate(const char* pszStreamID,
                                ZEGO::LIVEROOM::ZegoPublishQuality publishQuality) override;
    void OnAuxCallback(unsigned char* pData, int* pDataLen, int* pSampleRate,
                       int* pNumChannels) override;
    void OnCaptureVideoSizeChanged(int nWidth, int nHeight) override;
    void OnPreviewSnapshot(void* pImage) override;
    void OnRelayCDNStateUpdate(const char* pszStreamID, int state) override;
    void OnUpdateMixStreamConfig(unsigned int errorCode, const char* pszMixStreamID) override;
    void OnMixStream(const ZEGO::LIVEROOM::ZegoMixStreamResult& result, const char* pszMixStreamID,
                     int seq) override;
    ~CILivePublisherCallback() override = default;
    void OnCaptureVideoFirstFrame() override;
};

class CILivePlayerCallback final : public ZEGO::LIVEROOM::ILivePlayerCallback {
  public:
    void OnPlayStateUpdate(int stateCode, const char* pszStreamID) override;
    void OnPlayQualityUpdate(const char* pszStreamID,
                             ZEGO::LIVEROOM::ZegoPlayQuality playQuality) override;
    void OnPlayQualityLevel(const char* pszStreamID, int quality, double videoFPS,
                            double videoKBS) override;
    void OnJoinLiveResponse(int result, const char* pszFromUserId, const char* pszFromUserName,
                            int seq) override;
    void OnRecvEndJoinLiveCommand(const char* pszFromUserId, const char* pszFromUserName,
                                  const char* pszRoomID) override;
    void OnInviteJoinLiveRequest(int seq, const char* pszFromUserId, const char* pszFromUserName,
                                 const char* pszRoomID) override;
    void OnVideoSizeChanged(const char* pszStreamID, int nWidth, int nHeight) override;
    void OnRemoteCameraStatusUpdate(const char* pszStreamID, int status) override;
    ~CILivePlayerCallback() override = default;
};

class CIRoomCallback final : public ZEGO::LIVEROOM::IRoomCallback {
  public:
    void OnInitSDK(int errorCode) override;
    void OnLoginRoom(int errorCode, const char* pszRoomID,
                     const ZEGO::LIVEROOM::ZegoStreamInfo* pStreamInfo,
                     unsigned int streamCount) override;
    void OnLogoutRoom(int errorCode, const char* pszRoomID) override;
    void OnKickOut(int reason, const char* pszRoomID) override;
    void OnDisconnect(int errorCode, const char* pszRoomID) override;
    void OnReconnect(int errorCode, const char* pszRoomID) override;
    void OnTempBroken(int errorCode, const char* pszRoomID) override;
    void OnStreamUpdated(ZEGO::LIVEROOM::ZegoStreamUpdateType type,
                         ZEGO::LIVEROOM::ZegoStreamInfo* pStreamInfo, unsigned int streamCount,
                         const char* pszRoomID) override;
    void OnStreamExtraInfoUpdated(ZEGO::LIVEROOM::ZegoStreamInfo* pStreamInfo,
                                  unsigned int streamCount, const char* pszRoomID) override;
    void OnCustomCommand(int errorCode, int requestSeq, const char* pszRoomID) override;
    void OnRecvCustomCommand(const char* pszUserId, const char* pszUserName, const char* pszContent,
                             const char* pszRoomID) override;
    ~CIRoomCallback() override = default;
};

class CIIMCallback final : public ZEGO::LIVEROOM::IIMCallback {
  public:
    void OnUpdateOnlineCount(int onlineCount, const char* pszRoomID) override;
    void OnSendRoomMessage(int errorCode, const char* pszRoomID, int sendSeq,
                           unsigned long long messageId) override;
    void OnUserUpdate(const ZEGO::LIVEROOM::ZegoUser* pUserInfo, unsigned int userCount) override;
    void OnSendBigRoomMessage(int errorCode, const char* pszRoomID, int sendSeq,
                              const char* pszMessageId) override;
    void OnRecvBigRoomMessage(const char* pszContent, const char* pszRoomID) override;
    void OnRecvRoomMessage(ZEGO::LIVEROOM::ZegoRoomMessage* pMessageInfo, unsigned int messageCount,
                           const char* pszRoomID) override;
    void OnSendConversationMessage(int errorCode, const char* pszRoomID,
                                   const char* pszConversationID, int sendSeq) override;
    void OnRecvConversationMessage(const char* pszContent, const char* pszConversationID) override;
    ~CIIMCallback() override = default;
};

class CIZegoDeviceStateCallback final : public ZEGO::AV::IZegoDeviceStateCallback {
  public:
    void OnAudioDeviceStateChanged(ZEGO::AV::AudioDeviceType deviceType,
                                   ZEGO::AV::DeviceInfo* deviceInfo,
                                   ZEGO::AV::DeviceState state) override;
    void OnVideoDeviceStateChanged(ZEGO::AV::DeviceInfo* deviceInfo,
                                   ZEGO::AV::DeviceState state) override;
    void OnDeviceError(const char* deviceName, int errorCode) override;
};

class CIZegoVideoRenderCallback final : public ZEGO::LIVEROOM::IZegoVideoRenderCallback {
  public:
    void OnVideoDataCallback(const unsigned char* pData, int dataLen, const char* pszStreamID,
                             int width, int height, int strides[4]) override;
};

}  // namespace quorlane
