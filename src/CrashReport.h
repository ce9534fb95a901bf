// The bridge's crash reports: what the report of a fault or of an SDK call that hangs says
// (version, fault, thread, SDK call in flight, last commands), where it goes (logger 0's log
// folder), and the end of the bridge after an SDK call that hangs.
//
//   InstallCrashReports(QUORLANE_VERSION, QUORLANE_SDK_BUILD);  // start-up, logging configured
//   NameThisThread("msgloop (the command reader)");             // each thread of the bridge
//   NoteCommand("EnterRoom");                                   // the command worker
#pragma once

#include <string>

namespace quorlane {

// Exit code of a bridge ended by an SDK call that did not return within its limit.
const int kHungCallExitCode = 3;

// Sets up the reports: the folder (logger 0's, created when missing), the fault handler, the
// watchdog of SDK calls (QUORLANE_SDK_CALL_LIMIT_MS). Once, after logging is configured.
void InstallCrashReports(const char* version, const char* sdkBuild);

// The folder reports go to, with its trailing separator: logger 0's log folder, absolute.
std::string CrashReportFolder();

// Names the calling thread in reports; `name` lives as long as the process. Also prepares the
// thread for faults (an alternate signal stack). At most 32 threads are named.
void NameThisThread(const char* name);

// The type of a command about to run, for the report's list of the last commands.
void NoteCommand(const char* type);

// Logs the hung call at LOG_FATAL, writes the report (on Windows with a minidump of every
// thread), writes out the queued log lines and exits with kHungCallExitCode.
[[noreturn]] void EndForHungCall(const char* function, int limitMilliseconds);

}  // namespace quorlane
