#include "CrashReport.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "OrderlyEnd.h"
#include "SdkCallWatch.h"
#include "logging/LogManager.h"
#include "logging/Qlog.h"
#include "platform/Clock.h"
#include "platform/CrashHandler.h"
#include "platform/FixedText.h"
#include "platform/Process.h"

namespace quorlane {

namespace {

// Writing out the queued log lines may take this long after a fault or a hung call.
const int kLastWordsMilliseconds = 500;
const int kReportsKept = 10;

// Read inside a signal handler: atomics only, and texts that live as long as the process.
std::atomic<const char*> versionText{""};
std::atomic<const char*> sdkBuildText{""};

struct NamedThread {
    std::atomic<std::uint32_t> id{0};
    std::atomic<const char*> name{nullptr};
};
const int kMaxNamedThreads = 32;
NamedThread namedThreads[kMaxNamedThreads];
std::atomic<int> namedClaimed{0};

// The types of the last commands, oldest overwritten first.
const int kRecentCommands = 8;
const int kTypeBytes = 32;
std::atomic<char> recentTypes[kRecentCommands][kTypeBytes];
std::atomic<std::uint64_t> commandCount{0};

std::string reportFolder;  // set once at start-up

const char* ThreadName(std::uint32_t id) {
    const int claimed = namedClaimed.load();
    for (int i = 0; i < claimed && i < kMaxNamedThreads; ++i) {
        if (namedThreads[i].id.load() == id)
            return namedThreads[i].name.load();
    }
    return nullptr;
}

void AppendRecentCommands(platform::FixedText& out) {
    const std::uint64_t count = commandCount.load();
    const std::uint64_t first = count > kRecentCommands ? count - kRecentCommands : 0;
    if (count == 0)
        out.Add("none");
    for (std::uint64_t n = first; n < count; ++n) {
        if (n != first)
            out.Add(", ");
        const auto& slot = recentTypes[n % kRecentCommands];
        for (int i = 0; i < kTypeBytes; ++i) {
            const char c = slot[i].load(std::memory_order_relaxed);
            if (c == '\0')
                break;
            out.Add(&c, 1);
        }
    }
}

void AppendFault(const platform::Fault& fault, platform::FixedText& out) {
    if (fault.exception) {
        out.Add("exception: ").AddHex(fault.code, 8).Add(" ").Add(fault.name).Add(" at ");
        if (fault.module[0] != '\0')
            out.Add(fault.module).Add("+").AddHex(fault.moduleOffset);
        else
            out.AddHex(fault.address);
        if (fault.code == 0xC0000005u)  // an access violation
            out.Add(fault.written ? ", writing " : ", reading ").AddHex(fault.accessed);
    } else {
        out.Add("signal: ").AddDecimal(fault.code).Add(" ").Add(fault.name).Add(", address ");
        out.AddHex(fault.address);
    }
    out.Add("\n");
    out.Add("thread: ").AddDecimal(fault.threadId);
    const char* name = ThreadName(fault.threadId);
    if (name != nullptr)
        out.Add(", ").Add(name);
    else
        out.Add(", not one of the bridge's threads: one of the SDK's own");
    out.Add("\n");
}

// The report's text. Runs inside the signal handler on POSIX: async-signal-safe only.
void AppendReportText(const platform::Fault* fault, platform::FixedText& out) {
    out.Add("Quorlane crash report\n");
    out.Add("version: ").Add(versionText.load()).Add(", SDK: ").Add(sdkBuildText.load()).Add("\n");
    out.Add("process: ").AddDecimal(platform::ProcessId()).Add("\n");
    const SdkCall call = CurrentSdkCall();
    if (fault != nullptr) {
        AppendFault(*fault, out);
    } else {
        out.Add("fault: none; an SDK call has not returned within its limit\n");
    }
    out.Add("SDK call in flight on the command worker: ");
    if (call.function != nullptr) {
        const std::int64_t ms =
            (platform::MonotonicNanoseconds() - call.startNanoseconds) / 1000000;
        out.Add(call.function).Add(", for ").AddSigned(ms).Add(" ms\n");
    } else {
        out.Add("none\n");
    }
    out.Add("last commands, oldest first: ");
    AppendRecentCommands(out);
    out.Add("\n");
}

// Writes out the queued log lines, which end with the fault's own line.
void LogFaultAndFlush(const platform::Fault& fault, const char* reportPath) {
    const char* thread = ThreadName(fault.threadId);
    const SdkCall call = CurrentSdkCall();
    char where[160] = "";
    if (fault.module[0] != '\0') {
        std::snprintf(where, sizeof where, " at %s+0x%llx", fault.module,
                      static_cast<unsigned long long>(fault.moduleOffset));
    }
    QLOG(qlog::LOG_FATAL,
         "crash: %s (%u) on thread %u (%s)%s; SDK call in flight: %s; report %s\r\n", fault.name,
         static_cast<unsigned>(fault.code), static_cast<unsigned>(fault.threadId),
         thread != nullptr ? thread : "the SDK's", where,
         call.function != nullptr ? call.function : "none",
         reportPath[0] != '\0' ? reportPath : "not written");
    WriteOutLogs(kLastWordsMilliseconds);
}

// Logger 0's folder, made absolute against the working folder.
std::string LoggerZeroFolder() {
    std::string folder = "./log/";
    if (auto* manager = dynamic_cast<qlog::LogManager*>(qlog::GetLogManager()))
        folder = manager->DescribeLogger(0).path;
    for (char& c : folder) {
        if (c == '\\')
            c = '/';
    }
    if (folder.empty())
        folder = "./";
    if (folder.back() != '/')
        folder += '/';
    const bool absolute = folder[0] == '/' || (folder.size() > 1 && folder[1] == ':');
    if (!absolute) {
        std::string base = platform::CurrentDirectory();
        if (!base.empty() && base.back() != '/' && base.back() != '\\')
            base += '/';
        folder = base + (folder.compare(0, 2, "./") == 0 ? folder.substr(2) : folder);
    }
    // One separator throughout; Windows takes '/' as well.
    for (char& c : folder) {
        if (c == '\\')
            c = '/';
    }
    return folder;
}

}  // namespace

void InstallCrashReports(const char* version, const char* sdkBuild) {
    versionText.store(version);
    sdkBuildText.store(sdkBuild);
    reportFolder = LoggerZeroFolder();
    qlog::LogManager::EnsureDirectory(reportFolder);
    platform::CrashHandlerSetup setup;
    setup.folder = reportFolder;
    setup.describe = AppendReportText;
    setup.lastWords = LogFaultAndFlush;
    setup.lastWordsMilliseconds = kLastWordsMilliseconds;
    setup.keep = kReportsKept;
    platform::InstallCrashHandler(setup);
    NameThisThread("the entry thread");
    StartSdkCallWatchdog(SdkCallLimitFromEnvironment(), EndForHungCall);
}

std::string CrashReportFolder() {
    return reportFolder;
}

void NameThisThread(const char* name) {
    const int slot = namedClaimed.fetch_add(1);
    if (slot < kMaxNamedThreads) {
        // The name first: a reader that finds the ID finds its name.
        namedThreads[slot].name.store(name);
        namedThreads[slot].id.store(platform::CurrentThreadId());
    }
    platform::PrepareThreadForFaults();
}

void NoteCommand(const char* type) {
    const std::uint64_t n = commandCount.load(std::memory_order_relaxed);
    auto& slot = recentTypes[n % kRecentCommands];
    int i = 0;
    for (; i < kTypeBytes - 1 && type != nullptr && type[i] != '\0'; ++i)
        slot[i].store(type[i], std::memory_order_relaxed);
    slot[i].store('\0', std::memory_order_relaxed);
    commandCount.store(n + 1, std::memory_order_release);
}

void EndForHungCall(const char* function, int limitMilliseconds) {
    int dumpMilliseconds = -1;
    const std::string path = platform::WriteReportNow(&dumpMilliseconds);
    char dumpNote[64] = "";
    if (dumpMilliseconds >= 0) {
        std::snprintf(dumpNote, sizeof dumpNote, " (minidump written in %d ms)", dumpMilliseconds);
    }
    QLOG(qlog::LOG_FATAL, "SDK call %s has not returned after %d ms; report %s%s; exit code %d\r\n",
         function, limitMilliseconds, path.empty() ? "not written" : path.c_str(), dumpNote,
         kHungCallExitCode);
    WriteOutLogs(kLastWordsMilliseconds);
    platform::ExitNow(kHungCallExitCode);
}

}  // namespace quorlane
