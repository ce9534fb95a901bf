// The command operations: each turns one host command into its SDK calls, logs failures and
// sends the reply where the command has one.
#include "Manager.h"

#include "HostChannels.h"
#include "SdkCallWatch.h"
#include "logging/Qlog.h"

namespace quorlane {

using namespace ZEGO;

std::atomic<Manager*> CurrentManager{nullptr};

namespace {

// Sends code 1 for success, 0 for failure.
void Reply(bool ok, const char* name) {
    SendResult(ok ? 1 : 0, name);
}

}  // namespace

bool Manager::Login(const char* userID, const char* userName, int test) {
    const bool ok = SetUpSdk(userID, userName, test);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "Login failed\r\n");
    }
    Reply(ok, "Login");
    return ok;
}

bool Manager::SetUpSdk(const char* userID, const char* userName, int test) {
    const bool ok = Init(userID, userName, test);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "InitSDK failed, userID:%s, userName:%s\r\n", userID, userName);
    }
    return ok;
}

bool Manager::Logout() {
    ExitRoom();
    ShutDownSdk();
    // Code 0 whatever happened, kept on purpose: hosts rely on it.
    SendResult(0, "Logout");
    return true;
}

bool Manager::EnterRoom(int role, const char* roomID, const char* roomName) {
    const bool ok = LoginRoom(roomID, role, roomName);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "role:%d, enter roomid:%s, roomname:%s failed\r\n", role, roomID,
             roomName);
        SendResult(kEnterRoomRefused, "EnterRoom");
    }
    return ok;
}

bool Manager::ExitRoom() {
    StopAllViews();
    const bool ok = LogoutRoom();
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "exit room failed\r\n");
    }
    return ok;
}

void Manager::StopAllViews() {
    for (const std::string& streamID : channels_.StreamIDs()) {
        PlayStream(streamID.c_str(), false);
    }
}

bool Manager::PlayStream(const char* streamID, bool start) {
    if (start) {
        const bool ok = StartPlayingStream(streamID);
        if (!ok) {
            // Names parameters never passed, so it reads (null): log readers rely on it.
            const char* noParams = nullptr;
            QLOG(qlog::LOG_ERROR, "StartPlayingStream failed, pszStreamID:%s, pszParams:%s\r\n",
                 streamID, noParams);
        }
        return ok;
    }
    const bool ok = StopPlayingStream(streamID);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "StopPlayingStream failed, pszStreamID:%s\r\n", streamID);
    }
    return ok;
}

void Manager::RequestView(const std::vector<std::string>& streamIDs) {
    StopAllViews();
    for (std::size_t i = 0; i < streamIDs.size(); ++i) {
        channels_.Replace(streamIDs[i], static_cast<int>(i) + 1);
        PlayStream(streamIDs[i].c_str(), true);
    }
}

bool Manager::PublishStream(bool start, const char* title, const char* streamID, int flag,
                            const char* params) {
    if (start) {
        const bool ok = StartPublishing(title, streamID, flag, params);
        if (!ok) {
            QLOG(qlog::LOG_ERROR,
                 "StartPublishing failed, pszTitle:%s, pszStreamID:%s, flag:%d, pszParams:%s\r\n",
                 title, streamID, flag, params);
        }
        return ok;
    }
    const bool ok = StopPublishing(flag);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "StopPublishing failed, flag:%d\r\n", flag);
    }
    return ok;
}

int Manager::SendRoomMessage(int type, int category, int priority, const char* content) {
    SdkCallInFlight call("SendRoomMessage");
    const int result = LIVEROOM::SendRoomMessage(
        static_cast<ROOM::ZegoMessageType>(type), static_cast<ROOM::ZegoMessageCategory>(category),
        static_cast<ROOM::ZegoMessagePriority>(priority), content);
    if (result == 0) {
        QLOG(qlog::LOG_ERROR,
             "SendRoomMessage(type=%d, category=%d, priority=%d, msg=%s) failed, flag:%d\r\n", type,
             category, priority, content, 0);
    }
    return result;
}

bool Manager::OpenCamera() {
    const bool ok = EnableCamera(true);
    if (!ok) {
        // "flag:0" whatever the switch, kept on purpose: log readers rely on it.
        QLOG(qlog::LOG_ERROR, "OpenCamera failed, flag:%d\r\n", 0);
    }
    Reply(ok, "OpenCamera");
    return ok;
}

bool Manager::CloseCamera() {
    const bool ok = CameraOff();
    Reply(ok, "CloseCamera");
    return ok;
}

bool Manager::CameraOff() {
    const bool ok = EnableCamera(false);
    if (!ok) {
        // "flag:0" whatever the switch, kept on purpose: log readers rely on it.
        QLOG(qlog::LOG_ERROR, "CloseCamera failed, flag:%d\r\n", 0);
    }
    return ok;
}

bool Manager::OpenMic() {
    const bool ok = EnableMic(true);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "OpenMic failed\r\n");
    }
    Reply(ok, "OpenMic");
    return ok;
}

bool Manager::CloseMic() {
    const bool ok = MicOff();
    Reply(ok, "CloseMic");
    return ok;
}

bool Manager::MicOff() {
    const bool ok = EnableMic(false);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "CloseMic failed\r\n");
    }
    return ok;
}

bool Manager::OpenSpeaker() {
    const bool ok = EnableSpeaker(true);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "OpenSpeaker failed\r\n");
    }
    Reply(ok, "OpenSpeaker");
    return ok;
}

bool Manager::CloseSpeaker() {
    const bool ok = EnableSpeaker(false);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "CloseSpeaker failed\r\n");
    }
    Reply(ok, "CloseSpeaker");
    return ok;
}

bool Manager::SetEncodeRect(int width, int height) {
    const bool ok = SetVideoEncodeResolution(width, height);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "SetVideoEncodeResolution failed, nWidth=%d, nHeight=%d\r\n", width,
             height);
    }
    Reply(ok, "SetVideoEncodeResolution");
    return ok;
}

bool Manager::SetCapRect(int width, int height) {
    const bool ok = SetVideoCaptureResolution(width, height);
    if (!ok) {
        QLOG(qlog::LOG_ERROR, "SetVideoCaptureResolution failed, nWidth=%d, nHeight=%d\r\n", width,
             height);
    }
    Reply(ok, "SetVideoCaptureResolution");
    return ok;
}

void Manager::RequestLeaving() {
    leaving_.store(true);
    commandQueue_.Signal();
}

void Manager::Leave() {
    // A copy: the calls below change what is on.
    const SdkActivity on = Activity();
    if (on.publishing) {
        PublishStream(false, "", "", 0, "");  // the preview first, as StopPushRtmp does
    } else if (on.previewing) {
        StopPreview();
    }
    if (on.camera) {
        CameraOff();
    }
    if (on.mic) {
        MicOff();
    }
    for (const std::string& streamID : on.playing) {
        PlayStream(streamID.c_str(), false);
    }
    if (on.inRoom && !LogoutRoom()) {
        QLOG(qlog::LOG_ERROR, "exit room failed\r\n");
    }
    if (on.setUp) {
        ShutDownSdk();
    }
    left_.Signal();
}

void Manager::KeepWorker(Worker which, std::thread thread) {
    switch (which) {
        case Worker::kUimsg:
            uimsgThread_ = std::move(thread);
            break;
        case Worker::kCallbkmsg:
            callbkmsgThread_ = std::move(thread);
            break;
        case Worker::kMsgloop:
            msgloopThread_ = std::move(thread);
            break;
    }
}

}  // namespace quorlane
