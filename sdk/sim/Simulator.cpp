#include "sdk/sim/Simulator.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/Descriptors.h"
#include "platform/Process.h"
#include "sdk/sim/ControlChannel.h"
#include "sdk/sim/DemoRoom.h"
#include "sdk/sim/Fault.h"
#include "sdk/sim/FrameSource.h"
#include "sdk/sim/LineWriter.h"
#include "sdk/sim/Requests.h"

namespace sim {
namespace {

const char kControlVariable[] = "QUORLANE_SIM_CONTROL";

// Parses "IN,OUT" (two descriptor numbers); false when malformed.
bool ParseDescriptorPair(const char* text, int* in, int* out) {
    char* end = nullptr;
    long a = std::strtol(text, &end, 10);
    if (end == text || *end != ',')
        return false;
    const char* second = end + 1;
    long b = std::strtol(second, &end, 10);
    if (end == second || *end != '\0' || a < 0 || b < 0 || a > 65535 || b > 65535)
        return false;
    *in = static_cast<int>(a);
    *out = static_cast<int>(b);
    return true;
}

const char* const kResultFunctions[] = {
    "SetLogDir",
    "SetBusinessType",
    "SetUser",
    "InitSDK",
    "UnInitSDK",
    "SetLivePublisherCallback",
    "SetLivePlayerCallback",
    "SetRoomCallback",
    "SetIMCallback",
    "EnableAux",
    "SetPlayVolume",
    "LoginRoom",
    "LogoutRoom",
    "StartPlayingStream",
    "StopPlayingStream",
    "StartPublishing",
    "StopPublishing",
    "StartPreview",
    "StopPreview",
    "EnableCamera",
    "EnableMic",
    "EnableSpeaker",
    "SetVideoCaptureResolution",
    "SetVideoEncodeResolution",
    "SendRoomMessage",
};

bool NonEmpty(const char* text) {
    return text != nullptr && text[0] != '\0';
}

}  // namespace

Simulator& Simulator::Get() {
    static Simulator* instance = new Simulator();
    return *instance;
}

Simulator::Simulator() {
    const char* control = platform::GetEnvironment(kControlVariable);
    if (control == nullptr || control[0] == '\0')
        return;
    int in = -1, out = -1;
    if (!ParseDescriptorPair(control, &in, &out) || !platform::IsDescriptorOpen(in) ||
        !platform::IsDescriptorOpen(out)) {
        std::fprintf(stderr,
                     "simulated SDK: %s=\"%s\" does not name two open descriptors IN,OUT; "
                     "running the demo room\n",
                     kControlVariable, control);
        return;
    }
    StartControl(in, out);
}

bool Simulator::StartControl(int in, int out) {
    platform::MutexLock hold(mutex_);
    if (channel_)
        return false;
    // A host that closes the channel must make our writes fail, not end its process.
    platform::IgnoreBrokenPipe();
    output_ = std::make_shared<LineWriter>(out);
    channel_ = std::make_unique<ControlChannel>(
        in, output_, [this](const std::string& line) { ExecuteRequest(*this, line); });
    return true;
}

void Simulator::StopControl() {
    std::unique_ptr<ControlChannel> channel;
    std::unique_ptr<DemoRoom> demo;
    std::map<std::optional<std::string>, std::unique_ptr<FrameSource>> sources;
    {
        platform::MutexLock hold(mutex_);
        channel = std::move(channel_);
        output_.reset();
        results_.clear();
        ResetLocked(&demo, &sources);
        initialized_ = false;
        externalRender_ = false;
        userID_.clear();
        nextSequence_ = 1;
    }
    gate_.OpenAll();
    registry_.Clear();
    sources.clear();
    demo.reset();
    channel.reset();
}

void Simulator::Record(const char* function, Json args, const Json* result) {
    std::shared_ptr<LineWriter> output;
    {
        platform::MutexLock hold(mutex_);
        output = output_;
    }
    if (!output)
        return;
    Json record = {{"call", function}, {"args", std::move(args)}};
    if (result != nullptr)
        record["result"] = *result;
    output->WriteLine(record.dump(-1, ' ', false, Json::error_handler_t::replace));
}

void Simulator::Answer(const Json& line) {
    std::shared_ptr<LineWriter> output;
    {
        platform::MutexLock hold(mutex_);
        output = output_;
    }
    if (output)
        output->WriteLine(line.dump(-1, ' ', false, Json::error_handler_t::replace));
}

bool Simulator::HasResult(const std::string& function) {
    for (const char* name : kResultFunctions) {
        if (function == name)
            return true;
    }
    return false;
}

bool Simulator::ReturnsNumber(const std::string& function) {
    return function == "SendRoomMessage";
}

void Simulator::SetResult(const std::string& function, std::optional<long long> value) {
    platform::MutexLock hold(mutex_);
    if (value)
        results_[function] = *value;
    else
        results_.erase(function);
}

void Simulator::StartSource(const FrameRecipe& recipe, double fps) {
    std::unique_ptr<FrameSource> previous;
    {
        platform::MutexLock hold(mutex_);
        auto& slot = sources_[recipe.stream];
        previous = std::move(slot);
        slot = std::make_unique<FrameSource>(registry_, recipe, fps);
    }
}

void Simulator::StopSource(const std::optional<std::string>& stream) {
    std::unique_ptr<FrameSource> source;
    {
        platform::MutexLock hold(mutex_);
        auto it = sources_.find(stream);
        if (it == sources_.end())
            return;
        source = std::move(it->second);
        sources_.erase(it);
    }
}

void Simulator::HoldCalls(const std::string& function) {
    gate_.Close(function);
}

void Simulator::ReleaseCalls(const std::string& function) {
    gate_.Open(function);
}

void Simulator::CrashInCall(const std::string& function) {
    platform::MutexLock hold(crashLock_);
    crashIn_.insert(function);
}

void Simulator::Enter(const char* function) {
    bool crash = false;
    {
        platform::MutexLock hold(crashLock_);
        crash = crashIn_.erase(function) != 0;
    }
    if (crash)
        WriteThroughNull();
    gate_.Pass(function, [&] { Answer({{"op", "hanging"}, {"fn", function}}); });
}

bool Simulator::Outcome(const char* function, bool allowed) {
    if (!channel_)
        return allowed;
    auto it = results_.find(function);
    return it == results_.end() || it->second != 0;
}

void Simulator::ResetLocked(
    std::unique_ptr<DemoRoom>* demo,
    std::map<std::optional<std::string>, std::unique_ptr<FrameSource>>* sources) {
    *demo = std::move(demo_);
    *sources = std::move(sources_);
    sources_.clear();
    roomID_.clear();
    inRoom_ = false;
    playing_.clear();
    previewing_ = false;
    publishing_.clear();
    camera_ = true;
    captureWidth_ = DemoRoom::kWidth;
    captureHeight_ = DemoRoom::kHeight;
}

int Simulator::NextSequence() {
    int sequence = nextSequence_;
    nextSequence_ = sequence == INT_MAX ? 1 : sequence + 1;
    return sequence;
}

// ---- the SDK functions ---------------------------------------------------------------------

void Simulator::EnableExternalRender(bool enable) {
    platform::MutexLock hold(mutex_);
    externalRender_ = enable;
    if (demo_)
        demo_->SetExternalRender(enable);
}

bool Simulator::SetLogDir(const char* directory) {
    platform::MutexLock hold(mutex_);
    return Outcome("SetLogDir", NonEmpty(directory));
}

bool Simulator::SetBusinessType(int type) {
    platform::MutexLock hold(mutex_);
    return Outcome("SetBusinessType", type >= 0);
}

void Simulator::SetUseTestEnv(bool) {}

bool Simulator::SetUser(const char* userID, const char* userName) {
    platform::MutexLock hold(mutex_);
    if (!Outcome("SetUser", NonEmpty(userID) && userName != nullptr))
        return false;
    userID_ = userID != nullptr ? userID : "";
    return true;
}

void Simulator::SetAudioPrep2(ZEGO::LIVEROOM::AudioPrepCallback callback) {
    registry_.SetAudio(callback);
}

bool Simulator::InitSDK(unsigned int, const unsigned char* signature, int signatureLength) {
    platform::MutexLock hold(mutex_);
    bool allowed = !initialized_ && signature != nullptr && signatureLength == 32;
    if (!Outcome("InitSDK", allowed))
        return false;
    initialized_ = true;
    if (!channel_ && !demo_) {
        demo_ = std::make_unique<DemoRoom>(registry_);
        demo_->SetExternalRender(externalRender_);
        demo_->SetCamera(camera_);
    }
    return true;
}

bool Simulator::UnInitSDK() {
    std::unique_ptr<DemoRoom> demo;
    std::map<std::optional<std::string>, std::unique_ptr<FrameSource>> sources;
    {
        platform::MutexLock hold(mutex_);
        if (!Outcome("UnInitSDK", initialized_))
            return false;
        initialized_ = false;
        ResetLocked(&demo, &sources);
    }
    // Nothing new is delivered once the registrations are gone; then the threads end.
    registry_.Clear();
    sources.clear();
    demo.reset();
    return true;
}

bool Simulator::SetCallback(const char* function, Slot slot, void* object) {
    {
        platform::MutexLock hold(mutex_);
        if (!Outcome(function, true))
            return false;
    }
    registry_.SetObject(slot, object);
    return true;
}

void Simulator::SetDeviceStateCallback(void* object) {
    registry_.SetObject(Slot::DeviceState, object);
}

void Simulator::SetExternalRenderCallback(void* object) {
    registry_.SetObject(Slot::Render, object);
}

bool Simulator::EnableAux(bool) {
    platform::MutexLock hold(mutex_);
    return Outcome("EnableAux", initialized_);
}

bool Simulator::SetPlayVolume(int volume, const char*) {
    platform::MutexLock hold(mutex_);
    return Outcome("SetPlayVolume", initialized_ && volume >= 0 && volume <= 200);
}

bool Simulator::LoginRoom(const char* roomID, int, const char*) {
    platform::MutexLock hold(mutex_);
    bool allowed = initialized_ && !userID_.empty() && NonEmpty(roomID) && !inRoom_;
    if (!Outcome("LoginRoom", allowed))
        return false;
    roomID_ = roomID != nullptr ? roomID : "";
    inRoom_ = true;
    if (demo_)
        demo_->Login(roomID_);
    return true;
}

bool Simulator::LogoutRoom() {
    platform::MutexLock hold(mutex_);
    if (!Outcome("LogoutRoom", initialized_ && inRoom_))
        return false;
    inRoom_ = false;
    roomID_.clear();
    playing_.clear();
    publishing_.clear();
    if (demo_)
        demo_->Logout();
    return true;
}

bool Simulator::StartPlayingStream(const char* streamID) {
    platform::MutexLock hold(mutex_);
    bool allowed = initialized_ && inRoom_ && NonEmpty(streamID) && playing_.count(streamID) == 0;
    if (!Outcome("StartPlayingStream", allowed))
        return false;
    std::string id = streamID != nullptr ? streamID : "";
    playing_.insert(id);
    if (demo_) {
        bool exists = id == publishing_;
        for (int i = 0; i < DemoRoom::kStreamCount; ++i)
            exists = exists || id == DemoRoom::StreamID(i);
        demo_->StartPlaying(id, exists);
    }
    return true;
}

bool Simulator::StopPlayingStream(const char* streamID) {
    platform::MutexLock hold(mutex_);
    bool allowed = initialized_ && streamID != nullptr && playing_.count(streamID) != 0;
    if (!Outcome("StopPlayingStream", allowed))
        return false;
    if (streamID != nullptr)
        playing_.erase(streamID);
    if (demo_ && streamID != nullptr)
        demo_->StopPlaying(streamID);
    return true;
}

bool Simulator::StartPublishing(const char*, const char* streamID, int, const char*) {
    platform::MutexLock hold(mutex_);
    bool allowed = initialized_ && inRoom_ && NonEmpty(streamID) && publishing_.empty();
    if (!Outcome("StartPublishing", allowed))
        return false;
    publishing_ = streamID != nullptr ? streamID : "";
    if (demo_)
        demo_->StartPublishing(publishing_);
    return true;
}

bool Simulator::StopPublishing(int, ZEGO::AV::PublishChannelIndex index) {
    platform::MutexLock hold(mutex_);
    bool allowed = initialized_ && index == ZEGO::AV::PUBLISH_CHN_MAIN && !publishing_.empty();
    if (!Outcome("StopPublishing", allowed))
        return false;
    publishing_.clear();
    if (demo_)
        demo_->StopPublishing();
    return true;
}

bool Simulator::StartPreview(ZEGO::AV::PublishChannelIndex index) {
    platform::MutexLock hold(mutex_);
    bool allowed = initialized_ && index == ZEGO::AV::PUBLISH_CHN_MAIN && !previewing_;
    if (!Outcome("StartPreview", allowed))
        return false;
    previewing_ = true;
    if (demo_)
        demo_->SetPreview(true, captureWidth_, captureHeight_);
    return true;
}

bool Simulator::StopPreview(ZEGO::AV::PublishChannelIndex index) {
    platform::MutexLock hold(mutex_);
    bool allowed = initialized_ && index == ZEGO::AV::PUBLISH_CHN_MAIN && previewing_;
    if (!Outcome("StopPreview", allowed))
        return false;
    previewing_ = false;
    if (demo_)
        demo_->SetPreview(false, captureWidth_, captureHeight_);
    return true;
}

bool Simulator::EnableCamera(bool enable, ZEGO::AV::PublishChannelIndex index) {
    platform::MutexLock hold(mutex_);
    if (!Outcome("EnableCamera", initialized_ && index == ZEGO::AV::PUBLISH_CHN_MAIN))
        return false;
    camera_ = enable;
    if (demo_)
        demo_->SetCamera(enable);
    return true;
}

bool Simulator::EnableMic(bool) {
    platform::MutexLock hold(mutex_);
    return Outcome("EnableMic", initialized_);
}

bool Simulator::EnableSpeaker(bool) {
    platform::MutexLock hold(mutex_);
    return Outcome("EnableSpeaker", initialized_);
}

bool Simulator::SetVideoCaptureResolution(int width, int height,
                                          ZEGO::AV::PublishChannelIndex index) {
    platform::MutexLock hold(mutex_);
    bool allowed = initialized_ && index == ZEGO::AV::PUBLISH_CHN_MAIN && width >= 16 &&
                   height >= 16 && width <= 3840 && height <= 2160;
    if (!Outcome("SetVideoCaptureResolution", allowed))
        return false;
    if (width >= 16 && height >= 16 && width <= 3840 && height <= 2160) {
        captureWidth_ = width;
        captureHeight_ = height;
        if (demo_ && previewing_)
            demo_->SetPreview(true, width, height);
    }
    return true;
}

bool Simulator::SetVideoEncodeResolution(int width, int height,
                                         ZEGO::AV::PublishChannelIndex index) {
    platform::MutexLock hold(mutex_);
    bool allowed = initialized_ && index == ZEGO::AV::PUBLISH_CHN_MAIN && width >= 16 &&
                   height >= 16 && width <= 3840 && height <= 2160;
    return Outcome("SetVideoEncodeResolution", allowed);
}

int Simulator::SendRoomMessage(const char* content) {
    platform::MutexLock hold(mutex_);
    if (channel_) {
        auto it = results_.find("SendRoomMessage");
        if (it != results_.end())
            return static_cast<int>(it->second);
        return NextSequence();
    }
    if (!initialized_ || !inRoom_ || !NonEmpty(content))
        return 0;
    int sequence = NextSequence();
    if (demo_)
        demo_->ConfirmMessage(roomID_, sequence);
    return sequence;
}

namespace {

// QUORLANE_SIM_CRASH_AFTER_MS=N: a thread of the SDK's own faults N ms after the process
// started, in any mode.
bool StartCrashTimer() {
    const char* text = platform::GetEnvironment("QUORLANE_SIM_CRASH_AFTER_MS");
    if (text == nullptr || text[0] == '\0')
        return false;
    char* end = nullptr;
    const long milliseconds = std::strtol(text, &end, 10);
    if (*end != '\0' || milliseconds < 0 || milliseconds > INT_MAX) {
        std::fprintf(stderr,
                     "simulated SDK: QUORLANE_SIM_CRASH_AFTER_MS=\"%s\" is not a number of "
                     "milliseconds; ignored\n",
                     text);
        return false;
    }
    std::thread([milliseconds] {
        platform::SleepMilliseconds(static_cast<int>(milliseconds));
        WriteThroughNull();
    }).detach();
    return true;
}

const bool kCrashTimerStarted = StartCrashTimer();

// With QUORLANE_SIM_CONTROL set, the control channel opens as the process starts, so a host's
// first requests are answered before the bridge makes its first SDK call.
const bool kControlOpenedAtStart =
    platform::GetEnvironment(kControlVariable) != nullptr && (Simulator::Get(), true);

}  // namespace

}  // namespace sim
