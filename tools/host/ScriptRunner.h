// Runs a session script against a bridge: sends, waits, records, and writes the pictures.
//
//   Transcript transcript(stdout, color);
//   ScriptRunner runner(script, options, transcript);
//   int exitCode = runner.Run();
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "tools/host/BridgeSession.h"
#include "tools/host/Script.h"
#include "tools/host/Transcript.h"
#include "tools/host/Y4mWriter.h"

namespace host {

// Exit codes of the host tool.
enum ExitCode : int {
    kExitOk = 0,
    kExitWaitFailed = 1,   // a wait timed out or got the wrong reply code
    kExitBridgeEnded = 2,  // the bridge could not start or ended during the script
    kExitUsage = 3,        // bad options or script
    kExitTornFrames = 4,   // a frame stream lost its framing
};

struct RunOptions {
    std::string bridgePath;
    std::string outputDirectory = "out";
    bool record = true;    // Y4M files
    bool pictures = true;  // PNG snapshots and the contact sheet
    int fps = 15;          // frame rate written into the Y4M headers
    int sheetTileHeight = 180;
    bool showCalls = false;  // print the SDK call records of scripted mode
};

class ScriptRunner {
  public:
    ScriptRunner(Script script, RunOptions options, Transcript& transcript);
    int Run();

  private:
    struct Received {
        BridgeMessage::Kind kind;
        std::string name;  // message type, control "op" or call name
        int code = 0;
        bool control = false;
        bool call = false;
    };
    struct ChannelState {
        std::uint64_t frames = 0;
        std::uint64_t consumed = 0;  // frames already used by waits
        Frame last;
        bool hasLast = false;
        Y4mWriter writer;
        int segments = 0;
        std::vector<std::string> files;
        std::string stream;  // stream ID requested for this channel, if known
        bool torn = false;
    };

    double Seconds() const;
    void OnMessage(const BridgeMessage& message);
    void OnControl(const std::string& line);
    void OnFrame(Frame& frame);
    void NoteRequestView(const std::string& command);
    // Runs one wait; returns kExitOk or the failure code.
    int Wait(const Step& step);
    // Index of the oldest unconsumed entry that `step` takes, or -1.
    int FindMatch(const Step& step, std::string* mismatch);
    void PrintFrameCountsIfChanged(bool force);
    int Finish(int code);
    void WritePictures();
    std::string BridgeEndText() const;

    Script script_;
    RunOptions options_;
    Transcript& transcript_;
    BridgeSession session_;
    std::chrono::steady_clock::time_point start_;
    std::deque<Received> pending_;
    ChannelState channels_[kChannelCount];
    std::uint64_t printedCounts_[kChannelCount] = {};
    double lastCountPrint_ = 0;
    bool torn_ = false;
    std::string stderrPath_;
};

}  // namespace host
