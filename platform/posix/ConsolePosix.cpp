#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/Console.h"

namespace platform {
namespace {

// Standard output written without ever blocking. Pipes, FIFOs and terminals are reopened
// through /proc/self/fd with O_NONBLOCK: the flag then belongs to this process's own open file
// description, while setting it on descriptor 1 would also change it for whoever shares that
// description (the host, a shell). Sockets are sent to with MSG_DONTWAIT; files never block.
class NonBlockingOutput {
  public:
    ConsoleWrite Write(const char* data, std::size_t length) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!opened_)
            Open();
        if (!pending_.empty()) {
            const long n = WriteSome(pending_.data(), pending_.size());
            if (n < 0) {
                pending_.clear();
                return ConsoleWrite::kUnavailable;
            }
            pending_.erase(0, static_cast<std::size_t>(n));
            if (!pending_.empty())
                return ConsoleWrite::kWouldBlock;
        }
        if (length == 0)
            return ConsoleWrite::kDone;
        const long n = WriteSome(data, length);
        if (n < 0)
            return ConsoleWrite::kUnavailable;
        if (n == 0)
            return ConsoleWrite::kWouldBlock;
        if (static_cast<std::size_t>(n) < length)
            pending_.assign(data + n, length - static_cast<std::size_t>(n));
        return ConsoleWrite::kDone;
    }

  private:
    enum class Kind { kPlain, kReopened, kSocket, kPolled };

    void Open() {
        opened_ = true;
        struct stat info {};
        if (::fstat(STDOUT_FILENO, &info) != 0)
            return;
        if (S_ISSOCK(info.st_mode)) {
            kind_ = Kind::kSocket;
        } else if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) {
            const int fd = ::open("/proc/self/fd/1", O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
            if (fd >= 0) {
                fd_ = fd;
                kind_ = Kind::kReopened;
            } else {
                kind_ = Kind::kPolled;
            }
        }
    }

    // Bytes written (0 when the output would block), or -1 when it failed.
    long WriteSome(const char* data, std::size_t length) {
        if (kind_ == Kind::kPolled) {
            // Without a descriptor of our own: write only when there is room, and no more than
            // a pipe takes in one piece.
            pollfd entry{STDOUT_FILENO, POLLOUT, 0};
            if (::poll(&entry, 1, 0) != 1 || (entry.revents & POLLOUT) == 0)
                return (entry.revents & (POLLERR | POLLNVAL)) != 0 ? -1 : 0;
            if (length > PIPE_BUF)
                length = PIPE_BUF;
        }
        for (;;) {
            ssize_t n;
            if (kind_ == Kind::kSocket)
                n = ::send(STDOUT_FILENO, data, length, MSG_DONTWAIT | MSG_NOSIGNAL);
            else
                n = ::write(fd_, data, length);
            if (n >= 0)
                return static_cast<long>(n);
            if (errno == EINTR)
                continue;
            return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
        }
    }

    std::mutex mutex_;
    bool opened_ = false;
    Kind kind_ = Kind::kPlain;
    int fd_ = STDOUT_FILENO;  // the reopened descriptor lives as long as the process
    std::string pending_;
};

NonBlockingOutput& Output() {
    static NonBlockingOutput* const output = new NonBlockingOutput;  // used until exit
    return *output;
}

}  // namespace

bool ConsoleAttached() {
    return ::isatty(STDOUT_FILENO) == 1;
}

ConsoleWrite WriteColored(int color, const char* text) {
    if (!ConsoleAttached())
        return ConsoleWrite::kUnavailable;
    // Console attributes (blue 1, green 2, red 4) to ANSI colour numbers (red 1, green 2, blue 4).
    const int ansi = ((color & 1) ? 4 : 0) | (color & 2) | ((color & 4) ? 1 : 0);
    char start[8];
    std::snprintf(start, sizeof start, "\033[%dm", 30 + ansi);
    std::string line(start);
    line += text;
    line += "\033[0m";
    return Output().Write(line.data(), line.size());
}

ConsoleWrite WriteStandardOutput(const char* data, std::size_t length) {
    return Output().Write(data, length);
}

}  // namespace platform
