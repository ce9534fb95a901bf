// The text constructor: a single-pass recursive-descent parser. Strings are validated and kept
// exactly as written; the first of repeated keys wins; nesting is bounded by Json::kMaxDepth.
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <system_error>

#include "json/Json.h"
#include "json/JsonGrammar.h"

namespace {

const char kEndOfInputMessage[] = "SyntaxError: Unexpected end of input";
const char kTokenMessage[] = "SyntaxError: Unexpected token ";

using jsongrammar::ClassOf;
using jsongrammar::IsDigit;
using jsongrammar::IsEscapeLetter;
using jsongrammar::IsHexDigit;
using jsongrammar::IsWhitespace;
using jsongrammar::kStringStop;

inline bool isGraphic(char c) {
    return c >= 33 && c <= 126;
}

}  // namespace

Json::UnexpectedTokenException::UnexpectedTokenException(char token, std::int32_t position)
    : token(token), position(position) {
    if (token == '\0') {
        message = kEndOfInputMessage;
        return;
    }
    message = kTokenMessage;
    if (isGraphic(token)) {
        message += token;
    } else {
        message += std::to_string(static_cast<int>(static_cast<signed char>(token)));
        message += "(ASCII)";
    }
    message += " at pos ";
    message += std::to_string(position);
}

const char* Json::UnexpectedTokenException::what() const noexcept {
    return message.c_str();
}

class Json::Parser {
  public:
    explicit Parser(const char* text) : text_(text) {}

    // One value, optional whitespace, then the end of the text.
    void parseDocument(Json& out) {
        parseValue(out);
        skipWhitespace();
        if (current() != '\0') {
            fail();
        }
    }

  private:
    char current() const { return text_[position_]; }

    // Throws at the current character. Positions past the 32-bit range are reported as its
    // largest value.
    [[noreturn]] void fail() const {
        constexpr std::size_t kLargest = std::numeric_limits<std::int32_t>::max();
        std::int32_t position =
            static_cast<std::int32_t>(position_ < kLargest ? position_ : kLargest);
        throw UnexpectedTokenException(current(), position);
    }

    void skipWhitespace() {
        while (IsWhitespace(current())) {
            ++position_;
        }
    }

    void parseValue(Json& out) {
        skipWhitespace();
        switch (current()) {
            case '"': {
                std::size_t length = 0;
                std::size_t start = scanString(length);
                out.payload_ = new std::string(text_ + start, length);
                out.kind_ = String;
                break;
            }
            case '{':
                parseObject(out);
                break;
            case '[':
                parseArray(out);
                break;
            case 't':
                expectWord("true");
                out.payload_ = new bool(true);
                out.kind_ = Boolean;
                break;
            case 'f':
                expectWord("false");
                out.payload_ = new bool(false);
                out.kind_ = Boolean;
                break;
            case 'n':
                expectWord("null");
                break;
            default:
                parseNumber(out);
                break;
        }
    }

    void expectWord(const char* word) {
        for (; *word != '\0'; ++word) {
            if (current() != *word) {
                fail();
            }
            ++position_;
        }
    }

    void expectDigit() {
        if (!IsDigit(current())) {
            fail();
        }
    }

    void skipDigits() {
        while (IsDigit(current())) {
            ++position_;
        }
    }

    void parseNumber(Json& out) {
        std::size_t start = position_;
        if (current() == '-') {
            ++position_;
        }
        expectDigit();
        if (current() == '0') {
            ++position_;
            if (IsDigit(current())) {
                fail();
            }
        } else {
            skipDigits();
        }
        if (current() == '.') {
            ++position_;
            expectDigit();
            skipDigits();
        }
        if (current() == 'e' || current() == 'E') {
            ++position_;
            if (current() == '+' || current() == '-') {
                ++position_;
            }
            expectDigit();
            skipDigits();
        }
        double value = toDouble(text_ + start, text_ + position_);
        out.payload_ = new double(value);
        out.kind_ = Number;
    }

    // The same value as atof of the characters; from_chars is the fast path and atof settles
    // what from_chars reports out of range.
    double toDouble(const char* first, const char* last) {
        double value = 0;
        auto result = std::from_chars(first, last, value);
        if (result.ec == std::errc() && result.ptr == last) {
            return value;
        }
        token_.assign(first, last);
        return std::atof(token_.c_str());
    }

    // Reads a string and returns the index of its first character; length receives the number
    // of characters between the quotes. Escapes are validated, not decoded.
    std::size_t scanString(std::size_t& length) {
        skipWhitespace();
        if (current() != '"') {
            fail();
        }
        ++position_;
        std::size_t start = position_;
        for (;;) {
            while (!(ClassOf(current()) & kStringStop)) {
                ++position_;
            }
            char c = current();
            if (c == '"') {
                break;
            }
            if (c != '\\') {
                fail();  // a control character; the terminating NUL reports end of input
            }
            ++position_;
            if (current() == 'u') {
                for (int i = 0; i < 4; ++i) {
                    ++position_;
                    if (!IsHexDigit(current())) {
                        fail();
                    }
                }
            } else if (!IsEscapeLetter(current())) {
                fail();
            }
            ++position_;
        }
        length = position_ - start;
        ++position_;
        return start;
    }

    void enterContainer() {
        if (++depth_ > kMaxDepth) {
            fail();
        }
        ++position_;
    }

    // Members are guarded: any standard exception inside becomes a syntax error at the current
    // character. The partly built map stays owned by out, whose owner releases it.
    void parseObject(Json& out) {
        enterContainer();
        out.payload_ = new ObjectMap;
        out.kind_ = Object;
        auto& members = *static_cast<ObjectMap*>(out.payload_);
        try {
            skipWhitespace();
            if (current() == '}') {
                ++position_;
                --depth_;
                return;
            }
            for (;;) {
                std::size_t keyLength = 0;
                std::size_t keyStart = scanString(keyLength);
                skipWhitespace();
                if (current() != ':') {
                    fail();
                }
                ++position_;
                std::unique_ptr<Json> value(new Json());
                parseValue(*value);
                skipWhitespace();
                auto inserted =
                    members.try_emplace(std::string(text_ + keyStart, keyLength), value.get());
                if (inserted.second) {
                    value.release();
                }
                if (current() == ',') {
                    ++position_;
                } else if (current() == '}') {
                    ++position_;
                    break;
                } else {
                    fail();
                }
            }
        } catch (const std::exception&) {
            fail();
        }
        --depth_;
    }

    void parseArray(Json& out) {
        enterContainer();
        out.payload_ = new ArrayVector;
        out.kind_ = Array;
        auto& elements = *static_cast<ArrayVector*>(out.payload_);
        try {
            skipWhitespace();
            if (current() == ']') {
                ++position_;
                --depth_;
                return;
            }
            for (;;) {
                std::unique_ptr<Json> element(new Json());
                parseValue(*element);
                elements.push_back(element.get());
                element.release();
                skipWhitespace();
                if (current() == ',') {
                    ++position_;
                } else if (current() == ']') {
                    ++position_;
                    break;
                } else {
                    fail();
                }
            }
        } catch (const std::exception&) {
            fail();
        }
        --depth_;
    }

    const char* text_;
    std::size_t position_ = 0;  // index of the current, not yet consumed, character
    int depth_ = 0;
    std::string token_;
};

Json::Json(const char* text) : kind_(Null), payload_(nullptr) {
    // A null pointer reads as the empty text.
    Json value;
    Parser(text != nullptr ? text : "").parseDocument(value);
    kind_ = value.kind_;
    payload_ = value.payload_;
    value.kind_ = Null;
    value.payload_ = nullptr;
}
