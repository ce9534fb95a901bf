// The SDK call the bridge is making, marked in the one place every wrapper passes through, and
// the watchdog that ends the bridge when such a call does not return within its limit.
//
//   { SdkCallInFlight call("LoginRoom"); LIVEROOM::LoginRoom(...); }   // in a wrapper
//   StartSdkCallWatchdog(SdkCallLimitFromEnvironment(), EndForHungCall);
#pragma once

#include <cstdint>

namespace quorlane {

// Marks `function` (a text that lives as long as the process) in flight from construction, or
// from Next, until destruction. One thread makes SDK calls at a time.
class SdkCallInFlight {
  public:
    explicit SdkCallInFlight(const char* function) { Next(function); }
    ~SdkCallInFlight();
    SdkCallInFlight(const SdkCallInFlight&) = delete;
    SdkCallInFlight& operator=(const SdkCallInFlight&) = delete;

    // The wrapper's next SDK call: in flight from now.
    void Next(const char* function);
};

struct SdkCall {
    const char* function = nullptr;     // null: none in flight
    std::int64_t startNanoseconds = 0;  // platform::MonotonicNanoseconds
};

// The call in flight now. Async-signal-safe.
SdkCall CurrentSdkCall();

// The limit from QUORLANE_SDK_CALL_LIMIT_MS: 10000 by default, 0 for none.
int SdkCallLimitFromEnvironment();

const int kDefaultSdkCallLimitMilliseconds = 10000;

// Starts a thread that calls `onHung(function, limit)` once a call has been in flight for
// `limitMilliseconds`; nothing for a limit of 0 or below. It sleeps while nothing is in flight
// (waking every half limit) and otherwise until the call in flight reaches its limit.
void StartSdkCallWatchdog(int limitMilliseconds,
                          void (*onHung)(const char* function, int limitMilliseconds));

}  // namespace quorlane
