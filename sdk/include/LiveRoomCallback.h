// Callback interfaces of the live-room SDK. Notifications arrive on SDK threads. The
// declaration order of the virtual operations is the slot order the SDK relies on.
#pragma once

#include "LiveRoomDefines.h"

namespace ZEGO {
namespace LIVEROOM {

class IRoomCallback {
  public:
    virtual void OnInitSDK(int errorCode) = 0;
    virtual void OnLoginRoom(int errorCode, const char* pszRoomID,
                             const ZegoStreamInfo* pStreamInfo, unsigned int streamCount) = 0;
    virtual void OnLogoutRoom(int errorCode, const char* pszRoomID) = 0;
    virtual void OnKickOut(int reason, const char* pszRoomID) = 0;
    virtual void OnDisconnect(int errorCode, const char* pszRoomID) = 0;
    virtual void OnReconnect(int errorCode, const char* pszRoomID) = 0;
    virtual void OnTempBroken(int errorCode, const char* pszRoomID) = 0;
    virtual void OnStreamUpdated(ZegoStreamUpdateType type, ZegoStreamInfo* pStreamInfo,
                                 unsigned int streamCount, const char* pszRoomID) = 0;
    virtual void OnStreamExtraInfoUpdated(ZegoStreamInfo* pStreamInfo, unsigned int streamCount,
                                          const char* pszRoomID) = 0;
    virtual void OnCustomCommand(int errorCode, int requestSeq, const char* pszRoomID) = 0;
    virtual void OnRecvCustomCommand(const char* pszUserId, const char* pszUserName,
                                     const char* pszContent, const char* pszRoomID) = 0;
    virtual ~IRoomCallback() = default;
};

class IIMCallback {
  public:
    virtual void OnUpdateOnlineCount(int onlineCount, const char* pszRoomID) = 0;
    virtual void OnSendRoomMessage(int errorCode, const char* pszRoomID, int sendSeq,
                                   unsigned long long messageId) = 0;
    virtual void OnUserUpdate(const ZegoUser* pUserInfo, unsigned int userCount) = 0;
    virtual void OnSendBigRoomMessage(int errorCode, const char* pszRoomID, int sendSeq,
                                      const char* pszMessageId) = 0;
    virtual void OnRecvBigRoomMessage(const char* pszContent, const char* pszRoomID) = 0;
    virtual void OnRecvRoomMessage(ZegoRoomMessage* pMessageInfo, unsigned int messageCount,
                                   const char* pszRoomID) = 0;
    virtual void OnSendConversationMessage(int errorCode, const char* pszRoomID,
                                           const char* pszConversationID, int sendSeq) = 0;
    virtual void OnRecvConversationMessage(const char* pszContent,
                                           const char* pszConversationID) = 0;
    virtual ~IIMCallback() = default;
};

class ILivePublisherCallback {
  public:
    virtual void OnPublishStateUpdate(int stateCode, const char* pszStreamID,
                                      const ZegoPublishingStreamInfo& oStreamInfo) = 0;
    virtual void OnJoinLiveRequest(int seq, const char* pszFromUserId, const char* pszFromUserName,
                                   const char* pszRoomID) = 0;
    virtual void OnInviteJoinLiveResponse(int result, const char* pszFromUserId,
                                          const char* pszFromUserName, int seq) = 0;
    virtual void OnEndJoinLive(int result, int seq, const char* pszRoomID) = 0;
    virtual void OnPublishQualityLevel(const char* pszStreamID, int quality, double videoFPS,
                                       double videoKBS) = 0;
    virtual void OnPublishQualityUpdate(const char* pszStreamID,
                                        ZegoPublishQuality publishQuality) = 0;
    virtual void OnAuxCallback(unsigned char* pData, int* pDataLen, int* pSampleRate,
                               int* pNumChannels) = 0;
    virtual void OnCaptureVideoSizeChanged(int nWidth, int nHeight) = 0;
    virtual void OnPreviewSnapshot(void* pImage) = 0;
    virtual void OnRelayCDNStateUpdate(const char* pszStreamID, int state) = 0;
    virtual void OnUpdateMixStreamConfig(unsigned int errorCode, const char* pszMixStreamID) = 0;
    virtual void OnMixStream(const ZegoMixStreamResult& result, const char* pszMixStreamID,
                             int seq) = 0;
    virtual ~ILivePublisherCallback() = default;
    virtual void OnCaptureVideoFirstFrame() = 0;
};

class ILivePlayerCallback {
  public:
    virtual void OnPlayStateUpdate(int stateCode, const char* pszStreamID) = 0;
    virtual void OnPlayQualityUpdate(const char* pszStreamID, ZegoPlayQuality playQuality) = 0;
    virtual void OnPlayQualityLevel(const char* pszStreamID, int quality, double videoFPS,
                                    double videoKBS) = 0;
    virtual void OnJoinLiveResponse(int result, const char* pszFromUserId,
                                    const char* pszFromUserName, int seq) = 0;
    virtual void OnRecvEndJoinLiveCommand(const char* pszFromUserId, const char* pszFromUserName,
                                          const char* pszRoomID) = 0;
    virtual void OnInviteJoinLiveRequest(int seq, const char* pszFromUserId,
                                         const char* pszFromUserName, const char* pszRoomID) = 0;
    virtual void OnVideoSizeChanged(const char* pszStreamID, int nWidth, int nHeight) = 0;
    virtual void OnRemoteCameraStatusUpdate(const char* pszStreamID, int status) = 0;
    virtual ~ILivePlayerCallback() = default;
};

// Receives every decoded or previewed frame while external rendering is on: 32-bit pixels,
// bytes blue, green, red, alpha, rows strides[0] apart. The SDK never deletes the object.
class IZegoVideoRenderCallback {
  public:
    virtual void OnVideoDataCallback(const unsigned char* pData, int dataLen,
                                     const char* pszStreamID, int width, int height,
                                     int strides[4]) = 0;

  protected:
    ~IZegoVideoRenderCallback() = default;
};

}  // namespace LIVEROOM
}  // namespace ZEGO
