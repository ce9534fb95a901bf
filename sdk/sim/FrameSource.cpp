#include "sdk/sim/FrameSource.h"

#include <chrono>

namespace sim {
namespace {

// How often a source without a render callback looks again.
constexpr std::chrono::milliseconds kIdlePoll(5);

}  // namespace

FrameSource::FrameSource(CallbackRegistry& registry, FrameRecipe recipe, double fps)
    : shared_(std::make_shared<Shared>()) {
    thread_ = std::thread(&FrameSource::Run, shared_, std::ref(registry), std::move(recipe), fps);
}

FrameSource::~FrameSource() {
    {
        platform::MutexLock hold(shared_->mutex);
        shared_->stop = true;
    }
    shared_->wake.SignalAll();
    if (std::this_thread::get_id() == thread_.get_id())
        thread_.detach();  // the thread holds its own share of the state and ends by itself
    else
        thread_.join();
}

void FrameSource::Run(std::shared_ptr<Shared> shared, CallbackRegistry& registry,
                      FrameRecipe recipe, double fps) {
    using Clock = std::chrono::steady_clock;
    FramePixels pixels(recipe);
    std::chrono::nanoseconds period(0);
    if (fps > 0)
        period = std::chrono::nanoseconds(static_cast<long long>(1e9 / fps));
    Clock::time_point due = Clock::now();
    std::uint64_t index = 0;
    while (!shared->stop.load(std::memory_order_relaxed)) {
        if (period.count() > 0) {
            platform::MutexLock hold(shared->mutex);
            while (!shared->stop.load() && shared->wake.WaitUntil(due)) {
            }
            if (shared->stop.load())
                break;
            due += period;
            Clock::time_point now = Clock::now();
            if (due < now - period)
                due = now;  // fell far behind (a slow callback): do not burst to catch up
        }
        if (DeliverFrame(registry, recipe, pixels, index)) {
            ++index;
        } else if (period.count() == 0) {
            const Clock::time_point idleEnd = Clock::now() + kIdlePoll;
            platform::MutexLock hold(shared->mutex);
            while (!shared->stop.load() && shared->wake.WaitUntil(idleEnd)) {
            }
        }
    }
}

}  // namespace sim
