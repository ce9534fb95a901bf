// The demo room: what the simulated SDK does on its own when no control channel is open. A
// thread of its own answers logins (three remote streams, demo-1 to demo-3), reports play and
// publish states, confirms room messages, reports quality every few seconds and draws the
// frames of the played streams and the preview, 15 per second.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/CondVar.h"
#include "platform/Mutex.h"
#include "platform/ThreadAnnotations.h"
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
        platform::Mutex mutex;
        platform::CondVar wake{&mutex};
        bool stop GUARDED_BY(mutex) = false;
        bool externalRender GUARDED_BY(mutex) = false;
        std::vector<Task> tasks GUARDED_BY(mutex);
        std::map<std::string, Video> playing GUARDED_BY(mutex);
        std::string publishing GUARDED_BY(mutex);
        bool preview GUARDED_BY(mutex) = false;
        bool camera GUARDED_BY(mutex) = true;
        int previewWidth GUARDED_BY(mutex) = kWidth;
        int previewHeight GUARDED_BY(mutex) = kHeight;
        Video previewVideo GUARDED_BY(mutex);
        Clock::time_point nextQuality GUARDED_BY(mutex) =
            Clock::now() + std::chrono::seconds(kQualitySeconds);
    };

    static void Run(std::shared_ptr<State> state, CallbackRegistry& registry);
    static void Post(State& state, std::chrono::milliseconds delay,
                     std::function<void(CallbackRegistry&)> run) REQUIRES(state.mutex);

    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace sim
