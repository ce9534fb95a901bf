#include <gtest/gtest.h>

#include "logging/CredentialMask.h"
#include "sdk/dll/Credentials.h"

namespace dlltest {
namespace {

using dll::ApplyEnvironment;
using dll::Credentials;
using dll::EnvironmentUse;

const char kSign[] = "00112233445566778899aabbccddeeff00112233445566778899AABBCCDDEEFF";

TEST(CredentialsTest, AppIDIsAnUnsigned32BitDecimal) {
    std::uint32_t id = 7;
    EXPECT_TRUE(dll::ParseAppID("0", &id));
    EXPECT_EQ(id, 0u);
    EXPECT_TRUE(dll::ParseAppID("4294967295", &id));
    EXPECT_EQ(id, 4294967295u);
    for (const char* bad :
         {"", "4294967296", "99999999999", "-1", "+1", " 1", "1 ", "0x10", "1e3"}) {
        EXPECT_FALSE(dll::ParseAppID(bad, &id)) << bad;
        EXPECT_EQ(id, 4294967295u) << bad;
    }
}

TEST(CredentialsTest, AppSignIs64HexDigits) {
    std::array<unsigned char, dll::kAppSignLength> sign{};
    ASSERT_TRUE(dll::ParseAppSign(kSign, &sign));
    EXPECT_EQ(sign[0], 0x00);
    EXPECT_EQ(sign[1], 0x11);
    EXPECT_EQ(sign[15], 0xff);
    EXPECT_EQ(sign[31], 0xff);
    const std::string good = kSign;
    for (const std::string& bad : {good.substr(1), good + "0", good.substr(0, 63) + "g",
                                   " " + good.substr(1), std::string()})
        EXPECT_FALSE(dll::ParseAppSign(bad, &sign)) << bad;
    EXPECT_EQ(sign[1], 0x11);
    // Shown masked: enough to tell signatures apart, never the secret.
    EXPECT_EQ(dll::MaskedAppSign(sign), "0011...eeff");
    const unsigned char shortSecret[] = {1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(qlog::MaskCredential(shortSecret, sizeof shortSecret), "...");
}

TEST(CredentialsTest, EnvironmentReplacesWhatIsSetAndRefusesWhatIsMalformed) {
    Credentials built;
    built.appID = 1;
    built.appSign.fill('0');

    Credentials chosen = built;
    EnvironmentUse use;
    std::string error;
    ASSERT_TRUE(ApplyEnvironment(nullptr, "", &chosen, &use, &error));
    EXPECT_EQ(chosen.appID, 1u);
    EXPECT_EQ(chosen.appSign, built.appSign);
    EXPECT_FALSE(use.appID || use.appSign);

    ASSERT_TRUE(ApplyEnvironment("4242", kSign, &chosen, &use, &error));
    EXPECT_EQ(chosen.appID, 4242u);
    EXPECT_EQ(chosen.appSign[1], 0x11);
    EXPECT_TRUE(use.appID && use.appSign);

    // A malformed value changes nothing and names its variable; the signature is not echoed.
    chosen = built;
    use = EnvironmentUse();
    EXPECT_FALSE(ApplyEnvironment("42x", nullptr, &chosen, &use, &error));
    EXPECT_NE(error.find("QUORLANE_APP_ID=[42x]"), std::string::npos) << error;
    EXPECT_FALSE(ApplyEnvironment("42", "secretsecret", &chosen, &use, &error));
    EXPECT_NE(error.find("QUORLANE_APP_SIGN"), std::string::npos) << error;
    EXPECT_EQ(error.find("secret"), std::string::npos) << error;
    EXPECT_EQ(chosen.appID, 1u);
    EXPECT_FALSE(use.appID || use.appSign);
}

}  // namespace
}  // namespace dlltest
