// Shared pieces of the end-to-end command tests: a fixture with a started bridge, the reply
// text, and the SDK calls of a login.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/BridgeProcess.h"

namespace bridge_test {

class BridgeTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(bridge.Start()); }
    BridgeProcess bridge;
};

// The reply object exactly as written on descriptor 4.
inline std::string Reply(int code, const std::string& type) {
    return "{ \"code\": " + std::to_string(code) + ", \"type\": \"" + type + "\" }";
}

// Directory of the bridge binary with its trailing separator.
inline std::string BinaryDirectory() {
    const std::string path = QUORLANE_BINARY;
    return path.substr(0, path.rfind('/') + 1);
}

// The calls of a login's SDK set-up when every call succeeds.
inline Lines LoginCalls(const std::string& user, const std::string& name, bool test) {
    return Lines{
        "EnableExternalRender(true)",
        "SetLogDir(\"" + BinaryDirectory() + "\") -> true",
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

}  // namespace bridge_test
