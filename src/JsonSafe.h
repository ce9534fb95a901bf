// Making texts from the SDK safe to place inside event texts.
//   AppendJsonSafe(out, user.szUserName, sizeof user.szUserName);   // between quotes
//   AppendExtraInfo(out, stream.szExtraInfo, sizeof stream.szExtraInfo);  // "[...]"
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorlane::jsonsafe {

constexpr std::size_t kUnbounded = SIZE_MAX;

// The grammar (escapes, UTF-8, documents) is json/JsonGrammar.h's.

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

// Length of `text` up to the first zero byte, at most `limit`; 0 for a null text.
std::size_t BoundedLength(const char* text, std::size_t limit);

}  // namespace quorlane::jsonsafe
