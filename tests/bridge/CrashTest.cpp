// A bridge whose SDK faults leaves a record: a report beside the logs, named on standard output,
// the queued log lines and a LOG_FATAL line written out, and the signal's own end. Only the
// newest reports stay. Run in a build without sanitizers, which take the fault signals.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "platform/Spawn.h"
#include "tests/support/BridgeProcess.h"

namespace bridgetest {
namespace {

namespace fs = std::filesystem;

const char kLogin[] = R"({"type":"Login","param":{"userID":"u","userName":"n","test":0}})";
const char kReportLine[] = "Quorlane: crash report ";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits for the bridge to be killed by SIGSEGV, then returns the report named on standard
// output (empty, with a failure, when there is none).
std::string ExpectKilledWithReport(BridgeProcess& bridge) {
    platform::ExitStatus status;
    EXPECT_TRUE(bridge.WaitForExit(20000, &status));
    EXPECT_TRUE(status.signaled && status.signal == SIGSEGV) << status.Describe();
    // The process has gone: the pipe holds everything it printed once its end is read.
    EXPECT_TRUE(bridge.WaitForControlEnd());
    const std::string out = bridge.StdoutText();
    const std::size_t at = out.find(kReportLine);
    if (at == std::string::npos) {
        ADD_FAILURE() << "no report line on standard output: [" << out << "]";
        return std::string();
    }
    const std::size_t begin = at + sizeof kReportLine - 1;
    const std::string path = out.substr(begin, out.find("\r\n", begin) - begin);
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(bridge.Directory()) / "log");
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    return ReadFile(path);
}

BridgeProcess::Options WithStdoutPipe() {
    BridgeProcess::Options options;
    options.stdoutPipe = true;
    return options;
}

TEST(Crash, AFaultOnAnSdkThreadOrInsideACallIsReportedAndTheSignalEndsTheBridge) {
    // On one of the SDK's own threads.
    BridgeProcess bridge;
    ASSERT_TRUE(bridge.Start(WithStdoutPipe()));
    bridge.ReadStdout();
    bridge.Run(kLogin);
    // Old reports beyond the newest ten go once the new one is written.
    const fs::path log = fs::path(bridge.Directory()) / "log";
    for (int i = 0; i < 11; ++i) {
        const std::string stem =
            "crash-2000010" + std::to_string(i / 10 + 1) + "-0000" + std::to_string(i % 10) + "0-1";
        std::ofstream(log / (stem + ".txt")) << "old";
        std::ofstream(log / (stem + ".dmp")) << "old";
    }
    bridge.Control({{"op", "crash"}});
    const std::string report = ExpectKilledWithReport(bridge);
    EXPECT_EQ(report.rfind("Quorlane crash report\n", 0), 0u) << report;
    EXPECT_NE(report.find("signal: 11 SIGSEGV, address 0x0\n"), std::string::npos) << report;
    EXPECT_NE(report.find(", not one of the bridge's threads: one of the SDK's own\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("SDK call in flight on the command worker: none\n"), std::string::npos);
    EXPECT_NE(report.find("last commands, oldest first: DaemonStart, Login, DaemonStart\n"),
              std::string::npos)
        << report;
    // The lines queued before the fault, and the fault's own, reached the log file.
    EXPECT_EQ(bridge.CountInLog("RecvMessage: [{\"type\":\"Login\""), 1);
    EXPECT_EQ(bridge.CountInLog("LOG_FATAL crash: SIGSEGV (11) on thread "), 1);
    std::set<std::string> stems;
    for (const auto& entry : fs::directory_iterator(log)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("crash-", 0) == 0)
            stems.insert(name.substr(0, name.size() - 4));
    }
    EXPECT_EQ(stems.size(), 10u);
    EXPECT_EQ(stems.count("crash-20000101-000000-1"), 0u);
    EXPECT_EQ(stems.count("crash-20000102-000000-1"), 1u);

    // Inside a call, on the command worker.
    BridgeProcess inCall;
    ASSERT_TRUE(inCall.Start(WithStdoutPipe()));
    inCall.ReadStdout();
    inCall.Control({{"op", "crash"}, {"fn", "EnableCamera"}});
    ASSERT_TRUE(inCall.Sync());
    inCall.Send(R"({"type":"OpenCamera"})");
    const std::string inCallReport = ExpectKilledWithReport(inCall);
    EXPECT_NE(inCallReport.find(", uimsg (the command worker)\n"), std::string::npos)
        << inCallReport;
    EXPECT_NE(inCallReport.find("SDK call in flight on the command worker: EnableCamera, for "),
              std::string::npos);
    EXPECT_NE(inCallReport.find("oldest first: DaemonStart, OpenCamera\n"), std::string::npos);
}

TEST(Crash, TheSimulatedSdkFaultsOnATimerInAnyMode) {
    BridgeProcess bridge;
    BridgeProcess::Options options = WithStdoutPipe();
    options.environment.emplace_back("QUORLANE_SIM_CRASH_AFTER_MS", "3000");
    ASSERT_TRUE(bridge.Start(options));
    bridge.ReadStdout();
    const std::string report = ExpectKilledWithReport(bridge);
    EXPECT_NE(report.find("one of the SDK's own"), std::string::npos) << report;
}

}  // namespace
}  // namespace bridgetest
