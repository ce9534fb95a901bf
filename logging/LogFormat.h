// Truncating printf-style formatting for log messages.
// A null text pointer prints as "(null)"; format strings are checked by the compiler
// through CheckFormat, which is only ever named in unevaluated context.
#pragma once

#include <cstddef>
#include <cstdio>

namespace qlog {
namespace detail {

void CheckFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

inline const char* NullSafe(const char* text) {
    return text != nullptr ? text : "(null)";
}
inline const char* NullSafe(char* text) {
    return text != nullptr ? text : "(null)";
}
inline const char* NullSafe(std::nullptr_t) {
    return "(null)";
}
template <typename T>
inline T NullSafe(T value) {
    return value;
}

// Formats into `buffer` (never more than `size` - 1 characters plus the terminator).
template <typename... Args>
inline void FormatMessage(char* buffer, std::size_t size, const char* format, Args... args) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    std::snprintf(buffer, size, format, NullSafe(args)...);
#pragma GCC diagnostic pop
}

}  // namespace detail
}  // namespace qlog
