// Old log files: each logger deletes its own beyond its bounds, oldest first, and nothing else.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "tests/logging/LogTestSupport.h"

using namespace qlog;
using namespace qlogtest;

namespace {

constexpr int kOldFiles = 60;

std::string OldName(const std::string& logger, int k) {
    char index[8];
    std::snprintf(index, sizeof index, "%03d", k);
    return logger + "_202103010000_000001_" + index + ".log";
}

// Sixty files of `logger` from earlier runs, one every day and a half over ninety days (every
// third in a month folder), and files that are not its own, all old.
struct OldFiles {
    ManagerUnderTest t;
    std::string logger;
    std::vector<std::string> own;
    std::vector<std::string> foreign;

    explicit OldFiles(const std::string& name) : logger(name) {
        const std::string dir = t.LogDir();
        fs::create_directories(dir + "2021_03");
        fs::create_directories(dir + "archive");
        const auto now = fs::file_time_type::clock::now();
        for (int k = 0; k < kOldFiles; ++k) {
            own.push_back((k % 3 == 0 ? dir + "2021_03/" : dir) + OldName(logger, k));
            WriteFile(own.back(), "old\r\n");
            fs::last_write_time(own.back(), now - std::chrono::hours(36 * k + 6));
        }
        foreign = {dir + "Other_202103010000_000001_000.log", dir + logger + "_notes.log",
                   dir + "readme.txt", dir + "archive/" + OldName(logger, 100),
                   dir + "2021_03/" + logger + "_2021030100_000001_000.log"};
        for (const std::string& path : foreign) {
            WriteFile(path, "not a file of the logger\r\n");
            fs::last_write_time(path, now - std::chrono::hours(24 * 200));
        }
        // The logger's clock is the real one, so that file ages agree with it.
        t.environment.Set(static_cast<std::int64_t>(std::time(nullptr)), 0);
    }

    std::vector<int> OwnLeft() const {
        std::vector<int> left;
        for (int k = 0; k < kOldFiles; ++k) {
            if (fs::exists(own[k]))
                left.push_back(k);
        }
        return left;
    }
    bool ForeignAllThere() const {
        for (const std::string& path : foreign) {
            if (!fs::exists(path))
                return false;
        }
        return true;
    }
};

}  // namespace

TEST(LogRetention, DefaultsKeepTwentyFilesOfThirtyDaysAtStartUp) {
    LogManager probe;
    OldFiles files(probe.ProcessName());
    LogManager& m = *files.t.manager;
    m.SetLoggerDisplay(0, false);
    ASSERT_TRUE(m.Start());
    ASSERT_TRUE(m.Stop());
    // Files 0 to 19 are younger than 30 days; with the new file that makes 21, one too many.
    std::vector<int> expected;
    for (int k = 0; k < 19; ++k)
        expected.push_back(k);
    EXPECT_EQ(files.OwnLeft(), expected);
    EXPECT_TRUE(files.ForeignAllThere());
    // Beside them: 7 of those in the month folder, the new file and 3 foreign files.
    EXPECT_EQ(FilesIn(files.t.LogDir()).size(), 19u - 7u + 1u + 3u);
}

TEST(LogRetention, KeysFromTheConfigurationAndAFileThatCannotBeDeleted) {
    OldFiles files("Q");
    LogManager& m = *files.t.manager;
    const std::string config = files.t.dir / "config.cfg";
    WriteFile(config, "[Main]\r\nname=Q\r\ndisplay=false\r\nkeepfiles=5\r\nkeepdays=0\r\n");
    files.t.environment.KeepFilesContaining(OldName("Q", kOldFiles - 1));
    ASSERT_TRUE(m.Config(config.c_str()));
    ASSERT_TRUE(m.Start());
    // A new file is opened again after a setting changes: still one report of the failure.
    ASSERT_TRUE(m.SubmitLog(0, LOG_ERROR, "first", nullptr, 0));
    ASSERT_TRUE(m.SetLoggerFileLine(0, false));
    ASSERT_TRUE(m.SubmitLog(0, LOG_ERROR, "second", nullptr, 0));
    ASSERT_TRUE(m.Stop());
    // No age bound; the oldest could not be deleted, so the three newest stay beside it.
    EXPECT_EQ(files.OwnLeft(), (std::vector<int>{0, 1, 2, kOldFiles - 1}));
    EXPECT_TRUE(files.ForeignAllThere());
    std::string log;
    for (const std::string& name : FilesIn(files.t.LogDir())) {
        if (name.find("_" + m.ProcessIdText() + "_") != std::string::npos)
            log = ReadFile(files.t.LogDir() + name);
    }
    std::size_t reports = 0;
    for (std::size_t at = log.find("cannot be deleted"); at != std::string::npos;
         at = log.find("cannot be deleted", at + 1))
        ++reports;
    EXPECT_EQ(reports, 1u) << log;
    EXPECT_NE(log.find("second"), std::string::npos);
}
