#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

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
        "wait call LoginRoom within 2ms\n"
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
    ASSERT_TRUE(ParseScript("wait event KickOut\n", &s, &error, 1234)) << error;
    EXPECT_EQ(s.steps[0].timeoutMs, 1234);
}

// Every script of the corpus parses to the steps, or fails with the error, that the corpus's
// expected.json gives; the view's parser is held to the same file.
TEST(Script, ReadsTheCorpusAsExpected) {
    std::ifstream expectedFile(SCRIPT_CORPUS_DIR "/expected.json");
    ASSERT_TRUE(expectedFile.good());
    nlohmann::json expected = nlohmann::json::parse(expectedFile);
    ASSERT_GE(expected.size(), 20u);
    for (const auto& [name, result] : expected.items()) {
        std::ifstream in(SCRIPT_CORPUS_DIR "/" + name, std::ios::binary);
        ASSERT_TRUE(in.good()) << name;
        std::stringstream text;
        text << in.rdbuf();
        Script s;
        std::string error;
        bool parsed = ParseScript(text.str(), &s, &error);
        if (result.contains("error")) {
            EXPECT_FALSE(parsed) << name;
            EXPECT_EQ(error, result["error"].get<std::string>()) << name;
            continue;
        }
        ASSERT_TRUE(parsed) << name << ": " << error;
        EXPECT_EQ(s.scripted, result["scripted"].get<bool>()) << name;
        std::vector<std::string> steps;
        for (const host::Step& step : s.steps)
            steps.push_back(std::to_string(step.line) + ": " + host::DescribeStep(step));
        EXPECT_EQ(steps, result["steps"].get<std::vector<std::string>>()) << name;
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
    EXPECT_TRUE(ParseDuration("0ms", &ms));
    EXPECT_EQ(ms, 0);
    for (const char* bad : {"", "250", "0", "s", "ms", "-1s", "2m", "1e3s", "nans", "inf", "x5",
                            "1.s", ".5s", "1.2.3s", "99999999s"})
        EXPECT_FALSE(ParseDuration(bad, &ms)) << bad;
}

}  // namespace
