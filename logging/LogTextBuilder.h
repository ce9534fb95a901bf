// Composes a message from pieces in a caller-supplied buffer without overrunning it.
//
//   char buffer[qlog::LOG_LINE_MAX];
//   qlog::LogTextBuilder(buffer, sizeof buffer).Append("text\r\n");
#pragma once

#include <cstddef>

namespace qlog {

class LogTextBuilder {
  public:
    // The buffer is terminated at once, so it is a valid text even when nothing is appended.
    LogTextBuilder(char* buffer, std::size_t size);

    // Appends as much of `text` as fits, keeping the buffer terminated; a null text appends
    // nothing.
    LogTextBuilder& Append(const char* text);

    const char* Text() const { return begin_; }
    std::size_t Length() const { return static_cast<std::size_t>(current_ - begin_); }

  private:
    char* begin_;
    char* end_;
    char* current_;
};

}  // namespace qlog
