// The host side of a running bridge, over libquorlane: the library starts it with pipes on
// descriptors 3 to 9 (and the simulated SDK's control channel on 10 and 11 when asked), writes
// commands, splits descriptor 4 into whole texts and rebuilds the frames of 5 to 9 on its own
// threads; this class hands what arrived to the handlers on the caller's thread.
//
//   BridgeSession session(handlers);
//   session.Start(options, &error);
//   session.SendCommand(R"({"type":"OpenMic"})");
//   while (session.Pump(100)) { ... }   // false once the bridge has ended
//
// The library reads every pipe all the time, so the bridge never stalls on a full pipe while
// the host waits for something else; its queues are sized so that this tool loses nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "hosts/c/include/quorlane.h"
#include "platform/Spawn.h"
#include "src/HostChannels.h"
#include "tools/host/Frame.h"

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
    std::string workingDirectory;  // empty: the host's
    std::string stdoutPath;        // empty: inherited
    std::string stderrPath;        // empty: inherited
    bool scripted = false;         // control channel on 10 (requests) and 11 (records, answers)
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

    // Writes a command to descriptor 3 as is, or a control request plus a line end to 10.
    void SendCommand(const std::string& text);
    void SendControl(const std::string& line);

    // One turn: waits up to `timeoutMs` for anything received and hands all of it to the
    // handlers. Returns false once the bridge has ended and everything was handed over.
    bool Pump(int timeoutMs);

    bool Ended() const { return ended_; }
    // How the bridge ended; valid once Ended().
    const platform::ExitStatus& Status() const { return status_; }
    // Ends the bridge in order: pipes closed, SIGTERM (POSIX), a kill after `graceMs`.
    void Stop(int graceMs = 5000);

    int Pid() const { return pid_; }
    std::int64_t ResidentBytes() const { return platform::ProcessResidentBytes(pid_); }
    double CpuSeconds() const { return platform::ProcessCpuSeconds(pid_); }

  private:
    void TakeExit();
    void ReportTornAndSkipped();

    BridgeHandlers handlers_;
    quorlane_bridge* bridge_ = nullptr;
    int pid_ = -1;
    bool torn_[kChannelCount] = {};
    std::uint64_t skippedBytes_ = 0;
    bool ended_ = false;
    platform::ExitStatus status_;
};

}  // namespace host
