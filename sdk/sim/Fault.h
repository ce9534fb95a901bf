// A fault as a vendor SDK with a bug makes one: a write through a null pointer.
#pragma once

namespace sim {

// Writes through a null pointer; the process ends with the system's fault (SIGSEGV, or an access
// violation) unless a handler ends it first.
[[noreturn]] void WriteThroughNull();

}  // namespace sim
