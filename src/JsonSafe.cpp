#include "JsonSafe.h"

#include <cstring>

namespace jsonsafe {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
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

const char kHexDigits[] = "0123456789abcdef";

}  // namespace

std::size_t BoundedLength(const char* text, std::size_t limit) {
    if (text == nullptr)
        return 0;
    if (limit == kUnbounded)
        return std::strlen(text);
    const void* zero = std::memchr(text, 0, limit);
    return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : limit;
}

std::size_t ValidEscapeLength(const char* p, std::size_t available) {
    if (available < 2 || p[0] != '\\')
        return 0;
    switch (p[1]) {
        case '"':
        case '\\':
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
            return 2;
        case 'u': {
            const long unit = UnicodeEscape(p, available);
            if (unit < 0)
                return 0;
            if (unit >= 0xDC00 && unit <= 0xDFFF)
                return 0;  // a lone low surrogate
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                const long low = UnicodeEscape(p + 6, available - 6);
                return (low >= 0xDC00 && low <= 0xDFFF) ? 12 : 0;
            }
            return 6;
        }
        default:
            return 0;
    }
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

void AppendJsonSafe(std::string& out, const char* text, std::size_t limit) {
    const std::size_t length = BoundedLength(text, limit);
    out.reserve(out.size() + length);
    std::size_t i = 0;
    while (i < length) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            const std::size_t escape = ValidEscapeLength(text + i, length - i);
            if (escape > 0) {
                out.append(text + i, escape);
                i += escape;
            } else {
                out += "\\\\";
                ++i;
            }
        } else if (c == '"') {
            out += "\\\"";
            ++i;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0xF];
            ++i;
        } else if (byte < 0x80) {
            out += c;
            ++i;
        } else {
            const std::size_t sequence = ValidUtf8Length(text + i, length - i);
            if (sequence > 0) {
                out.append(text + i, sequence);
                i += sequence;
            } else {
                out += "\\ufffd";
                ++i;
            }
        }
    }
}

std::string JsonSafe(const char* text, std::size_t limit) {
    std::string out;
    AppendJsonSafe(out, text, limit);
    return out;
}

void AppendExtraInfo(std::string& out, const char* text, std::size_t limit) {
    const std::size_t length = BoundedLength(text, limit);
    std::string bracketed;
    bracketed.reserve(length + 2);
    bracketed += '[';
    bracketed.append(text ? text : "", length);
    bracketed += ']';
    if (IsValidJson(bracketed.data(), bracketed.size())) {
        out += bracketed;
        return;
    }
    out += "[\"";
    AppendJsonSafe(out, text, length);
    out += "\"]";
}

namespace {

// Strict recursive-descent check of one JSON text.
class Validator {
  public:
    Validator(const char* text, std::size_t length) : p_(text), end_(text + length) {}

    bool Document() {
        SkipSpace();
        if (!Value(0))
            return false;
        SkipSpace();
        return p_ == end_;
    }

  private:
    static constexpr int kMaxDepth = 512;

    bool AtEnd() const { return p_ == end_; }
    std::size_t Left() const { return static_cast<std::size_t>(end_ - p_); }

    void SkipSpace() {
        while (!AtEnd() && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r'))
            ++p_;
    }

    bool Literal(const char* word) {
        const std::size_t n = std::strlen(word);
        if (Left() < n || std::memcmp(p_, word, n) != 0)
            return false;
        p_ += n;
        return true;
    }

    bool Value(int depth) {
        if (AtEnd())
            return false;
        switch (*p_) {
            case '{':
                return Object(depth + 1);
            case '[':
                return Array(depth + 1);
            case '"':
                return String();
            case 't':
                return Literal("true");
            case 'f':
                return Literal("false");
            case 'n':
                return Literal("null");
            default:
                return Number();
        }
    }

    bool Object(int depth) {
        if (depth > kMaxDepth)
            return false;
        ++p_;  // '{'
        SkipSpace();
        if (!AtEnd() && *p_ == '}') {
            ++p_;
            return true;
        }
        for (;;) {
            SkipSpace();
            if (AtEnd() || *p_ != '"' || !String())
                return false;
            SkipSpace();
            if (AtEnd() || *p_ != ':')
                return false;
            ++p_;
            SkipSpace();
            if (!Value(depth))
                return false;
            SkipSpace();
            if (AtEnd())
                return false;
            if (*p_ == '}') {
                ++p_;
                return true;
            }
            if (*p_ != ',')
                return false;
            ++p_;
        }
    }

    bool Array(int depth) {
        if (depth > kMaxDepth)
            return false;
        ++p_;  // '['
        SkipSpace();
        if (!AtEnd() && *p_ == ']') {
            ++p_;
            return true;
        }
        for (;;) {
            SkipSpace();
            if (!Value(depth))
                return false;
            SkipSpace();
            if (AtEnd())
                return false;
            if (*p_ == ']') {
                ++p_;
                return true;
            }
            if (*p_ != ',')
                return false;
            ++p_;
        }
    }

    bool String() {
        ++p_;  // '"'
        while (!AtEnd()) {
            const auto byte = static_cast<unsigned char>(*p_);
            if (byte == '"') {
                ++p_;
                return true;
            }
            std::size_t step;
            if (byte == '\\') {
                step = ValidEscapeLength(p_, Left());
            } else if (byte < 0x20) {
                step = 0;
            } else {
                step = ValidUtf8Length(p_, Left());
            }
            if (step == 0)
                return false;
            p_ += step;
        }
        return false;
    }

    bool Digits() {
        const char* start = p_;
        while (!AtEnd() && *p_ >= '0' && *p_ <= '9')
            ++p_;
        return p_ != start;
    }

    bool Number() {
        if (!AtEnd() && *p_ == '-')
            ++p_;
        if (AtEnd())
            return false;
        if (*p_ == '0') {
            ++p_;
        } else if (*p_ >= '1' && *p_ <= '9') {
            Digits();
        } else {
            return false;
        }
        if (!AtEnd() && *p_ == '.') {
            ++p_;
            if (!Digits())
                return false;
        }
        if (!AtEnd() && (*p_ == 'e' || *p_ == 'E')) {
            ++p_;
            if (!AtEnd() && (*p_ == '+' || *p_ == '-'))
                ++p_;
            if (!Digits())
                return false;
        }
        return true;
    }

    const char* p_;
    const char* end_;
};

}  // namespace

bool IsValidJson(const char* text, std::size_t length) {
    if (text == nullptr)
        return false;
    return Validator(text, length).Document();
}

}  // namespace jsonsafe
