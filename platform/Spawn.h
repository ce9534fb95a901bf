// Starting a child process with chosen descriptors, talking to it over pipes, watching it.
// Used by hosts and test harnesses: make pipes, map their ends onto the child's descriptor
// numbers, spawn, poll, and let the RAII types close the ends and reap the child.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// Owns one descriptor and closes it on destruction.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // Gives up ownership without closing.
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes the owned descriptor (if any) and takes `fd`.
    void Reset(int fd = -1);

  private:
    int fd_ = -1;
};

// Both ends of a pipe, close-on-exec, so only what Spawn maps reaches a child.
struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

// Creates a pipe. Returns false (and leaves `pipe` empty) on failure.
bool MakePipe(Pipe* pipe);

// Switches O_NONBLOCK on or off. Returns false on failure.
bool SetNonBlocking(int fd, bool on);

// Asks for a pipe buffer of `bytes` (Linux); returns the size in force, or -1 when it cannot be
// read or changed. The system may cap the request (fs/pipe-max-size). Windows fixes the size
// when the pipe is made (64 KiB by MakePipe, as Linux) and only reports it.
int SetPipeBufferSize(int fd, int bytes);

// Opens a file for writing (created, truncated), close-on-exec. Invalid on failure.
UniqueFd OpenForWriting(const std::string& path);

// Opens the null device for reading and writing, close-on-exec.
UniqueFd OpenNullDevice();

// The null device's path ("/dev/null", "NUL"), e.g. for SpawnOptions::stdoutPath.
const char* NullDevicePath();

// Results of the non-blocking read and write helpers besides a byte count.
constexpr long kIoEndOfInput = 0;
constexpr long kIoError = -1;
constexpr long kIoWouldBlock = -2;

// One read; the count, kIoEndOfInput, kIoError or kIoWouldBlock. EINTR is retried.
long ReadNonBlocking(int fd, void* buffer, std::size_t size);

// One write; the count written, kIoError or kIoWouldBlock. EINTR is retried.
long WriteNonBlocking(int fd, const void* data, std::size_t size);

// One descriptor to watch in PollDescriptors, and what was seen on it.
struct PollEntry {
    int fd = -1;  // negative entries are ignored
    bool wantRead = true;
    bool wantWrite = false;
    // Filled by PollDescriptors:
    bool readable = false;
    bool writable = false;
    bool hangup = false;  // peer closed (reads may still return buffered data first)
    bool error = false;   // error or invalid descriptor
};

// Waits until at least one entry is ready or `timeoutMs` passed (-1: no limit).
// Returns the number of ready entries, 0 on timeout or interruption, -1 on error.
int PollDescriptors(std::vector<PollEntry>& entries, int timeoutMs);

// How a child ended. On Windows every end is an exit: a fault gives its exception code, and
// Terminate and Kill give code 1.
struct ExitStatus {
    bool exited = false;    // ended through exit with `code`
    bool signaled = false;  // ended by signal `signal`
    int code = 0;
    int signal = 0;
    // "exit code 3", "killed by signal 9 (Killed)" and the like.
    std::string Describe() const;
};

struct SpawnOptions {
    std::string path;               // executable; no PATH search
    std::vector<std::string> args;  // argv[1...]; argv[0] is `path`
    // Child descriptor number <- parent descriptor, e.g. {3, commandPipe.read.Get()}.
    // Sources and targets may overlap; every other descriptor of the parent stays closed in
    // the child as long as it is close-on-exec.
    std::vector<std::pair<int, int>> descriptors;
    // Variables added to (or replacing those of) the parent's environment.
    std::vector<std::pair<std::string, std::string>> environment;
    std::string workingDirectory;  // empty: the parent's
    std::string stdoutPath;        // empty: inherited (unless mapped above)
    std::string stderrPath;        // empty: inherited (unless mapped above)
    bool stdinFromNull = true;     // the child reads the null device on 0 unless mapped
    // Linux: the child gets SIGKILL when the spawning thread ends, so a crashed host leaves no
    // orphan. Only set it when the spawning thread outlives the child. Windows: the child ends
    // with the spawning process.
    bool killWithParent = false;
    // Windows: hand descriptors 3 and up over in text mode, as some hosts' runtimes do (tests).
    bool textModeDescriptors = false;
};

// Resident memory in bytes and user + system processor seconds of a running process named by
// its ID; -1 once it has ended or when they cannot be read.
std::int64_t ProcessResidentBytes(int pid);
double ProcessCpuSeconds(int pid);

// A running (or ended) child. Destruction kills it if it still runs and reaps it.
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the child. On failure (including a failed exec) returns false and sets `error`.
    bool Spawn(const SpawnOptions& options, std::string* error);

    bool Started() const { return pid_ > 0; }
    int Pid() const { return pid_; }

    // Non-blocking: true once the child has ended (reaped here); `status` then holds how.
    bool HasExited(ExitStatus* status = nullptr);
    // Waits up to `timeoutMs` (-1: no limit) for the end; true when it ended.
    bool WaitFor(int timeoutMs, ExitStatus* status = nullptr);
    // Asks the child to stop (SIGTERM).
    void Terminate();
    // Asks the child to end in order (SIGTERM, which it may catch); false where the system has
    // no such request (Windows, where Terminate ends the child at once).
    bool AskToEnd();
    // Interrupts the child as Ctrl+C in a terminal does (SIGINT); false where the system has
    // no such request (Windows).
    bool Interrupt();
    // Ends the child at once (SIGKILL).
    void Kill();
    // Kills the child if it still runs and waits for it.
    ExitStatus KillAndWait();

    // Resident memory in bytes, from /proc; -1 once ended or unreadable.
    std::int64_t ResidentBytes() const;
    // User + system processor seconds so far, from /proc; -1 once ended or unreadable.
    double CpuSeconds() const;

  private:
    int pid_ = -1;
    bool reaped_ = false;
    ExitStatus status_;
    void* process_ = nullptr;  // the process handle, on systems that name processes by handle
};

}  // namespace platform
