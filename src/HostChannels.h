// The descriptors to the host: commands in on 3, replies and events out on 4, frames of channel
// c out on 5 + c. The two queues between the threads are filled here.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace quorlane {

class Manager;

const int kCommandDescriptor = 3;
const int kReplyDescriptor = 4;
const int kFrameDescriptorBase = 5;
const int kChannelCount = 5;  // render channels 0 to 4, on descriptors 5 to 9
const std::size_t kReadBufferSize = 2048;

// How long the command reader and the command worker keep watching for the next command before
// they sleep. Hosts often send commands back to back, and waking a sleeping thread on an idle
// processor can take longer than this (virtual machines above all); a quiet host costs each of
// the two threads at most this much processor time per command.
const std::chrono::microseconds kCommandBurstSpin{50};

// Watches descriptor 3 for up to kCommandBurstSpin, then reads at most kReadBufferSize - 1 bytes
// from it into `buffer` (which holds at least that many). Returns the count, 0 at end of input,
// -1 on error.
int ReadHost(char* buffer);

// The processor where the command reader watches descriptor 3 at the moment; -1 while it does
// not watch.
int ReaderProcessor();

// The command worker's wait for the command queue's signal: it watches for up to
// kCommandBurstSpin, then sleeps. While it watches it keeps off the reader's processor, because
// two threads that watch for each other on one processor only take turns there.
void AwaitCommands(Manager* manager);

// Writes all of `text` to descriptor 4, continuing short writes; texts from different threads
// never interleave. Returns `length` or -1.
int WriteHost(const char* text, std::size_t length);

// Writes the 12 header bytes to descriptor 5 + channel. Returns 12, or -1 (also for a channel
// outside 0 to 4).
int WriteFrameHeader(int channel, const unsigned char* header12);

// Writes all of `data` to descriptor 5 + channel. Returns `length` or -1.
int WriteFrameData(int channel, const void* data, std::size_t length);

// Cuts `text` into command objects (keeping an incomplete one for the next call), queues them
// under the command queue's lock and signals the queue once, after releasing it.
void PostCommand(Manager* manager, const char* text);
// The same for `length` bytes, which may hold zero bytes.
void PostCommand(Manager* manager, const char* data, std::size_t length);

// Event texts and replies queued for descriptor 4 may take this many bytes; texts posted past
// it (a host that stopped reading) are dropped, counted and logged.
const std::size_t kEventQueueLimit = 64u * 1024 * 1024;

// Queues a copy of an event text for descriptor 4; dropped while CurrentManager is null. Never
// waits for the host: the lock it takes is only ever held to add or take texts.
void PostEvent(const char* text);

// Writes everything queued for descriptor 4, in order, outside the event queue's lock, until the
// queue is empty; then logs how many texts were dropped, if any. Run by the event writer after each
// wake-up.
void DrainEvents(Manager* manager);

// Writes the reply { "code": code, "type": "name" } to descriptor 4 from the calling thread.
void SendResult(int code, const char* name);

// Queues the same reply behind the queued event texts, for SDK threads, which must not wait
// for the host to read.
void PostResult(int code, const char* name);

}  // namespace quorlane
