// Several producers against the writer thread: no line lost, none accepted and dropped.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/logging/LogTestSupport.h"

using namespace qlog;
using namespace qlogtest;

namespace {

std::string AllFilesText(const std::string& dir) {
    std::string text;
    for (const std::string& name : FilesIn(dir))
        text += ReadFile(dir + name);
    return text;
}

}  // namespace

TEST(LogThreaded, ProducersLoseNoLineAndKeepTheirOrder) {
    ManagerUnderTest t;
    LogManager& m = *t.manager;
    ASSERT_EQ(m.CreateLogger("Second"), 1);
    m.SetLoggerDisplay(0, false);
    m.SetLoggerDisplay(1, false);
    m.SetLoggerLimitSize(0, 1);  // roll a few times on the way
    ASSERT_TRUE(m.Start());

    constexpr int kThreads = 4;
    constexpr int kLines = 5000;
    std::atomic<bool> done{false};
    std::thread observer([&] {
        while (!done.load()) {
            m.GetWaitingCount();
            m.GetWriteCount();
            m.GetActiveLoggerCount();
            m.AcceptsLog(1, LOG_INFO);
            m.SetLoggerFileLine(1, true);
        }
    });
    std::vector<std::thread> producers;
    for (int p = 0; p < kThreads; ++p) {
        producers.emplace_back([&m, p] {
            const std::string padding(200, 'p');
            for (int i = 0; i < kLines; ++i) {
                const std::string text =
                    "thread " + std::to_string(p) + " line " + std::to_string(i) + " " + padding;
                EXPECT_TRUE(m.SubmitLog(p % 2, LOG_ERROR, text.c_str(), __FILE__, __LINE__));
            }
        });
    }
    for (std::thread& producer : producers)
        producer.join();
    done.store(true);
    observer.join();
    ASSERT_TRUE(m.Stop());

    EXPECT_EQ(m.GetWaitingCount(), 0u);
    EXPECT_EQ(m.GetWriteCount(), static_cast<std::uint64_t>(kThreads * kLines + 3));
    // Files sort by logger name, then by index within the same minute: write order.
    auto lines = SplitLines(AllFilesText(t.LogDir()));
    std::vector<int> next(kThreads, 0);
    for (const std::string& line : lines) {
        const std::size_t at = line.find(" LOG_ERROR thread ");
        if (at == std::string::npos)
            continue;
        int thread = -1;
        int number = -1;
        ASSERT_EQ(std::sscanf(line.c_str() + at, " LOG_ERROR thread %d line %d", &thread, &number),
                  2);
        ASSERT_TRUE(thread >= 0 && thread < kThreads) << line;
        ASSERT_EQ(number, next[thread]) << "lost, repeated or reordered: " << line;
        ++next[thread];
    }
    for (int p = 0; p < kThreads; ++p)
        EXPECT_EQ(next[p], kLines);
    EXPECT_GT(FilesIn(t.LogDir()).size(), 3u);
}

TEST(LogThreaded, EveryAcceptedLineIsWrittenWhenStopRaces) {
    for (int round = 0; round < 5; ++round) {
        ManagerUnderTest t;
        LogManager& m = *t.manager;
        m.SetLoggerDisplay(0, false);
        ASSERT_TRUE(m.Start());
        std::atomic<int> accepted{0};
        std::atomic<bool> go{false};
        std::vector<std::thread> producers;
        for (int p = 0; p < 3; ++p) {
            producers.emplace_back([&] {
                while (!go.load()) {
                }
                for (int i = 0; i < 20000; ++i) {
                    if (m.SubmitLog(0, LOG_ERROR, "racing", nullptr, 0))
                        accepted.fetch_add(1);
                }
            });
        }
        go.store(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(5 * round));
        ASSERT_TRUE(m.Stop());
        for (std::thread& producer : producers)
            producer.join();
        EXPECT_EQ(m.GetWaitingCount(), 0u);
        const std::string text = AllFilesText(t.LogDir());
        int written = 0;
        for (std::size_t at = text.find("racing"); at != std::string::npos;
             at = text.find("racing", at + 1))
            ++written;
        EXPECT_EQ(written, accepted.load());
    }
}
