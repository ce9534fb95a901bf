#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "json/Json.h"

using qjson::Json;

namespace {

struct ExpectedError {
    const char* text;
    char token;
    int position;
    const char* message;
};

void ExpectError(const ExpectedError& expected) {
    try {
        Json value(expected.text);
        ADD_FAILURE() << "accepted: " << expected.text << " as " << value.toString();
    } catch (const Json::UnexpectedTokenException& e) {
        EXPECT_EQ(e.token, expected.token) << expected.text;
        EXPECT_EQ(e.position, expected.position) << expected.text;
        EXPECT_STREQ(e.what(), expected.message) << expected.text;
        EXPECT_EQ(e.message, expected.message) << expected.text;
    }
}

const char kEnd[] = "SyntaxError: Unexpected end of input";

TEST(JsonParser, EndOfInput) {
    const ExpectedError cases[] = {
        {"", '\0', 0, kEnd},        {"   \t\r\n", '\0', 6, kEnd}, {"-", '\0', 1, kEnd},
        {"1.", '\0', 2, kEnd},      {"1e", '\0', 2, kEnd},        {"1e+", '\0', 3, kEnd},
        {"\"abc", '\0', 4, kEnd},   {"\"ab\\", '\0', 4, kEnd},    {"\"\\u12", '\0', 5, kEnd},
        {"tru", '\0', 3, kEnd},     {"{", '\0', 1, kEnd},         {"{\"a\"", '\0', 4, kEnd},
        {"{\"a\":", '\0', 5, kEnd}, {"{\"a\":1", '\0', 6, kEnd},  {"[1,", '\0', 3, kEnd},
        {"[", '\0', 1, kEnd},       {"[[1]", '\0', 4, kEnd},
    };
    for (const auto& expected : cases) {
        ExpectError(expected);
    }
    // A null pointer reads as the empty text.
    ExpectError({nullptr, '\0', 0, kEnd});
}

TEST(JsonParser, NumberGrammar) {
    const ExpectedError cases[] = {
        {"01", '1', 1, "SyntaxError: Unexpected token 1 at pos 1"},
        {"-01", '1', 2, "SyntaxError: Unexpected token 1 at pos 2"},
        {"+1", '+', 0, "SyntaxError: Unexpected token + at pos 0"},
        {"[ +1]", '+', 2, "SyntaxError: Unexpected token + at pos 2"},
        {"1.x", 'x', 2, "SyntaxError: Unexpected token x at pos 2"},
        {".5", '.', 0, "SyntaxError: Unexpected token . at pos 0"},
        {"1e+x", 'x', 3, "SyntaxError: Unexpected token x at pos 3"},
        {"1.5e", '\0', 4, kEnd},
        {"- 1", ' ', 1, "SyntaxError: Unexpected token 32(ASCII) at pos 1"},
        {"0x10", 'x', 1, "SyntaxError: Unexpected token x at pos 1"},
        {"Infinity", 'I', 0, "SyntaxError: Unexpected token I at pos 0"},
        {"1.0.0", '.', 3, "SyntaxError: Unexpected token . at pos 3"},
    };
    for (const auto& expected : cases) {
        ExpectError(expected);
    }

    const char* accepted[] = {"0",     "-0",       "5",      "-12",        "3.25",  "0.5e2",
                              "1E3",   "1e+2",     "1e-2",   "-0.0001e-3", "10.01", "123456789012",
                              "1e308", "4.9e-324", "1e-400", "2.5E+00"};
    for (const char* text : accepted) {
        Json value(text);
        ASSERT_EQ(value.Kind(), Json::Number) << text;
        EXPECT_EQ(value.AsNumber(), std::atof(text)) << text;
    }
    EXPECT_TRUE(std::signbit(Json("-0").AsNumber()));
    EXPECT_EQ(Json("1e999").AsNumber(), std::atof("1e999"));
}

TEST(JsonParser, NumbersConvertExactlyAsAtof) {
    // Random texts of the number grammar: many digits, long fractions, extreme exponents.
    std::mt19937 random(2024);
    auto digits = [&](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += static_cast<char>('0' + random() % 10);
        }
        return text;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string text = (random() % 2 ? "-" : "") + std::to_string(random() % 1000);
        if (random() % 2) {
            text += "." + digits(1 + random() % 25);
        }
        if (random() % 2) {
            text += (random() % 2 ? "e" : "E") + std::string(random() % 2 ? "-" : "+") +
                    std::to_string(random() % 700);
        }
        const double parsed = Json(text.c_str()).AsNumber();
        const double expected = std::atof(text.c_str());
        ASSERT_EQ(std::memcmp(&parsed, &expected, sizeof parsed), 0) << text;
    }
}

TEST(JsonParser, TopLevelValues) {
    EXPECT_EQ(Json("5").AsNumber(), 5);
    EXPECT_EQ(Json(" \"bare\" ").AsString(), "bare");
    EXPECT_EQ(Json("null").Kind(), Json::Null);
    EXPECT_EQ(Json("\r\n\ttrue\n").AsBoolean(), true);
    EXPECT_EQ(Json("false").AsBoolean(), false);

    const ExpectedError cases[] = {
        {"truex", 'x', 4, "SyntaxError: Unexpected token x at pos 4"},
        {"true x", 'x', 5, "SyntaxError: Unexpected token x at pos 5"},
        {"{} {}", '{', 3, "SyntaxError: Unexpected token { at pos 3"},
        {"trUe", 'U', 2, "SyntaxError: Unexpected token U at pos 2"},
        {"fals", '\0', 4, kEnd},
        {"nil", 'i', 1, "SyntaxError: Unexpected token i at pos 1"},
        {"1 2", '2', 2, "SyntaxError: Unexpected token 2 at pos 2"},
        {"]", ']', 0, "SyntaxError: Unexpected token ] at pos 0"},
    };
    for (const auto& expected : cases) {
        ExpectError(expected);
    }
}

TEST(JsonParser, WhitespaceIsSpaceTabLineFeedReturnOnly) {
    EXPECT_EQ(Json(" \t\r\n{ \t\r\n}").Kind(), Json::Object);
    EXPECT_EQ(Json("[\n\n]").Kind(), Json::Array);
    EXPECT_EQ(Json("[ 1 , 2 ]").size(), 2);
    EXPECT_EQ(Json("{ \"a\" : 1 , \"b\" :2 }").toString(), "{ \"a\": 1, \"b\": 2 }");

    const ExpectedError cases[] = {
        {"\f1", '\f', 0, "SyntaxError: Unexpected token 12(ASCII) at pos 0"},
        {"[1,\v2]", '\v', 3, "SyntaxError: Unexpected token 11(ASCII) at pos 3"},
        {"1\xa0", '\xa0', 1, "SyntaxError: Unexpected token -96(ASCII) at pos 1"},
    };
    for (const auto& expected : cases) {
        ExpectError(expected);
    }
}

TEST(JsonParser, StringsKeepEscapesAsWritten) {
    EXPECT_EQ(Json("\"a\\nb\"").AsString(), "a\\nb");
    EXPECT_EQ(Json("\"\\u00e9\"").AsString(), "\\u00e9");
    const char* escapes = "\"\\\" \\\\ \\/ \\b \\f \\n \\r \\t \\uABCD \\u09af\"";
    const std::string kept(escapes + 1, std::string(escapes).size() - 2);
    EXPECT_EQ(Json(escapes).AsString(), kept);
    EXPECT_EQ(Json(escapes).toString(), escapes);

    // Bytes 128 to 255 are taken unchanged, also right after a quote.
    EXPECT_EQ(Json("\"\xc3\xa9\xff\x80\"").AsString(), "\xc3\xa9\xff\x80");
    EXPECT_EQ(Json("\"\"").AsString(), "");
}

TEST(JsonParser, StringErrors) {
    const ExpectedError cases[] = {
        {"\"\\x\"", 'x', 2, "SyntaxError: Unexpected token x at pos 2"},
        {"\"\\u12G4\"", 'G', 5, "SyntaxError: Unexpected token G at pos 5"},
        {"\"\\u123\"", '"', 6, "SyntaxError: Unexpected token \" at pos 6"},
        {"\"\\U1234\"", 'U', 2, "SyntaxError: Unexpected token U at pos 2"},
        {"\"\\'\"", '\'', 2, "SyntaxError: Unexpected token ' at pos 2"},
        {"\"a\tb\"", '\t', 2, "SyntaxError: Unexpected token 9(ASCII) at pos 2"},
        {"\"a\nb\"", '\n', 2, "SyntaxError: Unexpected token 10(ASCII) at pos 2"},
        {"\"\x1f\"", '\x1f', 1, "SyntaxError: Unexpected token 31(ASCII) at pos 1"},
        {"\"\x7f\"", '\x7f', 1, "SyntaxError: Unexpected token 127(ASCII) at pos 1"},
        {"\"\\\x01\"", '\x01', 2, "SyntaxError: Unexpected token 1(ASCII) at pos 2"},
        {"'a'", '\'', 0, "SyntaxError: Unexpected token ' at pos 0"},
    };
    for (const auto& expected : cases) {
        ExpectError(expected);
    }
}

TEST(JsonParser, ObjectErrors) {
    const ExpectedError cases[] = {
        {"{\"a\" 1}", '1', 5, "SyntaxError: Unexpected token 1 at pos 5"},
        {"{,\"a\":1}", ',', 1, "SyntaxError: Unexpected token , at pos 1"},
        {"{\"a\":1,}", '}', 7, "SyntaxError: Unexpected token } at pos 7"},
        {"{\"a\":1 \"b\":2}", '"', 7, "SyntaxError: Unexpected token \" at pos 7"},
        {"{a:1}", 'a', 1, "SyntaxError: Unexpected token a at pos 1"},
        {"{\"a\":}", '}', 5, "SyntaxError: Unexpected token } at pos 5"},
        {"{\"a\":1]", ']', 6, "SyntaxError: Unexpected token ] at pos 6"},
        {"{1:2}", '1', 1, "SyntaxError: Unexpected token 1 at pos 1"},
    };
    for (const auto& expected : cases) {
        ExpectError(expected);
    }
}

TEST(JsonParser, RepeatedKeyKeepsFirst) {
    Json object("{\"a\":1,\"a\":2}");
    EXPECT_EQ(object.AsObject().size(), 1u);
    EXPECT_EQ(object["a"].AsNumber(), 1);

    Json nested("{\"a\":{\"x\":1},\"b\":0,\"a\":[1,2,3]}");
    EXPECT_EQ(nested.toString(), "{ \"a\": { \"x\": 1 }, \"b\": 0 }");

    // Keys are compared as written: an escape is not the character it stands for.
    Json raw("{\"A\":1,\"\\u0041\":2}");
    EXPECT_EQ(raw.AsObject().size(), 2u);
    EXPECT_EQ(raw["\\u0041"].AsNumber(), 2);

    // A discarded value must still be valid.
    ExpectError({"{\"a\":1,\"a\":[}", '}', 12, "SyntaxError: Unexpected token } at pos 12"});
}

TEST(JsonParser, ArrayErrorsAndNesting) {
    const ExpectedError cases[] = {
        {"[1,]", ']', 3, "SyntaxError: Unexpected token ] at pos 3"},
        {"[1 2]", '2', 3, "SyntaxError: Unexpected token 2 at pos 3"},
        {"[,1]", ',', 1, "SyntaxError: Unexpected token , at pos 1"},
        {"[1}", '}', 2, "SyntaxError: Unexpected token } at pos 2"},
        // The inner error travels out unchanged.
        {"[[1,x]]", 'x', 4, "SyntaxError: Unexpected token x at pos 4"},
        {"[ [ 1, [ 2 } ] ]", '}', 11, "SyntaxError: Unexpected token } at pos 11"},
        {"{\"a\":[{\"b\":\"\xc3\"}, 0x]}", 'x', 18, "SyntaxError: Unexpected token x at pos 18"},
        {"\xc3", '\xc3', 0, "SyntaxError: Unexpected token -61(ASCII) at pos 0"},
        {"[\xc3]", '\xc3', 1, "SyntaxError: Unexpected token -61(ASCII) at pos 1"},
    };
    for (const auto& expected : cases) {
        ExpectError(expected);
    }

    Json value("[1, [2, [3, {\"k\": [\"v\"]}]], {}]");
    EXPECT_EQ(value.size(), 3);
    EXPECT_EQ(value.toString(), "[ 1, [ 2, [ 3, { \"k\": [ \"v\" ] } ] ], {  } ]");
}

TEST(JsonParser, ExceptionCopiesAllFields) {
    try {
        Json value("[1,]");
        FAIL() << "accepted";
    } catch (const Json::UnexpectedTokenException& e) {
        Json::UnexpectedTokenException copy(e);
        EXPECT_EQ(copy.token, ']');
        EXPECT_EQ(copy.position, 3);
        EXPECT_STREQ(copy.what(), "SyntaxError: Unexpected token ] at pos 3");
        EXPECT_NE(copy.what(), e.what());
    }
    const Json::UnexpectedTokenException made('\x80', 7);
    EXPECT_STREQ(made.what(), "SyntaxError: Unexpected token -128(ASCII) at pos 7");
    EXPECT_STREQ(Json::UnexpectedTokenException('~', 0).what(),
                 "SyntaxError: Unexpected token ~ at pos 0");
    EXPECT_STREQ(Json::UnexpectedTokenException('\0', 9).what(), kEnd);
}

TEST(JsonParser, TypicalCommands) {
    Json command(
        "{\"type\":\"EnterRoom\",\"param\":{\"RoomName\":\"Room One\",\"RoomID\":\"r1\","
        "\"role\":1}}");
    EXPECT_EQ(command["type"].AsString(), "EnterRoom");
    EXPECT_EQ(command["param"]["RoomID"].AsString(), "r1");
    EXPECT_EQ(static_cast<int>(command["param"]["role"].AsNumber()), 1);
    EXPECT_THROW(command["param"]["test"].AsBoolean(), Json::BadConversionException);
    EXPECT_EQ(Json("{\"type\": \"DaemonStart\"}")["type"].AsString(), "DaemonStart");
}

}  // namespace
