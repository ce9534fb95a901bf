#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/HostEnd.h"
#include "platform/Process.h"

namespace platform {

namespace {

// The self-pipe between the signal handler and WaitForTerminationRequest: set once, never
// closed.
std::atomic<int> requestRead{-1};
std::atomic<int> requestWrite{-1};

// Only async-signal-safe work: one write of the signal number, errno kept as it was. A full
// pipe already holds a request, so a failed write loses nothing that matters.
void PassOnRequest(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    const ssize_t ignored = ::write(requestWrite.load(std::memory_order_relaxed), &number, 1);
    (void)ignored;
    errno = saved;
}

}  // namespace

bool WaitUntilUnread(int fd) {
    struct stat info;
    if (::fstat(fd, &info) != 0 || !(S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)))
        return false;
    for (;;) {
        // No events asked for: only an error (a pipe without readers) or a hang-up (a socket
        // whose peer has gone) ends the wait; room to write does not.
        pollfd entry{fd, 0, 0};
        const int ready = ::poll(&entry, 1, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || (entry.revents & POLLNVAL) != 0)
            return false;
        if ((entry.revents & (POLLERR | POLLHUP)) != 0)
            return true;
    }
}

bool CatchTerminationRequests() {
    if (requestWrite.load() < 0) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return false;
        ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
        ::fcntl(ends[1], F_SETFL, O_NONBLOCK);
        requestRead.store(ends[0]);
        requestWrite.store(ends[1]);
    }
    struct sigaction action {};
    action.sa_handler = PassOnRequest;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGINT, &action, nullptr) == 0;
}

TerminationRequest WaitForTerminationRequest() {
    const int fd = requestRead.load();
    if (fd < 0)
        IdleForever();
    for (;;) {
        // A poll first: unlike a read, it ends with EINTR under SA_RESTART too, which is when a
        // sanitizer that delays handlers runs the handler it held back.
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            IdleForever();  // the pipe failed: no request can come any more
        }
        unsigned char number = 0;
        const ssize_t n = ::read(fd, &number, 1);
        if (n == 1)
            return number == SIGINT ? TerminationRequest::kInterrupt
                                    : TerminationRequest::kTerminate;
        if (n == 0)
            IdleForever();
    }
}

}  // namespace platform
