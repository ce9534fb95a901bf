#include <windows.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Console.h"

namespace platform {

namespace {

// Takes texts for a pipe on standard output and writes them on a thread of its own, so that no
// caller ever waits for the reader: a text is taken whole while at most kCapacity bytes wait
// (any one text when none waits), and refused otherwise. The pipe's blocking mode stays as it
// is, since other processes may share that handle's pipe end.
class PipeWriter {
  public:
    static constexpr std::size_t kCapacity = 64 * 1024;

    explicit PipeWriter(HANDLE handle) : handle_(handle) {
        std::thread([this] { Run(); }).detach();  // lives as long as the process
    }

    ConsoleWrite Offer(const char* data, std::size_t length) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failed_)
            return ConsoleWrite::kUnavailable;
        if (!waiting_.empty() && waiting_.size() + length > kCapacity)
            return ConsoleWrite::kWouldBlock;
        waiting_.append(data, length);
        ready_.notify_one();
        return ConsoleWrite::kDone;
    }

  private:
    void Run() {
        std::string writing;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                ready_.wait(lock, [this] { return !waiting_.empty(); });
                writing.swap(waiting_);
            }
            std::size_t done = 0;
            while (done < writing.size()) {
                const std::size_t left = writing.size() - done;
                DWORD written = 0;
                if (!::WriteFile(handle_, writing.data() + done,
                                 left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left),
                                 &written, nullptr)) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    failed_ = true;  // the reader has gone: every later text is refused
                    waiting_.clear();
                    return;
                }
                done += written;
            }
            writing.clear();
        }
    }

    const HANDLE handle_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::string waiting_;
    bool failed_ = false;
};

// Standard output: a console or a file takes each write at once; a pipe goes through a
// PipeWriter. Coloured texts need a console.
class Output {
  public:
    ConsoleWrite Write(int color, const char* data, std::size_t length) {
        std::lock_guard<std::mutex> lock(mutex_);
        const HANDLE handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
        if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
            return ConsoleWrite::kUnavailable;
        CONSOLE_SCREEN_BUFFER_INFO info;
        const bool console = ::GetConsoleScreenBufferInfo(handle, &info) != 0;
        if (color != 0 && !console)
            return ConsoleWrite::kUnavailable;
        if (!console && ::GetFileType(handle) == FILE_TYPE_PIPE) {
            if (pipe_ == nullptr || pipeHandle_ != handle) {
                pipe_ = new PipeWriter(handle);  // its thread keeps using it: never deleted
                pipeHandle_ = handle;
            }
            return pipe_->Offer(data, length);
        }
        if (color != 0)
            ::SetConsoleTextAttribute(handle, static_cast<WORD>(color));
        std::size_t done = 0;
        bool failed = false;
        while (done < length && !failed) {
            const std::size_t left = length - done;
            DWORD written = 0;
            failed = !::WriteFile(handle, data + done,
                                  left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left),
                                  &written, nullptr) ||
                     written == 0;
            done += written;
        }
        if (color != 0)
            ::SetConsoleTextAttribute(handle, info.wAttributes);
        return failed ? ConsoleWrite::kUnavailable : ConsoleWrite::kDone;
    }

  private:
    std::mutex mutex_;
    PipeWriter* pipe_ = nullptr;
    HANDLE pipeHandle_ = nullptr;
};

Output& StandardOutput() {
    static Output* const output = new Output;  // used until exit
    return *output;
}

}  // namespace

bool ConsoleAttached() {
    const HANDLE handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr &&
           ::GetConsoleScreenBufferInfo(handle, &info) != 0;
}

ConsoleWrite WriteColored(int color, const char* text) {
    // Attribute 0 would be black on black; every colour of the logging service is 2 to 6.
    return StandardOutput().Write(color == 0 ? 7 : color, text, std::strlen(text));
}

ConsoleWrite WriteStandardOutput(const char* data, std::size_t length) {
    return StandardOutput().Write(0, data, length);
}

}  // namespace platform
