// Shared pieces of the end-to-end command tests: a fixture with a started bridge, the reply
// text, and the SDK calls of a login.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/Process.h"
#include "tests/support/BridgeProcess.h"

namespace bridgetest {

class BridgeTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(bridge.Start()); }
    BridgeProcess bridge;
};

// The reply object exactly as written on descriptor 4.
inline std::string Reply(int code, const std::string& type) {
    return "{ \"code\": " + std::to_string(code) + ", \"type\": \"" + type + "\" }";
}

// Directory of the bridge binary as the system names it, with its trailing separator.
inline std::string BinaryDirectory() {
    std::filesystem::path dir =
        std::filesystem::path(platform::ExecutableDirectory()) / BRIDGE_DIR_FROM_TEST;
    std::string text = dir.lexically_normal().make_preferred().string();
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    if (text.empty() || text.back() != separator)
        text += separator;
    return text;
}

// The calls of a login's SDK set-up when every call succeeds.
inline Lines LoginCalls(const std::string& user, const std::string& name, bool test) {
    return Lines{
        "EnableExternalRender(true)",
        "SetLogDir(" + nlohmann::json(BinaryDirectory()).dump() + ") -> true",
        "SetBusinessType(0) -> true",
        std::string("SetUseTestEnv(") + (test ? "true" : "false") + ")",
        "SetUser(\"" + user + "\", \"" + name + "\") -> true",
        R"(SetAudioPrep2("object", {"bEncode":false,"nChannel":0,"nSampleRate":0,"nSamples":0}))",
        "InitSDK(" + std::to_string(QUORLANE_APP_ID) + ", \"" + QUORLANE_APP_SIGN +
            "\", 32) -> true",
        "SetLivePublisherCallback(\"object\") -> true",
        "SetLivePlayerCallback(\"object\") -> true",
        "SetRoomCallback(\"object\") -> true",
        "SetDeviceStateCallback(\"object\")",
        "EnableAux(false) -> true",
        "SetPlayVolume(100, null) -> true",
    };
}

}  // namespace bridgetest
