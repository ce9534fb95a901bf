// The JSON grammar's building blocks, shared by the parser, the strict validator and anything
// that writes JSON string content:
//
//   if (qjson::grammar::IsValidJson(text, length)) ...              // one strict JSON document
//   std::size_t n = qjson::grammar::ValidUtf8Length(p, end - p);      // 0: not valid UTF-8 here
//   qjson::grammar::AppendUnicodeEscape(out, 0xFFFD);                 // writes \ufffd
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qjson::grammar {

enum CharClass : std::uint8_t {
    kOther = 0,
    kWhitespace = 1,
    kDigit = 2,
    kHexLetter = 4,
    kStringStop = 8,     // ends a run of plain string bytes: quote, backslash, control characters
    kEscapeLetter = 16,  // follows a backslash as a two-character escape: " \ / b f n r t
};

struct CharClassTable {
    std::uint8_t classes[256] = {};
    constexpr CharClassTable() {
        for (unsigned char c : {' ', '\t', '\n', '\r'}) {
            classes[c] = kWhitespace;
        }
        for (int c = '0'; c <= '9'; ++c) {
            classes[c] = kDigit;
        }
        for (int c = 'a'; c <= 'f'; ++c) {
            classes[c] = kHexLetter;
            classes[c - 'a' + 'A'] = kHexLetter;
        }
        for (int c = 0; c < 32; ++c) {
            classes[c] |= kStringStop;
        }
        classes[127] = kStringStop;
        classes[static_cast<unsigned char>('"')] = kStringStop;
        classes[static_cast<unsigned char>('\\')] = kStringStop;
        for (unsigned char c : {'"', '\\', '/', 'b', 'f', 'n', 'r', 't'}) {
            classes[c] |= kEscapeLetter;
        }
    }
};

inline constexpr CharClassTable kCharClasses;

inline std::uint8_t ClassOf(char c) {
    return kCharClasses.classes[static_cast<unsigned char>(c)];
}
inline bool IsWhitespace(char c) {
    return ClassOf(c) & kWhitespace;
}
inline bool IsDigit(char c) {
    return ClassOf(c) & kDigit;
}
inline bool IsHexDigit(char c) {
    return ClassOf(c) & (kDigit | kHexLetter);
}
inline bool IsEscapeLetter(char c) {
    return ClassOf(c) & kEscapeLetter;
}

// Nesting deeper than this is refused by the parser and the validator.
constexpr int kMaxDepth = 512;

// Length of the valid escape sequence starting at the backslash `p[0]` (2, 6, or 12 for a
// surrogate pair), or 0 when it does not start one. Lone surrogates are refused.
std::size_t ValidEscapeLength(const char* p, std::size_t available);

// Length of the valid UTF-8 sequence starting at `p[0]` (1 to 4), or 0 when it is not one:
// overlong forms, encoded surrogates and code points above U+10FFFF are refused.
std::size_t ValidUtf8Length(const char* p, std::size_t available);

// Appends the escape \uXXXX of the UTF-16 code unit `unit`, with lower-case hex digits.
void AppendUnicodeEscape(std::string& out, std::uint16_t unit);

// True when the bytes are exactly one JSON value, optionally surrounded by white space, with
// valid UTF-8, valid escapes and paired surrogates, nested at most kMaxDepth deep. A null text
// is not valid.
bool IsValidJson(const char* text, std::size_t length);

}  // namespace qjson::grammar
