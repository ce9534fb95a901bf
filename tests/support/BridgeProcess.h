// Runs the built Quorlane binary as a host does, for end-to-end tests: pipes on descriptors 3 to
// 9, the simulated SDK's control channel on 10 (requests in) and 11 (records and answers out),
// a temporary working directory. A reader thread drains every output pipe, splits descriptor 4
// into objects, keeps frame bytes per channel and parses the control lines.
//
//   BridgeProcess bridge;
//   ASSERT_TRUE(bridge.Start());
//   Exchange e = bridge.Run(R"({"type":"OpenMic"})");
//   EXPECT_EQ(e.replies, Lines{R"({ "code": 1, "type": "OpenMic" })"});
//   EXPECT_EQ(e.calls, Lines{"EnableMic(true) -> true"});
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "framer/ObjectFramer.h"
#include "platform/CondVar.h"
#include "platform/Mutex.h"
#include "platform/Spawn.h"
#include "platform/ThreadAnnotations.h"

namespace bridgetest {

using Lines = std::vector<std::string>;

// What one step of a test produced: objects on descriptor 4 and SDK calls, in order.
struct Exchange {
    Lines replies;
    Lines calls;  // rendered with CallText
};

// A decoded frame: the three header fields and the payload.
struct Frame {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t length = 0;
    std::string payload;
};

// "Name(arg, ...) -> result" for one call record of the simulated SDK; " -> result" only when
// the record has one.
std::string CallText(const nlohmann::json& record);

class BridgeProcess {
  public:
    struct Options {
        bool frameDescriptors = true;  // pass descriptors 5 to 9
        // Pass a descriptor 3 that cannot be read (the writing end of a pipe).
        bool unreadableCommands = false;
        std::string configText;        // written to config.cfg when not empty
        bool configFifo = false;       // config.cfg is a FIFO that nobody writes
        bool configDirectory = false;  // config.cfg is a directory
        // Standard output is a pipe that is not read until ReadStdout(true); otherwise a file.
        bool stdoutPipe = false;
        std::vector<std::pair<std::string, std::string>> environment;
        std::string binary;                   // the bridge to run; empty: the one built here
        std::vector<int> omittedDescriptors;  // of 5 to 9, not passed
        bool textModeDescriptors = false;     // Windows: descriptors handed over in text mode
    };

    BridgeProcess();
    ~BridgeProcess();
    BridgeProcess(const BridgeProcess&) = delete;
    BridgeProcess& operator=(const BridgeProcess&) = delete;

    // Starts the bridge and waits for its greeting; then makes the simulated SDK open its
    // control channel with one StopPreview command, whose reply and call record are forgotten.
    // On failure returns false and records a test failure with the reason.
    bool Start();
    bool Start(const Options& options);

    // Writes bytes to descriptor 3 in one write.
    void Send(const std::string& bytes);

    // Writes `bytes`, then the barrier command {"type":"DaemonStart"}, waits for the barrier's
    // reply and for the SDK calls made before it. Returns the objects and calls in between.
    // `daemonStartsInBytes` counts the DaemonStart commands inside `bytes` itself.
    Exchange Run(const std::string& bytes, int daemonStartsInBytes = 0);

    // Sends one control request line (a JSON object) to the simulated SDK.
    void Control(const nlohmann::json& request);
    // Sends a sync request and waits for its answer; true when it came in time.
    bool Sync(int timeoutMs = 10000);
    // Waits for an answer of the simulated SDK with the given "op", however it came about.
    bool WaitForAnswer(const std::string& answerOp, int timeoutMs = 10000);
    // Sends a request that has an answer with the given "op" and returns that answer.
    nlohmann::json Ask(const nlohmann::json& request, const std::string& answerOp,
                       int timeoutMs = 10000);
    // Makes `function` of the simulated SDK return `value` from now on.
    void SetResult(const std::string& function, const nlohmann::json& value);

    // Objects received on descriptor 4 so far, and every byte of it.
    Lines Objects();
    std::string ReplyBytes();
    // Waits until at least `count` objects arrived on descriptor 4.
    bool WaitForObjects(std::size_t count, int timeoutMs = 10000);
    // Waits until at least `count` objects on descriptor 4 contain `piece`.
    bool WaitForObjectsWith(const std::string& piece, std::size_t count, int timeoutMs = 10000);
    // Call records received so far, rendered with CallText, and a wait for `count` of them.
    Lines Calls();
    bool WaitForCalls(std::size_t count, int timeoutMs = 10000);

    // Waits for the next whole frame on `channel` (0 to 4); false on time-out.
    bool NextFrame(int channel, Frame* frame, int timeoutMs = 10000);

    // Text of every log file under <dir>/log/, and a wait for a piece of it.
    std::string LogText();
    // Size of every log file together, without reading them.
    std::uintmax_t LogBytes();
    bool WaitForLog(const std::string& piece, int timeoutMs = 10000);
    // Occurrences of `piece` in the log text, and a wait for at least `count` of them.
    int CountInLog(const std::string& piece);
    bool WaitForLogCount(const std::string& piece, int count, int timeoutMs = 10000);

    // Stops or resumes reading descriptor 4 (`output` 0) or the frames of channel
    // `output` - 1, as a host that does not keep up would.
    void PauseReading(int output, bool paused);
    // Starts reading the standard output pipe of Options::stdoutPipe, and what it held.
    void ReadStdout();
    std::string StdoutText();
    // Resident memory of the bridge in bytes; -1 when it cannot be read.
    std::int64_t ResidentBytes() const { return child_.ResidentBytes(); }

    // Closes the host's end of descriptor 3 (end of input for the bridge) or of 4.
    void CloseCommands();
    void CloseReplies();
    // Closes the host's ends of descriptors 5 to 9: later frames find no reader.
    void CloseFrames();

    // Hands the host's ends of descriptors 3 to 9 to a new process `path` `args`, which gets
    // them as its own 3 to 9, and closes them here: from then on that process alone holds
    // them, as a host would. The control channel stays here.
    bool HandHostEndsTo(const std::string& path, const std::vector<std::string>& args,
                        platform::ChildProcess* holder);
    // Waits until the simulated SDK's output has ended (the bridge has gone and everything it
    // wrote has been read).
    bool WaitForControlEnd(int timeoutMs = 10000);

    // Asks the bridge to end: SIGTERM, SIGINT (false where there is none).
    void Terminate() { child_.Terminate(); }
    bool Interrupt() { return child_.Interrupt(); }
    // Waits for the bridge to end, which the test then expects; true when it did.
    bool WaitForExit(int timeoutMs, platform::ExitStatus* status);

    bool Alive();
    int Pid() const { return child_.Pid(); }
    const std::string& Directory() const { return directory_; }
    // What the bridge wrote to standard error (sanitizer reports end up here).
    std::string Stderr() const;

  private:
    void ReaderLoop();
    void TakeOutput(int index, const char* data, std::size_t size) EXCLUDES(mutex_);
    void TakeControlLine(const std::string& line) REQUIRES(mutex_);
    // Waits until `ready`, called with mutex_ held, returns true; false after `timeoutMs`.
    bool WaitUntil(const std::function<bool()>& ready, int timeoutMs) EXCLUDES(mutex_);
    void Stop();

    std::string directory_;
    platform::ChildProcess child_;
    platform::UniqueFd commands_;  // host end of 3
    platform::UniqueFd requests_;  // host end of 10
    platform::Pipe wake_;
    std::thread reader_;

    platform::Mutex mutex_;
    platform::CondVar changed_{&mutex_};
    // Host read ends, index 0: descriptor 4, 1 to 5: descriptors 5 to 9, 6: descriptor 11,
    // 7: standard output when it is a pipe. The reader's own once it runs.
    platform::UniqueFd outputs_[8];
    bool paused_[8] GUARDED_BY(mutex_) = {};
    std::string stdoutText_ GUARDED_BY(mutex_);
    bool closeRepliesRequested_ GUARDED_BY(mutex_) = false;
    bool closeFramesRequested_ GUARDED_BY(mutex_) = false;
    bool stopping_ GUARDED_BY(mutex_) = false;
    bool exitExpected_ = false;  // the test's own thread only
    qframer::ObjectFramer replyFramer_ GUARDED_BY(mutex_);
    std::string replyBytes_ GUARDED_BY(mutex_);
    Lines objects_ GUARDED_BY(mutex_);
    std::string frameBytes_[5] GUARDED_BY(mutex_);
    // First byte of frameBytes_ not yet taken.
    std::size_t frameStart_[5] GUARDED_BY(mutex_) = {};
    std::string controlPending_ GUARDED_BY(mutex_);
    std::vector<nlohmann::json> calls_ GUARDED_BY(mutex_);
    std::vector<nlohmann::json> answers_ GUARDED_BY(mutex_);
    int nextSyncId_ GUARDED_BY(mutex_) = 1;
};

}  // namespace bridgetest
