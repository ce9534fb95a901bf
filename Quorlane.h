// Start-up and the three threads of the bridge: msgloop reads commands from the host, uimsg
// executes them one at a time, callbkmsg writes queued event texts to the host.
#pragma once

#include <cstdint>

namespace quorlane {

class Manager;

// Creates the Manager (once), configures and starts logging, and starts uimsg, callbkmsg and
// msgloop in this order. Returns 0 when all three run, -1 when creating one of them failed.
std::int32_t StartUp();

// Thread procedures; none returns.
void uimsg(Manager* manager);
void callbkmsg(Manager* manager);
void msgloop(Manager* manager);

}  // namespace quorlane
