// The built bridge started by hand: without its host's descriptors it says so and ends with
// code 2, leaving nothing in its working folder; `--version` prints the version and ends.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "platform/Spawn.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct HandRun {
    bool ended = false;
    platform::ExitStatus status;
    std::string out;
    std::string err;
    std::vector<std::string> leftInFolder;  // what the run created in its working folder
};

// Keeps descriptors this test process inherited (ctest hands some over) from its children.
void InheritNoHostDescriptors() {
#ifndef _WIN32
    for (int fd = 3; fd <= 9; ++fd)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
#endif
}

// Runs the bridge with no descriptor but 0 to 2, in an empty working folder of its own.
HandRun RunByHand(const std::vector<std::string>& args) {
    InheritNoHostDescriptors();
    static int counter = 0;
    const fs::path dir =
        fs::temp_directory_path() / ("quorlane-hand-" + std::to_string(platform::ProcessId()) +
                                     "-" + std::to_string(counter++));
    fs::create_directories(dir / "work");
    platform::SpawnOptions spawn;
    spawn.path = QUORLANE_BINARY;
    spawn.args = args;
    spawn.workingDirectory = (dir / "work").string();
    spawn.stdoutPath = (dir / "stdout.txt").string();
    spawn.stderrPath = (dir / "stderr.txt").string();
    HandRun run;
    platform::ChildProcess child;
    std::string error;
    if (!child.Spawn(spawn, &error)) {
        ADD_FAILURE() << "cannot start the bridge: " << error;
        return run;
    }
    // A failure guard only: the bridge is expected to end at once.
    run.ended = child.WaitFor(30000, &run.status);
    if (!run.ended)
        child.KillAndWait();
    run.out = ReadFile(dir / "stdout.txt");
    run.err = ReadFile(dir / "stderr.txt");
    for (const auto& entry : fs::directory_iterator(dir / "work"))
        run.leftInFolder.push_back(entry.path().filename().string());
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return run;
}

TEST(HandStart, WithoutItsHostItSaysSoAndEndsWithCode2LeavingNothing) {
    const HandRun run = RunByHand({});
    ASSERT_TRUE(run.ended) << "still running without a host";
    EXPECT_TRUE(run.status.exited && run.status.code == 2) << run.status.Describe();
    EXPECT_NE(run.err.find("started without a host"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("descriptors 3 to 9"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\"The protocol\" in README.md"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.leftInFolder, std::vector<std::string>{}) << "no log folder, no file";

    // Other arguments change nothing: the bridge reads none but --version.
    const HandRun withArgument = RunByHand({"--help"});
    EXPECT_TRUE(withArgument.status.exited && withArgument.status.code == 2)
        << withArgument.status.Describe();
}

TEST(HandStart, VersionPrintsTheVersionAndEnds) {
    const HandRun run = RunByHand({"--version"});
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.status.exited && run.status.code == 0) << run.status.Describe();
    std::string out = run.out;
    if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0)
        out.erase(out.size() - 2, 1);
    EXPECT_EQ(out.rfind("Quorlane version " QUORLANE_VERSION ", SDK ", 0), 0u) << out;
    EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.leftInFolder, std::vector<std::string>{});
}

}  // namespace
