#include "Dispatch.h"

#include <cmath>
#include <exception>
#include <limits>
#include <string>
#include <vector>

#include "CrashReport.h"
#include "HostChannels.h"
#include "Manager.h"
#include "SdkCallWatch.h"
#include "json/Json.h"
#include "logging/Qlog.h"

using qjson::Json;

namespace quorlane {

using namespace ZEGO;

std::int32_t NumberToInt32(double value) {
    const std::int32_t outOfRange = std::numeric_limits<std::int32_t>::min();
    if (std::isnan(value)) {
        return outOfRange;
    }
    const double truncated = std::trunc(value);
    if (truncated < -2147483648.0 || truncated > 2147483647.0) {
        return outOfRange;
    }
    return static_cast<std::int32_t>(truncated);
}

namespace {

const AV::PublishChannelIndex kMainChannel = AV::PUBLISH_CHN_MAIN;

std::string Text(Json& param, const char* key) {
    return param[key].AsString();
}

std::int32_t Number(Json& param, const char* key) {
    return NumberToInt32(param[key].AsNumber());
}

void DispatchLogin(Json& param, Manager* manager) {
    const std::string userID = Text(param, "userID");
    const std::string userName = Text(param, "userName");
    std::int32_t test = 0;
    try {
        test = Number(param, "test");
    } catch (const std::exception& e) {
        QLOG(qlog::LOG_ERROR, "login param 3, e=%s\r\n", e.what());
        test = 0;
    }
    manager->Login(userID.c_str(), userName.c_str(), test);
}

void DispatchEnterRoom(Json& param, Manager* manager) {
    // Members read in this order, not the call's, on purpose: hosts rely on it.
    const std::string roomName = Text(param, "RoomName");
    const std::string roomID = Text(param, "RoomID");
    const std::int32_t role = Number(param, "role");
    manager->EnterRoom(role, roomID.c_str(), roomName.c_str());
}

void DispatchRequestView(Json& param, Manager* manager) {
    // Both log texts, wording and missing line end included, are kept: log readers rely on them.
    if (param.Kind() != Json::Array) {
        QLOG(qlog::LOG_ERROR, "list is not a array");
        return;
    }
    if (param.size() > 4) {
        QLOG(qlog::LOG_ERROR, "RequestRemoteView size");
        return;
    }
    std::vector<std::string> streamIDs;
    for (Json* element : param.AsArray()) {
        std::string streamID = element->AsString();
        if (!streamID.empty()) {
            streamIDs.push_back(std::move(streamID));
        }
    }
    manager->RequestView(streamIDs);
}

void DispatchStartPushRtmp(Json& param, Manager* manager) {
    // Members read in this order, not the call's, on purpose: hosts rely on it.
    const std::string params = Text(param, "Params");
    const std::string streamID = Text(param, "StreamID");
    const std::string title = Text(param, "Title");
    const std::int32_t flag = Number(param, "flag");
    manager->PublishStream(true, title.c_str(), streamID.c_str(), flag, params.c_str());
}

void DispatchSendRoomMessage(Json& param, Manager* manager) {
    // Members read in this order, not the call's, on purpose: hosts rely on it.
    const std::string content = Text(param, "messageContent");
    const std::int32_t priority = Number(param, "priority");
    const std::int32_t category = Number(param, "category");
    const std::int32_t type = Number(param, "type");
    manager->SendRoomMessage(type, category, priority, content.c_str());
}

struct Rect {
    std::int32_t left, top, right, bottom;
};

Rect ReadRect(Json& param) {
    // Members read in this order, not the call's, on purpose: hosts rely on it.
    Rect rect;
    rect.bottom = Number(param, "bottom");
    rect.right = Number(param, "right");
    rect.top = Number(param, "top");
    rect.left = Number(param, "left");
    return rect;
}

struct Size {
    std::int32_t width, height;
};

Size ReadSize(Json& param) {
    // Members read in this order, not the call's, on purpose: hosts rely on it.
    Size size;
    size.height = Number(param, "nHeight");
    size.width = Number(param, "nWidth");
    return size;
}

}  // namespace

void Dispatch(Json& command, Manager* manager) {
    const std::string type = command["type"].AsString();
    NoteCommand(type.c_str());

    // "Init" is accepted and does nothing, with no reply.
    if (type == "Login") {
        DispatchLogin(command["param"], manager);
    } else if (type == "Logout") {
        manager->Logout();
    } else if (type == "EnterRoom") {
        DispatchEnterRoom(command["param"], manager);
    } else if (type == "ExitRoom") {
        manager->ExitRoom();
    } else if (type == "OpenCamera") {
        manager->OpenCamera();
    } else if (type == "CloseCamera") {
        manager->CloseCamera();
    } else if (type == "RequestView") {
        DispatchRequestView(command["param"], manager);
    } else if (type == "OpenMic") {
        manager->OpenMic();
    } else if (type == "CloseMic") {
        manager->CloseMic();
    } else if (type == "OpenSpeaker") {
        manager->OpenSpeaker();
    } else if (type == "CloseSpeaker") {
        manager->CloseSpeaker();
    } else if (type == "StartPushRtmp") {
        DispatchStartPushRtmp(command["param"], manager);
    } else if (type == "StopPushRtmp") {
        manager->PublishStream(false, "", "", 0, "");
    } else if (type == "DaemonStart") {
        // Code 0 here, unlike the 1 of other successes, is kept on purpose: hosts rely on it.
        SendResult(0, "DaemonStart");
    } else if (type == "SendRoomMessage") {
        DispatchSendRoomMessage(command["param"], manager);
    } else if (type == "SetWaterpath") {
        // The watermark replies carry the SDK call's name and always code 1: hosts rely on it.
        const std::string path = Text(command["param"], "path");
        {
            SdkCallInFlight call("SetWaterMarkImagePath");
            LIVEROOM::SetWaterMarkImagePath(path.c_str(), kMainChannel);
        }
        SendResult(1, "SetWaterMarkImagePath");
    } else if (type == "SetWaterrect") {
        const Rect rect = ReadRect(command["param"]);
        {
            SdkCallInFlight call("SetPublishWaterMarkRect");
            LIVEROOM::SetPublishWaterMarkRect(rect.left, rect.top, rect.right, rect.bottom,
                                              kMainChannel);
        }
        SendResult(1, "SetPublishWaterMarkRect");
    } else if (type == "SetPWaterrect") {
        const Rect rect = ReadRect(command["param"]);
        {
            SdkCallInFlight call("SetPreviewWaterMarkRect");
            LIVEROOM::SetPreviewWaterMarkRect(rect.left, rect.top, rect.right, rect.bottom,
                                              kMainChannel);
        }
        SendResult(1, "SetPreviewWaterMarkRect");
    } else if (type == "SetEncodeRect") {
        // Replied to under the SDK call's name, not the command's, on purpose: hosts rely on it.
        const Size size = ReadSize(command["param"]);
        manager->SetEncodeRect(size.width, size.height);
    } else if (type == "SetCapRect") {
        const Size size = ReadSize(command["param"]);
        manager->SetCapRect(size.width, size.height);
    } else if (type == "StartPreview") {
        SendResult(manager->StartPreview() ? 1 : 0, "StartPreview");
    } else if (type == "StopPreview") {
        SendResult(manager->StopPreview() ? 1 : 0, "StopPreview");
    }
}

}  // namespace quorlane
