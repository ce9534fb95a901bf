// Producer cost of one accepted SubmitLog against snprintf of the same line, and the writer
// thread's sustained file rate against plain fwrite of the same lines. Optionally spdlog's
// async logger as a peer. Every figure is measured in this run; ratios are printed.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "logging/LogManager.h"
#include "platform/clock.h"

#ifdef QLOG_BENCH_SPDLOG
#include <spdlog/async.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#endif

namespace {

namespace fs = std::filesystem;

constexpr int kProducerCalls = 200000;
constexpr int kWriterLines = 300000;
constexpr int kRepeats = 5;
constexpr char kText[] =
    "RecvMessage: [{\"type\":\"EnterRoom\",\"param\":{\"RoomID\":\"room-1\","
    "\"RoomName\":\"Room One\",\"role\":1}}]";
constexpr char kFile[] = "src/Manager/Dispatch.cpp";

std::string MakeTempDir() {
    std::string pattern = (fs::temp_directory_path() / "qlog-bench-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    return ::mkdtemp(buffer.data()) != nullptr ? buffer.data() : ".";
}

double Seconds(std::int64_t from, std::int64_t to) {
    return static_cast<double>(to - from) / 1e9;
}

// Runs `work(thread, calls)` on `threads` threads at once; nanoseconds per call per thread.
double PerCall(int threads, int calls, const std::function<void(int, int)>& work) {
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> pool;
    std::vector<double> seconds(threads);
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            ready.fetch_add(1);
            while (!go.load()) {
            }
            const std::int64_t start = platform::MonotonicNanoseconds();
            work(t, calls / threads);
            seconds[t] = Seconds(start, platform::MonotonicNanoseconds());
        });
    }
    while (ready.load() < threads) {
    }
    go.store(true);
    for (std::thread& thread : pool)
        thread.join();
    return *std::max_element(seconds.begin(), seconds.end()) * 1e9 / (calls / threads);
}

double SnprintfCost(int threads) {
    double best = 1e30;
    for (int r = 0; r < kRepeats; ++r) {
        best =
            std::min(best, PerCall(threads, kProducerCalls, [](int, int calls) {
                         char buffer[qlog::LOG_LINE_MAX];
                         for (int i = 0; i < calls; ++i) {
                             std::snprintf(buffer, sizeof buffer,
                                           "%d-%02d-%02d %02d:%02d:%02d.%03u %s %s (%s):%d \r\n",
                                           2021, 6, 30, 23, 59, 58, static_cast<unsigned>(i % 1000),
                                           "LOG_ERROR", kText, "Dispatch.cpp", i);
                             asm volatile("" : : "r"(buffer) : "memory");
                         }
                     }));
    }
    return best;
}

double SubmitCost(int threads, const std::string& dir) {
    double best = 1e30;
    for (int r = 0; r < kRepeats; ++r) {
        qlog::LogManagerOptions options;
        options.defaultPath = dir + "/submit/";
        qlog::LogManager manager(options);
        manager.SetLoggerDisplay(0, false);
        // The writer thread runs as in production, recycling records behind the producers.
        manager.Start();
        best = std::min(best, PerCall(threads, kProducerCalls, [&](int, int calls) {
                            for (int i = 0; i < calls; ++i)
                                manager.SubmitLog(0, qlog::LOG_ERROR, kText, kFile, i);
                        }));
        manager.Stop();
    }
    return best;
}

// Lines per second that the writer thread takes off a full queue into a file.
double WriterRate(const std::string& dir) {
    double best = 0;
    for (int r = 0; r < kRepeats; ++r) {
        qlog::LogManagerOptions options;
        options.defaultPath = dir + "/writer/";
        qlog::LogManager manager(options);
        manager.SetLoggerDisplay(0, false);
        manager.HoldWriter(true);
        manager.Start();
        for (int i = 0; i < kWriterLines; ++i)
            manager.SubmitLog(0, qlog::LOG_ERROR, kText, kFile, i);
        const std::uint64_t total = manager.GetWaitingCount();
        const std::int64_t start = platform::MonotonicNanoseconds();
        manager.HoldWriter(false);
        while (manager.GetWriteCount() < total)
            std::this_thread::yield();
        const double seconds = Seconds(start, platform::MonotonicNanoseconds());
        best = std::max(best, static_cast<double>(total) / seconds);
        manager.Stop();
        fs::remove_all(dir + "/writer/");
    }
    return best;
}

double FwriteRate(const std::string& dir) {
    std::vector<std::string> lines;
    char buffer[qlog::LOG_LINE_MAX];
    for (int i = 0; i < kWriterLines; ++i) {
        std::snprintf(buffer, sizeof buffer, "2021-06-30 23:59:58.%03d LOG_ERROR %s (%s):%d \r\n",
                      i % 1000, kText, "Dispatch.cpp", i);
        lines.emplace_back(buffer);
    }
    double best = 0;
    for (int r = 0; r < kRepeats; ++r) {
        const std::string path = dir + "/fwrite.log";
        const std::int64_t start = platform::MonotonicNanoseconds();
        std::FILE* file = std::fopen(path.c_str(), "ab");
        for (const std::string& line : lines)
            std::fwrite(line.data(), 1, line.size(), file);
        std::fclose(file);
        const double seconds = Seconds(start, platform::MonotonicNanoseconds());
        best = std::max(best, kWriterLines / seconds);
        fs::remove(path);
    }
    return best;
}

#ifdef QLOG_BENCH_SPDLOG
void SpdlogPeer(const std::string& dir, double snprintfCost) {
    spdlog::init_thread_pool(kProducerCalls + 1024, 1);
    auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(dir + "/spdlog.log");
    auto logger = std::make_shared<spdlog::async_logger>("bench", sink, spdlog::thread_pool(),
                                                         spdlog::async_overflow_policy::block);
    logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %l %v");
    double best = 1e30;
    for (int r = 0; r < kRepeats; ++r) {
        best = std::min(best, PerCall(1, kProducerCalls, [&](int, int calls) {
                            for (int i = 0; i < calls; ++i)
                                logger->error("{} ({}):{} ", kText, "Dispatch.cpp", i);
                        }));
        logger->flush();
    }
    std::printf("spdlog async, one call:      %8.1f ns   ratio to snprintf %.2f (peer)\n", best,
                best / snprintfCost);
    spdlog::shutdown();
}
#endif

}  // namespace

int main() {
    const std::string dir = MakeTempDir();

    const double snprintf1 = SnprintfCost(1);
    const double submit1 = SubmitCost(1, dir);
    const double snprintf2 = SnprintfCost(2);
    const double submit2 = SubmitCost(2, dir);
    std::printf(
        "producer, 1 thread:  snprintf %8.1f ns  SubmitLog %8.1f ns  ratio %.2f (goal <= 3)\n",
        snprintf1, submit1, submit1 / snprintf1);
    std::printf(
        "producer, 2 threads: snprintf %8.1f ns  SubmitLog %8.1f ns  ratio %.2f (goal <= 3)\n",
        snprintf2, submit2, submit2 / snprintf2);

    const double fwriteRate = FwriteRate(dir);
    const double writerRate = WriterRate(dir);
    std::printf(
        "writer: fwrite %10.0f lines/s  writer thread %10.0f lines/s  ratio %.2f (goal >= 0.70)\n",
        fwriteRate, writerRate, writerRate / fwriteRate);

#ifdef QLOG_BENCH_SPDLOG
    SpdlogPeer(dir, snprintf1);
#endif
    fs::remove_all(dir);
    return 0;
}
