#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "json/Json.h"
#include "json/JsonGrammar.h"

using qjson::Json;

namespace {

using qjson::grammar::IsValidJson;
using qjson::grammar::ValidEscapeLength;
using qjson::grammar::ValidUtf8Length;

bool Valid(const std::string& text) {
    return IsValidJson(text.data(), text.size());
}

bool ParserAccepts(const std::string& text) {
    try {
        Json value(text.c_str());
        return true;
    } catch (const Json::UnexpectedTokenException&) {
        return false;
    }
}

TEST(JsonValidator, ValidatorIsStrict) {
    for (const char* good :
         {"0", "-0.5e+3", "1E9", "\"\"", "[]", "{}", " [1, {\"a\": [true, false, null]}] ",
          "\"\\ud83d\\ude00\"", "[\"\xc3\xa9\"]", "{\"a\":{\"b\":{}}}"}) {
        EXPECT_TRUE(Valid(good)) << good;
        EXPECT_TRUE(nlohmann::json::accept(good)) << good;
    }
    for (const char* bad :
         {"",        " ",        "01",          "1.",         ".5",    "+1",         "1e",  "-",
          "[1,]",    "{\"a\"}",  "{\"a\":1,}",  "{a:1}",      "[1 2]", "tru",        "nul", "\"abc",
          "\"\\x\"", "\"a\tb\"", "\"\\ud800\"", "[\"\xff\"]", "[] []", "{\"a\":1}}", "'a'", "NaN",
          "[",       "]"}) {
        EXPECT_FALSE(Valid(bad)) << bad;
    }
    EXPECT_TRUE(Valid(std::string(512, '[') + std::string(512, ']')));
    EXPECT_FALSE(Valid(std::string(513, '[') + std::string(513, ']')));
    EXPECT_FALSE(IsValidJson(nullptr, 0));
}

// On ASCII texts without DEL and without surrogate escapes the parser and the validator read
// the same grammar: every text up to four characters over the grammar's own characters, and
// longer ones that reach escapes, literals, exponents and the depth limit.
TEST(JsonValidator, AcceptsExactlyWhatTheParserAcceptsOnPlainAscii) {
    const std::string alphabet = "[]{}\":,01-.e\\n +";
    std::vector<std::string> texts = {""};
    for (std::size_t start = 0, length = 1; length <= 4; ++length) {
        const std::size_t end = texts.size();
        for (std::size_t i = start; i < end; ++i) {
            for (char c : alphabet) {
                texts.push_back(texts[i] + c);
            }
        }
        start = end;
    }
    for (const char* text :
         {"true", "false", "null", "trux", "nulll", "[true,false,null]", "\"\\u00e9\"",
          "\"\\u00g9\"", "\"\\/\\b\\f\\n\\r\\t\\\"\\\\\"", "\"\\a\"", "{\"k\":[1.5e-3,-0,2E+7]}",
          "{\"k\" : 1 , \"k\" : 2}", "\r\n\t[ ]\r\n\t", "[1,[2,[3]]]]", "{\"a\":1 \"b\":2}", "-01",
          "1.e5", "1e+", "0.0e0"}) {
        texts.push_back(text);
    }
    texts.push_back(std::string(512, '[') + std::string(512, ']'));
    texts.push_back(std::string(513, '[') + std::string(513, ']'));
    texts.push_back(std::string(512, '{') + std::string(511, '}'));

    int accepted = 0;
    for (const std::string& text : texts) {
        const bool valid = Valid(text);
        ASSERT_EQ(valid, ParserAccepts(text)) << text;
        accepted += valid ? 1 : 0;
    }
    EXPECT_GT(accepted, 100);  // the alphabet reaches many valid documents, not only errors
}

TEST(JsonValidator, EscapeLengths) {
    const auto length = [](const std::string& text) {
        return ValidEscapeLength(text.data(), text.size());
    };
    EXPECT_EQ(length("\\n"), 2u);
    EXPECT_EQ(length("\\/"), 2u);
    EXPECT_EQ(length("\\u00E9"), 6u);
    EXPECT_EQ(length("\\uD83D\\uDE00"), 12u);
    EXPECT_EQ(length("\\uDBFF\\uDFFF"), 12u);
    EXPECT_EQ(length("\\uD7FF"), 6u);  // just below the surrogates
    EXPECT_EQ(length("\\uE000"), 6u);  // just above them
    EXPECT_EQ(length("\\uD800"), 0u);
    EXPECT_EQ(length("\\uD800\\uD800"), 0u);
    EXPECT_EQ(length("\\uDC00\\uD800"), 0u);
    EXPECT_EQ(length("\\uD83D\\uDE0"), 0u);  // the pair's second escape is cut
    EXPECT_EQ(length("\\u00e"), 0u);
    EXPECT_EQ(length("\\x"), 0u);
    EXPECT_EQ(length("\\"), 0u);
    EXPECT_EQ(length("n"), 0u);
}

TEST(JsonValidator, Utf8LengthsAtTheBoundaries) {
    const auto length = [](const std::string& text) {
        return ValidUtf8Length(text.data(), text.size());
    };
    EXPECT_EQ(length("\x7f"), 1u);
    EXPECT_EQ(length("\xc2\x80"), 2u);          // U+0080
    EXPECT_EQ(length("\xdf\xbf"), 2u);          // U+07FF
    EXPECT_EQ(length("\xe0\xa0\x80"), 3u);      // U+0800
    EXPECT_EQ(length("\xed\x9f\xbf"), 3u);      // U+D7FF
    EXPECT_EQ(length("\xef\xbf\xbf"), 3u);      // U+FFFF
    EXPECT_EQ(length("\xf0\x90\x80\x80"), 4u);  // U+10000
    EXPECT_EQ(length("\xf4\x8f\xbf\xbf"), 4u);  // U+10FFFF
    EXPECT_EQ(length(""), 0u);
    EXPECT_EQ(length("\x80"), 0u);              // a continuation byte first
    EXPECT_EQ(length("\xc1\xbf"), 0u);          // overlong U+007F
    EXPECT_EQ(length("\xe0\x9f\xbf"), 0u);      // overlong U+07FF
    EXPECT_EQ(length("\xf0\x8f\xbf\xbf"), 0u);  // overlong U+FFFF
    EXPECT_EQ(length("\xed\xa0\x80"), 0u);      // U+D800
    EXPECT_EQ(length("\xf4\x90\x80\x80"), 0u);  // U+110000
    EXPECT_EQ(length("\xf5\x80\x80\x80"), 0u);
    EXPECT_EQ(length("\xe6\x97"), 0u);  // cut by the end
    EXPECT_EQ(length("\xe6\x97z"), 0u);
}

TEST(JsonValidator, UnicodeEscapesAreWrittenWithFourLowerCaseDigits) {
    std::string out = "x";
    qjson::grammar::AppendUnicodeEscape(out, 0x0000);
    qjson::grammar::AppendUnicodeEscape(out, 0x001f);
    qjson::grammar::AppendUnicodeEscape(out, 0xFFFD);
    qjson::grammar::AppendUnicodeEscape(out, 0xABCD);
    EXPECT_EQ(out, "x\\u0000\\u001f\\ufffd\\uabcd");
}

}  // namespace
