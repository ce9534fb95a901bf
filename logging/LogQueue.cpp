#include "logging/LogQueue.h"

namespace qlog {

LogQueue::~LogQueue() {
    while (Pop()) {
    }
}

void LogQueue::Push(std::unique_ptr<LogRecord> record) {
    LogRecord* raw = record.release();
    raw->next = nullptr;
    if (tail_ != nullptr)
        tail_->next = raw;
    else
        head_ = raw;
    tail_ = raw;
    ++count_;
}

std::unique_ptr<LogRecord> LogQueue::Pop() {
    LogRecord* raw = head_;
    if (raw == nullptr)
        return nullptr;
    head_ = raw->next;
    if (head_ == nullptr)
        tail_ = nullptr;
    raw->next = nullptr;
    --count_;
    return std::unique_ptr<LogRecord>(raw);
}

}  // namespace qlog
