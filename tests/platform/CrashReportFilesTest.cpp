// Report file names and the choice of old reports to remove: a wrong choice deletes files that
// are not reports, or the newest ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CrashHandler.h"
#include "platform/FixedText.h"

namespace {

std::string Stem(std::int64_t seconds, std::uint32_t pid) {
    char storage[64];
    platform::FixedText text(storage, sizeof storage);
    platform::AddReportStem(text, seconds, pid);
    return text.Data();
}

TEST(CrashReportFiles, StemsCarryTheUtcTimeAndOnlyOldReportsAreRemoved) {
    EXPECT_EQ(Stem(0, 1), "crash-19700101-000000-1");
    EXPECT_EQ(Stem(951782400 + 86399, 4294967295u), "crash-20000229-235959-4294967295");
    EXPECT_EQ(Stem(1796746020, 42), "crash-20261208-160700-42");

    const std::vector<std::string> names = {"crash-20261208-170000-7.txt",
                                            "crash-20261208-170000-7.dmp",  // oldest: removed
                                            "crash-20261208-170001-7.txt",  // kept
                                            "crash-20261208-170002-9.dmp",
                                            "crash-20261208-170002-9.txt",  // newest: kept
                                            "Quorlane_202612081700_000007_000.log",
                                            "crash-notes.txt",
                                            "crash-20261208-1700-7.txt",
                                            "crash-20261208-170000-7.txt.bak",
                                            "crash-2026120x-170000-7.txt"};
    EXPECT_EQ(
        platform::ReportsBeyond(names, 2),
        (std::vector<std::string>{"crash-20261208-170000-7.txt", "crash-20261208-170000-7.dmp"}));
    EXPECT_EQ(platform::ReportsBeyond(names, 3), std::vector<std::string>{});

    // Text past the capacity is cut, never written beyond it.
    char small[8];
    platform::FixedText cut(small, sizeof small);
    cut.Add("abcdef").AddHex(0x1a2b);
    EXPECT_STREQ(cut.Data(), "abcdef0");
    EXPECT_EQ(cut.Size(), 7u);
}

}  // namespace
