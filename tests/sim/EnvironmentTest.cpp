// Scripted mode started by QUORLANE_SIM_CONTROL=IN,OUT on the SDK's first use, as a bridge
// process under test starts it. Its own executable: the variable is read once per process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "LiveRoom.h"
#include "platform/Descriptors.h"
#include "platform/Process.h"
#include "platform/Spawn.h"
#include "sdk/sim/SimControl.h"

namespace {

using Json = nlohmann::json;

std::string ReadLine(int fd) {
    std::string line;
    char c;
    while (platform::ReadSome(fd, &c, 1) == 1 && c != '\n')
        line.push_back(c);
    return line;
}

TEST(EnvironmentTest, TheVariableOpensTheControlChannelOnFirstUse) {
    platform::Pipe requests, output;
    ASSERT_TRUE(platform::MakePipe(&requests));
    ASSERT_TRUE(platform::MakePipe(&output));
    std::string value =
        std::to_string(requests.read.Get()) + "," + std::to_string(output.write.Get());
    ASSERT_TRUE(platform::SetEnvironment("QUORLANE_SIM_CONTROL", value.c_str()));

    EXPECT_TRUE(ZEGO::LIVEROOM::EnableMic(true));  // first use
    EXPECT_EQ(Json::parse(ReadLine(output.read.Get())),
              (Json{{"call", "EnableMic"}, {"args", {true}}, {"result", true}}));

    std::string sync = "{\"op\":\"sync\",\"id\":\"s\"}\n";
    ASSERT_EQ(platform::WriteAll(requests.write.Get(), sync.data(), sync.size()),
              static_cast<int>(sync.size()));
    EXPECT_EQ(Json::parse(ReadLine(output.read.Get())), (Json{{"op", "synced"}, {"id", "s"}}));

    requests.write.Reset();
    sim::StopControlChannel();
}

}  // namespace
