// Posting of composed events: the Manager check, the queue append, and the exception guard.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>

#include "logging/Qlog.h"
#include "platform/Process.h"
#include "src/EventText.h"
#include "src/Manager.h"

namespace quorlane {

namespace {

namespace fs = std::filesystem;

std::string ReadLogs(const fs::path& directory) {
    std::string text;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(directory, error)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        text.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return text;
}

TEST(EventReport, PostsOnlyWithAManagerAndLogsWhatComposingThrows) {
    const fs::path previous = fs::current_path();
    const fs::path directory = fs::temp_directory_path() /
                               ("quorlane-event-report-" + std::to_string(platform::ProcessId()));
    fs::create_directories(directory);
    fs::current_path(directory);  // the logger writes under ./log/
    qlog::ILogManager* log = qlog::GetLogManager();
    ASSERT_TRUE(log->Start());

    // No Manager: nothing is composed, nothing posted.
    ASSERT_EQ(CurrentManager.load(), nullptr);
    bool composed = false;
    eventtext::Report("OnKickOut", [&] {
        composed = true;
        return std::string("{}");
    });
    EXPECT_FALSE(composed);

    Manager manager;
    CurrentManager.store(&manager);
    eventtext::Report("OnKickOut", [] { return eventtext::KickOut(1, "r1"); });
    {
        const auto queued = manager.EventQueue().Snapshot();
        ASSERT_EQ(queued.size(), 1u);
        EXPECT_EQ(queued.front(),
                  "{\"type\":\"KickOut\",\"param\":{\"code\":1,\"RoomID\":\"r1\"}}");
    }

    // A throwing composition loses the event, logs it and lets nothing escape.
    EXPECT_NO_THROW(eventtext::Report(
        "OnMixStream", []() -> std::string { throw std::runtime_error("composition failed"); }));
    EXPECT_NO_THROW(
        eventtext::Report("OnRecvRoomMessage", []() -> std::string { throw std::bad_alloc(); }));
    EXPECT_EQ(manager.EventQueue().Snapshot().size(), 1u);
    CurrentManager.store(nullptr);

    log->Stop();
    const std::string logs = ReadLogs(directory / "log");
    EXPECT_NE(logs.find("OnMixStream, e=composition failed\r\n"), std::string::npos) << logs;
    EXPECT_NE(logs.find("OnRecvRoomMessage, e=std::bad_alloc\r\n"), std::string::npos) << logs;
    EXPECT_EQ(logs.find("OnKickOut, e="), std::string::npos) << logs;

    fs::current_path(previous);
    std::error_code error;
    fs::remove_all(directory, error);
}

}  // namespace

}  // namespace quorlane
