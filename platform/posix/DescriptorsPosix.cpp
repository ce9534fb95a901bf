#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Descriptors.h"
#include "platform/Spin.h"

namespace platform {

int ReadSome(int fd, void* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = ::read(fd, buffer, size);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno != EINTR)
            return -1;
    }
}

bool SpinUntilReadable(int fd, std::chrono::microseconds spin) {
    SpinPacer pacer(spin);
    do {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 0) == 1)
            return true;
    } while (pacer.Next());
    return false;
}

int WriteSome(int fd, const void* data, std::size_t size) {
    for (;;) {
        ssize_t n = ::write(fd, data, size);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno != EINTR)
            return -1;
    }
}

bool IsDescriptorOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

bool ReserveDescriptor(int fd) {
    if (IsDescriptorOpen(fd))
        return true;
    int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null < 0)
        return false;
    if (null == fd) {
        // Numbers are handed out lowest first, so the null device may land right here.
        ::fcntl(fd, F_SETFD, 0);
        return true;
    }
    bool ok = ::dup2(null, fd) == fd;
    ::close(null);
    return ok;
}

void IgnoreBrokenPipe() {
    ::signal(SIGPIPE, SIG_IGN);
}

void IgnoreBrokenPipeIfUnset() {
    struct sigaction current;
    if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL &&
        (current.sa_flags & SA_SIGINFO) == 0)
        ::signal(SIGPIPE, SIG_IGN);
}

void CloseDescriptor(int fd) {
    ::close(fd);
}

const char* LastErrorText() {
    static thread_local char text[128];
    int error = errno;
    const char* message = ::strerror_r(error, text, sizeof text);
    return message;
}

}  // namespace platform
