// Words for the person who started a process by hand, rather than for a log.
#pragma once

namespace platform {

// Writes `text` to standard error, and on Windows also to the console window the process has
// when standard error is not that console (a redirected or missing standard error).
void TellUser(const char* text);

}  // namespace platform
