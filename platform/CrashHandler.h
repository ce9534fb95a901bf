// What a fault on any thread leaves behind: a text report in a folder chosen at start-up (on
// Windows a minidump beside it, written by a second process), the line
// "Quorlane: crash report <path>" on standard output, a bounded moment for the caller's last
// words (a log line, the queued log lines written out), then the end the system gives the fault:
// the signal's default action on POSIX, the exception code as exit code on Windows.
//
//   platform::CrashHandlerSetup setup;
//   setup.folder = "/home/u/app/log/";   // absolute, existing
//   setup.describe = AppendReportText;   // async-signal-safe
//   setup.lastWords = LogAndFlush;       // on a thread of the handler's own
//   platform::InstallCrashHandler(setup);
//   platform::WriteReportNow(nullptr);   // a report without a fault (an SDK call that hangs)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/FixedText.h"

namespace platform {

// One fault as the handler saw it.
struct Fault {
    bool exception = false;  // a Windows exception; a POSIX signal otherwise
    std::uint32_t code = 0;  // the signal (POSIX) or the exception code (Windows)
    const char* name = "";   // "SIGSEGV", "EXCEPTION_ACCESS_VIOLATION"
    // Where it happened: the faulting instruction on Windows; on POSIX the address the signal
    // names (the one accessed, for SIGSEGV and SIGBUS).
    std::uintptr_t address = 0;
    // Windows, for an access violation: the address accessed, and whether it was written.
    std::uintptr_t accessed = 0;
    bool written = false;
    // The module holding `address` ("zegoliveroom.dll") and the offset in it; empty when
    // unknown (always on POSIX).
    char module[128] = {};
    std::uintptr_t moduleOffset = 0;
    std::uint32_t threadId = 0;
};

// Appends the report's text for `fault` (null for a report without one). Runs inside the
// signal handler on POSIX: async-signal-safe only, no allocation, no lock.
using ReportText = void (*)(const Fault* fault, FixedText& out);

// Runs on a thread of the handler's own once the report is written, while the faulting thread
// waits at most CrashHandlerSetup::lastWordsMilliseconds for it: any call is allowed, and a
// lock that the faulting thread holds only costs that bound.
using LastWords = void (*)(const Fault& fault, const char* reportPath);

struct CrashHandlerSetup {
    std::string folder;  // absolute, existing, with its trailing separator
    ReportText describe = nullptr;
    LastWords lastWords = nullptr;
    int lastWordsMilliseconds = 500;
    // Reports kept in the folder, the newest; older ones are removed when one is written.
    int keep = 10;
};

// Catches SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT on an alternate stack (POSIX), or every
// unhandled exception (Windows). Everything the handler needs is prepared here. False when it
// could not be set up; nothing is then caught.
bool InstallCrashHandler(const CrashHandlerSetup& setup);

// Gives the calling thread an alternate signal stack of its own, so that a fault that has used
// up its stack is still reported (POSIX; nothing elsewhere). For threads the process starts.
void PrepareThreadForFaults();

// Writes a report without a fault now, on the calling thread, with a minidump of every thread
// on Windows, and prints its line. The path of the text report; empty when none was written
// (nothing installed, or the folder not writable). `dumpMilliseconds`, when given, receives how
// long the minidump took to write, or -1 when none was written.
std::string WriteReportNow(int* dumpMilliseconds = nullptr);

// Windows: when this process was started by the handler to write a minidump, writes it and
// ends the process with 0 when written, 1 otherwise. Returns at once otherwise. First thing in
// main.
void RunDumpWriterIfAsked();

// Report files are named "crash-YYYYMMDD-HHMMSS-PID" (UTC) and ".txt" or ".dmp": appends that
// stem for `unixSeconds` and `pid`. Async-signal-safe.
void AddReportStem(FixedText& out, std::int64_t unixSeconds, std::uint32_t pid);

// Of the file names in a report folder, those to remove so that only the newest `keep` reports
// (by the time in their stem; a .txt and a .dmp of one stem are one report) stay. Other names
// are never chosen.
std::vector<std::string> ReportsBeyond(const std::vector<std::string>& names, int keep);

}  // namespace platform
