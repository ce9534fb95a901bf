// The bridge started as a host starts it, with the simulated SDK in scripted mode: logged in to
// a room whose streams s1 to s4 play on channels 1 to 4. Frame sources are started through the
// control channel; the frame descriptors are left to the caller's readers, and everything else
// the bridge writes is drained.
//
//   BridgeUnderTest bridge;
//   if (!bridge.Start()) ...
//   FrameReceiver receiver(bridge.FrameFd(1));
//   bridge.Control(R"({"op":"source","stream":"s1",...,"stamp":true})" "\n");
//   ... bridge.CpuSeconds() ...
//   bridge.Stop();  // the readers see end of input
#pragma once

#include <filesystem>
#include <string>
#include <thread>

#include "platform/Spawn.h"

namespace latency {

class BridgeUnderTest {
  public:
    BridgeUnderTest() = default;
    ~BridgeUnderTest();
    BridgeUnderTest(const BridgeUnderTest&) = delete;
    BridgeUnderTest& operator=(const BridgeUnderTest&) = delete;

    // Starts the bridge and brings it into the room; false (with a message on standard error)
    // when it does not answer.
    bool Start();

    // Writes a request line (ending in a line end) to the simulated SDK's control channel.
    void Control(const std::string& line);

    // The host's reading end of channel 0 to 4.
    int FrameFd(int channel) const { return pipes_[2 + channel].read.Get(); }

    // Processor seconds the bridge has used so far.
    double CpuSeconds() const { return child_.CpuSeconds(); }

    // Ends the bridge; its pipes reach end of input.
    void Stop();

  private:
    void Command(const std::string& text);
    // Reads descriptor 4 until `count` greetings of DaemonStart have arrived in all, draining the
    // control channel's output meanwhile; false after 20 seconds without them.
    bool AwaitGreetings(int count);

    std::filesystem::path directory_;
    // Child descriptors 3, 4, 5 to 9, 10, 11.
    platform::Pipe pipes_[9];
    platform::ChildProcess child_;
    std::string replies_;
    std::thread drains_[2];  // descriptors 4 and 11
};

}  // namespace latency
