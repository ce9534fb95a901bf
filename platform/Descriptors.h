// Reading and writing inherited pipe descriptors by number.
// All calls are one system call each unless named otherwise; EINTR is retried.
#pragma once

#include <chrono>
#include <cstddef>

namespace platform {

// One read of at most `size` bytes. Returns the count, 0 at end of input, -1 on error.
int ReadSome(int fd, void* buffer, std::size_t size);

// Checks `fd` without sleeping, again and again for up to `spin` (paced by SpinPacer), until a
// read would not block (input, end of input or an error). True when it would not.
bool SpinUntilReadable(int fd, std::chrono::microseconds spin);

// One write call of up to `size` bytes (on Windows at most 1 MiB, which Wine carries through a
// pipe faster than larger writes). Returns the count written or -1.
int WriteSome(int fd, const void* data, std::size_t size);

// Writes all bytes, continuing short writes. Returns `size`, or -1 once a write fails.
int WriteAll(int fd, const void* data, std::size_t size);

// True when `fd` names an open descriptor.
bool IsDescriptorOpen(int fd);

// Opens the null device on `fd` when that number is not in use, so that no later open can
// take it. Returns false if the number stays free.
bool ReserveDescriptor(int fd);

// Makes writes to a pipe whose reader has gone fail instead of ending the process.
void IgnoreBrokenPipe();

// The same for a library inside someone else's process: only where the host has not chosen
// how broken pipes are handled (SIGPIPE at its default). Windows: nothing to do.
void IgnoreBrokenPipeIfUnset();

// Closes a descriptor (tools and tests); ignores errors.
void CloseDescriptor(int fd);

// Last error of the calling thread as text, for log lines.
const char* LastErrorText();

}  // namespace platform
