#include "src/JsonSafe.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

namespace quorlane {

namespace {

using jsonsafe::AppendExtraInfo;
using jsonsafe::JsonSafe;

// Parses "\"" + content + "\"" with a standard parser and returns the decoded string.
std::string Decode(const std::string& content) {
    return nlohmann::json::parse("\"" + content + "\"").get<std::string>();
}

std::string ExtraInfo(const char* text, std::size_t limit = jsonsafe::kUnbounded) {
    std::string out;
    AppendExtraInfo(out, text, limit);
    return out;
}

TEST(JsonSafe, ValidContentPassesUnchanged) {
    const char* samples[] = {
        "",
        "Ann",
        "caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80",  // 2, 3 and 4 byte UTF-8
        "a\\\"b",                                                 // escaped quote
        "line\\nnext\\ttab\\\\back\\/slash\\b\\f\\r",
        "\\u00e9\\u0041\\uD83D\\uDE00",  // escapes, one surrogate pair
        "}{ braces ][",
        "del \x7f is allowed",
    };
    for (const char* sample : samples) {
        EXPECT_EQ(JsonSafe(sample), sample) << sample;
        EXPECT_NO_THROW(Decode(JsonSafe(sample))) << sample;
    }
}

TEST(JsonSafe, RepairsWhatIsNotValidContent) {
    EXPECT_EQ(JsonSafe("say \"hi\""), "say \\\"hi\\\"");
    EXPECT_EQ(Decode(JsonSafe("say \"hi\"")), "say \"hi\"");

    EXPECT_EQ(JsonSafe("C:\\dir"), "C:\\\\dir");  // \d is no escape
    EXPECT_EQ(JsonSafe("end\\"), "end\\\\");      // a backslash at the end
    EXPECT_EQ(JsonSafe("\\u12"), "\\\\u12");      // too few hex digits
    EXPECT_EQ(JsonSafe("\\u12G4"), "\\\\u12G4");
    EXPECT_EQ(Decode(JsonSafe("C:\\dir\\")), "C:\\dir\\");

    EXPECT_EQ(JsonSafe("a\nb\tc\x01\x1f"), "a\\u000ab\\u0009c\\u0001\\u001f");
    EXPECT_EQ(Decode(JsonSafe("a\nb\x01")), "a\nb\x01");

    // Unpaired surrogate escapes are refused by strict parsers: kept as literal text.
    EXPECT_EQ(JsonSafe("\\ud800x"), "\\\\ud800x");
    EXPECT_EQ(JsonSafe("\\udc00"), "\\\\udc00");
    EXPECT_EQ(JsonSafe("\\ud800\\u0041"), "\\\\ud800\\u0041");

    // Bytes that are not UTF-8: a lone continuation byte, an overlong form, an encoded
    // surrogate, a sequence cut by the end of the text.
    EXPECT_EQ(JsonSafe("a\x80z"), "a\\ufffdz");
    EXPECT_EQ(JsonSafe("\xc0\xaf"), "\\ufffd\\ufffd");
    EXPECT_EQ(JsonSafe("\xed\xa0\x80"), "\\ufffd\\ufffd\\ufffd");
    EXPECT_EQ(JsonSafe("ok\xe6\x97"), "ok\\ufffd\\ufffd");
    EXPECT_EQ(JsonSafe("\xf4\x90\x80\x80"), "\\ufffd\\ufffd\\ufffd\\ufffd");  // above U+10FFFF

    for (const char* hostile : {"\"", "\\", "\"}{\"", "\\\"\\", "\x01\"\\q\xff"}) {
        EXPECT_NO_THROW(Decode(JsonSafe(hostile))) << hostile;
    }
}

TEST(JsonSafe, ReadsNoFurtherThanTheLimitOrTheZero) {
    const char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(JsonSafe(unterminated, sizeof unterminated), "abcd");
    EXPECT_EQ(JsonSafe("abc\0def", 7), "abc");
    EXPECT_EQ(JsonSafe(nullptr), "");
    // An escape cut by the limit is not an escape.
    const char cut[3] = {'x', '\\', 'n'};
    EXPECT_EQ(JsonSafe(cut, 2), "x\\\\");
    // A UTF-8 sequence cut by the limit is not valid either.
    const char cutUtf8[2] = {'\xc3', '\xa9'};
    EXPECT_EQ(JsonSafe(cutUtf8, 1), "\\ufffd");
}

TEST(JsonSafe, ExtraInfoIsRawOnlyWhenBracketedItIsJson) {
    EXPECT_EQ(ExtraInfo("{\"k\":1}"), "[{\"k\":1}]");
    EXPECT_EQ(ExtraInfo(""), "[]");
    EXPECT_EQ(ExtraInfo(nullptr), "[]");
    EXPECT_EQ(ExtraInfo("1,\"two\",[3]"), "[1,\"two\",[3]]");
    EXPECT_EQ(ExtraInfo("hello"), "[\"hello\"]");
    EXPECT_EQ(ExtraInfo("{\"k\":"), "[\"{\\\"k\\\":\"]");
    EXPECT_EQ(ExtraInfo("],["), "[\"],[\"]");  // would close the array early
    EXPECT_EQ(ExtraInfo("\"a\nb\""), "[\"\\\"a\\u000ab\\\"\"]");
    for (const char* text : {"{\"k\":1}", "hello", "],[", "\\", "}{", "{\"a\":\"\\q\"}", "1 2"}) {
        const std::string out = ExtraInfo(text);
        EXPECT_TRUE(nlohmann::json::accept(out)) << out;
    }
}

}  // namespace

}  // namespace quorlane
