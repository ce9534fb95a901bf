// The demo room: what the simulated SDK does on its own when no control channel is open. A
// thread of its own answers logins (three remote streams, demo-1 to demo-3), reports play and
// publish states, confirms room messages, reports quality every few seconds and draws the
// frames of the played streams and the preview, 15 per second.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sdk/sim/CallbackRegistry.h"

namespace sim {

class DemoRoom {
  public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 360;
    static constexpr int kFramesPerSecond = 15;
    static constexpr int kQualitySeconds = 3;
    static constexpr int kStreamCount = 3;
    // Play state code of a stream that is not in the room.
    static constexpr int kStreamNotFound = 1;

    // "demo-1" to "demo-3".
    static std::string StreamID(int index);
    // The demo stream addresses of a published stream.
    static std::string RtmpURL(const std::string& streamID);
    static std::string FlvURL(const std::string& streamID);
    static std::string HlsURL(const std::string& streamID);

    explicit DemoRoom(CallbackRegistry& registry);
    // Stops the thread and waits for it (unless called from one of its own notifications).
    ~DemoRoom();
    DemoRoom(const DemoRoom&) = delete;
    DemoRoom& operator=(const DemoRoom&) = delete;

    void SetExternalRender(bool on);
    void Login(const std::string& roomID);
    // Drops pending answers, played streams and publishing.
    void Logout();
    void StartPlaying(const std::string& streamID, bool exists);
    void StopPlaying(const std::string& streamID);
    void StartPublishing(const std::string& streamID);
    void StopPublishing();
    void SetPreview(bool on, int width, int height);
    void SetCamera(bool on);
    void ConfirmMessage(const std::string& roomID, int sequence);

  private:
    using Clock = std::chrono::steady_clock;
    struct Task {
        Clock::time_point due;
        std::function<void(CallbackRegistry&)> run;
    };
    struct Video {
        std::uint64_t frames = 0;
        bool sizeReported = false;
    };
    struct FrameJob {
        bool preview;
        std::string streamID;
        int width, height;
        std::uint64_t index;
        bool reportSize;
    };
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        bool stop = false;
        bool externalRender = false;
        std::vector<Task> tasks;
        std::map<std::string, Video> playing;
        std::string publishing;
        bool preview = false;
        bool camera = true;
        int previewWidth = kWidth;
        int previewHeight = kHeight;
        Video previewVideo;
        Clock::time_point nextQuality;
    };

    static void Run(std::shared_ptr<State> state, CallbackRegistry& registry);
    static void Post(State& state, std::chrono::milliseconds delay,
                     std::function<void(CallbackRegistry&)> run);

    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace sim
