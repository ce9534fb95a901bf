// The host side of a running bridge: starts it with pipes on descriptors 3 to 9 (and the
// simulated SDK's control channel on 10 and 11 when asked), writes commands, splits the stream
// of concatenated JSON objects on descriptor 4, and rebuilds frames from descriptors 5 to 9.
//
//   BridgeSession session(handlers);
//   session.Start(options, &error);
//   session.SendCommand(R"({"type":"OpenMic"})");
//   while (session.Pump(100)) { ... }   // false once the bridge has ended
//
// Single-threaded: Pump polls every descriptor and reads all that is available, so the bridge
// never stalls on a full pipe while the host waits for something else.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framer/ObjectFramer.h"
#include "platform/Spawn.h"
#include "src/HostChannels.h"
#include "tools/host/Frame.h"
#include "tools/host/FrameAssembler.h"

namespace host {

using quorlane::kChannelCount;

// A text received on descriptor 4.
struct BridgeMessage {
    enum class Kind { Reply, Event, Other };
    Kind kind = Kind::Other;
    std::string type;  // "type" member, when it is a string
    int code = 0;      // Reply: "code"
    bool validJson = false;
    std::string text;  // the bytes as received
};

// Tells replies ({"code":n,"type":"name"}) from events ({"type":...,"param":...}).
BridgeMessage ClassifyMessage(std::string text);

struct BridgeOptions {
    std::string bridgePath;
    std::string workingDirectory;   // empty: the host's
    std::string stdoutPath;         // empty: inherited
    std::string stderrPath;         // empty: inherited
    bool scripted = false;          // control channel on 10 (requests) and 11 (records, answers)
    int pipeBufferBytes = 1 << 20;  // asked for each frame pipe
    std::vector<std::pair<std::string, std::string>> environment;
};

struct BridgeHandlers {
    std::function<void(const BridgeMessage&)> message;
    std::function<void(Frame&)> frame;
    std::function<void(const std::string&)> control;  // one line from descriptor 11
    std::function<void(int channel, const std::string& why)> torn;
    std::function<void(const std::string& bytes)> skipped;  // bytes outside objects on 4
};

class BridgeSession {
  public:
    explicit BridgeSession(BridgeHandlers handlers);
    ~BridgeSession();
    BridgeSession(const BridgeSession&) = delete;
    BridgeSession& operator=(const BridgeSession&) = delete;

    bool Start(const BridgeOptions& options, std::string* error);

    // Queue bytes for descriptor 3 (a command, as is) or 10 (a control request plus a line end);
    // written at once as far as the pipe takes them, the rest by Pump.
    void SendCommand(const std::string& text);
    void SendControl(const std::string& line);

    // One turn: waits up to `timeoutMs` for any descriptor, reads everything available, writes
    // what is queued. Returns false once the bridge has ended (after a last drain).
    bool Pump(int timeoutMs);

    bool Ended() const { return ended_; }
    // How the bridge ended; valid once Ended().
    const platform::ExitStatus& Status() const { return status_; }
    // Ends the bridge: SIGTERM, then SIGKILL after `graceMs`. Reads stop.
    void Stop(int graceMs = 1000);

    int Pid() const { return child_.Pid(); }
    std::int64_t ResidentBytes() const { return child_.ResidentBytes(); }
    double CpuSeconds() const { return child_.CpuSeconds(); }
    const FrameAssembler& Channel(int channel) const { return assemblers_[channel]; }
    std::size_t PendingCommandBytes() const { return outCommands_.size(); }

  private:
    bool ReadReplies();
    bool ReadFrames(int channel);
    bool ReadControl();
    void Flush(platform::UniqueFd& fd, std::string& pending);
    void Drain();

    BridgeHandlers handlers_;
    platform::ChildProcess child_;
    platform::UniqueFd commands_, replies_, controlIn_, controlOut_;
    platform::UniqueFd frames_[kChannelCount];
    std::string outCommands_, outControl_, controlLine_;
    qframer::ObjectFramer framer_;
    std::vector<FrameAssembler> assemblers_;
    std::vector<std::uint8_t> buffer_;
    bool ended_ = false;
    bool stopped_ = false;
    platform::ExitStatus status_;
};

}  // namespace host
