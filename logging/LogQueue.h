// First-in, first-out queue of owned log records. Not synchronised: the owner guards it.
#pragma once

#include <cstddef>
#include <memory>

#include "logging/LogRecord.h"

namespace qlog {

class LogQueue {
  public:
    LogQueue() = default;
    LogQueue(const LogQueue&) = delete;
    LogQueue& operator=(const LogQueue&) = delete;
    ~LogQueue();

    void Push(std::unique_ptr<LogRecord> record);
    // The oldest record, or null when the queue is empty.
    std::unique_ptr<LogRecord> Pop();

    // Moves every record of `other` to the end of this queue.
    void Append(LogQueue& other);

    bool Empty() const { return head_ == nullptr; }
    // The oldest record, left in place; null when the queue is empty.
    const LogRecord* Front() const { return head_; }
    std::size_t Count() const { return count_; }

  private:
    LogRecord* head_ = nullptr;
    LogRecord* tail_ = nullptr;
    std::size_t count_ = 0;
};

}  // namespace qlog
