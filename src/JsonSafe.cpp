#include "JsonSafe.h"

#include <cstring>

#include "json/JsonGrammar.h"

namespace quorlane::jsonsafe {
namespace {

// Stands for each byte that is not part of valid UTF-8.
constexpr std::uint16_t kReplacementCharacter = 0xFFFD;

}  // namespace

std::size_t BoundedLength(const char* text, std::size_t limit) {
    if (text == nullptr)
        return 0;
    if (limit == kUnbounded)
        return std::strlen(text);
    const void* zero = std::memchr(text, 0, limit);
    return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : limit;
}

void AppendJsonSafe(std::string& out, const char* text, std::size_t limit) {
    const std::size_t length = BoundedLength(text, limit);
    out.reserve(out.size() + length);
    std::size_t i = 0;
    while (i < length) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            const std::size_t escape = qjson::grammar::ValidEscapeLength(text + i, length - i);
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
            qjson::grammar::AppendUnicodeEscape(out, byte);
            ++i;
        } else if (byte < 0x80) {
            out += c;
            ++i;
        } else {
            const std::size_t sequence = qjson::grammar::ValidUtf8Length(text + i, length - i);
            if (sequence > 0) {
                out.append(text + i, sequence);
                i += sequence;
            } else {
                qjson::grammar::AppendUnicodeEscape(out, kReplacementCharacter);
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
    if (qjson::grammar::IsValidJson(bracketed.data(), bracketed.size())) {
        out += bracketed;
        return;
    }
    out += "[\"";
    AppendJsonSafe(out, text, length);
    out += "\"]";
}

}  // namespace quorlane::jsonsafe
