// Noticing the host's end: a pipe whose readers have all gone, and termination requests that
// wake a waiter instead of ending the process.
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include "platform/HostEnd.h"
#include "platform/Spawn.h"

namespace {

TEST(HostEnd, AWriteEndIsUnreadOnceItsReaderHasClosedAndNoDataIsSent) {
    platform::Pipe pipe;
    ASSERT_TRUE(platform::MakePipe(&pipe));
    ASSERT_TRUE(platform::SetNonBlocking(pipe.read.Get(), true));
    bool unread = false;
    std::thread watcher([&] { unread = platform::WaitUntilUnread(pipe.write.Get()); });
    char byte;
    EXPECT_EQ(platform::ReadNonBlocking(pipe.read.Get(), &byte, 1), platform::kIoWouldBlock);
    pipe.read.Reset();
    watcher.join();
    EXPECT_TRUE(unread);

    // Where no reader can be seen to go, the answer comes at once.
    platform::UniqueFd null = platform::OpenNullDevice();
    ASSERT_TRUE(null.Valid());
    EXPECT_FALSE(platform::WaitUntilUnread(null.Get()));
}

TEST(HostEnd, TerminationRequestsWakeTheWaiterInsteadOfEndingTheProcess) {
#ifdef _WIN32
    EXPECT_FALSE(platform::CatchTerminationRequests());
#else
    ASSERT_TRUE(platform::CatchTerminationRequests());
    std::raise(SIGTERM);
    EXPECT_EQ(platform::WaitForTerminationRequest(), platform::TerminationRequest::kTerminate);
    std::raise(SIGINT);
    std::raise(SIGTERM);
    EXPECT_EQ(platform::WaitForTerminationRequest(), platform::TerminationRequest::kInterrupt);
    EXPECT_EQ(platform::WaitForTerminationRequest(), platform::TerminationRequest::kTerminate);
#endif
}

}  // namespace
