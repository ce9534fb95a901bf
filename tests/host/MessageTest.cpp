#include <gtest/gtest.h>

#include "tools/host/BridgeSession.h"

namespace {

using host::BridgeMessage;
using host::ClassifyMessage;

TEST(ClassifyMessage, TellsRepliesFromEventsAndOtherTexts) {
    BridgeMessage reply = ClassifyMessage("{ \"code\": -3, \"type\": \"EnterRoom\" }");
    EXPECT_EQ(reply.kind, BridgeMessage::Kind::Reply);
    EXPECT_EQ(reply.type, "EnterRoom");
    EXPECT_EQ(reply.code, -3);
    EXPECT_TRUE(reply.validJson);
    EXPECT_EQ(reply.text, "{ \"code\": -3, \"type\": \"EnterRoom\" }");

    // An event whose parameters carry a "code" is still an event.
    BridgeMessage event =
        ClassifyMessage("{\"type\":\"LogoutRoom\",\"param\":{\"code\":0,\"RoomID\":\"r\"}}");
    EXPECT_EQ(event.kind, BridgeMessage::Kind::Event);
    EXPECT_EQ(event.type, "LogoutRoom");

    BridgeMessage broken = ClassifyMessage("{\"type\":\"X\",\"param\":{\"a\":\"b\"c\"}}");
    EXPECT_EQ(broken.kind, BridgeMessage::Kind::Other);
    EXPECT_FALSE(broken.validJson);

    EXPECT_EQ(ClassifyMessage("[1,2]").kind, BridgeMessage::Kind::Other);
    EXPECT_EQ(ClassifyMessage("{\"code\":1}").kind, BridgeMessage::Kind::Other);  // no type
    EXPECT_EQ(ClassifyMessage("{\"code\":\"1\",\"type\":\"A\"}").kind,
              BridgeMessage::Kind::Other);  // code not a number
}

}  // namespace
