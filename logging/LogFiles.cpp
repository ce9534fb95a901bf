// Log files: naming, rolling per local day and size, directory creation, deletion of old
// files, and recovery after a file that could not be opened or written.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "logging/LogManager.h"
#include "platform/FileSystem.h"

namespace qlog {
namespace {

constexpr std::uint32_t kMegabyteShift = 20;
constexpr std::size_t kPendingBytes = 64 * 1024;
// Limits whose byte count does not fit in 32 bits act as the largest representable limit.
constexpr std::uint32_t kLargestLimitMegabytes = 4095;
// A file that failed is tried again at most this often.
constexpr std::int64_t kRetryMilliseconds = 1000;
constexpr std::int64_t kSecondsPerDay = 86400;

// Only the writer thread touches log files, so the stream lock can be skipped where the C
// library allows it.
std::size_t WriteToFile(const char* data, std::size_t length, std::FILE* file) {
#ifdef __GLIBC__
    return fwrite_unlocked(data, 1, length, file);
#else
    return std::fwrite(data, 1, length, file);
#endif
}

std::int64_t Milliseconds(const platform::WallTime& time) {
    return time.seconds * 1000 + time.milliseconds;
}

bool AllDigits(const std::string& text, std::size_t begin, std::size_t end) {
    if (begin >= end)
        return false;
    for (std::size_t i = begin; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

// A month directory: "YYYY_MM".
bool IsMonthDirectory(const std::string& name) {
    return name.size() == 7 && name[4] == '_' && AllDigits(name, 0, 4) && AllDigits(name, 5, 7);
}

// A file of the logger called `logger`: name_YYYYMMDDhhmm_PID_INDEX.log, by any process.
bool IsOwnFileName(const std::string& file, const std::string& logger) {
    const std::string suffix = ".log";
    if (file.size() <= logger.size() + 1 + 12 + 1 + suffix.size() ||
        file.compare(0, logger.size(), logger) != 0 || file[logger.size()] != '_' ||
        file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::size_t stamp = logger.size() + 1;
    if (!AllDigits(file, stamp, stamp + 12) || file[stamp + 12] != '_')
        return false;
    const std::size_t pid = stamp + 13;
    const std::size_t end = file.size() - suffix.size();
    const std::size_t underscore = file.find('_', pid);
    return underscore != std::string::npos && AllDigits(file, pid, underscore) &&
           end - (underscore + 1) >= 3 && AllDigits(file, underscore + 1, end);
}

struct OldFile {
    std::string path;
    std::int64_t modified;
};

std::uint32_t LimitBytes(std::uint32_t megabytes) {
    if (megabytes > kLargestLimitMegabytes)
        megabytes = kLargestLimitMegabytes;
    return megabytes << kMegabyteShift;
}

std::string MonthDirectory(const platform::LocalTime& local) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d_%02d/", local.year, local.month);
    return text;
}

std::string FileName(const std::string& name, const platform::LocalTime& local,
                     const std::string& processId, std::uint32_t index) {
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d", local.year, local.month, local.day,
                  local.hour, local.minute);
    char part[32];
    std::snprintf(part, sizeof part, "%03u", static_cast<unsigned>(index));
    return name + "_" + stamp + "_" + processId + "_" + part + ".log";
}

// Backslashes separate directories in configured paths too.
void UseForwardSlashes(std::string& path) {
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
}

}  // namespace

int LogManager::LocalDayKey(std::int64_t seconds) {
    if (dayCacheKey_ < 0 || seconds != dayCacheSeconds_) {
        const platform::LocalTime local = environment_->ToLocalTime(seconds);
        dayCacheKey_ = local.year * 512 + local.dayOfYear;
        dayCacheSeconds_ = seconds;
    }
    return dayCacheKey_;
}

bool LogManager::IsSameDay(std::int64_t a, std::int64_t b) {
    const platform::LocalTime localA = environment_->ToLocalTime(a);
    const platform::LocalTime localB = environment_->ToLocalTime(b);
    return localA.year == localB.year && localA.dayOfYear == localB.dayOfYear;
}

bool LogManager::openLogger(const LogRecord& record) {
    const int id = record.loggerId;
    if (!InRange(id)) {
        PrintDiagnostic("qlog: openLogger can not open, invalide logger id! \r\n");
        return false;
    }
    LoggerEntry& entry = loggers_[id];
    if (!entry.enable.load() || !entry.outfile || record.level < entry.level.load())
        return false;

    // The day of the file is kept with the entry; the record's day is cached per second.
    const int recordDay = LocalDayKey(record.time);
    const bool sameDay = entry.fileDayKey >= 0 ? entry.fileDayKey == recordDay
                                               : IsSameDay(entry.fileCreationTime, record.time);
    const bool overLimit = entry.writtenBytes > LimitBytes(entry.limitsize);
    if (!sameDay) {
        entry.fileIndex = 0;
        closeLogger(id);
    } else if (overLimit) {
        ++entry.fileIndex;
        closeLogger(id);
    }
    if (entry.file)
        return true;

    const std::int64_t now = Milliseconds(environment_->Now());
    if (entry.failedAtMs >= 0 && now >= entry.failedAtMs &&
        now - entry.failedAtMs < kRetryMilliseconds)
        return false;

    entry.fileCreationTime = record.time;
    entry.fileDayKey = recordDay;
    entry.writtenBytes = 0;
    const platform::LocalTime local = environment_->ToLocalTime(record.time);
    std::string name;
    std::string folder;
    {
        platform::MutexLock hold(attributeLock_);
        name = labels_[id].name;
        folder = labels_[id].path;
    }
    UseForwardSlashes(folder);
    std::string path = folder;
    if (entry.monthdir)
        path += MonthDirectory(local);
    if (!platform::IsDirectory(path))
        EnsureDirectory(path);
    path += FileName(name, local, processIdText_, entry.fileIndex);
    entry.file.reset(environment_->OpenLogFile(path));
    if (!entry.file) {
        // Tried again a second later; the lines until then are counted as lost.
        entry.failedAtMs = now;
        return false;
    }
    // Lines reach the disk when the queue runs empty or kPendingBytes have gathered.
    std::setvbuf(entry.file.get(), nullptr, _IONBF, 0);
    if (entry.pending.capacity() < kPendingBytes)
        entry.pending.reserve(kPendingBytes);
    if (entry.failedAtMs >= 0) {
        entry.failedAtMs = -1;
        if (entry.lostLines > 0) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "qlog: %llu log lines lost, the log file could not be written",
                          static_cast<unsigned long long>(entry.lostLines));
            // A failed write may have left part of a line: the notice starts on a line of its own.
            if (entry.cutLine)
                WriteLine(entry, "\r\n", 2);
            entry.lostLines = 0;
            entry.cutLine = false;
            WriteNotice(entry, LOG_ERROR, text, record);
            if (!entry.file)
                return false;
        }
    }
    DeleteOldFiles(id, folder, name, path, record);
    return true;
}

void LogManager::NoteFileFailure(LoggerEntry& entry, std::uint64_t lostLines, bool cutLine) {
    entry.file.reset();
    entry.pending.clear();
    entry.pendingLineEnds.clear();
    entry.lostLines += lostLines;
    entry.cutLine = entry.cutLine || cutLine;
    entry.failedAtMs = Milliseconds(environment_->Now());
}

void LogManager::WriteLine(LoggerEntry& entry, const char* text, std::uint32_t length) {
    entry.writtenBytes += length;
    if (!entry.file || length == 0)
        return;
    entry.pending.append(text, length);
    entry.pendingLineEnds.push_back(static_cast<std::uint32_t>(entry.pending.size()));
    if (entry.pending.size() >= kPendingBytes)
        FlushFile(entry);
}

void LogManager::FlushFile(LoggerEntry& entry) {
    if (!entry.file || entry.pending.empty())
        return;
    const std::size_t size = entry.pending.size();
    const std::size_t written = WriteToFile(entry.pending.data(), size, entry.file.get());
    if (written < size) {
        // The lines that did not reach the file whole are lost; one may have been cut.
        const auto& ends = entry.pendingLineEnds;
        const auto firstLost = std::upper_bound(ends.begin(), ends.end(), written);
        const bool cut =
            written > 0 && (firstLost == ends.begin() ? true : *(firstLost - 1) != written);
        NoteFileFailure(entry, static_cast<std::uint64_t>(ends.end() - firstLost), cut);
        return;
    }
    entry.pending.clear();
    entry.pendingLineEnds.clear();
}

void LogManager::WriteNotice(LoggerEntry& entry, int level, const char* text, const LogRecord& at) {
    if (!entry.file)
        return;
    LogRecord notice;
    notice.loggerId = at.loggerId;
    notice.time = at.time;
    notice.milliseconds = at.milliseconds;
    notice.level = level;
    notice.length = FormatLine(notice, level, text, nullptr, 0);
    WriteLine(entry, notice.text, static_cast<std::uint32_t>(notice.length));
}

void LogManager::DeleteOldFiles(int loggerId, const std::string& folder, const std::string& name,
                                const std::string& currentFile, const LogRecord& at) {
    const std::int64_t now = environment_->Now().seconds;
    const LoggerEntry& entry = loggers_[loggerId];
    if (entry.keepFiles == 0 && entry.keepDays == 0)
        return;
    std::vector<OldFile> files;
    std::vector<std::string> monthFolders;
    for (const platform::DirectoryEntry& item : platform::ListDirectory(folder)) {
        if (item.isRegularFile && IsOwnFileName(item.name, name)) {
            files.push_back({folder + item.name, item.modified});
        } else if (item.isDirectory && IsMonthDirectory(item.name)) {
            const std::string month = folder + item.name + "/";
            monthFolders.push_back(month);
            for (const platform::DirectoryEntry& inner : platform::ListDirectory(month)) {
                if (inner.isRegularFile && IsOwnFileName(inner.name, name))
                    files.push_back({month + inner.name, inner.modified});
            }
        }
    }
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&](const OldFile& file) { return file.path == currentFile; }),
                files.end());
    std::sort(files.begin(), files.end(), [](const OldFile& a, const OldFile& b) {
        return a.modified != b.modified ? a.modified < b.modified : a.path < b.path;
    });

    // The current file counts towards the bound of files.
    std::size_t remaining = files.size() + 1;
    const std::int64_t oldestKept =
        now - static_cast<std::int64_t>(entry.keepDays) * kSecondsPerDay;
    bool deleted = false;
    for (const OldFile& file : files) {
        const bool tooMany = entry.keepFiles != 0 && remaining > entry.keepFiles;
        const bool tooOld = entry.keepDays != 0 && file.modified < oldestKept;
        if (!tooMany && !tooOld)
            continue;
        if (environment_->RemoveLogFile(file.path)) {
            --remaining;
            deleted = true;
        } else if (undeletable_.insert(file.path).second) {
            const std::string text = "qlog: old log file " + file.path + " cannot be deleted";
            WriteNotice(loggers_[loggerId], LOG_WARN, text.c_str(), at);
        }
    }
    // Month folders left empty go too; one that still holds anything stays.
    if (deleted) {
        for (const std::string& month : monthFolders) {
            if (currentFile.compare(0, month.size(), month) != 0)
                platform::RemoveEmptyDirectory(month);
        }
    }
}

bool LogManager::closeLogger(int loggerId) {
    if (!InRange(loggerId)) {
        PrintDiagnostic("qlog: closeLogger can not close, invalide logger id! \r\n");
        return false;
    }
    LoggerEntry& entry = loggers_[loggerId];
    if (!entry.file)
        return false;
    FlushFile(entry);
    entry.file.reset();
    return true;
}

bool LogManager::EnsureDirectory(const std::string& path) {
    if (path.empty())
        return true;
    std::string copy = path;
    UseForwardSlashes(copy);
    if (copy.back() != '/')
        copy += '/';
    for (std::size_t slash = copy.find('/'); slash != std::string::npos;
         slash = copy.find('/', slash + 1)) {
        const std::string prefix = copy.substr(0, slash);
        if (prefix.empty() || platform::IsDirectory(prefix))
            continue;
        // Another process may create it at the same moment; only a missing result fails.
        if (!platform::MakeDirectory(prefix) && !platform::IsDirectory(prefix))
            return false;
    }
    return true;
}

}  // namespace qlog
