// The bridge's own end, once its host has gone (descriptor 3 at its end and nobody left reading
// descriptor 4) or asks it to end (SIGTERM, SIGINT): everything the SDK has switched on
// is switched off, the logs are written out, and the process exits within a bound even when an
// SDK call never returns.
//
//   AwaitHostGone(manager);                                  // the command reader, at its end
//   EndInOrder(manager, CauseOf(platform::WaitForTerminationRequest()));  // the entry thread
#pragma once

#include "platform/HostEnd.h"

namespace quorlane {

class Manager;

enum class EndCause { kHostGone, kTerminate, kInterrupt };

EndCause CauseOf(platform::TerminationRequest request);

// The leaving may take this long before the process ends without it, and writing out the logs
// this long after that; with the time Windows needs to notice a broken pipe, the process is
// gone well within two seconds of its host.
const int kLeaveBoundMilliseconds = 1300;
const int kLogFlushBoundMilliseconds = 300;

// Ends the process in order, on the calling thread: logs the cause, has the command worker
// switch off what is on (Manager::Leave), waits for that at most kLeaveBoundMilliseconds,
// writes out the logs (at most kLogFlushBoundMilliseconds) and exits with code 0, or 1 when
// the leaving did not finish in time. Only the first call does this; a later one (the other
// cause) blocks for good.
[[noreturn]] void EndInOrder(Manager* manager, EndCause cause);

// Stops the logging service, which writes out every queued line and closes its files; waits at
// most `milliseconds` for it, so that a write that never returns cannot hold the end. True
// when it finished.
bool WriteOutLogs(int milliseconds);

// Waits, without using the processor, until nobody reads descriptor 4, then ends in order.
// Blocks for good where that cannot be seen (descriptor 4 is not a pipe or socket). For
// the command reader, once descriptor 3 has reached its end (or failed for good).
[[noreturn]] void AwaitHostGone(Manager* manager);

}  // namespace quorlane
