// The producer side: AcceptsLog, SubmitLog and the exact text of a log line.
#include <cstdio>
#include <cstring>

#include "logging/LogManager.h"

namespace qlog {
namespace {

constexpr std::size_t kLineCapacity = LOG_LINE_MAX - 1;
// Half the writer's stock of spare records: woken here, it recycles them before they run out.
constexpr std::size_t kWakeQueueLength = 512;

// Appends to a record's text area, keeping at most kLineCapacity characters and noting
// whether anything had to be cut.
class LineWriter {
  public:
    explicit LineWriter(char* out) : out_(out) {}

    void Append(const char* text, std::size_t length) {
        const std::size_t room = kLineCapacity - used_;
        if (length > room) {
            length = room;
            cut_ = true;
        }
        std::memcpy(out_ + used_, text, length);
        used_ += length;
    }
    void Append(const char* text) {
        const std::size_t room = kLineCapacity - used_;
        const std::size_t length = strnlen(text, room + 1);
        Append(text, length);
    }
    void Append(char c) { Append(&c, 1); }
    // Decimal with at least `minDigits` digits, like "%0Nd".
    void AppendDecimal(long long value, int minDigits) {
        char digits[32];
        int n = std::snprintf(digits, sizeof digits, "%0*lld", minDigits, value);
        Append(digits, static_cast<std::size_t>(n));
    }
    void AppendUnsigned3(std::uint32_t value) {
        if (value < 1000) {
            const char digits[3] = {static_cast<char>('0' + value / 100),
                                    static_cast<char>('0' + value / 10 % 10),
                                    static_cast<char>('0' + value % 10)};
            Append(digits, 3);
        } else {
            AppendDecimal(value, 3);
        }
    }

    // Terminates the text; returns its length (kLineCapacity when it was cut).
    std::size_t Finish() {
        out_[used_] = '\0';
        return used_;
    }
    bool Cut() const { return cut_; }

  private:
    char* out_;
    std::size_t used_ = 0;
    bool cut_ = false;
};

// The "YYYY-MM-DD HH:MM:SS." prefix of the second last formatted on this thread.
struct PrefixCache {
    std::uint64_t owner = 0;
    std::int64_t seconds = 0;
    char text[96];
    std::size_t length = 0;
};
thread_local PrefixCache prefixCache;

const char* FileNameOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    return name;
}

}  // namespace

bool LogManager::AcceptsLog(int loggerId, int level) {
    if (loggerId < 0 || loggerId > lastLoggerId_.load(std::memory_order_acquire))
        return false;
    if (!running_.load(std::memory_order_relaxed))
        return false;
    const LoggerEntry& entry = loggers_[loggerId];
    return entry.enable.load(std::memory_order_relaxed) && IsValidLevel(level) &&
           level >= entry.level.load(std::memory_order_relaxed);
}

bool LogManager::SubmitLog(int loggerId, int level, const char* text, const char* file, int line) {
    if (!AcceptsLog(loggerId, level))
        return false;
    std::unique_ptr<LogRecord> record = pool_.Take();
    record->loggerId = loggerId;
    record->kind = RECORD_GENERAL;
    record->value = 0;
    record->level = level;
    const platform::WallTime now = environment_->Now();
    record->time = now.seconds;
    record->milliseconds = now.milliseconds;
    record->length = FormatLine(*record, level, text, file, line);

    bool wakeWriter = false;
    {
        platform::MutexLock hold(queueLock_);
        if (!acceptingRecords_)
            return false;
        // Lines submitted but not yet written, whether queued or in the writer's hands.
        const std::uint64_t waiting = submittedCount_.load(std::memory_order_relaxed) -
                                      takenCount_.load(std::memory_order_relaxed);
        if (waiting >= queueLimitRecords_) {
            // The writer cannot keep up (a file or the console stalls it): memory stays bounded.
            ++droppedRecords_;
            ++droppedTotal_;
            return false;
        }
        queue_.Push(std::move(record));
        submittedCount_.store(submittedCount_.load(std::memory_order_relaxed) + 1);
        wakeWriter = queue_.Count() == kWakeQueueLength;
    }
    if (wakeWriter)
        writerWake_.Signal();
    return true;
}

int LogManager::FormatLine(LogRecord& record, int level, const char* text, const char* file,
                           int line) {
    PrefixCache& cache = prefixCache;
    if (cache.owner != instanceId_ || cache.seconds != record.time || cache.length == 0) {
        const platform::LocalTime local = environment_->ToLocalTime(record.time);
        const int n =
            std::snprintf(cache.text, sizeof cache.text, "%d-%02d-%02d %02d:%02d:%02d.", local.year,
                          local.month, local.day, local.hour, local.minute, local.second);
        cache.length = n > 0 ? static_cast<std::size_t>(n) : 0;
        cache.owner = instanceId_;
        cache.seconds = record.time;
    }

    LineWriter writer(record.text);
    writer.Append(cache.text, cache.length);
    writer.AppendUnsigned3(record.milliseconds);
    writer.Append(' ');
    writer.Append(LevelName(level));
    writer.Append(' ');
    writer.Append(text != nullptr ? text : "(null)");
    if (file != nullptr && loggers_[record.loggerId].fileLine.load(std::memory_order_relaxed)) {
        writer.Append(" (", 2);
        writer.Append(FileNameOf(file));
        writer.Append("):", 2);
        writer.AppendDecimal(line, 1);
    }
    writer.Append(" \r\n", 3);
    const std::size_t length = writer.Finish();
    if (writer.Cut() && length >= 2) {
        record.text[length - 2] = '\r';
        record.text[length - 1] = '\n';
    }
    return static_cast<int>(length);
}

}  // namespace qlog
