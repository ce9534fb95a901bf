// The text of a log line, the acceptance tests before queueing, and console display.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "logging/LogTextBuilder.h"
#include "tests/logging/LogTestSupport.h"

using namespace qlog;
using namespace qlogtest;

namespace {

// Runs `submit` against a started manager with display off and returns the lines of logger
// 0's single file.
std::vector<std::string> LinesWritten(ManagerUnderTest& t,
                                      const std::function<void(LogManager&)>& submit) {
    LogManager& m = *t.manager;
    m.SetLoggerDisplay(0, false);
    EXPECT_TRUE(m.Start());
    submit(m);
    EXPECT_TRUE(m.Stop());
    std::vector<std::string> files = FilesIn(t.LogDir());
    EXPECT_EQ(files.size(), 1u);
    if (files.empty())
        return {};
    return SplitLines(ReadFile(t.LogDir() + files[0]));
}

}  // namespace

TEST(LogLine, ExactShapeSourceNamesAndStartUpLines) {
    ManagerUnderTest t;
    EXPECT_FALSE(t.manager->SubmitLog(0, LOG_ERROR, "too early", nullptr, 1));
    auto lines = LinesWritten(t, [](LogManager& m) {
        EXPECT_TRUE(m.SubmitLog(0, LOG_ERROR, "some text", "C:\\src/dir\\source.cpp", 65));
        EXPECT_TRUE(m.SubmitLog(0, LOG_INFO, "bare", "source.cpp", -3));
        EXPECT_TRUE(m.SubmitLog(0, LOG_WARN, "no file", nullptr, 12));
        EXPECT_TRUE(m.SubmitLog(0, LOG_ALARM, nullptr, "dir/", 1));
        EXPECT_TRUE(m.SubmitLog(0, LOG_ERROR, "inner\r\n", "x.cpp", 2));
    });
    const std::string stamp = "2021-06-30 23:59:58.007 ";
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], stamp +
                            "LOG_ALARM -----------------  qlog thread started!   "
                            "---------------------------- ");
    EXPECT_EQ(lines[1], stamp + "LOG_ALARM logger id=0 key=Main name=" + t.manager->ProcessName() +
                            " path=" + t.LogDir() + " level=1 display=1 ");
    EXPECT_EQ(lines[2], stamp + "LOG_ERROR some text (source.cpp):65 ");
    EXPECT_EQ(lines[3], stamp + "LOG_INFO  bare (source.cpp):-3 ");
    EXPECT_EQ(lines[4], stamp + "LOG_WARN  no file ");
    EXPECT_EQ(lines[5], stamp + "LOG_ALARM (null) ():1 ");
    EXPECT_EQ(lines[6], stamp + "LOG_ERROR inner");
    EXPECT_EQ(lines[7], " (x.cpp):2 ");
}

TEST(LogLine, LevelNamesDigitsAndFileLineSwitch) {
    ManagerUnderTest t;
    t.environment.Set(1609556645, 7);  // 2021-01-02 03:04:05 UTC
    auto lines = LinesWritten(t, [&](LogManager& m) {
        ASSERT_TRUE(m.SetLoggerLevel(0, LOG_TRACE));
        for (int level = LOG_TRACE; level <= LOG_FATAL; ++level)
            EXPECT_TRUE(m.SubmitLog(0, level, "x", nullptr, 0));
        t.environment.Set(1609556645, 999);
        m.SetLoggerFileLine(0, false);
        // The change is applied in queue order, before the marker is taken.
        EXPECT_TRUE(m.SubmitLog(0, LOG_ERROR, "marker", nullptr, 0));
        ASSERT_TRUE(WaitFor([&] { return m.GetWaitingCount() == 0; }));
        EXPECT_TRUE(m.SubmitLog(0, LOG_ERROR, "short", "file.cpp", 9));
    });
    ASSERT_EQ(lines.size(), 11u);
    const char* names[] = {"LOG_TRACE", "LOG_DEBUG", "LOG_INFO ", "LOG_WARN ",
                           "LOG_ERROR", "LOG_ALARM", "LOG_FATAL"};
    for (int level = 0; level <= 6; ++level)
        EXPECT_EQ(lines[2 + level], std::string("2021-01-02 03:04:05.007 ") + names[level] + " x ");
    EXPECT_EQ(lines[10], "2021-01-02 03:04:05.999 LOG_ERROR short ");
}

TEST(LogLine, LongTextIsCutToFullBufferEndingInCrLf) {
    ManagerUnderTest t;
    const std::string prefix = "2021-06-30 23:59:58.007 LOG_ERROR ";
    const std::size_t fits = LOG_LINE_MAX - 1 - prefix.size() - 3;
    const std::string exact(fits, 'a');
    const std::string oneMore(fits + 1, 'b');
    const std::string huge(3000, 'c');
    auto lines = LinesWritten(t, [&](LogManager& m) {
        m.SubmitLog(0, LOG_ERROR, exact.c_str(), nullptr, 0);
        m.SubmitLog(0, LOG_ERROR, oneMore.c_str(), nullptr, 0);
        m.SubmitLog(0, LOG_ERROR, huge.c_str(), "never.cpp", 1);
    });
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2], prefix + exact + " ");
    EXPECT_EQ(lines[3], prefix + oneMore);
    EXPECT_EQ(lines[4], prefix + std::string(LOG_LINE_MAX - 3 - prefix.size(), 'c'));
    const std::string content = ReadFile(t.LogDir() + FilesIn(t.LogDir())[0]);
    EXPECT_EQ(t.manager->GetWriteBytes(), content.size());
    EXPECT_EQ(lines[4].size() + 2, static_cast<std::size_t>(LOG_LINE_MAX - 1));
}

TEST(LogAccept, RefusalsByIdStateLevelAndEnableFlag) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    EXPECT_FALSE(m.AcceptsLog(0, LOG_ERROR));  // not running yet
    m.SetLoggerDisplay(0, false);
    ASSERT_TRUE(m.Start());
    EXPECT_TRUE(m.AcceptsLog(0, LOG_ERROR));
    EXPECT_TRUE(m.AcceptsLog(0, LOG_DEBUG));
    EXPECT_FALSE(m.AcceptsLog(0, LOG_TRACE));
    EXPECT_FALSE(m.AcceptsLog(-1, LOG_ERROR));
    EXPECT_FALSE(m.AcceptsLog(1, LOG_ERROR));  // above the highest id in use
    EXPECT_FALSE(m.AcceptsLog(10, LOG_ERROR));
    EXPECT_FALSE(m.AcceptsLog(0, 7));
    EXPECT_FALSE(m.AcceptsLog(0, -1));
    EXPECT_FALSE(m.SubmitLog(0, 7, "out of range", nullptr, 0));
    EXPECT_FALSE(m.SubmitLog(10, LOG_ERROR, "no logger", nullptr, 0));

    ASSERT_TRUE(m.SetLoggerLevel(0, LOG_INFO));
    ASSERT_TRUE(WaitFor([&] { return !m.AcceptsLog(0, LOG_DEBUG); }));
    ASSERT_TRUE(WaitFor([&] { return m.GetWaitingCount() == 0; }));
    EXPECT_FALSE(m.SubmitLog(0, LOG_DEBUG, "below", nullptr, 0));
    EXPECT_EQ(m.GetWaitingCount(), 0u);

    ASSERT_TRUE(m.SetLoggerEnabled(0, false));
    ASSERT_TRUE(WaitFor([&] { return !m.IsLoggerEnabled(0); }));
    EXPECT_FALSE(m.AcceptsLog(0, LOG_FATAL));
    EXPECT_FALSE(m.SubmitLog(0, LOG_FATAL, "disabled", nullptr, 0));
    ASSERT_TRUE(m.SetLoggerEnabled(0, true));
    EXPECT_TRUE(m.AcceptsLog(0, LOG_FATAL));  // enabling takes effect at once

    EXPECT_TRUE(m.Stop());
    EXPECT_FALSE(m.AcceptsLog(0, LOG_FATAL));
    EXPECT_FALSE(m.SubmitLog(0, LOG_FATAL, "stopped", nullptr, 0));
}

TEST(LogDisplay, ColoursPlainLinesAndNoConsole) {
    {
        ManagerUnderTest t;  // no console attached
        LogManager& m = *t.manager;
        m.SetLoggerLevel(0, LOG_TRACE);
        ASSERT_TRUE(m.Start());
        m.SubmitLog(0, LOG_INFO, "info line", nullptr, 0);
        m.SubmitLog(0, LOG_DEBUG, "debug line", nullptr, 0);
        m.SubmitLog(0, LOG_TRACE, "trace line", nullptr, 0);
        ASSERT_TRUE(m.Stop());
        EXPECT_TRUE(t.environment.Colored().empty());
        EXPECT_EQ(t.environment.Plain(),
                  "2021-06-30 23:59:58.007 LOG_DEBUG debug line \r\n"
                  "2021-06-30 23:59:58.007 LOG_TRACE trace line \r\n");
        EXPECT_EQ(m.GetWriteCount(), 5u);  // shown or written: the no-console line counts
    }
    {
        ManagerUnderTest t;
        t.environment.SetConsole(true);
        LogManager& m = *t.manager;
        ASSERT_TRUE(m.Start());
        for (int level = LOG_INFO; level <= LOG_FATAL; ++level)
            m.SubmitLog(0, level, "c", nullptr, 0);
        m.SubmitLog(0, LOG_DEBUG, "d", nullptr, 0);
        m.SetLoggerDisplay(0, false);
        m.SubmitLog(0, LOG_ERROR, "hidden", nullptr, 0);
        ASSERT_TRUE(m.Stop());
        auto colored = t.environment.Colored();
        ASSERT_EQ(colored.size(), 7u);
        EXPECT_EQ(colored[0].first, 2);  // the start-up lines are LOG_ALARM
        const int colors[] = {3, 6, 4, 2, 5};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(colored[2 + i].first, colors[i]);
            EXPECT_NE(colored[2 + i].second.find(" c \r\n"), std::string::npos);
        }
        EXPECT_EQ(t.environment.Plain(), "2021-06-30 23:59:58.007 LOG_DEBUG d \r\n");
    }
    {
        // Lines on standard output: every line of logger 0 that passes its level, one line each,
        // whatever the console and the display flag; other loggers as configured.
        ManagerUnderTest t(qlog::LogManagerOptions().queueLimitBytes, true);
        t.environment.SetConsole(true);
        LogManager& m = *t.manager;
        ASSERT_EQ(m.CreateLogger("Other"), 1);
        m.SetLoggerDisplay(0, false);
        m.SetLoggerDisplay(1, false);
        m.SetLoggerLevel(0, LOG_INFO);
        ASSERT_TRUE(m.Start());
        m.SubmitLog(0, LOG_ERROR, "LoginRoom(demo, 1, Demo),\r\n failed\r\n", "src\\Room.cpp", 124);
        m.SubmitLog(0, LOG_WARN, "\n", nullptr, 0);
        m.SubmitLog(0, LOG_DEBUG, "below the level", nullptr, 0);
        m.SubmitLog(1, LOG_ERROR, "other logger", nullptr, 0);
        ASSERT_TRUE(m.Stop());
        EXPECT_TRUE(t.environment.Colored().empty());
        const auto lines = SplitLines(t.environment.Plain());
        ASSERT_EQ(lines.size(), 5u);  // the banner and two logger lines first
        EXPECT_EQ(lines[3],
                  "2021-06-30 23:59:58.007 LOG_ERROR LoginRoom(demo, 1, Demo), failed "
                  "(Room.cpp):124 ");
        EXPECT_EQ(lines[4], "2021-06-30 23:59:58.007 LOG_WARN   ");
    }
}

TEST(LogTextBuilder, AppendsWithinBoundsAndStaysTerminated) {
    char buffer[12];
    std::memset(buffer, '#', sizeof buffer);
    LogTextBuilder builder(buffer, 8);
    EXPECT_STREQ(builder.Text(), "");
    builder.Append("abc").Append(nullptr).Append("defgh");
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_EQ(builder.Length(), 7u);
    builder.Append("more");
    EXPECT_STREQ(buffer, "abcdefg");
    for (std::size_t i = 8; i < sizeof buffer; ++i)
        EXPECT_EQ(buffer[i], '#');
}
