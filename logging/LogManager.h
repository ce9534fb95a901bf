// The logging service: the logger table, the record queue and the writer thread.
// Producers on any thread format and queue; the writer thread alone shows lines on the
// console, writes files and applies attribute changes.
//
//   qlog::LogManager manager;            // or qlog::GetLogManager() for the process-wide one
//   manager.Config("config.cfg");
//   manager.Start();
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "logging/ConsoleOutput.h"
#include "logging/LogEnvironment.h"
#include "logging/LogQueue.h"
#include "logging/LogRecord.h"
#include "logging/LoggerEntry.h"
#include "logging/Qlog.h"
#include "logging/RecordPool.h"
#include "logging/SemHelper.h"
#include "logging/ThreadHelper.h"
#include "platform/Mutex.h"
#include "platform/Sync.h"
#include "platform/ThreadAnnotations.h"

namespace qlog {

// A copy of one logger's settings and file state.
struct LoggerSettings {
    std::string key;
    std::string name;
    std::string path;
    int level = 0;
    bool display = false;
    bool outfile = false;
    bool monthdir = false;
    std::uint32_t limitsize = 0;
    bool enable = false;
    bool fileLine = false;
    std::uint32_t keepFiles = 0;
    std::uint32_t keepDays = 0;
    std::uint32_t fileIndex = 0;
    bool fileOpen = false;
};

struct LogManagerOptions {
    // Clock and console; null means the real ones.
    LogEnvironment* environment = nullptr;
    // Directory of log files for loggers without a configured path.
    std::string defaultPath = "./log/";
    // Logger 0's lines, whatever its display flag, go to standard output as single plain
    // lines (line breaks inside the text removed) instead of the console.
    bool stdoutLines = false;
    // Memory that queued log lines may take; records submitted past it are dropped and
    // counted, and the count is logged once the writer has caught up.
    std::size_t queueLimitBytes = 64u * 1024 * 1024;

    // The defaults, with stdoutLines set when QUORLANE_LOG_STDOUT is "1".
    static LogManagerOptions FromEnvironment();
};

class LogManager : public ThreadHelper, public ILogManager {
  public:
    LogManager();
    explicit LogManager(const LogManagerOptions& options);
    ~LogManager() override;

    void Run() override;

    bool Config(const char* path) override EXCLUDES(configLock_);
    bool ConfigFromText(const char* text) override EXCLUDES(configLock_);
    int CreateLogger(const char* key) override EXCLUDES(attributeLock_);
    bool Start() override;
    bool Stop() override;
    int LookupLogger(const char* key) override EXCLUDES(attributeLock_);
    bool AcceptsLog(int loggerId, int level) override;
    bool SubmitLog(int loggerId, int level, const char* text, const char* file, int line) override
        EXCLUDES(queueLock_);
    bool SetLoggerEnabled(int loggerId, bool enable) override;
    bool SetLoggerName(int loggerId, const char* name) override;
    bool SetLoggerPath(int loggerId, const char* path) override;
    bool SetLoggerLevel(int loggerId, int level) override;
    bool SetLoggerFileLine(int loggerId, bool enable) override;
    bool SetLoggerDisplay(int loggerId, bool enable) override;
    bool SetLoggerOutFile(int loggerId, bool enable) override;
    bool SetLoggerLimitSize(int loggerId, unsigned int megabytes) override;
    bool SetLoggerMonthDir(int loggerId, bool enable) override;
    bool SetReloadInterval(int seconds) override;
    bool ReloadConfig() override EXCLUDES(configLock_);
    bool IsLoggerEnabled(int loggerId) override;
    std::uint64_t GetWriteCount() override;
    std::uint64_t GetWriteBytes() override;
    std::uint64_t GetWaitingCount() override;
    // Records refused because the queue was full, and console lines dropped because the
    // console did not take them, since the start.
    std::uint64_t GetDroppedRecordCount() EXCLUDES(queueLock_);
    std::uint64_t GetDroppedConsoleLineCount() EXCLUDES(consoleLock_);
    std::uint32_t GetActiveLoggerCount() override;

    // How many of its own old files a logger keeps, and for how many days; 0 for no bound.
    // Queued like the other settings.
    bool SetLoggerKeepFiles(int loggerId, unsigned int files);
    bool SetLoggerKeepDays(int loggerId, unsigned int days);

    // The directory of a logger's files as configured; empty for an id not in use.
    std::string LoggerPath(int loggerId) EXCLUDES(attributeLock_);

    // Holds the writer thread before it takes the next record, so that tests and benchmarks
    // can fill the queue first. Stop releases the hold.
    void HoldWriter(bool hold);

    // The settings of a logger 0 to LOGGER_MAX - 1. Only while the writer thread is not
    // running: it owns most of these fields while it runs.
    LoggerSettings DescribeLogger(int loggerId) EXCLUDES(attributeLock_);

    // Drops the ignorable characters (carriage return, line feed, tab, blank and `extra`)
    // at both ends of `text`, after skipping a leading UTF-8 byte-order mark.
    static void TrimConfigText(std::string& text, const char* extra);
    // Creates every missing directory along `path`.
    static bool EnsureDirectory(const std::string& path);

    const std::string& ProcessName() const { return processName_; }
    const std::string& ProcessIdText() const { return processIdText_; }

  private:
    struct SectionSettings;
    using SectionMap = std::map<std::string, SectionSettings>;

    bool InRange(int loggerId) const;
    bool QueueAttributeChange(int loggerId, RecordKind kind, std::int32_t value, const char* text)
        EXCLUDES(queueLock_);
    void ApplyAttributeChange(int loggerId, int kind, std::int32_t value, const std::string& text)
        EXCLUDES(attributeLock_);
    int FormatLine(LogRecord& record, int level, const char* text, const char* file, int line);

    void ProcessRecord(const LogRecord& record, std::uint32_t* pendingWrites);
    void IdleFlush(std::uint32_t* pendingWrites) EXCLUDES(consoleLock_);
    bool FinishIfStopped() EXCLUDES(queueLock_, consoleLock_);
    void Display(const LogRecord& record) EXCLUDES(consoleLock_);
    void PrintDiagnostic(const char* text) EXCLUDES(consoleLock_);
    // Writes configuration messages to standard output, as the console does.
    void PrintPlain(const std::string& text) EXCLUDES(consoleLock_);
    // Logs how many records the full queue refused, once it has drained.
    void ReportDroppedRecords(std::uint32_t* pendingWrites) EXCLUDES(queueLock_);

    bool openLogger(const LogRecord& record) EXCLUDES(attributeLock_);
    bool closeLogger(int loggerId);
    // Writes a line to the logger's open file; a failed write closes it and counts the lines
    // that did not reach it.
    void WriteLine(LoggerEntry& entry, const char* text, std::uint32_t length);
    // Flushes the logger's open file, with the same accounting as WriteLine.
    void FlushFile(LoggerEntry& entry);
    void NoteFileFailure(LoggerEntry& entry, std::uint64_t lostLines, bool cutLine);
    // Writes one line of the service's own to the logger's open file, stamped like `at`.
    void WriteNotice(LoggerEntry& entry, int level, const char* text, const LogRecord& at);
    // Deletes the logger's own files beyond its bounds, oldest first, except `currentFile`;
    // one that cannot be deleted is reported in the current file, once.
    void DeleteOldFiles(int loggerId, const std::string& folder, const std::string& name,
                        const std::string& currentFile, const LogRecord& at);
    // Shows logger 0's line on standard output as one plain line.
    void PrintStdoutLine(const LogRecord& record) REQUIRES(consoleLock_);
    bool IsSameDay(std::int64_t a, std::int64_t b);
    int LocalDayKey(std::int64_t seconds);

    bool ApplyConfigText(const std::string& text, bool update) REQUIRES(configLock_);
    void ParseConfigText(const std::string& text, SectionMap& sections);
    void ParseConfigLine(const std::string& piece, unsigned pieceNumber, std::string& currentKey,
                         SectionMap& sections);
    SectionSettings NewSection(const std::string& key) const;
    bool ReadConfigFile(const std::string& path, std::string& text);

    // Constant after construction.
    LogEnvironment* const environment_;
    const std::string defaultPath_;
    const std::uint64_t instanceId_;
    const bool stdoutLines_;
    std::string processIdText_;
    std::string processName_;
    std::size_t queueLimitRecords_;

    // Locks, outer first: configLock_, attributeLock_, then consoleLock_ or queueLock_; the
    // record pool's own lock comes last. None is taken again by the thread that holds it.

    // configLock_: configuration and reloads.
    platform::Mutex configLock_;
    std::uint32_t configChecksum_ GUARDED_BY(configLock_) = 0;
    std::string configFile_ GUARDED_BY(configLock_);

    // attributeLock_: logger keys, names and paths.
    platform::Mutex attributeLock_;
    std::map<std::string, int> loggerIds_ GUARDED_BY(attributeLock_);
    LoggerLabels labels_[LOGGER_MAX] GUARDED_BY(attributeLock_);

    // queueLock_: the record queue. Producers take it for every record, so it shares a cache
    // line with what it guards and with the submitted count, written under it and read without.
    alignas(kCacheLine) platform::Mutex queueLock_;
    LogQueue queue_ GUARDED_BY(queueLock_);
    std::uint64_t droppedRecords_ GUARDED_BY(queueLock_) = 0;  // not yet reported
    std::uint64_t droppedTotal_ GUARDED_BY(queueLock_) = 0;
    // Whether an append will still be taken by the writer.
    bool acceptingRecords_ GUARDED_BY(queueLock_) = false;
    std::atomic<std::uint64_t> submittedCount_{0};

    // consoleLock_: console output; the console calls the environment's writers with it held.
    alignas(kCacheLine) platform::Mutex consoleLock_;
    ConsoleOutput console_ GUARDED_BY(consoleLock_);

    // Atomics, read by producers without a lock.
    std::atomic<bool> running_{false};
    std::atomic<int> reloadInterval_{0};
    std::atomic<int> lastLoggerId_{0};
    std::atomic<bool> writerHeld_{false};
    // Written by the writer thread only, on a cache line of their own.
    alignas(kCacheLine) std::atomic<std::uint64_t> writeCount_{0};
    std::atomic<std::uint64_t> writeBytes_{0};
    std::atomic<std::uint64_t> takenCount_{0};

    // Synchronised by themselves.
    SemHelper startSignal_;
    RecordPool pool_;
    // Ends the writer's idle wait early: on Stop, on release of a hold, and when the queue
    // grows long enough that records would stop being recycled.
    platform::AutoResetEvent writerWake_;

    // Loggers: atomic flags and level for producers, the rest for the writer thread (see
    // LoggerEntry).
    LoggerEntry loggers_[LOGGER_MAX];

    // Writer thread only.
    std::int64_t dayCacheSeconds_ = 0;  // the last local day computed
    int dayCacheKey_ = -1;
    std::set<std::string> undeletable_;  // old files that could not be deleted, reported once
};

}  // namespace qlog
