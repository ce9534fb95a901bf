// Log files: names, rolling per size and local day, month directories and failures.
#include <gtest/gtest.h>

#include <string>

#include "tests/logging/LogTestSupport.h"

using namespace qlog;
using namespace qlogtest;

namespace {

constexpr std::int64_t kJune30At235958 = 1625097598;  // UTC, the fake local time
constexpr std::int64_t kJune30At235959 = kJune30At235958 + 1;

std::string Name(const LogManager& m, const std::string& name, const std::string& stamp,
                 const char* index) {
    return name + "_" + stamp + "_" + m.ProcessIdText() + "_" + index + ".log";
}

// A started manager with a quiet second logger "Roll" writing lines of exactly 1024 bytes.
struct RollingLogger {
    ManagerUnderTest t;
    std::string text = std::string(1024 - 37, 'r');

    explicit RollingLogger(unsigned limit) {
        LogManager& m = *t.manager;
        EXPECT_EQ(m.CreateLogger("Roll"), 1);
        m.SetLoggerDisplay(0, false);
        m.SetLoggerDisplay(1, false);
        m.SetLoggerLimitSize(1, limit);
        EXPECT_TRUE(m.Start());
    }
    void Lines(int count) {
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(t.manager->SubmitLog(1, LOG_ERROR, text.c_str(), nullptr, 0));
    }
};

}  // namespace

TEST(LogFiles, SizeRollingWithOneMegabyte) {
    RollingLogger r(1);
    r.Lines(1024 + 2);
    ASSERT_TRUE(r.t.manager->Stop());
    LogManager& m = *r.t.manager;
    const std::string dir = r.t.LogDir();
    const std::string first = Name(m, "Roll", "202106302359", "000");
    const std::string second = Name(m, "Roll", "202106302359", "001");
    // Exactly 1048576 bytes still take one more line; the next one starts file 001.
    EXPECT_EQ(fs::file_size(dir + first), 1048576u + 1024u);
    EXPECT_EQ(fs::file_size(dir + second), 1024u);
    const std::string mainFile = Name(m, m.ProcessName(), "202106302359", "000");
    EXPECT_EQ(m.GetWriteBytes(), 1026u * 1024u + fs::file_size(dir + mainFile));
}

TEST(LogFiles, DayChangeStartsIndexZeroWithTheNewDate) {
    RollingLogger r(1);
    LogManager& m = *r.t.manager;
    r.t.environment.Set(kJune30At235958 + 1, 900);  // 23:59:59.900
    r.Lines(1026);                                  // rolls once: index 001
    r.t.environment.Set(kJune30At235958 + 2, 100);  // 00:00:00.100 the next day
    EXPECT_TRUE(m.SubmitLog(1, LOG_ERROR, "new day", nullptr, 0));
    ASSERT_TRUE(m.Stop());
    const std::string dir = r.t.LogDir();
    const std::string newDay = Name(m, "Roll", "202107010000", "000");
    EXPECT_EQ(ReadFile(dir + newDay), "2021-07-01 00:00:00.100 LOG_ERROR new day \r\n");
    EXPECT_EQ(fs::file_size(dir + Name(m, "Roll", "202106302359", "001")), 1024u);
    EXPECT_EQ(FilesIn(dir).size(), 4u);  // with logger 0's file
}

TEST(LogFiles, MonthDirectoryDefaultNameAndAppendMode) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    t.environment.Set(1638316805, 0);  // 2021-12-01 00:00:05
    const std::string expected = Name(m, m.ProcessName(), "202112010000", "000");
    ASSERT_TRUE(fs::create_directories(t.LogDir() + "2021_12"));
    WriteFile(t.LogDir() + "2021_12/" + expected, "old\r\n");
    m.SetLoggerDisplay(0, false);
    m.SetLoggerMonthDir(0, true);
    ASSERT_TRUE(m.Start());
    ASSERT_TRUE(m.SubmitLog(0, LOG_ERROR, "december", nullptr, 0));
    ASSERT_TRUE(m.Stop());
    EXPECT_TRUE(FilesIn(t.LogDir()).empty());
    auto lines = SplitLines(ReadFile(t.LogDir() + "2021_12/" + expected));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "old");
    EXPECT_EQ(lines[3], "2021-12-01 00:00:05.000 LOG_ERROR december ");

    ManagerUnderTest u;  // the month directory is created when missing
    u.environment.Set(1638316805, 0);
    u.manager->SetLoggerDisplay(0, false);
    u.manager->SetLoggerMonthDir(0, true);
    ASSERT_TRUE(u.manager->Start());
    ASSERT_TRUE(u.manager->Stop());
    EXPECT_EQ(FilesIn(u.LogDir() + "2021_12").size(), 1u);
}

TEST(LogFiles, AFileThatCannotBeOpenedIsRetriedOnceASecondAndTheLossReported) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    WriteFile(t.dir / "blocker", "a file, not a directory");
    ASSERT_TRUE(m.SetLoggerPath(0, (t.dir / "blocker/sub").c_str()));
    ASSERT_TRUE(m.Start());
    ASSERT_TRUE(m.SubmitLog(0, LOG_DEBUG, "still shown", nullptr, 0));
    ASSERT_TRUE(
        WaitFor([&] { return t.environment.Plain().find("still shown") != std::string::npos; }));
    EXPECT_EQ(t.environment.OpenCalls(), 1);  // the start-up lines and this one: one attempt

    fs::remove(t.dir / "blocker");
    t.environment.Set(kJune30At235958, 507);  // half a second later: not yet tried again
    ASSERT_TRUE(m.SubmitLog(0, LOG_DEBUG, "shown too", nullptr, 0));
    ASSERT_TRUE(
        WaitFor([&] { return t.environment.Plain().find("shown too") != std::string::npos; }));
    EXPECT_EQ(t.environment.OpenCalls(), 1);

    t.environment.Set(kJune30At235959, 7);
    ASSERT_TRUE(m.SubmitLog(0, LOG_DEBUG, "written", nullptr, 0));
    ASSERT_TRUE(m.Stop());
    EXPECT_TRUE(m.DescribeLogger(0).outfile);
    EXPECT_EQ(ReadFile(t.dir / "blocker/sub/" + Name(m, m.ProcessName(), "202106302359", "000")),
              "2021-06-30 23:59:59.007 LOG_ERROR qlog: 4 log lines lost, the log file could not "
              "be written \r\n"
              "2021-06-30 23:59:59.007 LOG_DEBUG written \r\n");
}

#ifdef __GLIBC__
TEST(LogFiles, AShortWriteLosesExactlyTheLinesNotWrittenWholeAndTheNoticeStartsANewLine) {
    for (const std::size_t budget : {std::size_t{40}, std::size_t{0}}) {
        SCOPED_TRACE(budget);
        ManagerUnderTest t;
        LogManager& m = *t.manager;
        // The start-up lines and "lost" reach a file that takes 40 bytes of them (or none).
        t.environment.SetFiles(FakeEnvironment::Files::kFillUp, budget);
        ASSERT_TRUE(m.Start());
        ASSERT_TRUE(m.SubmitLog(0, LOG_DEBUG, "lost", nullptr, 0));
        // Once the line is on the console the writer has gone idle, writing its file first.
        ASSERT_TRUE(
            WaitFor([&] { return t.environment.Plain().find("lost") != std::string::npos; }));
        t.environment.SetFiles(FakeEnvironment::Files::kWork);
        t.environment.Set(kJune30At235959, 7);
        ASSERT_TRUE(m.SubmitLog(0, LOG_ERROR, "written", nullptr, 0));
        ASSERT_TRUE(m.Stop());
        std::vector<std::string> lines =
            SplitLines(ReadFile(t.LogDir() + Name(m, m.ProcessName(), "202106302359", "000")));
        if (budget > 0) {
            ASSERT_EQ(lines.size(), 3u);
            EXPECT_EQ(lines[0], "2021-06-30 23:59:58.007 LOG_ALARM ------");  // 40 bytes, cut
            lines.erase(lines.begin());
        }
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0],
                  "2021-06-30 23:59:59.007 LOG_ERROR qlog: 3 log lines lost, the log file could "
                  "not be written ");
        EXPECT_EQ(lines[1], "2021-06-30 23:59:59.007 LOG_ERROR written ");
    }
}
#endif

#ifdef __linux__
TEST(LogFiles, FoldersAndFilesAreTheUsersOnly) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    m.SetLoggerDisplay(0, false);
    m.SetLoggerMonthDir(0, true);
    ASSERT_TRUE(m.Start());
    ASSERT_TRUE(m.Stop());
    const fs::path month = t.LogDir() + "2021_06";
    const auto mode = [](const fs::path& path) { return fs::status(path).permissions(); };
    EXPECT_EQ(mode(t.LogDir()), fs::perms::owner_all);
    EXPECT_EQ(mode(month), fs::perms::owner_all);
    const auto files = FilesIn(month.string());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(mode(month / files[0]), fs::perms::owner_read | fs::perms::owner_write);
}
#endif

TEST(LogFiles, AttributeChangeClosesAndBackslashPathsWork) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    m.SetLoggerDisplay(0, false);
    ASSERT_TRUE(m.SetLoggerPath(0, (t.dir.path() + "\\nested\\dir").c_str()));
    ASSERT_TRUE(m.Start());
    ASSERT_TRUE(m.SubmitLog(0, LOG_ERROR, "first", nullptr, 0));
    ASSERT_TRUE(m.SetLoggerName(0, "Renamed"));
    t.environment.Set(kJune30At235958 - 120, 0);  // 23:57:58, same day
    ASSERT_TRUE(m.SubmitLog(0, LOG_ERROR, "second", nullptr, 0));
    ASSERT_TRUE(m.Stop());
    const std::string dir = t.dir / "nested/dir/";
    EXPECT_EQ(ReadFile(dir + Name(m, "Renamed", "202106302357", "000")),
              "2021-06-30 23:57:58.000 LOG_ERROR second \r\n");
    EXPECT_EQ(FilesIn(dir).size(), 2u);
}

TEST(LogFiles, EnsureDirectoryCreatesEveryLevel) {
    TempDir dir;
    EXPECT_TRUE(LogManager::EnsureDirectory(""));
    EXPECT_TRUE(LogManager::EnsureDirectory(dir / "a\\b/c"));
    EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));
    EXPECT_TRUE(LogManager::EnsureDirectory(dir / "a/b/c/"));
    WriteFile(dir / "file", "x");
    EXPECT_FALSE(LogManager::EnsureDirectory(dir / "file/below"));
}
