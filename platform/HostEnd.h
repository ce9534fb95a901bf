// Noticing that the host has gone or asks the process to end: whether anyone still reads a
// descriptor this process writes, and termination requests (SIGTERM, SIGINT) turned into a wait.
//
//   if (platform::CatchTerminationRequests())
//       cause = platform::WaitForTerminationRequest();  // on a thread that has nothing else to do
//   if (platform::WaitUntilUnread(4)) ...               // the host has closed its read end
#pragma once

namespace platform {

// How often the Windows build asks whether a pipe still has a reader: that system has no way
// to wait for it.
constexpr int kUnreadProbeMilliseconds = 150;

// Blocks until nobody reads `fd` any more (the read ends of its pipe or the peer of its socket
// are all closed) and returns true; returns false at once when `fd` is not a pipe or socket (a
// file, the null device, a terminal), where a reader cannot be seen to go. Writes no data.
// POSIX: one poll for an error or hang-up, without a time limit. Windows: a zero-length write
// every kUnreadProbeMilliseconds, which fails once the pipe is broken.
bool WaitUntilUnread(int fd);

enum class TerminationRequest { kTerminate, kInterrupt };

// From now on SIGTERM and SIGINT no longer end the process but wake WaitForTerminationRequest.
// False where the system has no such requests (Windows: a host ends a child with
// TerminateProcess, which nothing can catch) or they cannot be caught.
bool CatchTerminationRequests();

// Blocks until a request caught by CatchTerminationRequests arrives, and tells which one. Only
// after CatchTerminationRequests returned true; otherwise it never returns.
TerminationRequest WaitForTerminationRequest();

}  // namespace platform
