// The logging service: levels, the service interface and the call-site macro.
//
//   QLOG(qlog::LOG_ERROR, "open failed: %s\r\n", name);
//
// Every call site logs to logger 0; nothing is formatted unless the logger accepts the level.
#pragma once

#include <cstdint>
#include <string>

#include "logging/LogFormat.h"

namespace qlog {

enum LogLevel : int {
    LOG_TRACE = 0,
    LOG_DEBUG = 1,
    LOG_INFO = 2,
    LOG_WARN = 3,
    LOG_ERROR = 4,
    LOG_ALARM = 5,
    LOG_FATAL = 6,
};

// Size of a log line buffer, terminator included.
constexpr int LOG_LINE_MAX = 2048;

// The logging service. Loggers are addressed by id: 0 is "Main", the one the program writes to;
// configuration creates the others, up to LOGGER_MAX. Producers format a line on their own
// thread and queue it; one writer thread shows it on the console and appends it to the logger's
// file. Settings are applied by the writer thread in queue order, so a change never reorders
// the lines around it.
//
// Every operation may be called from any thread unless its comment says otherwise. Logging a
// line and changing a setting never wait for the console or a file; a logger's flags and level
// are read without a lock, so a change made at the same moment on another thread may be seen a
// little late.
class ILogManager {
  public:
    // Stops the writer thread as Stop does, so that every queued line is written first.
    virtual ~ILogManager() = default;

    // Reads the configuration file at `path` and applies it, creating the loggers it names. Once
    // per manager: a second call prints a configuration error and returns false. False also when
    // the file cannot be read (it is not a regular file, or does not exist); ReloadConfig reads
    // the same path again later. Meant for start-up, before Start.
    virtual bool Config(const char* path) = 0;
    // Applies configuration text as Config applies a file's contents; true.
    virtual bool ConfigFromText(const char* text) = 0;
    // The id of the logger with `key` (blanks, tabs and line ends around it ignored), created
    // enabled if there is none yet; -1 for a null key and when LOGGER_MAX loggers exist.
    virtual int CreateLogger(const char* key) = 0;
    // Starts the writer thread and waits up to 3 seconds for it to run (it queues its start-up
    // lines first); true once it does. False when it runs already, cannot be started or does
    // not come up in time. Until it runs nothing is logged.
    virtual bool Start() = 0;
    // Lets the writer thread write every line queued so far, close the files and end, and waits
    // for it; false when it was not running. Not from the writer thread itself.
    virtual bool Stop() = 0;
    // The id of the logger with exactly `key`; -1 when there is none.
    virtual int LookupLogger(const char* key) = 0;
    // Whether SubmitLog would take a line of `level` for `loggerId` now: the writer runs and the
    // logger exists, is enabled and lets the level pass. Takes no lock; call it before
    // formatting anything.
    virtual bool AcceptsLog(int loggerId, int level) = 0;
    // Formats one line (time, level name, `text`, and the last part of `file` with `line` when
    // the logger adds them) and queues it; false when AcceptsLog would refuse it, or when the
    // queue holds as much as its memory bound allows (the line is then dropped and counted),
    // or the writer thread is stopping. Holds a lock only to append.
    virtual bool SubmitLog(int loggerId, int level, const char* text, const char* file,
                           int line) = 0;

    // Setters of a logger's settings. Each queues the change behind the lines already queued
    // and returns false for an id not in use, or for a name, path or level it refuses.
    // Enabling a logger and lowering its level take effect at once as well, so that the lines
    // submitted next are taken.
    virtual bool SetLoggerEnabled(int loggerId, bool enable) = 0;
    // The first part of the logger's file names.
    virtual bool SetLoggerName(int loggerId, const char* name) = 0;
    // The directory of the logger's files; '/' is added when it ends in no separator.
    virtual bool SetLoggerPath(int loggerId, const char* path) = 0;
    virtual bool SetLoggerLevel(int loggerId, int level) = 0;
    // Whether the source file and line end each line.
    virtual bool SetLoggerFileLine(int loggerId, bool enable) = 0;
    // Whether lines are shown on the console.
    virtual bool SetLoggerDisplay(int loggerId, bool enable) = 0;
    // Whether lines are written to files.
    virtual bool SetLoggerOutFile(int loggerId, bool enable) = 0;
    // The size in megabytes at which the logger starts its next file; 0 for no limit.
    virtual bool SetLoggerLimitSize(int loggerId, unsigned int megabytes) = 0;
    // Whether the logger's files go into one directory per month.
    virtual bool SetLoggerMonthDir(int loggerId, bool enable) = 0;

    // How often the writer thread reads the file given to Config again, in seconds; 0 (the
    // default) for never. True.
    virtual bool SetReloadInterval(int seconds) = 0;
    // Reads the file given to Config again and applies what changed to the loggers that exist;
    // it creates none. False without a file or when it cannot be read. The writer thread calls
    // it on its own at the reload interval.
    virtual bool ReloadConfig() = 0;
    // The logger's enabled flag; false for an id not in use.
    virtual bool IsLoggerEnabled(int loggerId) = 0;

    // Counters since construction, read without a lock: the lines the writer thread has shown
    // or written and their bytes; the lines submitted and not yet taken by the writer thread.
    virtual std::uint64_t GetWriteCount() = 0;
    virtual std::uint64_t GetWriteBytes() = 0;
    virtual std::uint64_t GetWaitingCount() = 0;
    // The number of enabled loggers.
    virtual std::uint32_t GetActiveLoggerCount() = 0;
};

// The process-wide manager, constructed on the first call.
ILogManager* GetLogManager();

// The folder of the process-wide manager's logger `loggerId` as configured (with its trailing
// separator, possibly relative to the working folder); empty for an id not in use.
std::string LoggerFolder(int loggerId);

}  // namespace qlog

// Logs one formatted message to logger 0 at `level`, with the calling file and line.
// Usage: QLOG(level, "format", args...) or QLOG(level, "text\r\n").
#define QLOG(level, ...)                                                                   \
    do {                                                                                   \
        ::qlog::ILogManager* qlog_manager_ = ::qlog::GetLogManager();                      \
        const int qlog_level_ = (level);                                                   \
        if (qlog_manager_->AcceptsLog(0, qlog_level_)) {                                   \
            char qlog_buffer_[::qlog::LOG_LINE_MAX];                                       \
            (void)sizeof(::qlog::detail::CheckFormat(__VA_ARGS__), 0);                     \
            ::qlog::detail::FormatMessage(qlog_buffer_, sizeof qlog_buffer_, __VA_ARGS__); \
            qlog_manager_->SubmitLog(0, qlog_level_, qlog_buffer_, __FILE__, __LINE__);    \
        }                                                                                  \
    } while (0)
