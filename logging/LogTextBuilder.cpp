#include "logging/LogTextBuilder.h"

namespace qlog {

LogTextBuilder::LogTextBuilder(char* buffer, std::size_t size)
    : begin_(buffer), end_(buffer + size), current_(buffer) {
    if (size > 0)
        *buffer = '\0';
}

LogTextBuilder& LogTextBuilder::Append(const char* text) {
    if (text == nullptr || current_ >= end_)
        return *this;
    // Keep one byte for the terminator.
    while (*text != '\0' && current_ + 1 < end_)
        *current_++ = *text++;
    *current_ = '\0';
    return *this;
}

}  // namespace qlog
