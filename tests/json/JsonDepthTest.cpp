#include <gtest/gtest.h>

#include <string>

#include "json/Json.h"

using qjson::Json;

namespace {

std::string NestedArrays(int depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

std::string NestedObjects(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) {
        text += "{\"k\":";
    }
    text += "0";
    text += std::string(depth, '}');
    return text;
}

TEST(JsonDepth, LimitIsFiveHundredTwelveLevels) {
    ASSERT_EQ(Json::kMaxDepth, 512);

    Json deepest(NestedArrays(512).c_str());
    EXPECT_EQ(deepest.size(), 1);
    Json copy(deepest);
    EXPECT_EQ(copy.toString().size(), 512u * 4);

    try {
        Json tooDeep(NestedArrays(513).c_str());
        FAIL() << "accepted 513 levels";
    } catch (const Json::UnexpectedTokenException& e) {
        EXPECT_EQ(e.token, '[');
        EXPECT_EQ(e.position, 512);
    }

    EXPECT_EQ(Json(NestedObjects(512).c_str()).Kind(), Json::Object);
    try {
        Json tooDeep(NestedObjects(513).c_str());
        FAIL() << "accepted 513 levels";
    } catch (const Json::UnexpectedTokenException& e) {
        EXPECT_EQ(e.token, '{');
        EXPECT_EQ(e.position, 512 * 5);
    }
}

TEST(JsonDepth, SiblingsDoNotAddUp) {
    // Depth counts open containers, not containers seen.
    std::string text = "[" + NestedArrays(511) + "," + NestedArrays(511) + "]";
    EXPECT_EQ(Json(text.c_str()).size(), 2);
}

TEST(JsonDepth, VeryDeepTextRefusedWithoutExhaustingTheStack) {
    const std::string open(100000, '[');
    EXPECT_THROW(Json(open.c_str()), Json::UnexpectedTokenException);
    EXPECT_THROW(Json(NestedArrays(100000).c_str()), Json::UnexpectedTokenException);
    EXPECT_THROW(Json(NestedObjects(100000).c_str()), Json::UnexpectedTokenException);
}

}  // namespace
