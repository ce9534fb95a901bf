// IsValidJson: a strict recursive-descent check that builds nothing. Unlike the parser it reads
// a counted text, requires valid UTF-8 and paired surrogates, and allows DEL inside strings.
#include <cstring>

#include "json/JsonGrammar.h"

namespace qjson::grammar {
namespace {

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
    bool AtEnd() const { return p_ == end_; }
    bool At(char c) const { return !AtEnd() && *p_ == c; }
    std::size_t Left() const { return static_cast<std::size_t>(end_ - p_); }

    void SkipSpace() {
        while (!AtEnd() && IsWhitespace(*p_))
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

    // After an element: true at the closing bracket (consumed), false on anything but a comma.
    bool ClosesAfterElement(char close, bool& closed) {
        SkipSpace();
        closed = At(close);
        if (closed || At(',')) {
            ++p_;
            return true;
        }
        return false;
    }

    // Object and Array: an opening bracket, elements separated by commas, a closing bracket.
    template <typename Element>
    bool Container(int depth, char close, Element element) {
        if (depth > kMaxDepth)
            return false;
        ++p_;  // the opening bracket
        SkipSpace();
        if (At(close)) {
            ++p_;
            return true;
        }
        for (;;) {
            SkipSpace();
            bool closed = false;
            if (!element() || !ClosesAfterElement(close, closed))
                return false;
            if (closed)
                return true;
        }
    }

    bool Object(int depth) {
        return Container(depth, '}', [&] {
            if (!At('"') || !String())
                return false;
            SkipSpace();
            if (!At(':'))
                return false;
            ++p_;
            SkipSpace();
            return Value(depth);
        });
    }

    bool Array(int depth) {
        return Container(depth, ']', [&] { return Value(depth); });
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
        while (!AtEnd() && IsDigit(*p_))
            ++p_;
        return p_ != start;
    }

    bool Number() {
        if (At('-'))
            ++p_;
        if (At('0')) {
            ++p_;
        } else if (!Digits()) {
            return false;
        }
        if (At('.')) {
            ++p_;
            if (!Digits())
                return false;
        }
        if (At('e') || At('E')) {
            ++p_;
            if (At('+') || At('-'))
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

}  // namespace qjson::grammar
