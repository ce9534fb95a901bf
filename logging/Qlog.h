// The logging service: levels, the service interface and the call-site macro.
//
//   QLOG(qlog::LOG_ERROR, "open failed: %s\r\n", name);
//
// Every call site logs to logger 0; nothing is formatted unless the logger accepts the level.
#pragma once

#include <cstdint>

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

class ILogManager {
  public:
    virtual ~ILogManager() = default;

    virtual bool Config(const char* path) = 0;
    virtual bool ConfigFromText(const char* text) = 0;
    virtual int CreateLogger(const char* key) = 0;
    virtual bool Start() = 0;
    virtual bool Stop() = 0;
    virtual int LookupLogger(const char* key) = 0;
    virtual bool AcceptsLog(int loggerId, int level) = 0;
    virtual bool SubmitLog(int loggerId, int level, const char* text, const char* file,
                           int line) = 0;
    virtual bool SetLoggerEnabled(int loggerId, bool enable) = 0;
    virtual bool SetLoggerName(int loggerId, const char* name) = 0;
    virtual bool SetLoggerPath(int loggerId, const char* path) = 0;
    virtual bool SetLoggerLevel(int loggerId, int level) = 0;
    virtual bool SetLoggerFileLine(int loggerId, bool enable) = 0;
    virtual bool SetLoggerDisplay(int loggerId, bool enable) = 0;
    virtual bool SetLoggerOutFile(int loggerId, bool enable) = 0;
    virtual bool SetLoggerLimitSize(int loggerId, unsigned int megabytes) = 0;
    virtual bool SetLoggerMonthDir(int loggerId, bool enable) = 0;
    virtual bool SetReloadInterval(int seconds) = 0;
    virtual bool ReloadConfig() = 0;
    virtual bool IsLoggerEnabled(int loggerId) = 0;
    virtual std::uint64_t GetWriteCount() = 0;
    virtual std::uint64_t GetWriteBytes() = 0;
    virtual std::uint64_t GetWaitingCount() = 0;
    virtual std::uint32_t GetActiveLoggerCount() = 0;
};

// The process-wide manager, constructed on the first call.
ILogManager* GetLogManager();

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
