// libquorlane's C functions against the real bridge on the simulated SDK's demo room.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "hosts/c/include/quorlane.h"

namespace {

const char kLogin[] = R"({"type":"Login","param":{"userID":"t","userName":"T","test":1}})";
const char kEnter[] =
    R"({"type":"EnterRoom","param":{"RoomName":"Demo","RoomID":"demo","role":1}})";
const char kView[] = R"({"type":"RequestView","param":["demo-1","demo-2","demo-3"]})";
const int kWaitMs = 20000;  // failure guard only

struct Started {
    quorlane_bridge* bridge = nullptr;
    std::string message;
};

Started Start(quorlane_options options) {
    Started s;
    char message[256];
    options.executable = QUORLANE_BRIDGE_PATH;
    options.stdout_path = "/dev/null";
    const std::string dir = ::testing::TempDir();
    options.working_directory = dir.c_str();
    EXPECT_EQ(quorlane_start(&options, &s.bridge, message, sizeof message), QUORLANE_OK) << message;
    s.message = message;
    return s;
}

quorlane_options Defaults() {
    quorlane_options o;
    quorlane_options_init(&o);
    return o;
}

std::string NextText(quorlane_bridge* bridge) {
    quorlane_text* text = nullptr;
    const int result = quorlane_receive_text(bridge, kWaitMs, &text);
    if (result != QUORLANE_OK)
        return std::string("<") + quorlane_result_text(result) + ">";
    std::string s(text->data, text->length);
    EXPECT_EQ(s.size(), std::strlen(text->data));
    quorlane_text_release(text);
    return s;
}

// Receives texts until one contains `needle`; the texts before it are returned in `skipped`.
bool AwaitText(quorlane_bridge* bridge, const std::string& needle, std::string* skipped = nullptr) {
    for (;;) {
        std::string t = NextText(bridge);
        if (t.find(needle) != std::string::npos)
            return true;
        if (t[0] == '<')
            return false;
        if (skipped != nullptr)
            *skipped += t + "\n";
    }
}

bool ProcessGone(int pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

void EnterDemoRoomAndView(quorlane_bridge* bridge) {
    ASSERT_EQ(quorlane_send(bridge, kLogin, static_cast<size_t>(-1)), QUORLANE_OK);
    ASSERT_TRUE(AwaitText(bridge, R"({ "code": 1, "type": "Login" })"));
    ASSERT_EQ(quorlane_send(bridge, kEnter, sizeof kEnter - 1), QUORLANE_OK);
    ASSERT_TRUE(AwaitText(bridge, R"({ "code": 0, "type": "EnterRoom" })"));
    ASSERT_EQ(quorlane_send(bridge, kView, static_cast<size_t>(-1)), QUORLANE_OK);
}

struct FrameCounter {
    std::atomic<int> frames[QUORLANE_CHANNELS] = {};
    std::atomic<bool> wellFormed{true};
    std::atomic<int> exits{0};
    quorlane_exit exit{};
};

}  // namespace

TEST(CApi, SessionGreetsRepliesSendsEventsAndFramesAndClosesInOrder) {
    FrameCounter counter;
    quorlane_options options = Defaults();
    options.user_data = &counter;
    options.on_frame = [](void* user, const quorlane_frame* f) {
        auto* c = static_cast<FrameCounter*>(user);
        const bool ok = f->width == 640 && f->height == 360 && f->y_stride == 640 &&
                        f->chroma_stride == 320 && f->u != f->v && f->y + 640 * 360 <= f->u &&
                        f->y + 640 * 360 <= f->v;
        if (!ok)
            c->wellFormed = false;
        ++c->frames[f->channel];
    };
    options.on_exit = [](void* user, const quorlane_exit* e) {
        auto* c = static_cast<FrameCounter*>(user);
        c->exit = *e;
        ++c->exits;
    };
    Started s = Start(options);
    ASSERT_NE(s.bridge, nullptr);
    quorlane_frame* frame;
    EXPECT_EQ(quorlane_receive_frame(s.bridge, 1, 0, &frame), QUORLANE_CALLBACK_MODE);
    EXPECT_EQ(NextText(s.bridge), R"({ "code": 0, "type": "DaemonStart" })");
    EnterDemoRoomAndView(s.bridge);
    std::string before;
    ASSERT_TRUE(AwaitText(s.bridge, R"("type":"StreamsList")", &before));
    // Frames on several channels: wait for the callback's counts to pass 5 (texts keep coming).
    while (counter.frames[1] < 5 || counter.frames[2] < 5)
        ASSERT_NE(NextText(s.bridge), "<the bridge has ended>");
    EXPECT_TRUE(counter.wellFormed);

    const int pid = quorlane_pid(s.bridge);
    quorlane_exit exit;
    EXPECT_EQ(quorlane_exit_info(s.bridge, &exit), QUORLANE_RUNNING);
    ASSERT_EQ(quorlane_close(s.bridge, 5000), QUORLANE_OK);
    ASSERT_EQ(quorlane_exit_info(s.bridge, &exit), QUORLANE_OK);
    EXPECT_TRUE(exit.exited && exit.code == 0 && exit.closed) << exit.description;
    EXPECT_TRUE(ProcessGone(pid));
    EXPECT_EQ(counter.exits, 1);
    EXPECT_EQ(counter.exit.closed, 1);
    EXPECT_EQ(quorlane_send(s.bridge, kLogin, static_cast<size_t>(-1)), QUORLANE_CLOSED);
    // What was queued can still be taken, then the end is reported.
    while (NextText(s.bridge)[0] != '<') {
    }
    EXPECT_EQ(NextText(s.bridge), "<the bridge has ended>");
    quorlane_destroy(s.bridge);
}

TEST(CApi, StartFailuresSayWhy) {
    quorlane_options options = Defaults();
    quorlane_bridge* bridge = reinterpret_cast<quorlane_bridge*>(1);
    char message[256];
    options.executable = "/nonexistent/Quorlane";
    EXPECT_EQ(quorlane_start(&options, &bridge, message, sizeof message), QUORLANE_START_FAILED);
    EXPECT_EQ(bridge, nullptr);
    EXPECT_NE(std::string(message).find("/nonexistent/Quorlane"), std::string::npos) << message;
    // A program that ends without greeting.
    options.executable = "/bin/false";
    EXPECT_EQ(quorlane_start(&options, &bridge, message, sizeof message), QUORLANE_NO_GREETING);
    EXPECT_NE(std::string(message).find("exit code 1"), std::string::npos) << message;
    EXPECT_EQ(quorlane_start(nullptr, &bridge, message, sizeof message), QUORLANE_INVALID_ARGUMENT);
    EXPECT_STREQ(quorlane_result_text(QUORLANE_TIMEOUT), "timed out");
}

TEST(CApi, ConsumerThatNeverReceivesHoldsTheBridgeUpNeitherGrowsMemory) {
    quorlane_options options = Defaults();
    options.frame_queue_limit = 3;
    options.text_queue_limit = 8;
    Started s = Start(options);
    ASSERT_NE(s.bridge, nullptr);
    EnterDemoRoomAndView(s.bridge);
    // From now on nothing is received while three channels run.
    quorlane_stats stats{};
    const std::uint64_t frameBytes = 640 * 360 * 3 / 2;
    do {
        ASSERT_EQ(quorlane_get_stats(s.bridge, &stats), QUORLANE_OK);
        ASSERT_LE(stats.queued_bytes, 3 * 3 * frameBytes + 8 * 4096);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));  // a look now and then
    } while (stats.frames_received[1] < 60 || stats.frames_received[3] < 60);
    for (int c = 1; c <= 3; ++c)
        EXPECT_GE(stats.frames_dropped[c], stats.frames_received[c] - 3);
    // The bridge was never held up: a command still gets its reply, and the frames taken now
    // are the newest (numbers past the dropped ones).
    ASSERT_EQ(quorlane_send(s.bridge, R"({"type":"OpenMic"})", static_cast<size_t>(-1)),
              QUORLANE_OK);
    EXPECT_TRUE(AwaitText(s.bridge, R"({ "code": 1, "type": "OpenMic" })"));
    quorlane_frame* frame;
    ASSERT_EQ(quorlane_receive_frame(s.bridge, 2, kWaitMs, &frame), QUORLANE_OK);
    EXPECT_GE(frame->number, 50u);
    quorlane_frame_release(frame);
    quorlane_destroy(s.bridge);
}

TEST(CApi, BridgeThatDiesEndsEveryWaitingCallWithTheExit) {
    Started s = Start(Defaults());
    ASSERT_NE(s.bridge, nullptr);
    ASSERT_EQ(NextText(s.bridge), R"({ "code": 0, "type": "DaemonStart" })");
    std::atomic<int> ready{0};
    std::vector<int> results(3, 99);
    std::vector<std::thread> waiters;
    waiters.emplace_back([&] {
        quorlane_text* t;
        ++ready;
        results[0] = quorlane_receive_text(s.bridge, -1, &t);
    });
    for (int i = 1; i <= 2; ++i) {
        waiters.emplace_back([&, i] {
            quorlane_frame* f;
            ++ready;
            results[i] = quorlane_receive_frame(s.bridge, i == 1 ? 1 : -1, -1, &f);
        });
    }
    while (ready < 3)
        std::this_thread::yield();
    ASSERT_EQ(::kill(quorlane_pid(s.bridge), SIGKILL), 0);
    for (std::thread& t : waiters)
        t.join();
    for (int r : results)
        EXPECT_EQ(r, QUORLANE_ENDED);
    quorlane_exit exit;
    ASSERT_EQ(quorlane_exit_info(s.bridge, &exit), QUORLANE_OK);
    EXPECT_TRUE(exit.signaled && exit.signal == SIGKILL && !exit.closed) << exit.description;
    EXPECT_EQ(quorlane_send(s.bridge, kLogin, static_cast<size_t>(-1)), QUORLANE_ENDED);
    EXPECT_EQ(quorlane_close(s.bridge, 100), QUORLANE_OK);
    quorlane_destroy(s.bridge);
}
