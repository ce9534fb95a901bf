// Pacing for loops that watch for something without sleeping, before a thread goes to sleep.
//
//     SpinPacer pacer(std::chrono::microseconds(50));
//     do {
//         if (Ready()) return true;
//     } while (pacer.Next());
//     ... sleep ...
#pragma once

#include <chrono>

namespace platform {

// Each step lets other threads that are ready on this processor run first, which may be the
// thread the loop waits for. The loop ends when its time is up, or when a step lost the processor
// for long: the processor is busy with other work then, and a sleeping thread is woken sooner
// than a spinning one gets its turn back. The calling thread then does not spin for a while,
// twice as long each time it happens again, until it has not happened for a long time.
class SpinPacer {
  public:
    using Clock = std::chrono::steady_clock;

    // A step that gives up the processor for longer than this ends the loop.
    static constexpr std::chrono::microseconds kLostProcessor{500};
    // The first pause in spinning after such a step, and the longest one.
    static constexpr std::chrono::milliseconds kShortestQuiet{1};
    static constexpr std::chrono::milliseconds kLongestQuiet{1000};
    // A step that loses the processor this long after the last one starts again from the
    // shortest quiet time.
    static constexpr std::chrono::milliseconds kForgetLoss{2 * kLongestQuiet};

    // What one thread's loops remember of each other.
    struct History {
        Clock::time_point quietUntil{};
        Clock::duration nextQuiet = kShortestQuiet;
        Clock::time_point lastLoss{};
    };

    explicit SpinPacer(std::chrono::microseconds spin);
    SpinPacer(const SpinPacer&) = delete;
    SpinPacer& operator=(const SpinPacer&) = delete;

    // Pauses once; false when the loop should end instead.
    bool Next();

    // True while the calling thread's loops end at once, after a step lost the processor.
    static bool Quiet();

    // The decision after a pause that ran from `before` to `after`: false when the time is up
    // or the pause lost the processor for long, which `history` records.
    static bool Continue(Clock::time_point before, Clock::time_point after,
                         Clock::time_point deadline, History& history);

  private:
    Clock::time_point deadline_;
    bool quiet_;
};

}  // namespace platform
