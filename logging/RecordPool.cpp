#include "logging/RecordPool.h"

namespace qlog {

std::unique_ptr<LogRecord> RecordPool::Take() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (std::unique_ptr<LogRecord> record = spare_.Pop())
            return record;
    }
    return std::unique_ptr<LogRecord>(new LogRecord);
}

void RecordPool::GiveBack(LogQueue& used) {
    if (used.Empty())
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    while (spare_.Count() < capacity_) {
        std::unique_ptr<LogRecord> record = used.Pop();
        if (!record)
            return;
        spare_.Push(std::move(record));
    }
    while (used.Pop()) {
    }
}

}  // namespace qlog
