// The command and event queues, in process.
#include "src/HostChannels.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "src/Manager.h"

namespace {

using Queue = std::deque<std::string>;

TEST(PostCommand, QueuesEveryWholeObjectAndKeepsThePartialOne) {
    Manager manager;
    PostCommand(&manager, R"({"type":"OpenMic"}{"type":"CloseMic"}{"type":"Open)");
    EXPECT_EQ(manager.CommandQueue, (Queue{R"({"type":"OpenMic"})", R"({"type":"CloseMic"})"}));
    EXPECT_TRUE(manager.commandReady.WaitFor(0));
    EXPECT_FALSE(manager.commandReady.WaitFor(0)) << "auto-reset";

    PostCommand(&manager, "Speaker\"}\n");
    EXPECT_EQ(manager.CommandQueue.back(), R"({"type":"OpenSpeaker"})");
    EXPECT_EQ(manager.CommandQueue.size(), 3u);
    EXPECT_TRUE(manager.commandReady.WaitFor(0));

    // Bytes with a zero inside: the zero lies outside any object and is skipped.
    const char withZero[] = "{\"a\":1}\0{\"b\":2}";
    PostCommand(&manager, withZero, sizeof withZero - 1);
    EXPECT_EQ(manager.CommandQueue.size(), 5u);
    EXPECT_EQ(manager.CommandQueue.back(), R"({"b":2})");
}

TEST(PostEvent, DropsWithoutAManagerAndQueuesACopyWithOne) {
    Manager manager;
    ASSERT_EQ(CurrentManager.load(), nullptr);
    PostEvent(R"({"type":"KickOut","param":{}})");
    EXPECT_TRUE(manager.EventQueue.empty());
    EXPECT_FALSE(manager.eventReady.WaitFor(0));

    CurrentManager.store(&manager);
    std::string text = R"({"type":"KickOut","param":{"code":1}})";
    PostEvent(text.c_str());
    text[2] = 'X';  // the caller keeps its own text
    PostEvent(nullptr);
    CurrentManager.store(nullptr);
    EXPECT_EQ(manager.EventQueue, Queue{R"({"type":"KickOut","param":{"code":1}})"});
    EXPECT_TRUE(manager.eventReady.WaitFor(0));
}

}  // namespace
