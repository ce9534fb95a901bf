// The bridge started as a host starts it, for the benchmarks, with the simulated SDK in scripted
// mode (control channel on descriptors 10 and 11): commands in, requests to the simulated SDK,
// the host's reading ends of every descriptor the bridge writes.
//
//   ScriptedBridge bridge("relay");
//   if (!bridge.Start() || !bridge.JoinRoom(true)) ...   // streams s1 to s4 on channels 1 to 4
//   bridge.Control(R"({"op":"source","stream":"s1",...})");
//   ... read bridge.FrameFd(1); drain bridge.ReplyFd() and bridge.ControlOutFd() ...
//   bridge.Stop();  // the readers see end of input
#pragma once

#include <filesystem>
#include <string>
#include <thread>

#include "platform/Spawn.h"

namespace benchsupport {

class ScriptedBridge {
  public:
    // `name` tells the bench's working folder apart from other benches'.
    explicit ScriptedBridge(std::string name) : name_(std::move(name)) {}
    ~ScriptedBridge();
    ScriptedBridge(const ScriptedBridge&) = delete;
    ScriptedBridge& operator=(const ScriptedBridge&) = delete;

    // Starts the bridge and waits for its greeting; false (with a message on standard error)
    // when it does not come. Descriptors 4 and 11 are non-blocking from here on.
    bool Start();

    // Logs in, enters a room and, with `viewStreams`, plays s1 to s4 on channels 1 to 4; true
    // once the bridge has run all of it.
    bool JoinRoom(bool viewStreams);

    // Reads descriptor 4 until `count` greetings of DaemonStart have arrived in all, draining the
    // control channel's output meanwhile; false after 20 seconds without them.
    bool AwaitGreetings(int count);

    // From now on descriptors 4 and 11 are read on threads of their own and their bytes dropped.
    void DrainRepliesAndControl();

    void Command(const std::string& text);
    // Writes a request line (ending in a line end) to the simulated SDK's control channel.
    void Control(const std::string& line);

    // The host's reading end of channel 0 to 4, of descriptor 4, of descriptor 11.
    int FrameFd(int channel) const { return pipes_[2 + channel].read.Get(); }
    int ReplyFd() const { return pipes_[1].read.Get(); }
    int ControlOutFd() const { return pipes_[8].read.Get(); }

    // Processor seconds the bridge has used so far.
    double CpuSeconds() const { return child_.CpuSeconds(); }

    // Ends the bridge; its pipes reach end of input.
    void Stop();

  private:
    const std::string name_;
    std::filesystem::path directory_;
    // Child descriptors 3, 4, 5 to 9, 10, 11.
    platform::Pipe pipes_[9];
    platform::ChildProcess child_;
    std::string replies_;
    std::thread drains_[2];  // descriptors 4 and 11
};

}  // namespace benchsupport
