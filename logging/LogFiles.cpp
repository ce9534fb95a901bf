// Log files: naming, rolling per local day and size, and directory creation.
#include <cstdio>

#include "logging/LogManager.h"
#include "platform/FileSystem.h"

namespace qlog {
namespace {

constexpr std::uint32_t kMegabyteShift = 20;
constexpr std::size_t kFileBufferSize = 64 * 1024;
// Limits whose byte count does not fit in 32 bits act as the largest representable limit.
constexpr std::uint32_t kLargestLimitMegabytes = 4095;

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
        entry.file.reset();
    } else if (overLimit) {
        ++entry.fileIndex;
        entry.file.reset();
    }
    if (entry.file)
        return true;

    entry.fileCreationTime = record.time;
    entry.fileDayKey = recordDay;
    entry.writtenBytes = 0;
    const platform::LocalTime local = environment_->ToLocalTime(record.time);
    std::string name;
    std::string path;
    {
        platform::MutexLock hold(attributeLock_);
        name = labels_[id].name;
        path = labels_[id].path;
    }
    UseForwardSlashes(path);
    if (entry.monthdir)
        path += MonthDirectory(local);
    if (!platform::IsDirectory(path))
        EnsureDirectory(path);
    path += FileName(name, local, processIdText_, entry.fileIndex);
    entry.file.reset(std::fopen(path.c_str(), "ab"));
    if (!entry.file) {
        entry.outfile = false;
        return false;
    }
    // Lines reach the disk when the queue runs empty; until then a larger buffer saves calls.
    if (!entry.fileBuffer)
        entry.fileBuffer.reset(new char[kFileBufferSize]);
    std::setvbuf(entry.file.get(), entry.fileBuffer.get(), _IOFBF, kFileBufferSize);
    return true;
}

bool LogManager::closeLogger(int loggerId) {
    if (!InRange(loggerId)) {
        PrintDiagnostic("qlog: closeLogger can not close, invalide logger id! \r\n");
        return false;
    }
    LoggerEntry& entry = loggers_[loggerId];
    if (!entry.file)
        return false;
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
