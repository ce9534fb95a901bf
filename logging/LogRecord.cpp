#include "logging/LogRecord.h"

namespace qlog {

const char* LevelName(int level) {
    static const char* const kNames[] = {"LOG_TRACE", "LOG_DEBUG", "LOG_INFO ", "LOG_WARN ",
                                         "LOG_ERROR", "LOG_ALARM", "LOG_FATAL"};
    return IsValidLevel(level) ? kNames[level] : "LOG_?????";
}

int LevelColor(int level) {
    static const int kColors[] = {0, 0, 3, 6, 4, 2, 5};
    return IsValidLevel(level) ? kColors[level] : 0;
}

}  // namespace qlog
