// The app ID and signature that InitSDK receives: QUORLANE_APP_ID (decimal, unsigned 32-bit) and
// QUORLANE_APP_SIGN (64 hexadecimal digits, the 32 signature bytes) from the environment when
// they are set and not empty, the values the bridge passes (built in at configure time)
// otherwise. A malformed value is refused, never replaced by a default.
//
//   dll::Credentials credentials = builtIn;
//   dll::EnvironmentUse use;
//   std::string error;
//   if (!dll::ApplyEnvironment(idValue, signValue, &credentials, &use, &error)) log(error);
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace dll {

constexpr std::size_t kAppSignLength = 32;

struct Credentials {
    std::uint32_t appID = 0;
    std::array<unsigned char, kAppSignLength> appSign{};
};

// Decimal digits only, no sign or space, at most 4294967295.
bool ParseAppID(const std::string& text, std::uint32_t* appID);

// Exactly 64 hexadecimal digits, either case.
bool ParseAppSign(const std::string& text, std::array<unsigned char, kAppSignLength>* appSign);

// The signature as logs and error texts show it: its first and last four hexadecimal digits.
std::string MaskedAppSign(const std::array<unsigned char, kAppSignLength>& appSign);

// Which credentials came from the environment.
struct EnvironmentUse {
    bool appID = false;
    bool appSign = false;
};

// Replaces each credential whose variable has a value (null or empty: not set). False, with
// `error` naming the variable and what it must hold, when a value is malformed; `credentials`
// and `fromEnvironment` are then unchanged.
bool ApplyEnvironment(const char* appIDValue, const char* appSignValue, Credentials* credentials,
                      EnvironmentUse* fromEnvironment, std::string* error);

}  // namespace dll
