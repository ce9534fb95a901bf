#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Spawn.h"

extern char** environ;

namespace platform {

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0 && fd_ != fd)
        ::close(fd_);
    fd_ = fd;
}

bool MakePipe(Pipe* pipe) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return false;
    pipe->read.Reset(ends[0]);
    pipe->write.Reset(ends[1]);
    return true;
}

bool SetNonBlocking(int fd, bool on) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1)
        return false;
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return ::fcntl(fd, F_SETFL, flags) == 0;
}

int SetPipeBufferSize(int fd, int bytes) {
#ifdef F_SETPIPE_SZ
    ::fcntl(fd, F_SETPIPE_SZ, bytes);  // may be refused above the system cap; the size stays
    return ::fcntl(fd, F_GETPIPE_SZ);
#else
    (void)fd;
    (void)bytes;
    return -1;
#endif
}

UniqueFd OpenForWriting(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
}

UniqueFd OpenNullDevice() {
    return UniqueFd(::open("/dev/null", O_RDWR | O_CLOEXEC));
}

const char* NullDevicePath() {
    return "/dev/null";
}

long ReadNonBlocking(int fd, void* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = ::read(fd, buffer, size);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno == EINTR)
            continue;
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? kIoWouldBlock : kIoError;
    }
}

long WriteNonBlocking(int fd, const void* data, std::size_t size) {
    for (;;) {
        ssize_t n = ::write(fd, data, size);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno == EINTR)
            continue;
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? kIoWouldBlock : kIoError;
    }
}

int PollDescriptors(std::vector<PollEntry>& entries, int timeoutMs) {
    std::vector<pollfd> fds(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        fds[i].fd = entries[i].fd;
        fds[i].events = static_cast<short>((entries[i].wantRead ? POLLIN : 0) |
                                           (entries[i].wantWrite ? POLLOUT : 0));
        fds[i].revents = 0;
    }
    int n = ::poll(fds.data(), fds.size(), timeoutMs);
    if (n < 0)
        return errno == EINTR ? 0 : -1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        short r = fds[i].revents;
        entries[i].readable = (r & POLLIN) != 0;
        entries[i].writable = (r & POLLOUT) != 0;
        entries[i].hangup = (r & POLLHUP) != 0;
        entries[i].error = (r & (POLLERR | POLLNVAL)) != 0;
    }
    return n;
}

std::string ExitStatus::Describe() const {
    char text[96];
    if (exited)
        std::snprintf(text, sizeof text, "exit code %d", code);
    else if (signaled)
        std::snprintf(text, sizeof text, "killed by signal %d (%s)", signal, ::strsignal(signal));
    else
        std::snprintf(text, sizeof text, "still running");
    return text;
}

namespace {

ExitStatus FromWaitStatus(int status) {
    ExitStatus s;
    if (WIFEXITED(status)) {
        s.exited = true;
        s.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        s.signaled = true;
        s.signal = WTERMSIG(status);
    }
    return s;
}

// "NAME=value" texts: the parent's environment with `extra` added or replacing.
std::vector<std::string> BuildEnvironment(
    const std::vector<std::pair<std::string, std::string>>& extra) {
    std::vector<std::string> result;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        std::string entry(*e);
        std::string name = entry.substr(0, entry.find('='));
        bool replaced = std::any_of(extra.begin(), extra.end(),
                                    [&](const auto& kv) { return kv.first == name; });
        if (!replaced)
            result.push_back(std::move(entry));
    }
    for (const auto& kv : extra)
        result.push_back(kv.first + "=" + kv.second);
    return result;
}

// Child side after fork: only async-signal-safe calls. Reports errno on `report` and exits.
[[noreturn]] void RunChild(const char* path, char* const* argv, char* const* envp,
                           const std::vector<std::pair<int, int>>& map, const char* directory,
                           bool killWithParent, int report) {
    int error = 0;
    const char* step = "";
    auto fail = [&](const char* what) {
        error = errno;
        step = what;
    };
#ifdef __linux__
    if (killWithParent)
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#else
    (void)killWithParent;
#endif
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);

    // Move every source above all targets first, so that a source whose number is another
    // mapping's target is not overwritten before it is used.
    int floor = report + 1;
    for (const auto& m : map)
        floor = std::max(floor, std::max(m.first, m.second) + 1);
    int moved[64];
    std::size_t count = map.size() < 64 ? map.size() : 64;
    for (std::size_t i = 0; i < count && error == 0; ++i) {
        moved[i] = ::fcntl(map[i].second, F_DUPFD_CLOEXEC, floor);
        if (moved[i] < 0)
            fail("dup");
    }
    for (std::size_t i = 0; i < count && error == 0; ++i) {
        if (::dup2(moved[i], map[i].first) < 0)  // the new number is not close-on-exec
            fail("dup2");
    }
    if (error == 0 && directory[0] != '\0' && ::chdir(directory) != 0)
        fail("chdir");
    if (error == 0) {
        ::execve(path, argv, envp);
        fail("exec");
    }
    // Report "step:errno" to the parent, then leave without running any atexit handler.
    char message[64];
    std::size_t n = 0;
    for (const char* s = step; *s != '\0' && n < 40; ++s)
        message[n++] = *s;
    message[n++] = ':';
    char digits[12];
    int d = 0;
    int value = error;
    do {
        digits[d++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && d < 11);
    while (d > 0)
        message[n++] = digits[--d];
    ssize_t ignored = ::write(report, message, n);
    (void)ignored;
    ::_exit(127);
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_)
        KillAndWait();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(other.pid_), reaped_(other.reaped_), status_(other.status_) {
    other.pid_ = -1;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        if (pid_ > 0 && !reaped_)
            KillAndWait();
        pid_ = other.pid_;
        reaped_ = other.reaped_;
        status_ = other.status_;
        other.pid_ = -1;
    }
    return *this;
}

bool ChildProcess::Spawn(const SpawnOptions& options, std::string* error) {
    auto setError = [&](const std::string& text) {
        if (error != nullptr)
            *error = text;
        return false;
    };
    if (pid_ > 0 && !reaped_)
        return setError("a child is already running");
    if (options.descriptors.size() + 3 > 64)
        return setError("too many descriptors to map");

    // Everything the child needs is prepared before fork: the child only calls safe functions.
    std::vector<std::pair<int, int>> map = options.descriptors;
    auto mapped = [&](int target) {
        return std::any_of(map.begin(), map.end(),
                           [&](const auto& m) { return m.first == target; });
    };
    UniqueFd nullIn, outFile, errFile;
    if (options.stdinFromNull && !mapped(0)) {
        nullIn = OpenNullDevice();
        if (!nullIn.Valid())
            return setError(std::string("cannot open the null device: ") + std::strerror(errno));
        map.emplace_back(0, nullIn.Get());
    }
    if (!options.stdoutPath.empty() && !mapped(1)) {
        outFile = OpenForWriting(options.stdoutPath);
        if (!outFile.Valid())
            return setError("cannot open " + options.stdoutPath + ": " + std::strerror(errno));
        map.emplace_back(1, outFile.Get());
    }
    if (!options.stderrPath.empty() && !mapped(2)) {
        errFile = OpenForWriting(options.stderrPath);
        if (!errFile.Valid())
            return setError("cannot open " + options.stderrPath + ": " + std::strerror(errno));
        map.emplace_back(2, errFile.Get());
    }

    std::vector<std::string> argStrings;
    argStrings.push_back(options.path);
    argStrings.insert(argStrings.end(), options.args.begin(), options.args.end());
    std::vector<char*> argv;
    for (auto& a : argStrings)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    std::vector<std::string> envStrings = BuildEnvironment(options.environment);
    std::vector<char*> envp;
    for (auto& e : envStrings)
        envp.push_back(&e[0]);
    envp.push_back(nullptr);

    Pipe report;
    if (!MakePipe(&report))
        return setError(std::string("pipe: ") + std::strerror(errno));

    pid_t pid = ::fork();
    if (pid < 0)
        return setError(std::string("fork: ") + std::strerror(errno));
    if (pid == 0) {
        RunChild(argStrings[0].c_str(), argv.data(), envp.data(), map,
                 options.workingDirectory.c_str(), options.killWithParent, report.write.Get());
    }
    pid_ = pid;
    reaped_ = false;
    status_ = ExitStatus();
    report.write.Reset();

    // The report pipe closes on a successful exec; a message on it means the child failed.
    char message[64];
    long n;
    do {
        n = ::read(report.read.Get(), message, sizeof message - 1);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
        message[n] = '\0';
        WaitFor(-1);
        pid_ = -1;
        const char* colon = std::strchr(message, ':');
        int code = colon != nullptr ? std::atoi(colon + 1) : 0;
        std::string step = colon != nullptr
                               ? std::string(message, static_cast<std::size_t>(colon - message))
                               : "exec";
        return setError("cannot start " + options.path + " (" + step + "): " + std::strerror(code));
    }
    return true;
}

bool ChildProcess::HasExited(ExitStatus* status) {
    if (pid_ <= 0)
        return false;
    if (!reaped_) {
        int raw = 0;
        pid_t r;
        do {
            r = ::waitpid(pid_, &raw, WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r == 0)
            return false;
        reaped_ = true;
        status_ = r == pid_ ? FromWaitStatus(raw) : ExitStatus();
    }
    if (status != nullptr)
        *status = status_;
    return true;
}

bool ChildProcess::WaitFor(int timeoutMs, ExitStatus* status) {
    if (pid_ <= 0)
        return false;
    auto start = std::chrono::steady_clock::now();
    int pause = 1;
    while (!HasExited(status)) {
        if (timeoutMs >= 0 &&
            std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(timeoutMs))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        pause = std::min(pause * 2, 20);
    }
    return true;
}

void ChildProcess::Terminate() {
    if (pid_ > 0 && !reaped_)
        ::kill(pid_, SIGTERM);
}

bool ChildProcess::AskToEnd() {
    return pid_ > 0 && !reaped_ && ::kill(pid_, SIGTERM) == 0;
}

bool ChildProcess::Interrupt() {
    return pid_ > 0 && !reaped_ && ::kill(pid_, SIGINT) == 0;
}

void ChildProcess::Kill() {
    if (pid_ > 0 && !reaped_)
        ::kill(pid_, SIGKILL);
}

std::int64_t ChildProcess::ResidentBytes() const {
    return pid_ <= 0 || reaped_ ? -1 : ProcessResidentBytes(pid_);
}

double ChildProcess::CpuSeconds() const {
    return pid_ <= 0 || reaped_ ? -1 : ProcessCpuSeconds(pid_);
}

std::int64_t ProcessResidentBytes(int pid) {
    if (pid <= 0)
        return -1;
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 6, "VmRSS:") == 0) {
            std::istringstream fields(line.substr(6));
            std::int64_t kib = -1;
            fields >> kib;
            return kib < 0 ? -1 : kib * 1024;
        }
    }
    return -1;
}

double ProcessCpuSeconds(int pid) {
    if (pid <= 0)
        return -1;
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold blanks and parentheses: fields are counted after the last ')'.
    std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // After ')' come field 3 (state) onwards; utime and stime are fields 14 and 15.
    for (int index = 3; index <= 15 && (fields >> field); ++index) {
        if (index == 14)
            utime = std::stoull(field);
        else if (index == 15)
            stime = std::stoull(field);
    }
    long ticks = ::sysconf(_SC_CLK_TCK);
    if (ticks <= 0)
        return -1;
    return static_cast<double>(utime + stime) / static_cast<double>(ticks);
}

}  // namespace platform
