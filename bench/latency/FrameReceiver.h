// A host's reader of one frame descriptor, on a thread of its own: reads whole frames (12-byte
// header, payload) straight into one buffer with blocking reads, notes the monotonic clock as
// soon as the last byte is in, and reads the frame's stamp from its luma plane. Runs until end
// of input (the writer ended); the samples are read after Join.
//
//   FrameReceiver receiver(fd);
//   ... the writer runs, then ends ...
//   receiver.Join();
//   for (const Sample& sample : receiver.Samples()) ...
#pragma once

#include <cstdint>
#include <thread>
#include <vector>

#include "bench/latency/Latencies.h"

namespace latency {

class FrameReceiver {
  public:
    explicit FrameReceiver(int fd);
    ~FrameReceiver();
    FrameReceiver(const FrameReceiver&) = delete;
    FrameReceiver& operator=(const FrameReceiver&) = delete;

    // Waits for end of input.
    void Join();

    // After Join: one sample per stamped frame, in arrival order; frames without a stamp; and
    // whether the stream was torn (a header that does not fit its sizes). Input that ends
    // inside a frame (a writer that was stopped) only ends the reading.
    const std::vector<Sample>& Samples() const { return samples_; }
    std::uint64_t Unstamped() const { return unstamped_; }
    bool Torn() const { return torn_; }

  private:
    void Run();

    int fd_;
    std::vector<Sample> samples_;
    std::uint64_t unstamped_ = 0;
    bool torn_ = false;
    std::thread thread_;  // last: starts once the fields above exist
};

}  // namespace latency
