#include <windows.h>
// after <windows.h>
#include <fcntl.h>
#include <io.h>
#include <psapi.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cwctype>

#include "platform/Spawn.h"
#include "platform/win32/ChildSetupWin32.h"
#include "platform/win32/TextWin32.h"
#include "platform/win32/UniqueHandleWin32.h"

namespace platform {

namespace {

// Every pipe gets this buffer; Windows fixes it when the pipe is made.
constexpr DWORD kPipeBufferBytes = 64 * 1024;  // as a Linux pipe

HANDLE HandleOf(int fd) {
    return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

bool IsPipe(HANDLE handle) {
    return ::GetFileType(handle) == FILE_TYPE_PIPE;
}

}  // namespace

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0 && fd_ != fd)
        ::_close(fd_);
    fd_ = fd;
}

bool MakePipe(Pipe* pipe) {
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, nullptr, kPipeBufferBytes))  // neither inheritable
        return false;
    UniqueFd read(::_open_osfhandle(reinterpret_cast<intptr_t>(readEnd), _O_RDONLY | _O_BINARY));
    if (!read.Valid()) {
        ::CloseHandle(readEnd);
        ::CloseHandle(writeEnd);
        return false;
    }
    UniqueFd write(::_open_osfhandle(reinterpret_cast<intptr_t>(writeEnd), _O_WRONLY | _O_BINARY));
    if (!write.Valid()) {
        ::CloseHandle(writeEnd);
        return false;
    }
    pipe->read = std::move(read);
    pipe->write = std::move(write);
    return true;
}

bool SetNonBlocking(int fd, bool on) {
    const HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE || !IsPipe(handle))
        return false;
    DWORD mode = PIPE_READMODE_BYTE | (on ? PIPE_NOWAIT : PIPE_WAIT);
    return ::SetNamedPipeHandleState(handle, &mode, nullptr, nullptr) != 0;
}

int SetPipeBufferSize(int fd, int bytes) {
    (void)bytes;
    const HANDLE handle = HandleOf(fd);
    DWORD outSize = 0, inSize = 0;
    if (handle == INVALID_HANDLE_VALUE ||
        !::GetNamedPipeInfo(handle, nullptr, &outSize, &inSize, nullptr))
        return -1;
    return static_cast<int>(std::max(outSize, inSize));
}

UniqueFd OpenForWriting(const std::string& path) {
    return UniqueFd(::_wopen(Widen(path).c_str(),
                             _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                             _S_IREAD | _S_IWRITE));
}

UniqueFd OpenNullDevice() {
    return UniqueFd(::_open("NUL", _O_RDWR | _O_BINARY | _O_NOINHERIT));
}

const char* NullDevicePath() {
    return "NUL";
}

long ReadNonBlocking(int fd, void* buffer, std::size_t size) {
    const HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE)
        return kIoError;
    DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (IsPipe(handle)) {
        DWORD available = 0;
        if (!::PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr))
            return ::GetLastError() == ERROR_BROKEN_PIPE ? kIoEndOfInput : kIoError;
        if (available == 0)
            return kIoWouldBlock;
        want = std::min(want, available);
    }
    DWORD got = 0;
    if (!::ReadFile(handle, buffer, want, &got, nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF)
            return kIoEndOfInput;
        return error == ERROR_NO_DATA ? kIoWouldBlock : kIoError;
    }
    return static_cast<long>(got);
}

long WriteNonBlocking(int fd, const void* data, std::size_t size) {
    const HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE)
        return kIoError;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    // A pipe end switched to PIPE_NOWAIT takes what fits and returns at once.
    if (!::WriteFile(handle, data, want, &written, nullptr))
        return kIoError;
    return written == 0 && want > 0 ? kIoWouldBlock : static_cast<long>(written);
}

int PollDescriptors(std::vector<PollEntry>& entries, int timeoutMs) {
    // Anonymous pipes cannot be waited on: look at each one, and pause between rounds, at first
    // by giving up the processor, then by sleeping a millisecond.
    RaiseTimerResolution();
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0;; ++round) {
        int ready = 0;
        for (PollEntry& e : entries) {
            e.readable = e.writable = e.hangup = e.error = false;
            if (e.fd < 0)
                continue;
            const HANDLE handle = HandleOf(e.fd);
            if (handle == INVALID_HANDLE_VALUE) {
                e.error = true;
            } else if (!IsPipe(handle)) {
                e.readable = e.wantRead;
                e.writable = e.wantWrite;
            } else {
                if (e.wantRead) {
                    DWORD available = 0;
                    if (!::PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr)) {
                        if (::GetLastError() == ERROR_BROKEN_PIPE)
                            e.hangup = true;
                        else
                            e.error = true;
                    } else {
                        e.readable = available > 0;
                    }
                }
                e.writable = e.wantWrite;  // WriteNonBlocking reports a full pipe itself
            }
            if (e.readable || e.writable || e.hangup || e.error)
                ++ready;
        }
        if (ready > 0)
            return ready;
        const auto elapsed = std::chrono::steady_clock::now() - start;
        if (timeoutMs >= 0 && elapsed >= std::chrono::milliseconds(timeoutMs))
            return 0;
        if (round < 64)
            ::SwitchToThread();
        else
            ::Sleep(1);
    }
}

std::string ExitStatus::Describe() const {
    char text[96];
    if (exited && static_cast<unsigned>(code) >= 0xC0000000u)
        std::snprintf(text, sizeof text, "ended by exception 0x%08X", static_cast<unsigned>(code));
    else if (exited)
        std::snprintf(text, sizeof text, "exit code %d", code);
    else if (signaled)
        std::snprintf(text, sizeof text, "killed by signal %d", signal);
    else
        std::snprintf(text, sizeof text, "still running");
    return text;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_)
        KillAndWait();
    if (process_ != nullptr)
        ::CloseHandle(process_);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(other.pid_), reaped_(other.reaped_), status_(other.status_), process_(other.process_) {
    other.pid_ = -1;
    other.process_ = nullptr;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        if (pid_ > 0 && !reaped_)
            KillAndWait();
        if (process_ != nullptr)
            ::CloseHandle(process_);
        pid_ = other.pid_;
        reaped_ = other.reaped_;
        status_ = other.status_;
        process_ = other.process_;
        other.pid_ = -1;
        other.process_ = nullptr;
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

    std::vector<std::pair<int, HANDLE>> map;  // child descriptor <- parent handle
    for (const auto& m : options.descriptors) {
        const HANDLE handle = HandleOf(m.second);
        if (m.first < 0 || handle == INVALID_HANDLE_VALUE)
            return setError("descriptor " + std::to_string(m.second) + " is not open");
        map.emplace_back(m.first, handle);
    }
    auto mapped = [&](int target) {
        return std::any_of(map.begin(), map.end(),
                           [&](const auto& m) { return m.first == target; });
    };
    UniqueFd nullIn, outFile, errFile;
    if (!mapped(0)) {
        if (options.stdinFromNull) {
            nullIn = OpenNullDevice();
            if (!nullIn.Valid())
                return setError("cannot open the null device");
            map.emplace_back(0, HandleOf(nullIn.Get()));
        } else {
            map.emplace_back(0, ::GetStdHandle(STD_INPUT_HANDLE));
        }
    }
    if (!mapped(1)) {
        if (!options.stdoutPath.empty()) {
            outFile = OpenForWriting(options.stdoutPath);
            if (!outFile.Valid())
                return setError("cannot open " + options.stdoutPath);
            map.emplace_back(1, HandleOf(outFile.Get()));
        } else {
            map.emplace_back(1, ::GetStdHandle(STD_OUTPUT_HANDLE));
        }
    }
    if (!mapped(2)) {
        if (!options.stderrPath.empty()) {
            errFile = OpenForWriting(options.stderrPath);
            if (!errFile.Valid())
                return setError("cannot open " + options.stderrPath);
            map.emplace_back(2, HandleOf(errFile.Get()));
        } else {
            map.emplace_back(2, ::GetStdHandle(STD_ERROR_HANDLE));
        }
    }

    // Inheritable copies of the mapped handles only; the parent's own stay uninheritable.
    std::vector<UniqueHandle> copies;
    InheritedDescriptors block;
    for (const auto& m : map) {
        HANDLE copy = nullptr;
        if (m.second == nullptr || m.second == INVALID_HANDLE_VALUE ||
            !::DuplicateHandle(::GetCurrentProcess(), m.second, ::GetCurrentProcess(), &copy, 0,
                               TRUE, DUPLICATE_SAME_ACCESS)) {
            if (m.first <= 2)
                continue;  // a missing standard stream of the parent stays missing
            return setError("cannot pass descriptor " + std::to_string(m.first) + ": " +
                            SystemErrorText(::GetLastError()));
        }
        copies.emplace_back(copy);
        block.Set(m.first, copy);
    }

    std::vector<HANDLE> inherited;
    for (const UniqueHandle& h : copies)
        inherited.push_back(h.Get());
    HandleListAttribute attributes;
    if (!attributes.Init(inherited))
        return setError("cannot list the inherited handles: " + SystemErrorText(::GetLastError()));

    std::vector<unsigned char> reserved = block.Encode(options.textModeDescriptors);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = block.Get(0);
    startup.StartupInfo.hStdOutput = block.Get(1);
    startup.StartupInfo.hStdError = block.Get(2);
    startup.StartupInfo.cbReserved2 = static_cast<WORD>(reserved.size());
    startup.StartupInfo.lpReserved2 = reserved.data();
    startup.lpAttributeList = attributes.Get();

    std::wstring application = Widen(options.path);
    std::wstring commandLine = QuoteArgument(application);
    for (const std::string& a : options.args)
        commandLine += L" " + QuoteArgument(Widen(a));
    std::vector<wchar_t> environment = BuildEnvironmentBlock(options.environment);
    std::wstring directory = Widen(options.workingDirectory);

    PROCESS_INFORMATION info{};
    const DWORD flags =
        EXTENDED_STARTUPINFO_PRESENT | CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED;
    if (!::CreateProcessW(application.c_str(), &commandLine[0], nullptr, nullptr, TRUE, flags,
                          environment.data(), directory.empty() ? nullptr : directory.c_str(),
                          &startup.StartupInfo, &info)) {
        return setError("cannot start " + options.path + ": " + SystemErrorText(::GetLastError()));
    }
    if (options.killWithParent)
        EndWithThisProcess(info.hProcess);
    ::ResumeThread(info.hThread);
    ::CloseHandle(info.hThread);
    if (process_ != nullptr)
        ::CloseHandle(process_);
    process_ = info.hProcess;
    pid_ = static_cast<int>(info.dwProcessId);
    reaped_ = false;
    status_ = ExitStatus();
    return true;
}

bool ChildProcess::HasExited(ExitStatus* status) {
    if (pid_ <= 0)
        return false;
    if (!reaped_) {
        if (::WaitForSingleObject(process_, 0) != WAIT_OBJECT_0)
            return false;
        DWORD code = 0;
        ::GetExitCodeProcess(process_, &code);
        reaped_ = true;
        status_ = ExitStatus();
        status_.exited = true;
        status_.code = static_cast<int>(code);
    }
    if (status != nullptr)
        *status = status_;
    return true;
}

bool ChildProcess::WaitFor(int timeoutMs, ExitStatus* status) {
    if (pid_ <= 0)
        return false;
    if (!reaped_)
        ::WaitForSingleObject(process_, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    return HasExited(status);
}

void ChildProcess::Terminate() {
    if (pid_ > 0 && !reaped_)
        ::TerminateProcess(process_, 1);
}

bool ChildProcess::AskToEnd() {
    return false;
}

bool ChildProcess::Interrupt() {
    return false;
}

void ChildProcess::Kill() {
    Terminate();
}

namespace {

std::int64_t ResidentBytesOf(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    if (!::GetProcessMemoryInfo(process, &counters, sizeof counters))
        return -1;
    return static_cast<std::int64_t>(counters.WorkingSetSize);
}

double CpuSecondsOf(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!::GetProcessTimes(process, &created, &ended, &kernel, &user))
        return -1;
    auto ticks = [](const FILETIME& t) {
        return static_cast<double>(static_cast<std::uint64_t>(t.dwHighDateTime) << 32 |
                                   t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 1e7;
}

UniqueHandle OpenForQuery(int pid) {
    return UniqueHandle(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE,
                                      static_cast<DWORD>(pid)));
}

}  // namespace

std::int64_t ChildProcess::ResidentBytes() const {
    return pid_ <= 0 || reaped_ ? -1 : ResidentBytesOf(process_);
}

double ChildProcess::CpuSeconds() const {
    return pid_ <= 0 || reaped_ ? -1 : CpuSecondsOf(process_);
}

std::int64_t ProcessResidentBytes(int pid) {
    UniqueHandle process = OpenForQuery(pid);
    return process.Get() != nullptr ? ResidentBytesOf(process.Get()) : -1;
}

double ProcessCpuSeconds(int pid) {
    UniqueHandle process = OpenForQuery(pid);
    return process.Get() != nullptr ? CpuSecondsOf(process.Get()) : -1;
}

}  // namespace platform
