// A console or a writer that cannot keep up never blocks the writer thread and never lets the
// queue grow without bound; files keep every line the queue took.
#include <gtest/gtest.h>

#include <string>

#include "logging/LogManager.h"
#include "tests/logging/LogTestSupport.h"

using namespace qlog;
using namespace qlogtest;

namespace {

std::size_t Count(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + piece.size()))
        ++count;
    return count;
}

}  // namespace

TEST(LogBackpressure, BlockedConsoleDropsLinesFromTheConsoleOnlyAndSaysHowMany) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    t.environment.SetConsole(true);
    ASSERT_TRUE(m.SetLoggerLevel(0, LOG_TRACE));
    ASSERT_TRUE(m.Start());
    ASSERT_TRUE(WaitFor([&] { return m.GetWaitingCount() == 0; }));
    const std::size_t colouredBefore = t.environment.Colored().size();

    t.environment.SetBlocked(true);
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(m.SubmitLog(0, LOG_DEBUG, ("plain " + std::to_string(i)).c_str(), nullptr, 0));
        ASSERT_TRUE(m.SubmitLog(0, LOG_ERROR, ("colour " + std::to_string(i)).c_str(), nullptr, 0));
    }
    ASSERT_TRUE(WaitFor([&] { return m.GetWaitingCount() == 0; }));
    // The writer went idle, so it tried to flush the plain lines as well.
    ASSERT_TRUE(WaitFor([&] { return m.GetDroppedConsoleLineCount() == 600; }));
    EXPECT_EQ(t.environment.Plain().find("plain"), std::string::npos);
    EXPECT_EQ(t.environment.Colored().size(), colouredBefore);

    t.environment.SetBlocked(false);
    ASSERT_TRUE(m.SubmitLog(0, LOG_ERROR, "console back", nullptr, 0));
    ASSERT_TRUE(m.SubmitLog(0, LOG_DEBUG, "resumed plain", nullptr, 0));
    ASSERT_TRUE(m.Stop());

    const auto coloured = t.environment.Colored();
    ASSERT_EQ(coloured.size(), colouredBefore + 2);
    EXPECT_EQ(coloured[colouredBefore].first, DIAGNOSTIC_COLOR);
    EXPECT_EQ(coloured[colouredBefore].second,
              "qlog: 600 console lines dropped, the console did not take them\r\n");
    EXPECT_NE(coloured[colouredBefore + 1].second.find("console back"), std::string::npos);
    // Shown once: the plain stream gets the line without a second notice.
    EXPECT_EQ(Count(t.environment.Plain(), "console lines dropped"), 0u);
    EXPECT_NE(t.environment.Plain().find("resumed plain"), std::string::npos);

    const std::string file = ReadFile(t.LogDir() + FilesIn(t.LogDir())[0]);
    EXPECT_EQ(Count(file, "LOG_DEBUG plain "), 300u);
    EXPECT_EQ(Count(file, "LOG_ERROR colour "), 300u);
    EXPECT_NE(file.find("colour 299 "), std::string::npos);
}

TEST(LogBackpressure, FullQueueRefusesRecordsAndLogsTheCountOnceDrained) {
    const std::size_t limit = 40;
    ManagerUnderTest t(limit * sizeof(LogRecord));
    LogManager& m = *t.manager;
    m.SetLoggerDisplay(0, false);
    m.HoldWriter(true);
    ASSERT_TRUE(m.Start());
    int accepted = 0;
    for (int i = 0; i < 100; ++i)
        accepted += m.SubmitLog(0, LOG_ERROR, ("line " + std::to_string(i)).c_str(), nullptr, 0);
    // The two start-up lines count too.
    EXPECT_EQ(accepted, 38);
    EXPECT_EQ(m.GetDroppedRecordCount(), 62u);
    EXPECT_EQ(m.GetWaitingCount(), limit);

    m.HoldWriter(false);
    ASSERT_TRUE(WaitFor([&] { return m.GetWaitingCount() == 0 && m.GetWriteCount() == 41; }));
    // Room again once the writer caught up.
    EXPECT_TRUE(m.SubmitLog(0, LOG_ERROR, "after", nullptr, 0));
    ASSERT_TRUE(m.Stop());

    const auto lines = SplitLines(ReadFile(t.LogDir() + FilesIn(t.LogDir())[0]));
    ASSERT_EQ(lines.size(), 42u);
    EXPECT_NE(lines[39].find("line 37 "), std::string::npos);
    EXPECT_EQ(lines[40],
              "2021-06-30 23:59:58.007 LOG_ERROR qlog: 62 log lines dropped, more "
              "than 40 lines were waiting to be written ");
    EXPECT_NE(lines[41].find("after"), std::string::npos);
}

TEST(LogBackpressure, ConfigurationOnlyFromRegularFiles) {
    ManagerUnderTest t;
#ifdef _WIN32
    const char* device = "NUL";
#else
    const char* device = "/dev/null";
#endif
    EXPECT_FALSE(t.manager->Config(device));
    EXPECT_NE(
        t.environment.Plain().find(std::string("qlog load config file error. filename=") + device),
        std::string::npos);
}
