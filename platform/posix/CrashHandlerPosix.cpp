#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/CrashHandler.h"

namespace platform {

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUORLANE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUORLANE_SANITIZED 1
#endif
#endif
#ifdef QUORLANE_SANITIZED
// A sanitizer reports faults itself and needs their signals for that.
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

const int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
const std::size_t kAltStackBytes = 64 * 1024;

// Everything the handler touches, prepared by InstallCrashHandler: fixed storage, no
// allocation once a fault is being handled.
struct Prepared {
    char folder[2048] = {};
    std::uint32_t pid = 0;
    ReportText describe = nullptr;
    LastWords lastWords = nullptr;
    int lastWordsMilliseconds = 0;
    int keep = 10;
    int wakeWrite = -1;  // the last-words thread waits for a byte here
    int wakeRead = -1;
    int doneWrite = -1;  // and answers with one here
    int doneRead = -1;
    // Filled by the handler for the last-words thread.
    Fault fault;
    char path[2300] = {};
    char text[16384] = {};
};

Prepared* prepared = nullptr;  // set once, before the handlers are installed
std::atomic<bool> installed{false};
std::atomic<bool> signalsCaught{false};
std::atomic<int> reporting{0};
std::atomic<bool> faultReady{false};

const char* SignalName(int signal) {
    switch (signal) {
        case SIGSEGV:
            return "SIGSEGV";
        case SIGBUS:
            return "SIGBUS";
        case SIGILL:
            return "SIGILL";
        case SIGFPE:
            return "SIGFPE";
        case SIGABRT:
            return "SIGABRT";
    }
    return "signal";
}

std::uint32_t ThreadId() {
    return static_cast<std::uint32_t>(::syscall(SYS_gettid));
}

void WriteAllRaw(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

// Writes the report for `fault` (null: none) and prints its line; the path in
// prepared->path, empty when the file could not be created. Async-signal-safe.
void WriteReport(const Fault* fault) {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    FixedText path(prepared->path, sizeof prepared->path);
    path.Add(prepared->folder);
    AddReportStem(path, now.tv_sec, prepared->pid);
    path.Add(".txt");
    const int fd = ::open(prepared->path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        prepared->path[0] = '\0';
        return;
    }
    FixedText text(prepared->text, sizeof prepared->text);
    prepared->describe(fault, text);
    WriteAllRaw(fd, text.Data(), text.Size());
    ::close(fd);
    char lineStorage[sizeof prepared->path + 64];
    FixedText line(lineStorage, sizeof lineStorage);
    line.Add("Quorlane: crash report ").Add(prepared->path).Add("\r\n");
    WriteAllRaw(STDOUT_FILENO, line.Data(), line.Size());
}

void TakeDefaultAction(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    // Pending until the handler returns (the signal is blocked while it runs); a fault of the
    // instruction itself would recur then anyway.
    ::syscall(SYS_tgkill, static_cast<pid_t>(prepared->pid), static_cast<pid_t>(ThreadId()),
              signal);
}

void OnFault(int signal, siginfo_t* info, void*) {
    const int savedErrno = errno;
    if (reporting.fetch_add(1) != 0) {
        // Another thread is reporting and ends the process; should it not, this one does.
        struct timespec wait {};
        wait.tv_sec = 1 + prepared->lastWordsMilliseconds / 1000;
        ::nanosleep(&wait, nullptr);
        TakeDefaultAction(signal);
        errno = savedErrno;
        return;
    }
    Fault& fault = prepared->fault;
    fault.code = static_cast<std::uint32_t>(signal);
    fault.name = SignalName(signal);
    fault.address = reinterpret_cast<std::uintptr_t>(info != nullptr ? info->si_addr : nullptr);
    fault.threadId = ThreadId();
    WriteReport(&fault);
    if (prepared->wakeWrite >= 0) {
        faultReady.store(true, std::memory_order_release);
        const char byte = 1;
        WriteAllRaw(prepared->wakeWrite, &byte, 1);
        struct pollfd done {};
        done.fd = prepared->doneRead;
        done.events = POLLIN;
        ::poll(&done, 1, prepared->lastWordsMilliseconds);
    }
    TakeDefaultAction(signal);
    errno = savedErrno;
}

void RemoveOldReports(const char* folder, int keep) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder);
    if (dir == nullptr)
        return;
    while (const dirent* entry = ::readdir(dir))
        names.emplace_back(entry->d_name);
    ::closedir(dir);
    for (const std::string& name : ReportsBeyond(names, keep))
        ::unlink((std::string(folder) + name).c_str());
}

// The last-words thread: waits, without using the processor, for the one fault.
void AwaitFault() {
    char byte = 0;
    while (::read(prepared->wakeRead, &byte, 1) < 0 && errno == EINTR) {
    }
    if (!faultReady.load(std::memory_order_acquire))
        return;
    RemoveOldReports(prepared->folder, prepared->keep);
    prepared->lastWords(prepared->fault, prepared->path);
    WriteAllRaw(prepared->doneWrite, &byte, 1);
}

bool MakePipePair(int* readEnd, int* writeEnd) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return false;
    *readEnd = ends[0];
    *writeEnd = ends[1];
    return true;
}

}  // namespace

bool InstallCrashHandler(const CrashHandlerSetup& setup) {
    if (installed.exchange(true) || setup.describe == nullptr ||
        setup.folder.size() + 1 > sizeof Prepared::folder)
        return false;
    std::unique_ptr<Prepared> state(new Prepared);
    std::memcpy(state->folder, setup.folder.c_str(), setup.folder.size() + 1);
    state->pid = static_cast<std::uint32_t>(::getpid());
    state->describe = setup.describe;
    state->lastWords = setup.lastWords;
    state->lastWordsMilliseconds = setup.lastWordsMilliseconds;
    state->keep = setup.keep;
    if (setup.lastWords != nullptr) {
        if (!MakePipePair(&state->wakeRead, &state->wakeWrite) ||
            !MakePipePair(&state->doneRead, &state->doneWrite)) {
            return false;
        }
    }
    prepared = state.release();  // lives as long as the process
    if (setup.lastWords != nullptr) {
        try {
            std::thread(AwaitFault).detach();
        } catch (const std::system_error&) {
            prepared->wakeWrite = -1;
        }
    }
    RemoveOldReports(prepared->folder, prepared->keep);
    if (kSanitized)
        return false;  // reports without a fault only
    signalsCaught.store(true);
    PrepareThreadForFaults();
    struct sigaction action {};
    action.sa_sigaction = OnFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals)
        sigaddset(&action.sa_mask, signal);
    for (const int signal : kSignals) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    return true;
}

void PrepareThreadForFaults() {
    if (!signalsCaught.load())
        return;
    stack_t stack{};
    // Kept for the life of the thread, which in this process is the life of the process.
    stack.ss_sp = new char[kAltStackBytes];
    stack.ss_size = kAltStackBytes;
    if (::sigaltstack(&stack, nullptr) != 0)
        delete[] static_cast<char*>(stack.ss_sp);
}

std::string WriteReportNow(int* dumpMilliseconds) {
    if (dumpMilliseconds != nullptr)
        *dumpMilliseconds = -1;  // no minidumps here
    if (prepared == nullptr || reporting.fetch_add(1) != 0)
        return std::string();
    WriteReport(nullptr);
    RemoveOldReports(prepared->folder, prepared->keep);
    return prepared->path;
}

void RunDumpWriterIfAsked() {}

}  // namespace platform
