// Shared helpers for the logging tests: a temporary directory, a controllable clock and
// console, and file helpers.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "logging/LogEnvironment.h"
#include "logging/LogManager.h"
#include "platform/Mutex.h"
#include "platform/Process.h"
#include "platform/ThreadAnnotations.h"

namespace qlogtest {

namespace fs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        static std::atomic<int> counter{0};
        const std::string name = "qlog-test-" + std::to_string(platform::ProcessId()) + "-" +
                                 std::to_string(counter.fetch_add(1));
        const fs::path path = fs::temp_directory_path() / name;
        std::error_code error;
        fs::remove_all(path, error);
        if (fs::create_directory(path, error))
            path_ = path.generic_string();
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty())
            fs::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& child) const { return path_ + "/" + child; }

  private:
    std::string path_;
};

// A stream onto `path` that takes `budget` bytes and then reports every write short.
inline std::FILE* OpenFillingFile(const std::string& path, std::size_t budget) {
#ifdef __GLIBC__
    struct Filling {
        std::FILE* file;
        std::size_t left;
    };
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr)
        return nullptr;
    cookie_io_functions_t functions{};
    functions.write = [](void* cookie, const char* data, std::size_t size) -> ssize_t {
        Filling* filling = static_cast<Filling*>(cookie);
        const std::size_t n = size < filling->left ? size : filling->left;
        std::fwrite(data, 1, n, filling->file);
        std::fflush(filling->file);
        filling->left -= n;
        return static_cast<ssize_t>(n);
    };
    functions.close = [](void* cookie) -> int {
        Filling* filling = static_cast<Filling*>(cookie);
        std::fclose(filling->file);
        delete filling;
        return 0;
    };
    return fopencookie(new Filling{file, budget}, "a", functions);
#else
    (void)path;
    (void)budget;
    return nullptr;
#endif
}

// A clock that stands still until moved (local time is UTC) and a console that records.
class FakeEnvironment : public qlog::LogEnvironment {
  public:
    explicit FakeEnvironment(std::int64_t seconds = 1625097598, std::uint32_t ms = 7)
        : seconds_(seconds), milliseconds_(ms) {}

    void Set(std::int64_t seconds, std::uint32_t milliseconds) {
        seconds_.store(seconds);
        milliseconds_.store(milliseconds);
    }
    void SetConsole(bool attached) { console_.store(attached); }

    platform::WallTime Now() override { return {seconds_.load(), milliseconds_.load()}; }
    platform::LocalTime ToLocalTime(std::int64_t seconds) override {
        // Civil date from days since 1970 (proleptic Gregorian calendar).
        std::int64_t days = seconds / 86400, rest = seconds % 86400;
        if (rest < 0) {
            rest += 86400;
            --days;
        }
        const std::int64_t z = days + 719468;
        const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
        const std::int64_t dayOfEra = z - era * 146097;
        const std::int64_t yearOfEra =
            (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
        const std::int64_t dayOfYear =
            dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
        const std::int64_t mp = (5 * dayOfYear + 2) / 153;
        const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
        const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
        const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
        static const int kDaysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        const int yday = kDaysBefore[month - 1] + day - 1 + (leap && month > 2 ? 1 : 0);
        return {year,
                month,
                day,
                static_cast<int>(rest / 3600),
                static_cast<int>(rest / 60 % 60),
                static_cast<int>(rest % 60),
                yday};
    }
    // Log files open as usual, fail to open, or take `budget` bytes and then no more, as a
    // file system that fills up (Linux only).
    enum class Files { kWork, kCannotOpen, kFillUp };
    void SetFiles(Files files, std::size_t budget = 0) {
        budget_.store(budget);
        files_.store(files);
    }
    int OpenCalls() const { return openCalls_.load(); }
    std::FILE* OpenLogFile(const std::string& path) override {
        openCalls_.fetch_add(1);
        switch (files_.load()) {
            case Files::kCannotOpen:
                return nullptr;
            case Files::kFillUp:
                return OpenFillingFile(path, budget_.load());
            default:
                return qlog::LogEnvironment::OpenLogFile(path);
        }
    }
    // Files whose name contains `piece` cannot be deleted.
    void KeepFilesContaining(const std::string& piece) {
        platform::MutexLock hold(mutex_);
        undeletable_ = piece;
    }
    bool RemoveLogFile(const std::string& path) override {
        {
            platform::MutexLock hold(mutex_);
            if (!undeletable_.empty() && path.find(undeletable_) != std::string::npos)
                return false;
        }
        return qlog::LogEnvironment::RemoveLogFile(path);
    }

    // While blocked, the console takes nothing, as a pipe that nobody reads.
    void SetBlocked(bool blocked) { blocked_.store(blocked); }

    bool ConsoleAttached() override { return console_.load(); }
    platform::ConsoleWrite WriteColored(int color, const char* text) override {
        if (blocked_.load())
            return platform::ConsoleWrite::kWouldBlock;
        platform::MutexLock hold(mutex_);
        colored_.push_back({color, text});
        return platform::ConsoleWrite::kDone;
    }
    platform::ConsoleWrite WritePlain(const char* text, std::size_t length) override {
        if (blocked_.load())
            return platform::ConsoleWrite::kWouldBlock;
        platform::MutexLock hold(mutex_);
        plain_.append(text, length);
        return platform::ConsoleWrite::kDone;
    }

    std::string Plain() {
        platform::MutexLock hold(mutex_);
        return plain_;
    }
    std::vector<std::pair<int, std::string>> Colored() {
        platform::MutexLock hold(mutex_);
        return colored_;
    }

  private:
    std::atomic<std::int64_t> seconds_;
    std::atomic<std::uint32_t> milliseconds_;
    std::atomic<bool> console_{false};
    std::atomic<bool> blocked_{false};
    std::atomic<Files> files_{Files::kWork};
    std::atomic<std::size_t> budget_{0};
    std::atomic<int> openCalls_{0};
    platform::Mutex mutex_;
    std::string plain_ GUARDED_BY(mutex_);
    std::vector<std::pair<int, std::string>> colored_ GUARDED_BY(mutex_);
    std::string undeletable_ GUARDED_BY(mutex_);
};

// A manager writing under a temporary directory with the fake environment.
struct ManagerUnderTest {
    TempDir dir;
    FakeEnvironment environment;
    std::unique_ptr<qlog::LogManager> manager;

    explicit ManagerUnderTest(
        std::size_t queueLimitBytes = qlog::LogManagerOptions().queueLimitBytes,
        bool stdoutLines = false) {
        qlog::LogManagerOptions options;
        options.stdoutLines = stdoutLines;
        options.environment = &environment;
        options.defaultPath = dir.path() + "/log/";
        options.queueLimitBytes = queueLimitBytes;
        manager = std::make_unique<qlog::LogManager>(options);
    }
    std::string LogDir() const { return dir.path() + "/log/"; }
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// Regular files directly in `dir`, sorted by name.
inline std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& item : fs::directory_iterator(dir, error)) {
        if (item.is_regular_file())
            names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2)
        lines.push_back(text.substr(begin, end - begin));
    if (begin < text.size())
        lines.push_back(text.substr(begin));
    return lines;
}

// Polls `done` for up to five seconds.
inline bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 500; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

}  // namespace qlogtest
