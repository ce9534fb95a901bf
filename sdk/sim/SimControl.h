// Hooks of the simulated SDK for tests and tools that drive it in the same process.
// Scripted mode normally starts from QUORLANE_SIM_CONTROL=IN,OUT as the process starts.
#pragma once

namespace sim {

// Opens the control channel on descriptors `in` and `out` (scripted mode). Returns false when
// one is already open. The descriptors stay owned by the caller.
bool StartControlChannel(int in, int out);

// Closes the control channel and returns the SDK to a fresh demo-mode state (not initialised,
// nothing registered, no room, no threads). The caller must first close the writing end of
// `in`: this waits for the channel's thread, which ends when its input ends. Not to be called
// from inside a notification.
void StopControlChannel();

}  // namespace sim
