// One queued entry of the logging service: a log line or an attribute change of a logger.
#pragma once

#include <cstdint>

#include "logging/Qlog.h"

namespace qlog {

// Loggers have ids 0 to LOGGER_MAX - 1.
constexpr int LOGGER_MAX = 10;

enum RecordKind : std::int32_t {
    RECORD_GENERAL = 0,
    RECORD_ENABLE = 1,
    RECORD_NAME = 2,
    RECORD_PATH = 3,
    RECORD_LEVEL = 4,
    RECORD_FILE_LINE = 5,
    RECORD_DISPLAY = 6,
    RECORD_OUT_FILE = 7,
    RECORD_LIMIT_SIZE = 8,
    RECORD_MONTH_DIR = 9,
    RECORD_KEEP_FILES = 10,
    RECORD_KEEP_DAYS = 11,
};

struct LogRecord {
    LogRecord* next = nullptr;  // queue link, owned by LogQueue; first, beside the header
    std::int32_t loggerId = 0;
    std::int32_t kind = RECORD_GENERAL;
    std::int32_t value = 0;
    std::int32_t level = 0;
    std::int64_t time = 0;           // seconds since 1970-01-01 00:00:00 UTC
    std::uint32_t milliseconds = 0;  // 0 to 999
    std::int32_t length = 0;         // bytes of text in use, terminator not counted
    char text[LOG_LINE_MAX];         // a line (terminated) or a changed name/path (not)
};

inline bool IsValidLevel(int level) {
    return level >= LOG_TRACE && level <= LOG_FATAL;
}

// The nine-character printed name of a level 0 to 6.
const char* LevelName(int level);

// Console colour attribute of a level 2 to 6 (blue 1, green 2, red 4); 0 otherwise.
int LevelColor(int level);

// Colour of the service's own diagnostics.
constexpr int DIAGNOSTIC_COLOR = 5;

}  // namespace qlog
