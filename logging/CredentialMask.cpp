#include "logging/CredentialMask.h"

namespace qlog {
namespace {

constexpr std::size_t kBytesShownAtEachEnd = 2;
constexpr std::size_t kShortestMaskable = 8;

void AppendHex(std::string& text, unsigned char byte) {
    static const char kDigits[] = "0123456789abcdef";
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
}

}  // namespace

std::string MaskCredential(const unsigned char* bytes, std::size_t length) {
    std::string text;
    if (bytes == nullptr || length < kShortestMaskable)
        return "...";
    for (std::size_t i = 0; i < kBytesShownAtEachEnd; ++i)
        AppendHex(text, bytes[i]);
    text += "...";
    for (std::size_t i = length - kBytesShownAtEachEnd; i < length; ++i)
        AppendHex(text, bytes[i]);
    return text;
}

}  // namespace qlog
