// One logger: its settings, then the state of its current file.
// Fields that producers read without a lock (enable, level, fileLine) are atomic; the rest
// belong to the writer thread. Key, name and path, which configuration calls write too, are
// kept apart in LoggerLabels, under the manager's attribute lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "logging/Qlog.h"

namespace qlog {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Fields written by different threads for every record are kept this far apart.
constexpr std::size_t kCacheLine = 64;

constexpr std::uint32_t DEFAULT_LIMIT_MEGABYTES = 100;
constexpr std::uint32_t NO_LIMIT_MEGABYTES = 0xFFFFFFFFu;
// Old files a logger keeps: at most this many, none older than this many days; 0 = no bound.
constexpr std::uint32_t DEFAULT_KEEP_FILES = 20;
constexpr std::uint32_t DEFAULT_KEEP_DAYS = 30;

// A logger's key, the first part of its file names, and the directory of its files.
struct LoggerLabels {
    std::string key;
    std::string name;
    std::string path = "./log/";
};

struct LoggerEntry {
    std::atomic<int> level{LOG_DEBUG};
    bool display = true;
    bool outfile = true;
    bool monthdir = false;
    std::uint32_t limitsize = DEFAULT_LIMIT_MEGABYTES;
    std::atomic<bool> enable{false};
    std::atomic<bool> fileLine{true};
    std::uint32_t keepFiles = DEFAULT_KEEP_FILES;
    std::uint32_t keepDays = DEFAULT_KEEP_DAYS;

    // The writer's file state, on cache lines apart from what producers read.
    alignas(kCacheLine) std::int64_t fileCreationTime = 0;
    int fileDayKey = -1;  // local day of fileCreationTime once known
    std::uint32_t fileIndex = 0;
    std::uint32_t writtenBytes = 0;
    // Lines waiting to be written, gathered so that one write takes many, and where each ends:
    // after a short write the lines lost are known exactly.
    std::string pending;
    std::vector<std::uint32_t> pendingLineEnds;
    // After a failed open or write: when it failed (milliseconds since 1970; -1 while the
    // file works), the lines lost since, and whether the file may end in a cut line.
    std::int64_t failedAtMs = -1;
    std::uint64_t lostLines = 0;
    bool cutLine = false;
    FilePtr file;  // unbuffered: `pending` is its buffer
};

}  // namespace qlog
