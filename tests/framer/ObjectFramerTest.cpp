#include "framer/ObjectFramer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using qframer::ObjectFramer;

namespace {

using Objects = std::vector<std::string>;

struct FeedResult {
    Objects objects;
    ObjectFramer::Skipped skipped;
};

FeedResult FeedAll(ObjectFramer& framer, const std::string& bytes) {
    FeedResult result;
    framer.Feed(bytes.data(), bytes.size(), result.objects, &result.skipped);
    return result;
}

TEST(ObjectFramer, SplitsObjectsWrittenBackToBackOrSeparatedByBlanks) {
    ObjectFramer framer;
    FeedResult r =
        FeedAll(framer, R"({"type":"OpenMic"}{"type":"CloseMic"}{"type":"OpenSpeaker"})");
    EXPECT_EQ(r.objects, (Objects{R"({"type":"OpenMic"})", R"({"type":"CloseMic"})",
                                  R"({"type":"OpenSpeaker"})"}));
    EXPECT_TRUE(r.skipped.Empty());

    r = FeedAll(framer, "{\"a\":1}\n{\"b\":2}\r\n \t{\"c\":3}\n");
    EXPECT_EQ(r.objects, (Objects{R"({"a":1})", R"({"b":2})", R"({"c":3})"}));
    EXPECT_TRUE(r.skipped.Empty()) << "blanks between objects are not reported";
    EXPECT_EQ(framer.PendingBytes(), 0u);
}

TEST(ObjectFramer, KnowsStringsEscapesAndNesting) {
    ObjectFramer framer;
    const std::string braces = R"({"m":"}{ and { and }","n":{"x":{}}})";
    const std::string quotes = R"({"m":"say \"}{\" \\","k":"\\"})";
    const std::string escapedBackslashThenQuote = R"({"p":"C:\\dir\\","q":1})";
    FeedResult r = FeedAll(framer, braces + quotes + escapedBackslashThenQuote);
    EXPECT_EQ(r.objects, (Objects{braces, quotes, escapedBackslashThenQuote}));
    EXPECT_EQ(framer.PendingBytes(), 0u);
}

TEST(ObjectFramer, KeepsAnIncompleteObjectAcrossFeeds) {
    ObjectFramer framer;
    const std::string whole = R"({"type":"SendRoomMessage","param":{"messageContent":"a\"}{b"}})";
    // Cut at every position, including inside the string and right after the backslash.
    for (std::size_t cut = 1; cut < whole.size(); ++cut) {
        FeedResult first = FeedAll(framer, whole.substr(0, cut));
        EXPECT_TRUE(first.objects.empty()) << "cut at " << cut;
        EXPECT_EQ(framer.PendingBytes(), cut);
        FeedResult second = FeedAll(framer, whole.substr(cut));
        EXPECT_EQ(second.objects, Objects{whole}) << "cut at " << cut;
    }
    // Byte by byte.
    Objects objects;
    for (char c : whole + whole) {
        framer.Feed(&c, 1, objects, nullptr);
    }
    EXPECT_EQ(objects, (Objects{whole, whole}));
}

TEST(ObjectFramer, ReportsAndSkipsBytesOutsideObjects) {
    ObjectFramer framer;
    FeedResult r = FeedAll(framer, "garbage{\"a\":1}} ]x{\"b\":2}\"q\"");
    EXPECT_EQ(r.objects, (Objects{R"({"a":1})", R"({"b":2})"}));
    EXPECT_EQ(r.skipped.outside, "garbage}]x\"q\"");
    EXPECT_TRUE(r.skipped.dropped.empty());

    // Without a report sink the same bytes are skipped silently.
    Objects objects;
    framer.Feed("zz{}", 4, objects, nullptr);
    EXPECT_EQ(objects, Objects{"{}"});
}

TEST(ObjectFramer, DropsAnObjectPastTheLimitAndRestartsWithTheNextByte) {
    ObjectFramer framer;
    const std::size_t limit = ObjectFramer::kMaxObjectBytes;

    // An object of exactly the limit passes.
    const std::string fits = "{\"k\":\"" + std::string(limit - 8, 'x') + "\"}";
    ASSERT_EQ(fits.size(), limit);
    FeedResult r = FeedAll(framer, fits);
    EXPECT_EQ(r.objects, Objects{fits});

    // One byte more is dropped, even when that byte would have closed it.
    const std::string over = "{\"k\":\"" + std::string(limit - 7, 'y') + "\"}";
    r = FeedAll(framer, over + R"({"after":1})");
    EXPECT_EQ(r.objects, Objects{R"({"after":1})"});
    ASSERT_EQ(r.skipped.dropped.size(), 1u);
    EXPECT_EQ(r.skipped.dropped[0], over.substr(0, ObjectFramer::kDroppedPrefixBytes));
    EXPECT_EQ(r.skipped.outside, "");

    // The bytes after the one that crossed the limit are outside any object.
    const std::string longer = "{\"k\":\"" + std::string(limit, 'y') + "\"}";
    r = FeedAll(framer, longer + R"({"next":2})");
    EXPECT_EQ(r.objects, Objects{R"({"next":2})"});
    EXPECT_EQ(r.skipped.dropped.size(), 1u);
    EXPECT_EQ(r.skipped.outside, "yyyyy\"}");

    // An unterminated object spread over many feeds costs a bounded amount: the framer is back
    // at depth 0 after the drop and finds the next object.
    framer.Reset();
    const std::string unterminated = "{\"open\":\"" + std::string(limit, 'z');
    r = FeedAll(framer, unterminated.substr(0, 5000));
    r = FeedAll(framer, unterminated.substr(5000));
    EXPECT_EQ(r.skipped.dropped.size(), 1u);
    EXPECT_LE(framer.PendingBytes(), limit);
    r = FeedAll(framer, "\n{\"type\":\"OpenMic\"}");
    EXPECT_EQ(r.objects, Objects{R"({"type":"OpenMic"})"});
}

TEST(ObjectFramer, ResetForgetsThePendingObject) {
    ObjectFramer framer;
    FeedResult r = FeedAll(framer, R"({"a":"unfinished)");
    EXPECT_GT(framer.PendingBytes(), 0u);
    framer.Reset();
    EXPECT_EQ(framer.PendingBytes(), 0u);
    r = FeedAll(framer, R"({"b":2})");
    EXPECT_EQ(r.objects, Objects{R"({"b":2})"});
}

}  // namespace
