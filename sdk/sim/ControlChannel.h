// The control channel of scripted mode: a thread reads requests from one descriptor, one
// JSON object per line, and hands each to a handler in order; answers and call records go out
// on the other descriptor as single lines. The thread ends when the input reaches its end.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "sdk/sim/LineWriter.h"

namespace sim {

class ControlChannel {
  public:
    // Longest request line accepted; longer ones are answered with an error and skipped.
    static constexpr std::size_t kMaxLine = 1 << 20;

    using Handler = std::function<void(const std::string& line)>;

    // Starts reading `in` at once; `handler` runs on the channel's thread for every line.
    ControlChannel(int in, std::shared_ptr<LineWriter> out, Handler handler);
    // Waits for the reading thread, which ends at the end of the input.
    ~ControlChannel();
    ControlChannel(const ControlChannel&) = delete;
    ControlChannel& operator=(const ControlChannel&) = delete;

    bool OnChannelThread() const { return std::this_thread::get_id() == thread_.get_id(); }

  private:
    void Run();
    void Dispatch(const std::string& line);

    int in_;
    std::shared_ptr<LineWriter> writer_;
    Handler handler_;
    std::thread thread_;
};

}  // namespace sim
