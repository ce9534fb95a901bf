#include "SdkCallWatch.h"

#include <atomic>
#include <cstdlib>
#include <system_error>
#include <thread>

#include "CrashReport.h"
#include "platform/Clock.h"
#include "platform/Process.h"

namespace quorlane {

namespace {

// A sequence lock with one writer: odd while a change is under way.
std::atomic<std::uint64_t> sequence{0};
std::atomic<const char*> inFlight{nullptr};
std::atomic<std::int64_t> startedAt{0};

void Publish(const char* function, std::int64_t start) {
    sequence.fetch_add(1, std::memory_order_acq_rel);
    inFlight.store(function, std::memory_order_relaxed);
    startedAt.store(start, std::memory_order_relaxed);
    sequence.fetch_add(1, std::memory_order_release);
}

// The call in flight and the sequence number it was read at.
SdkCall Read(std::uint64_t* at) {
    SdkCall call;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::uint64_t before = sequence.load(std::memory_order_acquire);
        call.function = inFlight.load(std::memory_order_relaxed);
        call.startNanoseconds = startedAt.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (before % 2 == 0 && sequence.load(std::memory_order_relaxed) == before) {
            *at = before;
            return call;
        }
    }
    *at = 1;  // odd: never equal to a settled reading
    return call;
}

void Watch(int limit, void (*onHung)(const char*, int)) {
    NameThisThread("SDK call watchdog");
    const std::int64_t limitNs = static_cast<std::int64_t>(limit) * 1000000;
    for (;;) {
        std::uint64_t at = 0;
        const SdkCall call = Read(&at);
        if (call.function == nullptr) {
            platform::SleepMilliseconds(limit / 2 > 0 ? limit / 2 : 1);
            continue;
        }
        const std::int64_t left =
            call.startNanoseconds + limitNs - platform::MonotonicNanoseconds();
        if (left > 0) {
            platform::SleepMilliseconds(static_cast<int>((left + 999999) / 1000000));
            continue;
        }
        std::uint64_t again = 0;
        const SdkCall still = Read(&again);
        if (again == at && still.function != nullptr) {
            onHung(still.function, limit);
            return;
        }
    }
}

}  // namespace

SdkCallInFlight::~SdkCallInFlight() {
    Publish(nullptr, 0);
}

void SdkCallInFlight::Next(const char* function) {
    Publish(function, platform::MonotonicNanoseconds());
}

SdkCall CurrentSdkCall() {
    std::uint64_t at = 0;
    return Read(&at);
}

int SdkCallLimitFromEnvironment() {
    const char* text = platform::GetEnvironment("QUORLANE_SDK_CALL_LIMIT_MS");
    if (text == nullptr || text[0] == '\0')
        return kDefaultSdkCallLimitMilliseconds;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 0 || value > 24L * 3600 * 1000)
        return kDefaultSdkCallLimitMilliseconds;
    return static_cast<int>(value);
}

void StartSdkCallWatchdog(int limitMilliseconds, void (*onHung)(const char*, int)) {
    if (limitMilliseconds <= 0)
        return;
    try {
        std::thread(Watch, limitMilliseconds, onHung).detach();
    } catch (const std::system_error&) {
    }
}

}  // namespace quorlane
