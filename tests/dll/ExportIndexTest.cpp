#include <gtest/gtest.h>

#include "sdk/dll/ExportIndex.h"

namespace dlltest {
namespace {

using dll::ExportIndex;
using dll::Resolution;

const char kWanted[] = "?LoginRoom@LIVEROOM@ZEGO@@YA_NPEBDH0@Z";
const char kNonConst[] = "?LoginRoom@LIVEROOM@ZEGO@@YA_NPEADHPEAD@Z";
const char kWithEnum[] = "?LoginRoom@LIVEROOM@ZEGO@@YA_NPEBDW4Role@1@0@Z";
const char kFourArguments[] = "?LoginRoom@LIVEROOM@ZEGO@@YA_NPEBDH00@Z";
const char kReturnsInt[] = "?LoginRoom@LIVEROOM@ZEGO@@YAHPEBDH0@Z";

TEST(ExportIndexTest, TheExactDecorationWinsElseTheOneThatIsPassedAlike) {
    const Resolution exact =
        ExportIndex({kNonConst, "?LogoutRoom@LIVEROOM@ZEGO@@YA_NXZ", kWanted}).Resolve(kWanted);
    EXPECT_EQ(exact.kind, Resolution::Kind::kExact);
    EXPECT_EQ(exact.exportName, kWanted);

    // Pointer qualifiers and enumerations do not matter; the count and sizes of the arguments
    // and the result do.
    const Resolution alike =
        ExportIndex({kFourArguments, kReturnsInt, kNonConst, "?LoginRoomEx@LIVEROOM@ZEGO@@YAXXZ"})
            .Resolve(kWanted);
    EXPECT_EQ(alike.kind, Resolution::Kind::kCompatible);
    EXPECT_EQ(alike.exportName, kNonConst);
    EXPECT_NE(alike.note.find(kNonConst), std::string::npos) << alike.note;
}

TEST(ExportIndexTest, MissingMismatchedAndAmbiguousExportsAreRefusedWithTheCandidates) {
    const Resolution missing =
        ExportIndex({"?LoginRoom@OTHER@ZEGO@@YA_NPEBDH0@Z", "LoginRoom"}).Resolve(kWanted);
    EXPECT_EQ(missing.kind, Resolution::Kind::kMissing);
    EXPECT_TRUE(missing.exportName.empty());
    EXPECT_NE(missing.note.find("ZEGO::LIVEROOM::LoginRoom"), std::string::npos) << missing.note;

    const Resolution mismatched = ExportIndex({kFourArguments, kReturnsInt}).Resolve(kWanted);
    EXPECT_EQ(mismatched.kind, Resolution::Kind::kIncompatible);
    EXPECT_TRUE(mismatched.exportName.empty());
    EXPECT_NE(mismatched.note.find(kFourArguments), std::string::npos) << mismatched.note;
    EXPECT_NE(mismatched.note.find(kReturnsInt), std::string::npos) << mismatched.note;

    const Resolution ambiguous =
        ExportIndex({kNonConst, kFourArguments, kWithEnum}).Resolve(kWanted);
    EXPECT_EQ(ambiguous.kind, Resolution::Kind::kAmbiguous);
    EXPECT_TRUE(ambiguous.exportName.empty());
    EXPECT_NE(ambiguous.note.find(kNonConst), std::string::npos) << ambiguous.note;
    EXPECT_NE(ambiguous.note.find(kWithEnum), std::string::npos) << ambiguous.note;
}

}  // namespace
}  // namespace dlltest
