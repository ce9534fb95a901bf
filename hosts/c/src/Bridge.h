// One running bridge behind the C handle: the spawn, a reader thread per pipe feeding bounded
// queues, a watcher that reaps the child and carries out the orderly end, and optional delivery
// threads that hand queued items to the host's callbacks.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hosts/c/include/quorlane.h"
#include "hosts/c/src/BufferPool.h"
#include "platform/CondVar.h"
#include "platform/Mutex.h"
#include "platform/Spawn.h"

namespace libquorlane {

// A text handed to the host; `pub` is what it sees (first member, so the two convert).
struct TextItem {
    quorlane_text pub{};
    std::string bytes;
};

struct FrameItem {
    FrameItem() = default;
    FrameItem(const FrameItem&) = delete;
    FrameItem& operator=(const FrameItem&) = delete;
    ~FrameItem() {
        if (pool != nullptr && planes != nullptr)
            pool->Give(std::move(planes), size);
    }

    quorlane_frame pub{};
    std::unique_ptr<std::uint8_t[]> planes;
    std::size_t size = 0;
    std::uint64_t arrival = 0;  // order across channels
    std::shared_ptr<BufferPool> pool;
};

using TextPtr = std::unique_ptr<TextItem>;
using FramePtr = std::unique_ptr<FrameItem>;

constexpr int kDefaultGraceMs = 5000;

class Bridge {
  public:
    Bridge();
    ~Bridge();
    Bridge(const Bridge&) = delete;
    Bridge& operator=(const Bridge&) = delete;

    // A quorlane_result; `message` says why on failure.
    int Start(const quorlane_options& options, std::string* message);
    int Send(const char* data, std::size_t size, bool control);
    int ReceiveText(int timeoutMs, TextPtr* text);
    int ReceiveFrame(int channel, int timeoutMs, FramePtr* frame);
    int WaitAny(int timeoutMs);
    int Close(int graceMs);
    int ExitInfo(quorlane_exit* exit);
    int Pid() const { return pid_; }
    void Stats(quorlane_stats* stats);
    // Empty while the channel is whole.
    std::string ChannelError(int channel);

  private:
    void ReadTexts();
    void ReadFrames(int channel);
    void ReadControl();
    void Watch();
    platform::ExitStatus EndAfterClose(int graceMs);
    void DeliverTexts();
    void DeliverFrames();
    void PushText(std::string bytes, int source);
    void PushFrame(int channel, FramePtr frame);
    void Tear(int channel, std::string why);
    bool InDeliveryThread() const;
    // Waits for a change until `deadline` (timeoutMs < 0: no limit); false once it has passed.
    bool WaitForChange(int timeoutMs, std::chrono::steady_clock::time_point deadline)
        REQUIRES(mutex_);
    void JoinAll();

    quorlane_options options_{};
    int pid_ = -1;
    platform::ChildProcess child_;  // the watcher's alone once it runs

    // Host ends of the pipes. The readers own theirs; the writers are under sendMutex_.
    platform::Mutex sendMutex_;
    platform::UniqueFd commands_ GUARDED_BY(sendMutex_);
    platform::UniqueFd controlIn_ GUARDED_BY(sendMutex_);
    platform::UniqueFd replies_, controlOut_, frames_[QUORLANE_CHANNELS];
    platform::Pipe wake_;  // a byte here stops the reply reader

    platform::Mutex mutex_;
    platform::CondVar changed_{&mutex_};
    std::deque<TextPtr> texts_ GUARDED_BY(mutex_);
    std::deque<FramePtr> frameQueues_[QUORLANE_CHANNELS] GUARDED_BY(mutex_);
    quorlane_stats stats_ GUARDED_BY(mutex_){};
    std::string tornWhy_[QUORLANE_CHANNELS] GUARDED_BY(mutex_);
    std::uint64_t arrivals_ GUARDED_BY(mutex_) = 0;
    bool greeted_ GUARDED_BY(mutex_) = false;
    bool textsDone_ GUARDED_BY(mutex_) = false;
    bool closeRequested_ GUARDED_BY(mutex_) = false;
    int graceMs_ GUARDED_BY(mutex_) = kDefaultGraceMs;
    bool ended_ GUARDED_BY(mutex_) = false;
    quorlane_exit exit_ GUARDED_BY(mutex_){};
    std::atomic<bool> closing_{false};
    std::atomic<bool> gone_{false};  // the bridge has ended (sends stop waiting)

    platform::Mutex closeMutex_;        // one close at a time; threads below joined under it
    std::vector<std::thread> readers_;  // joined by the watcher
    std::thread watcher_, textDelivery_, frameDelivery_;
};

}  // namespace libquorlane
