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

namespace qjson {

namespace {

const char kEndOfInputMessage[] = "SyntaxError: Unexpected end of input";
const char kTokenMessage[] = "SyntaxError: Unexpected token ";

using grammar::ClassOf;
using grammar::IsDigit;
using grammar::IsEscapeLetter;
using grammar::IsHexDigit;
using grammar::IsWhitespace;
using grammar::kStringStop;

inline bool IsGraphic(char c) {
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
    if (IsGraphic(token)) {
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
    void ParseDocument(Json& out) {
        ParseValue(out);
        SkipWhitespace();
        if (Current() != '\0') {
            Fail();
        }
    }

  private:
    char Current() const { return text_[position_]; }

    // Throws at the current character. Positions past the 32-bit range are reported as its
    // largest value.
    [[noreturn]] void Fail() const {
        constexpr std::size_t kLargest = std::numeric_limits<std::int32_t>::max();
        std::int32_t position =
            static_cast<std::int32_t>(position_ < kLargest ? position_ : kLargest);
        throw UnexpectedTokenException(Current(), position);
    }

    void SkipWhitespace() {
        while (IsWhitespace(Current())) {
            ++position_;
        }
    }

    void ParseValue(Json& out) {
        SkipWhitespace();
        switch (Current()) {
            case '"': {
                std::size_t length = 0;
                std::size_t start = ScanString(length);
                out.payload_ = new std::string(text_ + start, length);
                out.kind_ = String;
                break;
            }
            case '{':
                ParseObject(out);
                break;
            case '[':
                ParseArray(out);
                break;
            case 't':
                ExpectWord("true");
                out.payload_ = new bool(true);
                out.kind_ = Boolean;
                break;
            case 'f':
                ExpectWord("false");
                out.payload_ = new bool(false);
                out.kind_ = Boolean;
                break;
            case 'n':
                ExpectWord("null");
                break;
            default:
                ParseNumber(out);
                break;
        }
    }

    void ExpectWord(const char* word) {
        for (; *word != '\0'; ++word) {
            if (Current() != *word) {
                Fail();
            }
            ++position_;
        }
    }

    void ExpectDigit() {
        if (!IsDigit(Current())) {
            Fail();
        }
    }

    void SkipDigits() {
        while (IsDigit(Current())) {
            ++position_;
        }
    }

    void ParseNumber(Json& out) {
        std::size_t start = position_;
        if (Current() == '-') {
            ++position_;
        }
        ExpectDigit();
        if (Current() == '0') {
            ++position_;
            if (IsDigit(Current())) {
                Fail();
            }
        } else {
            SkipDigits();
        }
        if (Current() == '.') {
            ++position_;
            ExpectDigit();
            SkipDigits();
        }
        if (Current() == 'e' || Current() == 'E') {
            ++position_;
            if (Current() == '+' || Current() == '-') {
                ++position_;
            }
            ExpectDigit();
            SkipDigits();
        }
        double value = ToDouble(text_ + start, text_ + position_);
        out.payload_ = new double(value);
        out.kind_ = Number;
    }

    // The same value as atof of the characters; from_chars is the fast path and atof settles
    // what from_chars reports out of range.
    double ToDouble(const char* first, const char* last) {
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
    std::size_t ScanString(std::size_t& length) {
        SkipWhitespace();
        if (Current() != '"') {
            Fail();
        }
        ++position_;
        std::size_t start = position_;
        for (;;) {
            while (!(ClassOf(Current()) & kStringStop)) {
                ++position_;
            }
            char c = Current();
            if (c == '"') {
                break;
            }
            if (c != '\\') {
                Fail();  // a control character; the terminating NUL reports end of input
            }
            ++position_;
            if (Current() == 'u') {
                for (int i = 0; i < 4; ++i) {
                    ++position_;
                    if (!IsHexDigit(Current())) {
                        Fail();
                    }
                }
            } else if (!IsEscapeLetter(Current())) {
                Fail();
            }
            ++position_;
        }
        length = position_ - start;
        ++position_;
        return start;
    }

    void EnterContainer() {
        if (++depth_ > kMaxDepth) {
            Fail();
        }
        ++position_;
    }

    // Members are guarded: any standard exception inside becomes a syntax error at the current
    // character. The partly built map stays owned by out, whose owner releases it.
    void ParseObject(Json& out) {
        EnterContainer();
        out.payload_ = new ObjectMap;
        out.kind_ = Object;
        auto& members = *static_cast<ObjectMap*>(out.payload_);
        try {
            SkipWhitespace();
            if (Current() == '}') {
                ++position_;
                --depth_;
                return;
            }
            for (;;) {
                std::size_t keyLength = 0;
                std::size_t keyStart = ScanString(keyLength);
                SkipWhitespace();
                if (Current() != ':') {
                    Fail();
                }
                ++position_;
                std::unique_ptr<Json> value(new Json());
                ParseValue(*value);
                SkipWhitespace();
                auto inserted =
                    members.try_emplace(std::string(text_ + keyStart, keyLength), value.get());
                if (inserted.second) {
                    value.release();
                }
                if (Current() == ',') {
                    ++position_;
                } else if (Current() == '}') {
                    ++position_;
                    break;
                } else {
                    Fail();
                }
            }
        } catch (const std::exception&) {
            Fail();
        }
        --depth_;
    }

    void ParseArray(Json& out) {
        EnterContainer();
        out.payload_ = new ArrayVector;
        out.kind_ = Array;
        auto& elements = *static_cast<ArrayVector*>(out.payload_);
        try {
            SkipWhitespace();
            if (Current() == ']') {
                ++position_;
                --depth_;
                return;
            }
            for (;;) {
                std::unique_ptr<Json> element(new Json());
                ParseValue(*element);
                elements.push_back(element.get());
                element.release();
                SkipWhitespace();
                if (Current() == ',') {
                    ++position_;
                } else if (Current() == ']') {
                    ++position_;
                    break;
                } else {
                    Fail();
                }
            }
        } catch (const std::exception&) {
            Fail();
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
    Parser(text != nullptr ? text : "").ParseDocument(value);
    kind_ = value.kind_;
    payload_ = value.payload_;
    value.kind_ = Null;
    value.payload_ = nullptr;
}

}  // namespace qjson
