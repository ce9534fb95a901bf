// Session scripts of the host tool: one step per line.
//
//   # comment                      blank lines and comments are skipped
//   scripted                       start the bridge with the simulated SDK's control channel
//   timeout 10s                    default time limit of the waits that follow
//   {"type":"OpenMic"}             send a command, exactly as written
//   send {"type":"OpenMic"}        the same, spelled out
//   control {"op":"sync","id":1}   send a control request (scripted mode only)
//   wait reply Login [code 1] [within 5s]
//   wait event StreamsList [within 5s]
//   wait frames 1 30 [within 10s]  30 more frames on channel 1
//   wait control synced            a control answer with that "op"
//   wait call LoginRoom            a record of that SDK call (scripted mode only)
//   pause 500ms
//   note any text                  printed in the transcript
//
// Each reply, event, control answer, call record and frame satisfies at most one wait, so
// `send A` `send A` `wait reply A` `wait reply A` needs two replies. A duration has its unit; a
// send or control line is a JSON object; a wait for a reply or event names a known one. The
// view's session scripts read the same language: tests/scripts holds the cases both parse alike.
#pragma once

#include <string>
#include <vector>

namespace host {

enum class StepKind {
    Send,
    Control,
    WaitReply,
    WaitEvent,
    WaitFrames,
    WaitControl,
    WaitCall,
    Pause,
    Note
};

struct Step {
    StepKind kind = StepKind::Note;
    int line = 0;      // line number in the script, from 1
    std::string text;  // Send/Control: the bytes to send; waits: the name; Note: the text
    bool hasCode = false;
    int code = 0;       // WaitReply with `code`
    int channel = 0;    // WaitFrames
    int count = 0;      // WaitFrames
    int timeoutMs = 0;  // waits: limit; Pause: length
};

struct Script {
    bool scripted = false;
    std::vector<Step> steps;
};

// Parses a script. On failure returns false with `error` as "line N: what".
bool ParseScript(const std::string& text, Script* script, std::string* error,
                 int defaultTimeoutMs = 10000);

// "500ms", "2s", "1.5s". False for anything else: a bare number, a negative value, past a day.
bool ParseDuration(const std::string& text, int* milliseconds);

// Short description of a step for the transcript: "wait reply Login code 1".
std::string DescribeStep(const Step& step);

}  // namespace host
