#include "sdk/dll/Credentials.h"

#include "logging/CredentialMask.h"

namespace dll {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsSet(const char* value) {
    return value != nullptr && value[0] != '\0';
}

}  // namespace

bool ParseAppID(const std::string& text, std::uint32_t* appID) {
    if (text.empty() || text.size() > 10)
        return false;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > UINT32_MAX)
        return false;
    *appID = static_cast<std::uint32_t>(value);
    return true;
}

bool ParseAppSign(const std::string& text, std::array<unsigned char, kAppSignLength>* appSign) {
    if (text.size() != 2 * kAppSignLength)
        return false;
    std::array<unsigned char, kAppSignLength> bytes{};
    for (std::size_t i = 0; i < kAppSignLength; ++i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes[i] = static_cast<unsigned char>(high * 16 + low);
    }
    *appSign = bytes;
    return true;
}

std::string MaskedAppSign(const std::array<unsigned char, kAppSignLength>& appSign) {
    return qlog::MaskCredential(appSign.data(), appSign.size());
}

bool ApplyEnvironment(const char* appIDValue, const char* appSignValue, Credentials* credentials,
                      EnvironmentUse* fromEnvironment, std::string* error) {
    Credentials chosen = *credentials;
    EnvironmentUse use;
    if (IsSet(appIDValue)) {
        if (!ParseAppID(appIDValue, &chosen.appID)) {
            *error = std::string("QUORLANE_APP_ID=[") + appIDValue +
                     "] is not an app ID: decimal digits, at most 4294967295";
            return false;
        }
        use.appID = true;
    }
    if (IsSet(appSignValue)) {
        if (!ParseAppSign(appSignValue, &chosen.appSign)) {
            // The malformed value is not repeated: it may be most of a secret.
            *error = "QUORLANE_APP_SIGN is not an app signature: 64 hexadecimal digits (" +
                     std::to_string(std::string(appSignValue).size()) + " characters given)";
            return false;
        }
        use.appSign = true;
    }
    *credentials = chosen;
    *fromEnvironment = use;
    return true;
}

}  // namespace dll
