// Writes whole lines to a descriptor from any thread; lines never interleave.
#pragma once

#include <string>

#include "platform/Mutex.h"
#include "platform/ThreadAnnotations.h"

namespace sim {

class LineWriter {
  public:
    explicit LineWriter(int fd) : fd_(fd) {}
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    // Writes `line` and a line end in one piece. Once a write fails (the reader has gone),
    // later lines are dropped.
    void WriteLine(const std::string& line) EXCLUDES(mutex_);

  private:
    platform::Mutex mutex_;
    const int fd_;
    bool failed_ GUARDED_BY(mutex_) = false;
};

}  // namespace sim
