// Producer cost of one accepted SubmitLog against snprintf of the same line, and the writer
// thread's sustained file rate against plain fwrite of the same lines; spdlog's async logger
// as a peer when it is installed. Costs are processor time, so that other work on the machine
// does not change the ratios; baselines and candidates alternate, and the best run counts.
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "logging/LogManager.h"
#include "platform/CpuTime.h"
#include "platform/Process.h"

#ifdef QLOG_BENCH_SPDLOG
#include <spdlog/async.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#endif

namespace {

namespace fs = std::filesystem;

constexpr int kCalls = 200000;
constexpr int kRepeats = 5;
constexpr char kText[] =
    "RecvMessage: [{\"type\":\"EnterRoom\",\"param\":{\"RoomID\":\"room-1\","
    "\"RoomName\":\"Room One\",\"role\":1}}]";
constexpr char kFile[] = "src/Manager/Dispatch.cpp";
constexpr char kLineFormat[] = "%d-%02d-%02d %02d:%02d:%02d.%03u %s %s (%s):%d \r\n";

std::string MakeTempDir() {
    std::string pattern = (fs::temp_directory_path() / "qlog-bench-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    return ::mkdtemp(buffer.data()) != nullptr ? buffer.data() : ".";
}

// Runs `work(calls)` on `threads` threads at once; mean processor nanoseconds per call.
double CpuPerCall(int threads, const std::function<void(int)>& work) {
    std::atomic<bool> go{false};
    std::vector<std::thread> pool;
    std::vector<std::int64_t> cpu(threads);
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            while (!go.load()) {
            }
            const std::int64_t start = platform::ThreadCpuNanoseconds();
            work(kCalls / threads);
            cpu[t] = platform::ThreadCpuNanoseconds() - start;
        });
    }
    go.store(true);
    for (std::thread& thread : pool)
        thread.join();
    std::int64_t total = 0;
    for (std::int64_t c : cpu)
        total += c;
    return static_cast<double>(total) / kCalls;
}

double SnprintfCost(int threads) {
    return CpuPerCall(threads, [](int calls) {
        char buffer[qlog::LOG_LINE_MAX];
        for (int i = 0; i < calls; ++i) {
            std::snprintf(buffer, sizeof buffer, kLineFormat, 2021, 6, 30, 23, 59, 58,
                          static_cast<unsigned>(i % 1000), "LOG_ERROR", kText, "Dispatch.cpp", i);
            asm volatile("" : : "r"(buffer) : "memory");
        }
    });
}

struct SubmitRun {
    double producerNs;  // per call, on the producer threads
    double writerNs;    // per line, on the writer thread
};

// Producers submit while the writer thread runs as in production. The writer's share is the
// process's processor time less the producers'.
SubmitRun Submit(int threads, const std::string& dir) {
    qlog::LogManagerOptions options;
    options.defaultPath = dir + "/submit/";
    // Room for every call, so that a writer that falls behind drops nothing and the wait for
    // the last line below ends.
    options.queueLimitBytes = std::size_t{2} * kCalls * sizeof(qlog::LogRecord);
    qlog::LogManager manager(options);
    manager.SetLoggerDisplay(0, false);
    manager.Start();
    while (manager.GetWaitingCount() != 0)
        platform::SleepMilliseconds(1);
    const std::uint64_t before = manager.GetWriteCount();
    const std::int64_t processStart = platform::ProcessCpuNanoseconds();
    const double producer = CpuPerCall(threads, [&](int calls) {
        for (int i = 0; i < calls; ++i)
            manager.SubmitLog(0, qlog::LOG_ERROR, kText, kFile, i);
    });
    while (manager.GetWriteCount() - before < static_cast<std::uint64_t>(kCalls))
        platform::SleepMilliseconds(1);
    const double process =
        static_cast<double>(platform::ProcessCpuNanoseconds() - processStart) / kCalls;
    manager.Stop();
    fs::remove_all(dir + "/submit/");
    return {producer, process - producer};
}

double FwriteCost(const std::vector<std::string>& lines, const std::string& dir) {
    const std::string path = dir + "/fwrite.log";
    const std::int64_t start = platform::ThreadCpuNanoseconds();
    std::FILE* file = std::fopen(path.c_str(), "ab");
    for (const std::string& line : lines)
        std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
    const double cost =
        static_cast<double>(platform::ThreadCpuNanoseconds() - start) / lines.size();
    fs::remove(path);
    return cost;
}

#ifdef QLOG_BENCH_SPDLOG
double SpdlogCost(std::shared_ptr<spdlog::async_logger>& logger) {
    const double cost = CpuPerCall(1, [&](int calls) {
        for (int i = 0; i < calls; ++i)
            logger->error("{} ({}):{} ", kText, "Dispatch.cpp", i);
    });
    logger->flush();
    return cost;
}
#endif

}  // namespace

int main() {
    const std::string dir = MakeTempDir();
    std::vector<std::string> lines;
    char buffer[qlog::LOG_LINE_MAX];
    for (int i = 0; i < kCalls; ++i) {
        std::snprintf(buffer, sizeof buffer, kLineFormat, 2021, 6, 30, 23, 59, 58,
                      static_cast<unsigned>(i % 1000), "LOG_ERROR", kText, "Dispatch.cpp", i);
        lines.emplace_back(buffer);
    }

    double snprintf1 = 1e30, snprintf2 = 1e30, submit1 = 1e30, submit2 = 1e30;
    double fwrite = 1e30, writer = 1e30;
    for (int r = 0; r < kRepeats; ++r) {
        snprintf1 = std::min(snprintf1, SnprintfCost(1));
        const SubmitRun one = Submit(1, dir);
        submit1 = std::min(submit1, one.producerNs);
        writer = std::min(writer, one.writerNs);
        snprintf2 = std::min(snprintf2, SnprintfCost(2));
        submit2 = std::min(submit2, Submit(2, dir).producerNs);
        fwrite = std::min(fwrite, FwriteCost(lines, dir));
    }
    std::printf(
        "producer, 1 thread:  snprintf %7.1f ns  SubmitLog %7.1f ns  ratio %.2f "
        "(goal <= 3)\n",
        snprintf1, submit1, submit1 / snprintf1);
    std::printf(
        "producer, 2 threads: snprintf %7.1f ns  SubmitLog %7.1f ns  ratio %.2f "
        "(goal <= 3)\n",
        snprintf2, submit2, submit2 / snprintf2);
    std::printf(
        "writer:   fwrite %7.1f ns/line (%.0f lines/s)  writer thread %7.1f ns/line "
        "(%.0f lines/s)  rate ratio %.2f (goal >= 0.70)\n",
        fwrite, 1e9 / fwrite, writer, 1e9 / writer, fwrite / writer);

#ifdef QLOG_BENCH_SPDLOG
    spdlog::init_thread_pool(8192, 1);
    auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(dir + "/spdlog.log");
    auto logger = std::make_shared<spdlog::async_logger>("bench", sink, spdlog::thread_pool(),
                                                         spdlog::async_overflow_policy::block);
    logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %l %v");
    double spdlog = 1e30;
    for (int r = 0; r < kRepeats; ++r)
        spdlog = std::min(spdlog, SpdlogCost(logger));
    std::printf(
        "peer:     spdlog async logger, one call %7.1f ns  ratio to snprintf %.2f  "
        "(SubmitLog %.2f)\n",
        spdlog, spdlog / snprintf1, submit1 / snprintf1);
    spdlog::shutdown();
#endif
    fs::remove_all(dir);
    return 0;
}
