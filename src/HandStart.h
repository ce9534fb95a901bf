// A bridge started by hand rather than by its host: `Quorlane --version`, or a start from a
// terminal or by a double-click, without the host's descriptors, which it explains and refuses.
#pragma once

namespace quorlane {

constexpr int kExitStartedWithoutHost = 2;

// Looks at the command line and the inherited descriptors before anything else is done (no
// descriptor opened, no log started). Returns the exit code to end with at once, after writing
// why, or -1 to start as usual. `versionLine` is what `--version` prints.
int ExitCodeBeforeStart(int argc, const char* const* argv, const char* versionLine);

}  // namespace quorlane
