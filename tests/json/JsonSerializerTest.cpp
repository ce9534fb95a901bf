#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "json/Json.h"

using qjson::Json;

namespace {

std::string Streamed(double number) {
    std::ostringstream out;
    out << number;
    return out.str();
}

TEST(JsonSerializer, NumbersFollowDefaultStreamFormatting) {
    const std::pair<double, const char*> examples[] = {
        {1, "1"},
        {-3, "-3"},
        {0.5, "0.5"},
        {0, "0"},
        {-0.0, "-0"},
        {123456, "123456"},
        {-999999, "-999999"},
        {1234567, "1.23457e+06"},
        {1e6, "1e+06"},
        {999999.5, "1e+06"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {1.5e300, "1.5e+300"},
        {2147483647, "2.14748e+09"},
        {123.456789, "123.457"},
        {0.1 + 0.2, "0.3"},
    };
    for (const auto& example : examples) {
        EXPECT_EQ(Json(example.first).toString(), example.second) << example.second;
    }

    // Against the stream itself, over many magnitudes, integers and fractions.
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-12, 12);
    std::vector<double> values = {std::numeric_limits<double>::min(),
                                  std::numeric_limits<double>::denorm_min(),
                                  std::numeric_limits<double>::max(), -2147483648.0, 4294967296.0};
    for (int i = 0; i < 20000; ++i) {
        double value = mantissa(random) * std::pow(10.0, exponent(random));
        values.push_back(value);
        values.push_back(std::trunc(value));
    }
    for (double value : values) {
        ASSERT_EQ(Json(value).toString(), Streamed(value)) << value;
    }
}

TEST(JsonSerializer, NonFiniteNumbersBecomeNull) {
    Json reply("{}");
    reply["big"] = Json(std::numeric_limits<double>::infinity());
    reply["small"] = Json(-std::numeric_limits<double>::infinity());
    reply["nan"] = Json(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(reply.toString(), "{ \"big\": null, \"nan\": null, \"small\": null }");
    // Still valid text for the parser.
    EXPECT_EQ(Json(reply.toString().c_str()).toString(), reply.toString());
    // An overflowing literal parses to infinity.
    EXPECT_EQ(Json("[1e999,-1e999]").toString(), "[ null, null ]");
}

TEST(JsonSerializer, ContainerSpacing) {
    EXPECT_EQ(Json("{}").toString(), "{  }");
    EXPECT_EQ(Json("[]").toString(), "[  ]");
    EXPECT_EQ(Json("[[],{}]").toString(), "[ [  ], {  } ]");
    EXPECT_EQ(Json("{\"k\":{\"k\":[1]}}").toString(), "{ \"k\": { \"k\": [ 1 ] } }");
    EXPECT_EQ(Json().toString(), "null");
    EXPECT_EQ(Json("false").toString(), "false");
    EXPECT_EQ(Json("true").toString(), "true");
}

TEST(JsonSerializer, MembersInKeyOrder) {
    EXPECT_EQ(Json("{\"b\":1,\"a\":[true,null,\"x\"]}").toString(),
              "{ \"a\": [ true, null, \"x\" ], \"b\": 1 }");

    // Byte-wise, bytes as unsigned, a proper prefix first.
    Json keys("{\"\xc3\xa9\":1,\"z\":2,\"ab\":3,\"a\":4,\"B\":5,\"\":6}");
    std::vector<std::string> order;
    for (const auto& member : keys.AsObject()) {
        order.push_back(member.first);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"", "B", "a", "ab", "z", "\xc3\xa9"}));
    EXPECT_EQ(keys.toString(),
              "{ \"\": 6, \"B\": 5, \"a\": 4, \"ab\": 3, \"z\": 2, \"\xc3\xa9\": 1 }");
}

TEST(JsonSerializer, StringsAndKeysWrittenUnchanged) {
    EXPECT_EQ(Json(std::string("say \"hi\"")).toString(), "\"say \"hi\"\"");
    EXPECT_EQ(Json(std::string("back\\slash\nline")).toString(), "\"back\\slash\nline\"");

    Json object("{}");
    object["q\"k"] = Json(std::string("v"));
    EXPECT_EQ(object.toString(), "{ \"q\"k\": \"v\" }");
}

TEST(JsonSerializer, ParsedTextRoundTrips) {
    const char* texts[] = {
        ("{\"type\":\"SendRoomMessage\",\"param\":{\"content\":\"line\\nnext \\u00e9 \\\"q\\\" "
         "\\/\"}}"),
        "[1,-2.5,1e-07,true,false,null,\"\",[[]],{\"a\":{}}]",
        "{\"\\u0041\":\"\\\\\",\"A\":0}",
    };
    for (const char* text : texts) {
        const std::string once = Json(text).toString();
        EXPECT_EQ(Json(once.c_str()).toString(), once) << text;
    }
    EXPECT_EQ(Json("\"a\\nb\"").toString(), "\"a\\nb\"");
}

}  // namespace
