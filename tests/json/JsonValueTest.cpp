#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "json/Json.h"

using qjson::Json;

namespace {

// Calls every typed accessor and reports which ones did not throw, e.g. "N" for a Number.
std::string AcceptedAccessors(Json& value) {
    std::string accepted;
    auto probe = [&](char letter, auto access) {
        try {
            access();
            accepted += letter;
        } catch (const Json::BadConversionException&) {
        }
    };
    probe('N', [&] { value.AsNumber(); });
    probe('S', [&] { value.AsString(); });
    probe('B', [&] { value.AsBoolean(); });
    probe('O', [&] { value.AsObject(); });
    probe('A', [&] { value.AsArray(); });
    probe('s', [&] { value.StringValue(); });
    return accepted;
}

TEST(JsonValue, ConstructorsMakeTheirKinds) {
    EXPECT_EQ(Json().Kind(), Json::Null);
    EXPECT_EQ(Json(2.5).Kind(), Json::Number);
    EXPECT_EQ(Json(std::string("x")).Kind(), Json::String);
    EXPECT_EQ(Json("{}").Kind(), Json::Object);
    EXPECT_EQ(Json("[]").Kind(), Json::Array);
    EXPECT_EQ(Json("true").Kind(), Json::Boolean);

    // Bytes are copied unchanged, an embedded NUL and high bytes included.
    const std::string bytes("a\0\xff\"\\", 5);
    Json text(bytes);
    EXPECT_EQ(text.AsString(), bytes);
    EXPECT_EQ(text.StringValue(), bytes);
}

TEST(JsonValue, TypedAccessIsExact) {
    Json number(7.0);
    Json digits(std::string("42"));
    Json truth("true");
    Json object("{\"a\":1}");
    Json array("[1,2]");
    Json null;
    Json parsedNull("null");

    EXPECT_EQ(AcceptedAccessors(number), "N");
    EXPECT_EQ(AcceptedAccessors(digits), "Ss");
    EXPECT_EQ(AcceptedAccessors(truth), "B");
    EXPECT_EQ(AcceptedAccessors(object), "O");
    EXPECT_EQ(AcceptedAccessors(array), "A");
    EXPECT_EQ(AcceptedAccessors(null), "");
    EXPECT_EQ(AcceptedAccessors(parsedNull), "");

    try {
        number.AsString();
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "a bad conversion");
    }
    // A failed access leaves the value as it was.
    EXPECT_EQ(number.Kind(), Json::Number);
    EXPECT_EQ(number.AsNumber(), 7.0);
}

TEST(JsonValue, AccessorsAliasThePayload) {
    Json reply("{\"code\":1,\"type\":\"x\",\"ok\":false,\"list\":[]}");
    reply["code"].AsNumber() = 3;
    reply["type"].AsString() += "yz";
    reply["ok"].AsBoolean() = true;
    reply["list"].AsArray().push_back(new Json(std::string("e")));
    EXPECT_EQ(reply.toString(),
              "{ \"code\": 3, \"list\": [ \"e\" ], \"ok\": true, \"type\": \"xyz\" }");
    EXPECT_EQ(reply.AsObject().size(), 4u);
}

TEST(JsonValue, SizeCountsArrayElementsOnly) {
    EXPECT_EQ(Json("{\"a\":1,\"b\":2,\"c\":3}").size(), 1);
    EXPECT_EQ(Json("[]").size(), 0);
    EXPECT_EQ(Json("[1,[2,3],{}]").size(), 3);
    EXPECT_EQ(Json().size(), 1);
    EXPECT_EQ(Json(1.0).size(), 1);
    EXPECT_EQ(Json(std::string("abc")).size(), 1);
}

TEST(JsonValue, SubscriptOnNonObjectThrowsAndChangesNothing) {
    const char* texts[] = {"[1,2]", "\"text\"", "null", "5", "false"};
    for (const char* text : texts) {
        Json value(text);
        const std::string before = value.toString();
        EXPECT_THROW(value["a"], Json::BadConversionException) << text;
        EXPECT_EQ(value.toString(), before) << text;
    }
}

TEST(JsonValue, SubscriptInsertsNullMemberOnce) {
    Json command("{\"type\":\"Login\"}");
    Json& missing = command["param"];
    EXPECT_EQ(missing.Kind(), Json::Null);
    EXPECT_THROW(missing.AsNumber(), Json::BadConversionException);
    EXPECT_EQ(command.toString(), "{ \"param\": null, \"type\": \"Login\" }");

    // A second lookup finds the same member instead of adding one.
    EXPECT_EQ(&command["param"], &missing);
    EXPECT_EQ(&command["type"], &command["type"]);
    EXPECT_EQ(command.AsObject().size(), 2u);
}

TEST(JsonValue, CopyIsDeepAndIndependent) {
    auto source = std::make_unique<Json>("{\"a\":[1,{\"b\":\"c\"}],\"d\":true,\"e\":null}");
    const std::string text = source->toString();
    Json copy(*source);
    EXPECT_EQ(copy.toString(), text);

    // Nothing is shared: changes on either side stay there.
    copy["a"].AsArray()[0]->AsNumber() = 9;
    EXPECT_EQ(source->toString(), text);
    (*source)["d"].AsBoolean() = false;
    source.reset();  // the copy must survive its source
    EXPECT_EQ(copy.toString(), "{ \"a\": [ 9, { \"b\": \"c\" } ], \"d\": true, \"e\": null }");

    Json assigned;
    assigned = copy;
    EXPECT_EQ(assigned.toString(), copy.toString());
    EXPECT_NE(assigned.AsObject().at("a"), copy.AsObject().at("a"));
}

TEST(JsonValue, AssignmentReplacesTheWholeSubtree) {
    Json object("{\"m\":{\"x\":{\"y\":1}},\"n\":2}");
    object["m"] = Json("[true,null,\"s\"]");
    EXPECT_EQ(object["m"].Kind(), Json::Array);
    EXPECT_EQ(object.toString(), "{ \"m\": [ true, null, \"s\" ], \"n\": 2 }");

    object["n"] = Json();
    EXPECT_EQ(object.toString(), "{ \"m\": [ true, null, \"s\" ], \"n\": null }");

    Json& self = object;
    object = self;
    EXPECT_EQ(object.toString(), "{ \"m\": [ true, null, \"s\" ], \"n\": null }");
}

TEST(JsonValue, AssigningOwnDescendantKeepsItsValue) {
    // The source lives inside the target; releasing the target first would free it.
    Json root("{\"inner\":{\"list\":[1,2,3]},\"other\":0}");
    root = root["inner"];
    EXPECT_EQ(root.toString(), "{ \"list\": [ 1, 2, 3 ] }");

    Json array("[[\"deep\",[4]],5]");
    array = *array.AsArray()[0];
    EXPECT_EQ(array.toString(), "[ \"deep\", [ 4 ] ]");
}

TEST(JsonValue, ReplyBuiltLikeTheSystemDoes) {
    Json reply("{}");
    reply["type"] = Json(std::string("DaemonStart"));
    reply["code"] = Json(0.0);
    EXPECT_EQ(reply.toString(), "{ \"code\": 0, \"type\": \"DaemonStart\" }");
}

}  // namespace
