#include "bench/support/ScriptedBridge.h"

#include <cstdio>
#include <vector>

#include "platform/Clock.h"
#include "platform/Descriptors.h"
#include "platform/Process.h"

namespace benchsupport {
namespace {

constexpr int kChildDescriptors[9] = {3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr int kControlIn = 7;  // descriptor 10
constexpr std::int64_t kStartLimitNs = 20000000000;

bool ChildReads(int index) {
    return kChildDescriptors[index] == 3 || kChildDescriptors[index] == 10;
}

void Write(int fd, const std::string& text) {
    platform::WriteAll(fd, text.data(), text.size());
}

}  // namespace

ScriptedBridge::~ScriptedBridge() {
    Stop();
    std::error_code ignored;
    if (!directory_.empty())
        std::filesystem::remove_all(directory_, ignored);
}

bool ScriptedBridge::Start() {
    directory_ = std::filesystem::temp_directory_path() /
                 ("quorlane-" + name_ + "-bench-" + std::to_string(platform::ProcessId()));
    std::filesystem::create_directories(directory_);
    platform::SpawnOptions spawn;
    spawn.path = QUORLANE_BINARY;
    spawn.workingDirectory = directory_.string();
    spawn.stdoutPath = platform::NullDevicePath();
    spawn.stderrPath = (directory_ / "stderr.txt").string();
    spawn.environment = {{"QUORLANE_SIM_CONTROL", "10,11"}};
    spawn.killWithParent = true;  // spawned by the main thread, which outlives it
    for (int i = 0; i < 9; ++i) {
        if (!platform::MakePipe(&pipes_[i]))
            return false;
        spawn.descriptors.emplace_back(
            kChildDescriptors[i], ChildReads(i) ? pipes_[i].read.Get() : pipes_[i].write.Get());
    }
    std::string error;
    if (!child_.Spawn(spawn, &error)) {
        std::fprintf(stderr, "cannot start the bridge: %s\n", error.c_str());
        return false;
    }
    for (int i = 0; i < 9; ++i)
        (ChildReads(i) ? pipes_[i].read : pipes_[i].write).Reset();
    platform::SetNonBlocking(ReplyFd(), true);
    platform::SetNonBlocking(ControlOutFd(), true);
    return AwaitGreetings(1);
}

bool ScriptedBridge::JoinRoom(bool viewStreams) {
    Command(R"({"type":"Login","param":{"userID":"bench","userName":"Bench","test":0}})");
    Command(R"({"type":"EnterRoom","param":{"RoomName":"Bench","RoomID":"b1","role":1}})");
    if (viewStreams)
        Command(R"({"type":"RequestView","param":["s1","s2","s3","s4"]})");
    Command(R"({"type":"DaemonStart"})");  // answered once the commands before it ran
    return AwaitGreetings(2);
}

bool ScriptedBridge::AwaitGreetings(int count) {
    const std::string greeting = R"({ "code": 0, "type": "DaemonStart" })";
    const std::int64_t start = platform::MonotonicNanoseconds();
    while (platform::MonotonicNanoseconds() - start < kStartLimitNs) {
        std::vector<platform::PollEntry> entries = {platform::PollEntry{ReplyFd()},
                                                    platform::PollEntry{ControlOutFd()}};
        platform::PollDescriptors(entries, 100);
        char buffer[4096];
        long n;
        while ((n = platform::ReadNonBlocking(ReplyFd(), buffer, sizeof buffer)) > 0)
            replies_.append(buffer, static_cast<std::size_t>(n));
        while (platform::ReadNonBlocking(ControlOutFd(), buffer, sizeof buffer) > 0) {
        }
        int seen = 0;
        for (std::size_t at = replies_.find(greeting); at != std::string::npos;
             at = replies_.find(greeting, at + 1))
            ++seen;
        if (seen >= count)
            return true;
    }
    std::fprintf(stderr, "no reply from the bridge\n");
    return false;
}

void ScriptedBridge::DrainRepliesAndControl() {
    for (int i = 0; i < 2; ++i) {
        const int fd = i == 0 ? ReplyFd() : ControlOutFd();
        platform::SetNonBlocking(fd, false);
        drains_[i] = std::thread([fd] {
            char buffer[4096];
            while (platform::ReadSome(fd, buffer, sizeof buffer) > 0) {
            }
        });
    }
}

void ScriptedBridge::Command(const std::string& text) {
    Write(pipes_[0].write.Get(), text);
}

void ScriptedBridge::Control(const std::string& line) {
    Write(pipes_[kControlIn].write.Get(), line);
}

void ScriptedBridge::Stop() {
    if (child_.Started())
        child_.KillAndWait();
    for (std::thread& drain : drains_) {
        if (drain.joinable())
            drain.join();
    }
}

}  // namespace benchsupport
