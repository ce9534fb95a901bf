// The logger table, the setters and their timing, start and stop, and the counters.
#include <gtest/gtest.h>

#include <string>

#include "tests/logging/LogTestSupport.h"

using namespace qlog;
using namespace qlogtest;

TEST(LogManager, DefaultsOfTheMainLogger) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    LoggerSettings main = m.DescribeLogger(0);
    EXPECT_EQ(main.key, "Main");
    EXPECT_EQ(main.name, m.ProcessName());
    EXPECT_EQ(main.name, "logging_tests");
    EXPECT_EQ(main.path, t.LogDir());
    EXPECT_EQ(main.level, LOG_DEBUG);
    EXPECT_TRUE(main.display && main.outfile && main.enable && main.fileLine);
    EXPECT_FALSE(main.monthdir);
    EXPECT_EQ(main.limitsize, 100u);
    EXPECT_EQ(m.ProcessIdText().size(), 6u);
    EXPECT_EQ(m.LookupLogger("Main"), 0);
    EXPECT_EQ(m.GetActiveLoggerCount(), 1u);
    EXPECT_TRUE(m.IsLoggerEnabled(0));
    EXPECT_FALSE(m.IsLoggerEnabled(1));
    EXPECT_FALSE(m.IsLoggerEnabled(-1));

    LogManager production;  // the real clock and console, files under ./log/
    EXPECT_EQ(production.DescribeLogger(0).path, "./log/");
    EXPECT_EQ(production.DescribeLogger(1).path, "./log/");
}

TEST(LogManager, CreateLookupTrimAndTheEleventhLogger) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    EXPECT_EQ(m.CreateLogger(nullptr), -1);
    EXPECT_EQ(m.CreateLogger(" \t Net \r\n"), 1);
    EXPECT_EQ(m.LookupLogger(" \t Net \r\n"), -1);
    EXPECT_EQ(m.LookupLogger("Net"), 1);
    EXPECT_EQ(m.LookupLogger(nullptr), -1);
    EXPECT_EQ(m.CreateLogger("Net"), 1);
    EXPECT_EQ(m.CreateLogger("Main"), 0);
    LoggerSettings net = m.DescribeLogger(1);
    EXPECT_EQ(net.key, "Net");
    EXPECT_EQ(net.name, "Net");
    EXPECT_TRUE(net.enable);
    for (int i = 2; i < LOGGER_MAX; ++i)
        EXPECT_EQ(m.CreateLogger(("L" + std::to_string(i)).c_str()), i);
    t.environment.SetConsole(true);
    EXPECT_EQ(m.CreateLogger("Eleventh"), -1);
    EXPECT_EQ(m.LookupLogger("Eleventh"), -1);
    EXPECT_EQ(m.CreateLogger("L9"), 9);
    EXPECT_EQ(m.GetActiveLoggerCount(), 10u);
    auto colored = t.environment.Colored();
    ASSERT_EQ(colored.size(), 1u);
    EXPECT_EQ(colored[0].first, 5);
    EXPECT_EQ(colored[0].second,
              "qlog: CreateLogger can not create|writeover, because loggerid need < LOGGER_MAX! "
              "\r\n");
}

TEST(LogManager, SetterChecksAndQueuedValues) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    EXPECT_FALSE(m.SetLoggerEnabled(1, true));
    EXPECT_FALSE(m.SetLoggerName(0, ""));
    EXPECT_FALSE(m.SetLoggerName(0, nullptr));
    EXPECT_FALSE(m.SetLoggerName(-1, "x"));
    EXPECT_FALSE(m.SetLoggerPath(0, ""));
    EXPECT_FALSE(m.SetLoggerLevel(0, 7));
    EXPECT_FALSE(m.SetLoggerLevel(0, -1));
    EXPECT_FALSE(m.SetLoggerDisplay(10, true));
    EXPECT_FALSE(m.SetLoggerName(0, std::string(LOG_LINE_MAX, 'n').c_str()));
    EXPECT_TRUE(m.SetLoggerName(0, std::string(LOG_LINE_MAX - 1, 'n').c_str()));
    EXPECT_TRUE(m.SetReloadInterval(0));

    ASSERT_EQ(m.CreateLogger("A"), 1);
    ASSERT_EQ(m.CreateLogger("B"), 2);
    ASSERT_EQ(m.CreateLogger("C"), 3);
    const std::string base = t.dir.path();
    EXPECT_TRUE(m.SetLoggerPath(1, (base + "/one").c_str()));
    EXPECT_TRUE(m.SetLoggerPath(2, (base + "/two/").c_str()));
    EXPECT_TRUE(m.SetLoggerPath(3, (base + "\\three\\").c_str()));
    EXPECT_TRUE(m.SetLoggerName(1, "renamed"));
    EXPECT_TRUE(m.SetLoggerLimitSize(1, 0));
    EXPECT_TRUE(m.SetLoggerLimitSize(2, 7));
    EXPECT_TRUE(m.SetLoggerMonthDir(1, true));
    EXPECT_TRUE(m.SetLoggerFileLine(1, false));
    EXPECT_TRUE(m.SetLoggerOutFile(2, false));
    EXPECT_TRUE(m.SetLoggerDisplay(3, false));
    // Raising a level waits for the queue; lowering takes effect at once.
    EXPECT_TRUE(m.SetLoggerLevel(1, LOG_ERROR));
    EXPECT_EQ(m.DescribeLogger(1).level, LOG_DEBUG);
    EXPECT_TRUE(m.SetLoggerLevel(2, LOG_TRACE));
    EXPECT_EQ(m.DescribeLogger(2).level, LOG_TRACE);
    EXPECT_EQ(m.GetWaitingCount(), 0u);  // attribute changes are not counted

    m.SetLoggerDisplay(0, false);
    ASSERT_TRUE(m.Start());
    ASSERT_TRUE(m.Stop());
    LoggerSettings one = m.DescribeLogger(1);
    EXPECT_EQ(one.path, base + "/one/");
    EXPECT_EQ(one.name, "renamed");
    EXPECT_EQ(one.limitsize, 0xFFFFFFFFu);
    EXPECT_TRUE(one.monthdir);
    EXPECT_FALSE(one.fileLine);
    EXPECT_EQ(one.level, LOG_ERROR);
    LoggerSettings two = m.DescribeLogger(2);
    EXPECT_EQ(two.path, base + "/two/");
    EXPECT_EQ(two.limitsize, 7u);
    EXPECT_FALSE(two.outfile);
    EXPECT_EQ(two.level, LOG_TRACE);
    LoggerSettings three = m.DescribeLogger(3);
    EXPECT_EQ(three.path, base + "\\three\\");
    EXPECT_FALSE(three.display);
    // Stop leaves every logger disabled with its file closed.
    for (int id = 0; id <= 3; ++id) {
        EXPECT_FALSE(m.IsLoggerEnabled(id));
        EXPECT_FALSE(m.DescribeLogger(id).fileOpen);
    }
    EXPECT_EQ(m.GetActiveLoggerCount(), 0u);
}

TEST(LogManager, LevelChangesTakeEffectInQueueOrder) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    m.SetLoggerDisplay(0, false);
    m.HoldWriter(true);
    ASSERT_TRUE(m.Start());
    for (int level = LOG_DEBUG; level <= LOG_WARN; ++level)
        EXPECT_TRUE(m.SubmitLog(0, level, "before raise", nullptr, 0));
    ASSERT_TRUE(m.SetLoggerLevel(0, LOG_ERROR));
    EXPECT_TRUE(m.AcceptsLog(0, LOG_DEBUG));  // not yet applied
    m.HoldWriter(false);
    ASSERT_TRUE(WaitFor([&] { return !m.AcceptsLog(0, LOG_WARN); }));
    EXPECT_FALSE(m.SubmitLog(0, LOG_WARN, "after raise", nullptr, 0));
    ASSERT_TRUE(m.SetLoggerLevel(0, LOG_DEBUG));
    EXPECT_TRUE(m.SubmitLog(0, LOG_DEBUG, "after lowering", nullptr, 0));
    ASSERT_TRUE(m.Stop());
    const std::string content = ReadFile(t.LogDir() + FilesIn(t.LogDir())[0]);
    EXPECT_EQ(SplitLines(content).size(), 2u + 3u + 1u);
    EXPECT_EQ(content.find("after raise"), std::string::npos);
    EXPECT_NE(content.find("LOG_WARN  before raise"), std::string::npos);
    EXPECT_NE(content.find("LOG_DEBUG after lowering"), std::string::npos);
}

TEST(LogManager, StopDrainsTheQueueAndStartStopTwice) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    EXPECT_FALSE(m.Stop());
    m.SetLoggerDisplay(0, false);
    m.HoldWriter(true);
    ASSERT_TRUE(m.Start());
    EXPECT_FALSE(m.Start());
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(m.SubmitLog(0, LOG_ERROR, ("line " + std::to_string(i)).c_str(), nullptr, 0));
    EXPECT_EQ(m.GetWaitingCount(), 1002u);  // with the two start-up lines
    EXPECT_EQ(m.GetWriteCount(), 0u);
    EXPECT_TRUE(m.Stop());  // releases the hold and returns once everything is written
    EXPECT_FALSE(m.Stop());
    EXPECT_EQ(m.GetWaitingCount(), 0u);
    EXPECT_EQ(m.GetWriteCount(), 1002u);
    auto lines = SplitLines(ReadFile(t.LogDir() + FilesIn(t.LogDir())[0]));
    ASSERT_EQ(lines.size(), 1002u);
    EXPECT_EQ(lines[1001], "2021-06-30 23:59:58.007 LOG_ERROR line 999 ");
}

TEST(LogManager, RecordsBehindADisableAreTakenButNotWritten) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    ASSERT_EQ(m.CreateLogger("Side"), 1);
    m.SetLoggerDisplay(0, false);
    m.SetLoggerDisplay(1, false);
    m.HoldWriter(true);
    ASSERT_TRUE(m.Start());
    ASSERT_TRUE(m.SetLoggerEnabled(1, false));
    EXPECT_TRUE(m.IsLoggerEnabled(1));  // disabling waits for the queue
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(m.SubmitLog(1, LOG_ERROR, "dropped", nullptr, 0));
    EXPECT_EQ(m.GetWaitingCount(), 3u + 5u);
    m.HoldWriter(false);
    ASSERT_TRUE(WaitFor([&] { return m.GetWaitingCount() == 0; }));
    EXPECT_FALSE(m.IsLoggerEnabled(1));
    ASSERT_TRUE(m.Stop());
    EXPECT_EQ(m.GetWriteCount(), 3u);  // the start-up lines only
    auto files = FilesIn(t.LogDir());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].rfind(m.ProcessName() + "_", 0), 0u);
    EXPECT_EQ(ReadFile(t.LogDir() + files[0]).find("dropped"), std::string::npos);
}
