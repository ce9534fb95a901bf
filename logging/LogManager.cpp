#include "logging/LogManager.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/Prefetch.h"
#include "platform/Process.h"

namespace qlog {
namespace {

constexpr char kThreadBanner[] =
    "-----------------  qlog thread started!   ----------------------------";
constexpr int kStartTimeoutMilliseconds = 3000;
constexpr int kIdleSleepMilliseconds = 100;
constexpr std::size_t kSpareRecords = 1024;

std::atomic<std::uint64_t> nextInstanceId{1};

// Records were filled on the producers' processors: loading the next one while the current one
// is written out hides most of that transfer. Its header and the start of a typical line.
void PrefetchRecord(const LogRecord* record) {
    if (record == nullptr)
        return;
    const char* start = reinterpret_cast<const char*>(record);
    for (std::size_t offset = 0; offset < offsetof(LogRecord, text) + 192; offset += kCacheLine)
        platform::PrefetchForRead(start + offset);
}

// The executable's base name without its extension; "MainLog" when it cannot be read.
std::string ExecutableBaseName() {
    std::string path = platform::ExecutablePath();
    if (path.empty())
        return "MainLog";
    std::size_t slash = path.find_last_of("\\/");
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos)
        base.erase(dot);
    return base.empty() ? "MainLog" : base;
}

}  // namespace

LogManagerOptions LogManagerOptions::FromEnvironment() {
    LogManagerOptions options;
    options.stdoutLines = platform::EnvironmentText("QUORLANE_LOG_STDOUT") == "1";
    return options;
}

LogManager::LogManager() : LogManager(LogManagerOptions()) {}

LogManager::LogManager(const LogManagerOptions& options)
    : environment_(options.environment != nullptr ? options.environment
                                                  : LogEnvironment::Default()),
      defaultPath_(options.defaultPath),
      instanceId_(nextInstanceId.fetch_add(1)),
      stdoutLines_(options.stdoutLines),
      console_(environment_),
      pool_(kSpareRecords) {
    queueLimitRecords_ = options.queueLimitBytes / sizeof(LogRecord);
    if (queueLimitRecords_ == 0)
        queueLimitRecords_ = 1;
    for (LoggerLabels& labels : labels_)
        labels.path = defaultPath_;
    char pid[32];
    std::snprintf(pid, sizeof pid, "%06u", static_cast<unsigned>(platform::ProcessId()));
    processIdText_ = pid;
    processName_ = ExecutableBaseName();

    loggers_[0].enable.store(true);
    labels_[0].key = "Main";
    labels_[0].name = processName_;
    loggerIds_["Main"] = 0;
}

LogManager::~LogManager() {
    running_.store(false);
    writerWake_.Signal();
    JoinThread();
}

bool LogManager::InRange(int loggerId) const {
    return loggerId >= 0 && loggerId <= lastLoggerId_.load(std::memory_order_acquire);
}

bool LogManager::Start() {
    if (running_.load())
        return false;
    startSignal_.Create();
    JoinThread();
    if (!StartThread())
        return false;
    return startSignal_.Wait(kStartTimeoutMilliseconds);
}

void LogManager::HoldWriter(bool hold) {
    writerHeld_.store(hold, std::memory_order_relaxed);
    if (!hold)
        writerWake_.Signal();
}

bool LogManager::Stop() {
    if (!running_.exchange(false))
        return false;
    writerWake_.Signal();
    JoinThread();
    return true;
}

void LogManager::Run() {
    {
        platform::MutexLock hold(queueLock_);
        acceptingRecords_ = true;
    }
    running_.store(true);
    SubmitLog(0, LOG_ALARM, kThreadBanner, nullptr, 0);
    const int last = lastLoggerId_.load(std::memory_order_acquire);
    for (int id = 0; id <= last; ++id) {
        LoggerEntry& entry = loggers_[id];
        if (!entry.enable.load())
            continue;
        std::string line;
        {
            platform::MutexLock hold(attributeLock_);
            const LoggerLabels& labels = labels_[id];
            line = "logger id=" + std::to_string(id) + " key=" + labels.key +
                   " name=" + labels.name + " path=" + labels.path;
        }
        line += " level=" + std::to_string(entry.level.load()) +
                " display=" + (entry.display ? "1" : "0");
        SubmitLog(0, LOG_ALARM, line.c_str(), nullptr, 0);
    }
    startSignal_.Post();

    std::uint32_t pendingWrites[LOGGER_MAX] = {};
    std::int64_t lastReloadCheck = environment_->Now().seconds;
    LogQueue batch;
    LogQueue used;
    for (;;) {
        // Everything queued so far is taken at once and handled in order.
        const bool held = writerHeld_.load(std::memory_order_relaxed) && running_.load();
        if (!held) {
            platform::MutexLock hold(queueLock_);
            batch.Append(queue_);
        }
        if (!batch.Empty()) {
            while (std::unique_ptr<LogRecord> record = batch.Pop()) {
                PrefetchRecord(batch.Front());
                ProcessRecord(*record, pendingWrites);
                used.Push(std::move(record));
            }
            pool_.GiveBack(used);
            continue;
        }
        ReportDroppedRecords(pendingWrites);
        IdleFlush(pendingWrites);
        // Once stopped, what came in while the wake-up was taken is written without a pause.
        if (running_.load())
            writerWake_.WaitFor(kIdleSleepMilliseconds);
        if (FinishIfStopped())
            return;
        const int interval = reloadInterval_.load();
        const std::int64_t now = environment_->Now().seconds;
        if (interval != 0 && now - lastReloadCheck > interval) {
            ReloadConfig();
            lastReloadCheck = now;
        }
    }
}

void LogManager::ProcessRecord(const LogRecord& record, std::uint32_t* pendingWrites) {
    const int id = record.loggerId;
    if (!InRange(id))
        return;
    LoggerEntry& entry = loggers_[id];
    if (record.kind != RECORD_GENERAL) {
        std::size_t length = record.length < 0 ? 0 : static_cast<std::size_t>(record.length);
        std::string text(record.text, length < sizeof record.text ? length : 0);
        if (record.kind == RECORD_ENABLE)
            entry.enable.store(record.value != 0);
        else
            ApplyAttributeChange(id, record.kind, record.value, text);
        closeLogger(id);
        return;
    }
    takenCount_.store(takenCount_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    if (!entry.enable.load() || record.level < entry.level.load())
        return;
    const std::uint32_t length = static_cast<std::uint32_t>(record.length);
    if (entry.display || (stdoutLines_ && id == 0))
        Display(record);
    if (entry.outfile) {
        if (!openLogger(record)) {
            // Waiting to try the file again: the line is counted for the notice.
            if (entry.failedAtMs >= 0)
                ++entry.lostLines;
            return;
        }
        WriteLine(entry, record.text, length);
        ++pendingWrites[id];
    }
    writeCount_.store(writeCount_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    writeBytes_.store(writeBytes_.load(std::memory_order_relaxed) + length,
                      std::memory_order_relaxed);
}

void LogManager::IdleFlush(std::uint32_t* pendingWrites) {
    const int last = lastLoggerId_.load(std::memory_order_acquire);
    for (int id = 0; id <= last; ++id) {
        LoggerEntry& entry = loggers_[id];
        if (entry.enable.load()) {
            if (pendingWrites[id] > 0) {
                FlushFile(entry);
                pendingWrites[id] = 0;
            }
        } else if (entry.file) {
            closeLogger(id);
        }
    }
    platform::MutexLock hold(consoleLock_);
    console_.Flush();
}

void LogManager::ReportDroppedRecords(std::uint32_t* pendingWrites) {
    std::uint64_t dropped = 0;
    {
        platform::MutexLock hold(queueLock_);
        if (!queue_.Empty())
            return;
        if (droppedRecords_ == 0 || !AcceptsLog(0, LOG_ERROR))
            return;
        dropped = droppedRecords_;
        droppedRecords_ = 0;
        // Counted like a submitted line, so that the waiting count stays exact.
        submittedCount_.store(submittedCount_.load(std::memory_order_relaxed) + 1);
    }
    char text[160];
    std::snprintf(text, sizeof text,
                  "qlog: %llu log lines dropped, more than %llu lines were waiting to be "
                  "written",
                  static_cast<unsigned long long>(dropped),
                  static_cast<unsigned long long>(queueLimitRecords_));
    std::unique_ptr<LogRecord> record = pool_.Take();
    record->loggerId = 0;
    record->kind = RECORD_GENERAL;
    record->value = 0;
    record->level = LOG_ERROR;
    const platform::WallTime now = environment_->Now();
    record->time = now.seconds;
    record->milliseconds = now.milliseconds;
    record->length = FormatLine(*record, LOG_ERROR, text, nullptr, 0);
    ProcessRecord(*record, pendingWrites);
}

bool LogManager::FinishIfStopped() {
    if (running_.load())
        return false;
    {
        platform::MutexLock hold(queueLock_);
        if (!queue_.Empty())
            return false;
        // From here on no producer can append a record that would never be written.
        acceptingRecords_ = false;
    }
    const int last = lastLoggerId_.load(std::memory_order_acquire);
    for (int id = 0; id <= last; ++id) {
        if (loggers_[id].enable.load()) {
            loggers_[id].enable.store(false);
            closeLogger(id);
        }
    }
    {
        platform::MutexLock hold(consoleLock_);
        console_.Flush();
    }
    return true;
}

void LogManager::Display(const LogRecord& record) {
    platform::MutexLock hold(consoleLock_);
    if (stdoutLines_ && record.loggerId == 0) {
        PrintStdoutLine(record);
        return;
    }
    if (record.level <= LOG_DEBUG || record.level > LOG_FATAL) {
        console_.Plain(record.text, static_cast<std::size_t>(record.length));
        return;
    }
    if (environment_->ConsoleAttached())
        console_.Colored(LevelColor(record.level), record.text);
}

void LogManager::PrintStdoutLine(const LogRecord& record) {
    // The console's writes call into the environment with consoleLock_ held.
    consoleLock_.AssertHeld();
    const std::size_t length = static_cast<std::size_t>(record.length);
    if (length < 2) {
        console_.Plain(record.text, length);
        return;
    }
    char line[LOG_LINE_MAX + 2];
    std::size_t kept = 0;
    for (std::size_t i = 0; i + 2 < length; ++i) {
        const char c = record.text[i];
        if (c != '\r' && c != '\n')
            line[kept++] = c;
    }
    line[kept++] = '\r';
    line[kept++] = '\n';
    console_.Plain(line, kept);
}

void LogManager::PrintDiagnostic(const char* text) {
    platform::MutexLock hold(consoleLock_);
    if (environment_->ConsoleAttached())
        console_.Colored(DIAGNOSTIC_COLOR, text);
}

void LogManager::PrintPlain(const std::string& text) {
    platform::MutexLock hold(consoleLock_);
    console_.Plain(text.data(), text.size());
    console_.Flush();
}

void LogManager::TrimConfigText(std::string& text, const char* extra) {
    if (text.empty())
        return;
    auto ignorable = [extra](char c) {
        return c == '\r' || c == '\n' || c == '\t' || c == ' ' ||
               (extra != nullptr && c != '\0' && std::strchr(extra, c) != nullptr);
    };
    std::size_t begin = 0;
    if (text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
        static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF)
        begin = 3;
    while (begin < text.size() && ignorable(text[begin]))
        ++begin;
    std::size_t end = text.size();
    while (end > begin && ignorable(text[end - 1]))
        --end;
    text = text.substr(begin, end - begin);
}

int LogManager::CreateLogger(const char* key) {
    if (key == nullptr)
        return -1;
    std::string trimmed(key);
    TrimConfigText(trimmed, nullptr);
    platform::MutexLock hold(attributeLock_);
    auto found = loggerIds_.find(trimmed);
    if (found != loggerIds_.end() && found->second != -1)
        return found->second;
    const int id = lastLoggerId_.load() + 1;
    if (id >= LOGGER_MAX) {
        PrintDiagnostic(
            "qlog: CreateLogger can not create|writeover, because loggerid need < LOGGER_MAX! "
            "\r\n");
        return -1;
    }
    labels_[id].key = trimmed;
    labels_[id].name = trimmed;
    loggers_[id].enable.store(true);
    loggerIds_[trimmed] = id;
    lastLoggerId_.store(id, std::memory_order_release);
    return id;
}

int LogManager::LookupLogger(const char* key) {
    if (key == nullptr)
        return -1;
    platform::MutexLock hold(attributeLock_);
    auto found = loggerIds_.find(key);
    return found == loggerIds_.end() ? -1 : found->second;
}

bool LogManager::QueueAttributeChange(int loggerId, RecordKind kind, std::int32_t value,
                                      const char* text) {
    if (!InRange(loggerId))
        return false;
    const std::size_t length = text != nullptr ? std::strlen(text) : 0;
    if (length >= static_cast<std::size_t>(LOG_LINE_MAX))
        return false;
    std::unique_ptr<LogRecord> record = pool_.Take();
    record->loggerId = loggerId;
    record->kind = kind;
    record->value = value;
    record->length = static_cast<std::int32_t>(length);
    if (length > 0)
        std::memcpy(record->text, text, length);
    platform::MutexLock hold(queueLock_);
    queue_.Push(std::move(record));
    return true;
}

void LogManager::ApplyAttributeChange(int loggerId, int kind, std::int32_t value,
                                      const std::string& text) {
    LoggerEntry& entry = loggers_[loggerId];
    switch (kind) {
        case RECORD_NAME: {
            platform::MutexLock hold(attributeLock_);
            labels_[loggerId].name = text;
            break;
        }
        case RECORD_PATH: {
            platform::MutexLock hold(attributeLock_);
            labels_[loggerId].path = text;
            break;
        }
        case RECORD_LEVEL:
            entry.level.store(value);
            break;
        case RECORD_FILE_LINE:
            entry.fileLine.store(value != 0);
            break;
        case RECORD_DISPLAY:
            entry.display = value != 0;
            break;
        case RECORD_OUT_FILE:
            entry.outfile = value != 0;
            break;
        case RECORD_LIMIT_SIZE:
            entry.limitsize = static_cast<std::uint32_t>(value);
            break;
        case RECORD_MONTH_DIR:
            entry.monthdir = value != 0;
            break;
        case RECORD_KEEP_FILES:
            entry.keepFiles = static_cast<std::uint32_t>(value);
            break;
        case RECORD_KEEP_DAYS:
            entry.keepDays = static_cast<std::uint32_t>(value);
            break;
        default:
            break;
    }
}

bool LogManager::SetLoggerEnabled(int loggerId, bool enable) {
    if (!InRange(loggerId))
        return false;
    if (enable)
        loggers_[loggerId].enable.store(true);
    return QueueAttributeChange(loggerId, RECORD_ENABLE, enable ? 1 : 0, nullptr);
}

bool LogManager::SetLoggerName(int loggerId, const char* name) {
    if (!InRange(loggerId) || name == nullptr || *name == '\0')
        return false;
    return QueueAttributeChange(loggerId, RECORD_NAME, 0, name);
}

bool LogManager::SetLoggerPath(int loggerId, const char* path) {
    if (!InRange(loggerId) || path == nullptr || *path == '\0')
        return false;
    std::string text(path);
    if (text.back() != '/' && text.back() != '\\')
        text += '/';
    return QueueAttributeChange(loggerId, RECORD_PATH, 0, text.c_str());
}

bool LogManager::SetLoggerLevel(int loggerId, int level) {
    if (!InRange(loggerId) || !IsValidLevel(level))
        return false;
    LoggerEntry& entry = loggers_[loggerId];
    if (level < entry.level.load())
        entry.level.store(level);
    return QueueAttributeChange(loggerId, RECORD_LEVEL, level, nullptr);
}

bool LogManager::SetLoggerFileLine(int loggerId, bool enable) {
    return QueueAttributeChange(loggerId, RECORD_FILE_LINE, enable ? 1 : 0, nullptr);
}

bool LogManager::SetLoggerDisplay(int loggerId, bool enable) {
    return QueueAttributeChange(loggerId, RECORD_DISPLAY, enable ? 1 : 0, nullptr);
}

bool LogManager::SetLoggerOutFile(int loggerId, bool enable) {
    return QueueAttributeChange(loggerId, RECORD_OUT_FILE, enable ? 1 : 0, nullptr);
}

bool LogManager::SetLoggerLimitSize(int loggerId, unsigned int megabytes) {
    const std::uint32_t limit = megabytes == 0 ? NO_LIMIT_MEGABYTES : megabytes;
    return QueueAttributeChange(loggerId, RECORD_LIMIT_SIZE, static_cast<std::int32_t>(limit),
                                nullptr);
}

bool LogManager::SetLoggerMonthDir(int loggerId, bool enable) {
    return QueueAttributeChange(loggerId, RECORD_MONTH_DIR, enable ? 1 : 0, nullptr);
}

bool LogManager::SetLoggerKeepFiles(int loggerId, unsigned int files) {
    return QueueAttributeChange(loggerId, RECORD_KEEP_FILES, static_cast<std::int32_t>(files),
                                nullptr);
}

bool LogManager::SetLoggerKeepDays(int loggerId, unsigned int days) {
    return QueueAttributeChange(loggerId, RECORD_KEEP_DAYS, static_cast<std::int32_t>(days),
                                nullptr);
}

std::string LogManager::LoggerPath(int loggerId) {
    if (!InRange(loggerId))
        return std::string();
    platform::MutexLock hold(attributeLock_);
    return labels_[loggerId].path;
}

LoggerSettings LogManager::DescribeLogger(int loggerId) {
    LoggerSettings settings;
    if (loggerId < 0 || loggerId >= LOGGER_MAX)
        return settings;
    const LoggerEntry& entry = loggers_[loggerId];
    platform::MutexLock hold(attributeLock_);
    settings.key = labels_[loggerId].key;
    settings.name = labels_[loggerId].name;
    settings.path = labels_[loggerId].path;
    settings.level = entry.level.load();
    settings.display = entry.display;
    settings.outfile = entry.outfile;
    settings.monthdir = entry.monthdir;
    settings.limitsize = entry.limitsize;
    settings.enable = entry.enable.load();
    settings.fileLine = entry.fileLine.load();
    settings.keepFiles = entry.keepFiles;
    settings.keepDays = entry.keepDays;
    settings.fileIndex = entry.fileIndex;
    settings.fileOpen = entry.file != nullptr;
    return settings;
}

bool LogManager::SetReloadInterval(int seconds) {
    reloadInterval_.store(seconds);
    return true;
}

bool LogManager::IsLoggerEnabled(int loggerId) {
    return InRange(loggerId) && loggers_[loggerId].enable.load();
}

std::uint64_t LogManager::GetWriteCount() {
    return writeCount_.load();
}

std::uint64_t LogManager::GetWriteBytes() {
    return writeBytes_.load();
}

std::uint64_t LogManager::GetWaitingCount() {
    // Taken first: it never runs ahead of the submitted count read after it.
    const std::uint64_t taken = takenCount_.load();
    return submittedCount_.load() - taken;
}

std::uint64_t LogManager::GetDroppedRecordCount() {
    platform::MutexLock hold(queueLock_);
    return droppedTotal_;
}

std::uint64_t LogManager::GetDroppedConsoleLineCount() {
    platform::MutexLock hold(consoleLock_);
    return console_.DroppedLines();
}

std::uint32_t LogManager::GetActiveLoggerCount() {
    std::uint32_t count = 0;
    const int last = lastLoggerId_.load(std::memory_order_acquire);
    for (int id = 0; id <= last; ++id) {
        if (loggers_[id].enable.load())
            ++count;
    }
    return count;
}

}  // namespace qlog
