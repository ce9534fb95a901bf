// Feeds arbitrary bytes to the parser. Any crash, sanitizer report or escaping exception other
// than a syntax error is a finding; so is an error that names the wrong character, and an
// accepted text whose serialized form does not parse back to the same text.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "json/Json.h"

using qjson::Json;

namespace {

bool AllNumbersFinite(Json& value) {
    switch (value.Kind()) {
        case Json::Number:
            return std::isfinite(value.AsNumber());
        case Json::Object:
            for (auto& member : value.AsObject()) {
                if (!AllNumbersFinite(*member.second)) {
                    return false;
                }
            }
            return true;
        case Json::Array:
            for (Json* element : value.AsArray()) {
                if (!AllNumbersFinite(*element)) {
                    return false;
                }
            }
            return true;
        default:
            return true;
    }
}

void CheckRoundTrip(Json& value) {
    const std::string once = value.toString();
    if (Json(value).toString() != once) {
        std::abort();  // the copy differs
    }
    if (!AllNumbersFinite(value)) {
        return;
    }
    Json again(once.c_str());  // a syntax error here escapes and is reported
    if (again.toString() != once) {
        std::abort();
    }
}

void CheckError(const Json::UnexpectedTokenException& error, const char* text) {
    const std::size_t length = std::strlen(text);
    if (error.position < 0 || static_cast<std::size_t>(error.position) > length ||
        text[error.position] != error.token) {
        std::abort();  // the error names a character the text does not hold there
    }
    const bool endOfInput = error.message == "SyntaxError: Unexpected end of input";
    if (endOfInput != (error.token == '\0')) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exactly sized copy, so that any read past the terminating NUL is caught.
    std::unique_ptr<char[]> text(new char[size + 1]);
    std::memcpy(text.get(), data, size);
    text[size] = '\0';
    try {
        Json value(text.get());
        CheckRoundTrip(value);
    } catch (const Json::UnexpectedTokenException& error) {
        CheckError(error, text.get());
    }
    return 0;
}
