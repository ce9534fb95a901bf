// The command and event queues, in process.
#include "src/HostChannels.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "framer/ObjectFramer.h"
#include "platform/CpuTime.h"
#include "platform/Descriptors.h"
#include "platform/Redirect.h"
#include "platform/Spawn.h"
#include "src/Manager.h"

namespace quorlane {

using qframer::ObjectFramer;

namespace {

using Queue = std::deque<std::string>;

TEST(PostCommand, QueuesEveryWholeObjectAndKeepsThePartialOne) {
    Manager manager;
    PostCommand(&manager, R"({"type":"OpenMic"}{"type":"CloseMic"}{"type":"Open)");
    EXPECT_EQ(manager.CommandQueue().Snapshot(),
              (Queue{R"({"type":"OpenMic"})", R"({"type":"CloseMic"})"}));
    EXPECT_TRUE(manager.CommandQueue().WaitFor(0));
    EXPECT_FALSE(manager.CommandQueue().WaitFor(0)) << "auto-reset";

    PostCommand(&manager, "Speaker\"}\n");
    EXPECT_EQ(manager.CommandQueue().Snapshot().back(), R"({"type":"OpenSpeaker"})");
    EXPECT_EQ(manager.CommandQueue().Snapshot().size(), 3u);
    EXPECT_TRUE(manager.CommandQueue().WaitFor(0));

    // Bytes with a zero inside: the zero lies outside any object and is skipped.
    const char withZero[] = "{\"a\":1}\0{\"b\":2}";
    PostCommand(&manager, withZero, sizeof withZero - 1);
    EXPECT_EQ(manager.CommandQueue().Snapshot().size(), 5u);
    EXPECT_EQ(manager.CommandQueue().Snapshot().back(), R"({"b":2})");
}

// The worker's wait: a pending signal returns at once; without one it watches briefly and then
// sleeps (little processor time over 300 ms).
TEST(AwaitCommands, TakesAPendingSignalAndOtherwiseSleeps) {
    Manager manager;
    manager.CommandQueue().Signal();
    AwaitCommands(&manager);
    EXPECT_FALSE(manager.CommandQueue().WaitFor(0)) << "the signal was taken";
    EXPECT_EQ(ReaderProcessor(), -1) << "no reader watches in this test";

    std::thread signaller([&manager] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        manager.CommandQueue().Signal();
    });
    const std::int64_t start = platform::ThreadCpuNanoseconds();
    AwaitCommands(&manager);
    const std::int64_t used = platform::ThreadCpuNanoseconds() - start;
    signaller.join();
    EXPECT_LT(used, 100 * 1000 * 1000) << "the worker spun for " << used / 1000000 << " ms";
}

TEST(PostEvent, DropsWithoutAManagerAndQueuesACopyWithOne) {
    Manager manager;
    ASSERT_EQ(CurrentManager.load(), nullptr);
    PostEvent(R"({"type":"KickOut","param":{}})");
    EXPECT_TRUE(manager.EventQueue().Snapshot().empty());
    EXPECT_FALSE(manager.EventQueue().WaitFor(0));

    CurrentManager.store(&manager);
    std::string text = R"({"type":"KickOut","param":{"code":1}})";
    PostEvent(text.c_str());
    text[2] = 'X';  // the caller keeps its own text
    PostEvent(nullptr);
    CurrentManager.store(nullptr);
    EXPECT_EQ(manager.EventQueue().Snapshot(), Queue{R"({"type":"KickOut","param":{"code":1}})"});
    EXPECT_TRUE(manager.EventQueue().WaitFor(0));
}

// Points this process's descriptor 4 at a pipe with a small buffer for one test, and puts it
// back afterwards. High numbers keep the pipe's ends clear of 4.
class ReplyPipe {
  public:
    ReplyPipe() {
        wasOpen_ = platform::IsDescriptorOpen(kReplyDescriptor);
        if (wasOpen_ && !platform::DuplicateOnto(kReplyDescriptor, kSaved)) {
            return;
        }
        platform::Pipe pipe;
        if (!platform::MakePipe(&pipe) || !platform::DuplicateOnto(pipe.read.Get(), kReader) ||
            !platform::DuplicateOnto(pipe.write.Get(), kWriter)) {
            return;
        }
        pipe.read.Reset();
        pipe.write.Reset();
        platform::SetPipeBufferSize(kWriter, 4096);
        ok_ = platform::DuplicateOnto(kWriter, kReplyDescriptor);
        platform::CloseDescriptor(kWriter);
    }
    ~ReplyPipe() {
        CloseWriter();
        platform::CloseDescriptor(kReader);
    }
    bool Ok() const { return ok_; }
    int Reader() const { return kReader; }
    // Ends the pipe for its reader and restores descriptor 4.
    void CloseWriter() {
        if (!ok_) {
            return;
        }
        ok_ = false;
        if (wasOpen_) {
            platform::DuplicateOnto(kSaved, kReplyDescriptor);
            platform::CloseDescriptor(kSaved);
        } else {
            platform::CloseDescriptor(kReplyDescriptor);
        }
    }

  private:
    static const int kSaved = 200;
    static const int kReader = 201;
    static const int kWriter = 202;
    bool wasOpen_ = false;
    bool ok_ = false;
};

TEST(WriteHost, LongTextsFromTwoThreadsNeverInterleave) {
    ReplyPipe pipe;
    ASSERT_TRUE(pipe.Ok());
    std::string received;
    std::thread reader([&] {
        char buffer[512];
        int count;
        while ((count = platform::ReadSome(pipe.Reader(), buffer, sizeof buffer)) > 0) {
            received.append(buffer, static_cast<std::size_t>(count));
        }
    });
    // Each text is several times the pipe's buffer, so every write is cut into pieces.
    const std::string a = "{" + std::string(12000, 'a') + "}";
    const std::string b = "{" + std::string(12000, 'b') + "}";
    const int kTexts = 30;
    auto writer = [](const std::string& text) {
        for (int i = 0; i < kTexts; ++i) {
            EXPECT_EQ(WriteHost(text.data(), text.size()), static_cast<int>(text.size()));
        }
    };
    std::thread first(writer, a);
    std::thread second(writer, b);
    first.join();
    second.join();
    pipe.CloseWriter();
    reader.join();

    std::vector<std::string> objects;
    ObjectFramer framer;
    framer.Feed(received.data(), received.size(), objects, nullptr);
    ASSERT_EQ(objects.size(), 2u * kTexts);
    for (const std::string& object : objects) {
        EXPECT_TRUE(object == a || object == b) << "a text was interleaved with another";
    }
    EXPECT_EQ(received.size(), 2u * kTexts * a.size());
}

}  // namespace

}  // namespace quorlane
