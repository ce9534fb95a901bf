// Pointing a descriptor number at another open descriptor, for tests that stand in for a host
// inside one process (for example a pipe on descriptor 5).
#pragma once

namespace platform {

// Makes `target` refer to what `source` refers to, closing what `target` referred to before.
// The new `target` is not close-on-exec. Returns false on failure.
bool DuplicateOnto(int source, int target);

}  // namespace platform
