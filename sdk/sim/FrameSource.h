// A periodic frame source of scripted mode: its own thread hands frames of one recipe to the
// render callback, `fps` per second, or as fast as the callback returns when `fps` is 0.
// While no render callback is registered it delivers nothing and waits cheaply.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "platform/CondVar.h"
#include "platform/Mutex.h"
#include "sdk/sim/CallbackRegistry.h"
#include "sdk/sim/FrameRecipe.h"

namespace sim {

class FrameSource {
  public:
    FrameSource(CallbackRegistry& registry, FrameRecipe recipe, double fps);
    // Stops the thread and waits for it (unless called from the source's own callback).
    ~FrameSource();
    FrameSource(const FrameSource&) = delete;
    FrameSource& operator=(const FrameSource&) = delete;

  private:
    struct Shared {
        platform::Mutex mutex;
        platform::CondVar wake{&mutex};
        std::atomic<bool> stop{false};  // also read between frames without the lock
    };
    static void Run(std::shared_ptr<Shared> shared, CallbackRegistry& registry, FrameRecipe recipe,
                    double fps);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace sim
