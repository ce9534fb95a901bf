#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/Spawn.h"

namespace {

using platform::ChildProcess;
using platform::ExitStatus;
using platform::Pipe;
using platform::SpawnOptions;

// Reads until end of input (blocking).
std::string ReadToEnd(int fd) {
    std::string text;
    char buffer[256];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

SpawnOptions Shell(const std::string& script) {
    SpawnOptions o;
    o.path = "/bin/sh";
    o.args = {"-c", script};
    return o;
}

TEST(Spawn, MapsPipesOntoChildNumbersAndReportsExit) {
    Pipe in, out;
    ASSERT_TRUE(platform::MakePipe(&in));
    ASSERT_TRUE(platform::MakePipe(&out));
    SpawnOptions o = Shell("read line <&3; echo \"got $line\" >&4; exit 3");
    o.descriptors = {{3, in.read.Get()}, {4, out.write.Get()}};
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Spawn(o, &error)) << error;
    EXPECT_GT(child.Pid(), 0);
    in.read.Reset();
    out.write.Reset();  // the child now holds the only write end: end of input follows its exit
    ASSERT_EQ(::write(in.write.Get(), "hi\n", 3), 3);
    EXPECT_EQ(ReadToEnd(out.read.Get()), "got hi\n");
    ExitStatus status;
    ASSERT_TRUE(child.WaitFor(5000, &status));
    EXPECT_TRUE(status.exited);
    EXPECT_EQ(status.code, 3);
    EXPECT_EQ(status.Describe(), "exit code 3");
}

TEST(Spawn, SwapsOverlappingDescriptorsAndClosesUnmappedOnes) {
    Pipe a, b;
    ASSERT_TRUE(platform::MakePipe(&a));
    ASSERT_TRUE(platform::MakePipe(&b));
    // Place the write ends on 40 and 41, then ask the child to see them the other way round.
    ASSERT_EQ(::dup3(a.write.Get(), 40, O_CLOEXEC), 40);
    ASSERT_EQ(::dup3(b.write.Get(), 41, O_CLOEXEC), 41);
    platform::UniqueFd a40(40), b41(41);
    a.write.Reset();
    b.write.Reset();
    int unmapped = a.read.Get();
    // bash, since a plain sh may only know descriptors 0 to 9.
    SpawnOptions o = Shell("echo to41 >&41; echo to40 >&40; test -e /proc/self/fd/" +
                           std::to_string(unmapped) + " && echo leaked >&40; exit 0");
    o.path = "/bin/bash";
    o.descriptors = {{41, 40}, {40, 41}};
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Spawn(o, &error)) << error;
    a40.Reset();
    b41.Reset();
    EXPECT_EQ(ReadToEnd(a.read.Get()), "to41\n");
    EXPECT_EQ(ReadToEnd(b.read.Get()), "to40\n");
    ExitStatus status;
    ASSERT_TRUE(child.WaitFor(5000, &status));
    EXPECT_TRUE(status.exited);
}

TEST(Spawn, AppliesEnvironmentDirectoryAndCapturesStderr) {
    char dirTemplate[] = "/tmp/spawn-test-XXXXXX";
    ASSERT_NE(::mkdtemp(dirTemplate), nullptr);
    std::string dir = dirTemplate;
    std::string errPath = dir + "/stderr.txt";
    ::setenv("SPAWN_TEST_KEEP", "parent", 1);
    ::setenv("SPAWN_TEST_OVERRIDE", "old", 1);
    SpawnOptions o = Shell(
        "echo \"$SPAWN_TEST_KEEP $SPAWN_TEST_OVERRIDE $SPAWN_TEST_NEW\" >&2; pwd >&2; "
        "cat; echo done >&2");
    o.environment = {{"SPAWN_TEST_OVERRIDE", "new"}, {"SPAWN_TEST_NEW", "x=y"}};
    o.workingDirectory = dir;
    o.stderrPath = errPath;
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Spawn(o, &error)) << error;
    ExitStatus status;
    ASSERT_TRUE(child.WaitFor(5000, &status));  // `cat` ends at once: stdin is the null device
    EXPECT_EQ(status.code, 0);
    char real[4096];
    ASSERT_NE(::realpath(dir.c_str(), real), nullptr);
    EXPECT_EQ(FileText(errPath), "parent new x=y\n" + std::string(real) + "\ndone\n");
    std::remove(errPath.c_str());
    ::rmdir(dir.c_str());
}

TEST(Spawn, ReportsStartFailures) {
    ChildProcess child;
    std::string error;
    SpawnOptions o;
    o.path = "/nonexistent/program";
    EXPECT_FALSE(child.Spawn(o, &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(child.Started());

    o = Shell("true");
    o.workingDirectory = "/nonexistent/dir";
    EXPECT_FALSE(child.Spawn(o, &error));
    EXPECT_NE(error.find("chdir"), std::string::npos) << error;
}

TEST(Spawn, WatchesKillsAndReapsTheChild) {
    int pid = -1;
    {
        ChildProcess child;
        std::string error;
        ASSERT_TRUE(child.Spawn(Shell("exec sleep 30"), &error)) << error;
        pid = child.Pid();
        EXPECT_FALSE(child.HasExited());
        EXPECT_FALSE(child.WaitFor(20));
        EXPECT_GT(child.ResidentBytes(), 0);
        EXPECT_GE(child.CpuSeconds(), 0.0);
    }
    // The destructor killed and reaped it: the pid no longer names a process of ours.
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);

    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Spawn(Shell("exec sleep 30"), &error)) << error;
    child.Terminate();
    ExitStatus status;
    ASSERT_TRUE(child.WaitFor(5000, &status));
    EXPECT_TRUE(status.signaled);
    EXPECT_EQ(status.signal, SIGTERM);
    EXPECT_EQ(child.ResidentBytes(), -1);
    EXPECT_EQ(child.CpuSeconds(), -1);
}

TEST(Spawn, PollsAndReadsWithoutBlocking) {
    Pipe p;
    ASSERT_TRUE(platform::MakePipe(&p));
    ASSERT_TRUE(platform::SetNonBlocking(p.read.Get(), true));
    char buffer[16];
    EXPECT_EQ(platform::ReadNonBlocking(p.read.Get(), buffer, sizeof buffer),
              platform::kIoWouldBlock);
    std::vector<platform::PollEntry> entries(2);
    entries[0].fd = p.read.Get();
    entries[1].fd = p.write.Get();
    entries[1].wantRead = false;
    entries[1].wantWrite = true;
    EXPECT_EQ(platform::PollDescriptors(entries, 10), 1);
    EXPECT_FALSE(entries[0].readable);
    EXPECT_TRUE(entries[1].writable);

    EXPECT_EQ(platform::WriteNonBlocking(p.write.Get(), "abc", 3), 3);
    entries.resize(1);
    EXPECT_EQ(platform::PollDescriptors(entries, 1000), 1);
    EXPECT_TRUE(entries[0].readable);
    EXPECT_EQ(platform::ReadNonBlocking(p.read.Get(), buffer, sizeof buffer), 3);

    p.write.Reset();
    EXPECT_EQ(platform::PollDescriptors(entries, 1000), 1);
    EXPECT_TRUE(entries[0].hangup);
    EXPECT_EQ(platform::ReadNonBlocking(p.read.Get(), buffer, sizeof buffer),
              platform::kIoEndOfInput);

    // A full non-blocking pipe refuses instead of stalling; a larger buffer holds more.
    Pipe q;
    ASSERT_TRUE(platform::MakePipe(&q));
    ASSERT_TRUE(platform::SetNonBlocking(q.write.Get(), true));
    int size = platform::SetPipeBufferSize(q.write.Get(), 256 * 1024);
    ASSERT_GE(size, 64 * 1024);
    std::string block(static_cast<std::size_t>(size), 'x');
    EXPECT_EQ(platform::WriteNonBlocking(q.write.Get(), block.data(), block.size()),
              static_cast<long>(size));
    EXPECT_EQ(platform::WriteNonBlocking(q.write.Get(), "y", 1), platform::kIoWouldBlock);
}

}  // namespace
