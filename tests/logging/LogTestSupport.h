// Shared helpers for the logging tests: a temporary directory, a controllable clock and
// console, and file helpers.
#pragma once

#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "logging/LogEnvironment.h"
#include "logging/LogManager.h"

namespace qlog_test {

namespace fs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "qlog-test-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data()) != nullptr)
            path_ = buffer.data();
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
        time_t t = static_cast<time_t>(seconds);
        tm broken{};
        gmtime_r(&t, &broken);
        return {broken.tm_year + 1900, broken.tm_mon + 1, broken.tm_mday, broken.tm_hour,
                broken.tm_min,         broken.tm_sec,     broken.tm_yday};
    }
    // While blocked, the console takes nothing, as a pipe that nobody reads.
    void SetBlocked(bool blocked) { blocked_.store(blocked); }

    bool ConsoleAttached() override { return console_.load(); }
    platform::ConsoleWrite WriteColored(int color, const char* text) override {
        if (blocked_.load())
            return platform::ConsoleWrite::kWouldBlock;
        std::lock_guard<std::mutex> lock(mutex_);
        colored_.push_back({color, text});
        return platform::ConsoleWrite::kDone;
    }
    platform::ConsoleWrite WritePlain(const char* text, std::size_t length) override {
        if (blocked_.load())
            return platform::ConsoleWrite::kWouldBlock;
        std::lock_guard<std::mutex> lock(mutex_);
        plain_.append(text, length);
        return platform::ConsoleWrite::kDone;
    }

    std::string Plain() {
        std::lock_guard<std::mutex> lock(mutex_);
        return plain_;
    }
    std::vector<std::pair<int, std::string>> Colored() {
        std::lock_guard<std::mutex> lock(mutex_);
        return colored_;
    }

  private:
    std::atomic<std::int64_t> seconds_;
    std::atomic<std::uint32_t> milliseconds_;
    std::atomic<bool> console_{false};
    std::atomic<bool> blocked_{false};
    std::mutex mutex_;
    std::string plain_;
    std::vector<std::pair<int, std::string>> colored_;
};

// A manager writing under a temporary directory with the fake environment.
struct ManagerUnderTest {
    TempDir dir;
    FakeEnvironment environment;
    std::unique_ptr<qlog::LogManager> manager;

    explicit ManagerUnderTest(
        std::size_t queueLimitBytes = qlog::LogManagerOptions().queueLimitBytes) {
        qlog::LogManagerOptions options;
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

}  // namespace qlog_test
