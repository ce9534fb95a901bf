#include "logging/RecordPool.h"

namespace qlog {

RecordPool::~RecordPool() {
    while (spare_ != nullptr) {
        std::unique_ptr<LogRecord> record(spare_);
        spare_ = record->next;
    }
}

std::unique_ptr<LogRecord> RecordPool::Take() {
    {
        platform::MutexLock hold(mutex_);
        if (spare_ != nullptr) {
            std::unique_ptr<LogRecord> record(spare_);
            spare_ = record->next;
            --spareCount_;
            return record;
        }
    }
    return std::unique_ptr<LogRecord>(new LogRecord);
}

void RecordPool::GiveBack(LogQueue& used) {
    if (used.Empty())
        return;
    platform::MutexLock hold(mutex_);
    while (spareCount_ < capacity_) {
        std::unique_ptr<LogRecord> record = used.Pop();
        if (!record)
            return;
        record->next = spare_;
        spare_ = record.release();
        ++spareCount_;
    }
    while (used.Pop()) {
    }
}

}  // namespace qlog
