#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/Descriptors.h"
#include "platform/Spin.h"

namespace platform {

namespace {

// The most one write call passes on. Measured under Wine 8 with 1080p frames (3 MB) through a
// pipe: written in calls of 1 MiB, a frame mostly reached the reader in half the time it took
// when written in one call, and a writer that never waited moved a third more frames a second;
// calls of 256 KiB arrived as fast but moved fewer frames a second than calls of 1 MiB. On
// Linux the size makes no difference.
constexpr std::size_t kMaxWriteBytes = 1024 * 1024;

unsigned int ClampCount(std::size_t size) {
    return size > static_cast<std::size_t>(INT_MAX) ? static_cast<unsigned int>(INT_MAX)
                                                    : static_cast<unsigned int>(size);
}

// True when a read of `fd` would not wait: input, end of input, an error, or not a pipe.
bool ReadWouldNotBlock(int fd) {
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE)
        return true;
    DWORD available = 0;
    if (!::PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr))
        return true;
    return available > 0;
}

// An unhandled fault ends the process at once with the exception's code: no dialog, and no
// debugger is started.
LONG WINAPI EndWithExceptionCode(EXCEPTION_POINTERS* exception) {
    ::TerminateProcess(::GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int ReadSome(int fd, void* buffer, std::size_t size) {
    for (;;) {
        const int n = ::_read(fd, buffer, ClampCount(size));
        if (n >= 0)
            return n;
        if (errno != EINTR)
            return -1;
    }
}

bool SpinUntilReadable(int fd, std::chrono::microseconds spin) {
    SpinPacer pacer(spin);
    do {
        if (ReadWouldNotBlock(fd))
            return true;
    } while (pacer.Next());
    return false;
}

int WriteSome(int fd, const void* data, std::size_t size) {
    for (;;) {
        const int n = ::_write(fd, data, ClampCount(std::min(size, kMaxWriteBytes)));
        if (n >= 0)
            return n;
        if (errno != EINTR)
            return -1;
    }
}

bool IsDescriptorOpen(int fd) {
    return ::_get_osfhandle(fd) != -1;
}

bool ReserveDescriptor(int fd) {
    if (IsDescriptorOpen(fd)) {
        // A host's runtime may hand descriptors over in text mode, which would turn every 0x0A
        // of a frame into 0x0D 0x0A and end reads at 0x1A.
        ::_setmode(fd, _O_BINARY);
        return true;
    }
    const int null = ::_open("NUL", _O_RDWR | _O_BINARY | _O_NOINHERIT);
    if (null < 0)
        return false;
    if (null == fd)
        return true;
    const bool ok = ::_dup2(null, fd) == 0;
    ::_close(null);
    return ok;
}

void IgnoreBrokenPipe() {
    // A write to a pipe whose reader has gone already fails here (no signal). What remains is
    // to keep faults and aborts from opening dialogs: the process ends quietly with its code.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::SetUnhandledExceptionFilter(EndWithExceptionCode);
    ::_set_error_mode(_OUT_TO_STDERR);
}

void IgnoreBrokenPipeIfUnset() {}

void CloseDescriptor(int fd) {
    ::_close(fd);
}

const char* LastErrorText() {
    static thread_local char text[128];
    if (::strerror_s(text, sizeof text, errno) != 0)
        std::strcpy(text, "unknown error");
    return text;
}

}  // namespace platform
