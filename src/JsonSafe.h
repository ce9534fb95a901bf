// Making texts from the SDK safe to place inside event texts.
//   AppendJsonSafe(out, user.szUserName, sizeof user.szUserName);   // between quotes
//   AppendExtraInfo(out, stream.szExtraInfo, sizeof stream.szExtraInfo);  // "[...]"
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace jsonsafe {

constexpr std::size_t kUnbounded = SIZE_MAX;

// Appends `text` as JSON string content (without the quotes). Reads up to the first zero byte or
// `limit` bytes, whichever comes first; a null text is empty. Valid string content passes
// unchanged, escape sequences included. A raw double quote becomes \", a backslash that does not
// start a valid escape becomes \\, a control character becomes \u00XX, and a byte that is not part
// of valid UTF-8 becomes \ufffd.
void AppendJsonSafe(std::string& out, const char* text, std::size_t limit = kUnbounded);
std::string JsonSafe(const char* text, std::size_t limit = kUnbounded);

// Appends the bracketed extra information: "[" + text + "]" when that is valid JSON, otherwise
// the text as one JSON string inside the brackets. Reads as AppendJsonSafe does.
void AppendExtraInfo(std::string& out, const char* text, std::size_t limit = kUnbounded);

// True when the bytes are exactly one JSON value, optionally surrounded by white space, with
// valid UTF-8, valid escapes and paired surrogates. Nesting deeper than 512 levels is refused.
bool IsValidJson(const char* text, std::size_t length);

// Length of the valid escape sequence starting at the backslash `p[0]` (2, 6 or 12 for a
// surrogate pair), or 0 when the backslash does not start one.
std::size_t ValidEscapeLength(const char* p, std::size_t available);

// Length of the valid UTF-8 sequence starting at `p[0]` (1 to 4), or 0 when it is not one.
std::size_t ValidUtf8Length(const char* p, std::size_t available);

// Length of `text` up to the first zero byte, at most `limit`; 0 for a null text.
std::size_t BoundedLength(const char* text, std::size_t limit);

}  // namespace jsonsafe
