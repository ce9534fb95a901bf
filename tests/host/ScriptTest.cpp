#include <gtest/gtest.h>

#include "tools/host/Script.h"

namespace {

using host::ParseDuration;
using host::ParseScript;
using host::Script;
using host::StepKind;

TEST(Script, ParsesEveryStepKind) {
    const char* text =
        "# a demo\n"
        "scripted\n"
        "\n"
        "  {\"type\":\"Login\",\"param\":{\"userID\":\"u\"}}  \n"
        "send {\"type\":\"OpenMic\"}\n"
        "control {\"op\":\"sync\",\"id\":1}\n"
        "timeout 3s\n"
        "wait reply Login code 1\n"
        "wait reply OpenMic within 250ms\n"
        "wait event StreamsList\n"
        "wait frames 2 30 within 1.5s\n"
        "wait control synced\n"
        "wait call LoginRoom within 2\n"
        "pause 20ms\n"
        "note all good\n";
    Script s;
    std::string error;
    ASSERT_TRUE(ParseScript(text, &s, &error)) << error;
    EXPECT_TRUE(s.scripted);
    ASSERT_EQ(s.steps.size(), 11u);
    EXPECT_EQ(s.steps[0].kind, StepKind::Send);
    EXPECT_EQ(s.steps[0].text, "{\"type\":\"Login\",\"param\":{\"userID\":\"u\"}}");
    EXPECT_EQ(s.steps[0].line, 4);
    EXPECT_EQ(s.steps[1].text, "{\"type\":\"OpenMic\"}");
    EXPECT_EQ(s.steps[2].kind, StepKind::Control);
    EXPECT_EQ(s.steps[3].kind, StepKind::WaitReply);
    EXPECT_EQ(s.steps[3].text, "Login");
    EXPECT_TRUE(s.steps[3].hasCode);
    EXPECT_EQ(s.steps[3].code, 1);
    EXPECT_EQ(s.steps[3].timeoutMs, 3000);  // the `timeout` line before it
    EXPECT_FALSE(s.steps[4].hasCode);
    EXPECT_EQ(s.steps[4].timeoutMs, 250);
    EXPECT_EQ(s.steps[5].kind, StepKind::WaitEvent);
    EXPECT_EQ(s.steps[6].kind, StepKind::WaitFrames);
    EXPECT_EQ(s.steps[6].channel, 2);
    EXPECT_EQ(s.steps[6].count, 30);
    EXPECT_EQ(s.steps[6].timeoutMs, 1500);
    EXPECT_EQ(s.steps[7].kind, StepKind::WaitControl);
    EXPECT_EQ(s.steps[7].text, "synced");
    EXPECT_EQ(s.steps[8].kind, StepKind::WaitCall);
    EXPECT_EQ(s.steps[8].timeoutMs, 2);
    EXPECT_EQ(s.steps[9].kind, StepKind::Pause);
    EXPECT_EQ(s.steps[9].timeoutMs, 20);
    EXPECT_EQ(s.steps[10].kind, StepKind::Note);
    EXPECT_EQ(s.steps[10].text, "all good");
    EXPECT_EQ(host::DescribeStep(s.steps[3]), "wait reply Login code 1 within 3000ms");
}

TEST(Script, UsesTheDefaultTimeoutGiven) {
    Script s;
    std::string error;
    ASSERT_TRUE(ParseScript("wait event X\n", &s, &error, 1234)) << error;
    EXPECT_EQ(s.steps[0].timeoutMs, 1234);
}

TEST(Script, RejectsMistakesWithTheirLine) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"{\"type\":\"A\"}\nfly away\n", "line 2: unknown step 'fly'"},
        {"send OpenMic\n", "line 1: send needs a JSON object"},
        {"control {\"op\":\"sync\"}\n", "line 1: control needs `scripted`"},
        {"wait call LoginRoom\n", "line 1: wait call needs `scripted`"},
        {"{\"type\":\"A\"}\nscripted\n", "line 2: `scripted` must come before"},
        {"wait\n", "line 1: wait for what?"},
        {"wait reply\n", "line 1: wait reply needs a name"},
        {"wait reply A code x\n", "line 1: bad code 'x'"},
        {"wait reply A B\n", "line 1: expected: wait reply NAME"},
        {"wait event A B\n", "line 1: expected: wait event NAME"},
        {"wait frames 5 1\n", "line 1: channel must be 0 to 4"},
        {"wait frames 1 0\n", "line 1: frame count must be at least 1"},
        {"wait frames 1\n", "line 1: expected: wait frames CHANNEL COUNT"},
        {"wait event A within soon\n", "line 1: bad duration 'soon'"},
        {"pause -5ms\n", "line 1: bad duration '-5ms'"},
        {"timeout\n", "line 1: bad duration ''"},
        {"wait sky A\n", "line 1: unknown wait 'sky'"},
    };
    for (const Case& c : cases) {
        Script s;
        std::string error;
        EXPECT_FALSE(ParseScript(c.text, &s, &error)) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " gave: " << error;
    }
}

TEST(Script, ParsesDurations) {
    int ms = -1;
    EXPECT_TRUE(ParseDuration("500ms", &ms));
    EXPECT_EQ(ms, 500);
    EXPECT_TRUE(ParseDuration("2s", &ms));
    EXPECT_EQ(ms, 2000);
    EXPECT_TRUE(ParseDuration("1.5s", &ms));
    EXPECT_EQ(ms, 1500);
    EXPECT_TRUE(ParseDuration("250", &ms));
    EXPECT_EQ(ms, 250);
    EXPECT_TRUE(ParseDuration("0", &ms));
    EXPECT_EQ(ms, 0);
    for (const char* bad : {"", "s", "ms", "-1s", "2m", "1e3", "nan", "inf", "x5", "99999999s"})
        EXPECT_FALSE(ParseDuration(bad, &ms)) << bad;
}

}  // namespace
