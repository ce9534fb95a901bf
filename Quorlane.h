// Start-up and the three threads of the bridge. Their code names and what comments call them:
//   msgloop    the command reader: reads descriptor 3 and queues the commands;
//   uimsg      the command worker: runs the queued commands one at a time, in their order,
//              and with them every SDK call the bridge makes;
//   callbkmsg  the event writer: writes queued event texts and replies to descriptor 4.
#pragma once

#include <cstdint>

namespace quorlane {

class Manager;

// Creates the Manager (once), configures and starts logging, and starts the command worker, the
// event writer and the command reader in this order. Returns 0 when all three run, -1 when
// creating one of them failed.
std::int32_t StartUp();

// Thread procedures; none returns.
void uimsg(Manager* manager);
void callbkmsg(Manager* manager);
void msgloop(Manager* manager);

}  // namespace quorlane
