#include <gtest/gtest.h>

#include "sdk/dll/MsDecoration.h"

namespace dlltest {
namespace {

using dll::QualifiedName;
using dll::ReadableName;
using dll::ReadPassingClasses;
using Classes = std::vector<std::string>;

Classes ClassesOf(const std::string& decoration) {
    Classes classes;
    EXPECT_TRUE(ReadPassingClasses(decoration, &classes)) << decoration;
    return classes;
}

TEST(DecorationTest, NamesAreCutAtTheFirstDoubleAt) {
    const std::string loginRoom = "?LoginRoom@LIVEROOM@ZEGO@@YA_NPEBDH0@Z";
    EXPECT_EQ(QualifiedName(loginRoom), "?LoginRoom@LIVEROOM@ZEGO");
    EXPECT_EQ(ReadableName(loginRoom), "ZEGO::LIVEROOM::LoginRoom");
    EXPECT_EQ(ReadableName("?f@@YAXXZ"), "f");
    EXPECT_EQ(QualifiedName("LoginRoom"), "");
    EXPECT_EQ(QualifiedName("?LoginRoom@LIVEROOM"), "");
    EXPECT_EQ(ReadableName("_LoginRoom@12"), "_LoginRoom@12");
}

TEST(DecorationTest, ClassesFollowTheX64Convention) {
    // Return value first; "0" repeats the first remembered parameter, const char*.
    EXPECT_EQ(ClassesOf("?LoginRoom@LIVEROOM@ZEGO@@YA_NPEBDH0@Z"), (Classes{"b", "p", "i4", "p"}));
    EXPECT_EQ(ClassesOf("?LogoutRoom@LIVEROOM@ZEGO@@YA_NXZ"), (Classes{"b"}));
    // Enumerations are 32-bit integers, name references ("42") included.
    EXPECT_EQ(ClassesOf("?SendRoomMessage@LIVEROOM@ZEGO@@YAHW4ZegoMessageType@ROOM@2@"
                        "W4ZegoMessageCategory@42@W4ZegoMessagePriority@42@PEBD@Z"),
              (Classes{"i4", "i4", "i4", "i4", "p"}));
    // A function pointer whose own parameters are remembered too, then a reference.
    EXPECT_EQ(ClassesOf("?SetAudioPrep2@LIVEROOM@ZEGO@@YAXP6AXAEBUAudioFrame@AVE@@AEAU34@@Z"
                        "AEBUExtPrepSet@4@@Z"),
              (Classes{"v", "p", "p"}));
    // Sizes that matter: 8-byte integers, doubles, 16-bit, a record by value, an array pointer.
    EXPECT_EQ(ClassesOf("?f@@YA_KN_JFUQuality@ZEGO@@PEAY03H@Z"),
              (Classes{"i8", "f8", "i8", "i2", "UUQuality@ZEGO@@", "p"}));
    // Const or not, int or enumeration: the same classes.
    EXPECT_EQ(ClassesOf("?LoginRoom@LIVEROOM@ZEGO@@YA_NPEADHPEAD@Z"),
              ClassesOf("?LoginRoom@LIVEROOM@ZEGO@@YA_NPEBDW4Role@1@0@Z"));
}

TEST(DecorationTest, WhatIsNotAKnownFreeFunctionIsRefused) {
    Classes classes{"left over"};
    for (const char* decoration : {
             "?OnInitSDK@IRoomCallback@LIVEROOM@ZEGO@@UEAAXH@Z",  // a member function
             "?f@@YAXHZZ",                                        // variable arguments
             "?f@@YQXH@Z",                                        // __vectorcall
             "?f@@YAXH1@Z",                                       // no such back-reference
             "?f@@YAXH@Zjunk",                                    // trailing text
             "?f@@YAXPEAV?$vector@H@std@@@Z",                     // a template name
             "?f@@YAXH",                                          // cut short
             "?x@@3HA",                                           // a variable
             "not decorated",
         }) {
        EXPECT_FALSE(ReadPassingClasses(decoration, &classes)) << decoration;
        EXPECT_TRUE(classes.empty()) << decoration;
    }
}

}  // namespace
}  // namespace dlltest
