// Escapes and UTF-8 sequences, checked strictly.
#include "json/JsonGrammar.h"

namespace qjson::grammar {
namespace {

const char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The code unit of "\uXXXX" at p, or -1 when p does not hold one.
long UnicodeEscape(const char* p, std::size_t available) {
    if (available < 6 || p[0] != '\\' || p[1] != 'u')
        return -1;
    long value = 0;
    for (int i = 2; i < 6; ++i) {
        const int digit = HexValue(p[i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

bool IsHighSurrogate(long unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(long unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::size_t ValidEscapeLength(const char* p, std::size_t available) {
    if (available < 2 || p[0] != '\\')
        return 0;
    if (IsEscapeLetter(p[1]))
        return 2;
    const long unit = UnicodeEscape(p, available);
    if (unit < 0 || IsLowSurrogate(unit))
        return 0;
    if (IsHighSurrogate(unit))
        return IsLowSurrogate(UnicodeEscape(p + 6, available - 6)) ? 12 : 0;
    return 6;
}

std::size_t ValidUtf8Length(const char* p, std::size_t available) {
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    if (available == 0)
        return 0;
    const unsigned char lead = s[0];
    if (lead < 0x80)
        return 1;
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;  // no overlong forms
        if (lead == 0xED)
            high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (available < length)
        return 0;
    if (s[1] < low || s[1] > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (s[i] < 0x80 || s[i] > 0xBF)
            return 0;
    }
    return length;
}

void AppendUnicodeEscape(std::string& out, std::uint16_t unit) {
    const char escape[] = {'\\',
                           'u',
                           kHexDigits[(unit >> 12) & 0xF],
                           kHexDigits[(unit >> 8) & 0xF],
                           kHexDigits[(unit >> 4) & 0xF],
                           kHexDigits[unit & 0xF]};
    out.append(escape, sizeof escape);
}

}  // namespace qjson::grammar
