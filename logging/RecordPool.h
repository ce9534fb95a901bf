// A bounded stock of spare log records, so that producers reuse memory that the writer
// thread has finished with instead of allocating fresh pages for every line.
#pragma once

#include <cstddef>
#include <memory>

#include "logging/LogQueue.h"
#include "logging/LogRecord.h"
#include "platform/Mutex.h"
#include "platform/ThreadAnnotations.h"

namespace qlog {

class RecordPool {
  public:
    explicit RecordPool(std::size_t capacity) : capacity_(capacity) {}
    RecordPool(const RecordPool&) = delete;
    RecordPool& operator=(const RecordPool&) = delete;
    ~RecordPool();

    // A spare record, or a newly allocated one. Its fields are not reset.
    std::unique_ptr<LogRecord> Take() EXCLUDES(mutex_);
    // Keeps the records of `used` up to the capacity and frees the rest; `used` ends empty.
    void GiveBack(LogQueue& used) EXCLUDES(mutex_);

  private:
    platform::Mutex mutex_;
    // A stack, so that the records used last, still in cache, are used first.
    LogRecord* spare_ GUARDED_BY(mutex_) = nullptr;
    std::size_t spareCount_ GUARDED_BY(mutex_) = 0;
    const std::size_t capacity_;
};

}  // namespace qlog
