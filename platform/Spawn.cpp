// The parts of child process handling that are the same on every system.
#include "platform/Spawn.h"

namespace platform {

ExitStatus ChildProcess::KillAndWait() {
    ExitStatus status;
    if (pid_ <= 0)
        return status;
    if (!HasExited(&status)) {
        Kill();
        WaitFor(-1, &status);
    }
    return status;
}

}  // namespace platform
