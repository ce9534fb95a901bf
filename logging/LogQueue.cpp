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

void LogQueue::Append(LogQueue& other) {
    if (other.head_ == nullptr)
        return;
    if (tail_ != nullptr)
        tail_->next = other.head_;
    else
        head_ = other.head_;
    tail_ = other.tail_;
    count_ += other.count_;
    other.head_ = other.tail_ = nullptr;
    other.count_ = 0;
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
