#include "src/HandStart.h"

#include <cstdio>
#include <cstring>

#include "platform/Descriptors.h"
#include "platform/UserMessage.h"

namespace quorlane {

namespace {

const char kStartedWithoutHost[] =
    "Quorlane: started without a host, so it ends (exit code 2). Quorlane is started by a host "
    "application, with descriptors 3 to 9 open (3 commands, 4 replies and events, 5 to 9 "
    "frames): see \"The protocol\" in README.md (README.txt of the Windows archive).\n";

}  // namespace

int ExitCodeBeforeStart(int argc, const char* const* argv, const char* versionLine) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", versionLine);
            std::fflush(stdout);
            return 0;
        }
    }
    // A host that opened the command and reply pipes but not every frame pipe is still a host.
    if (!platform::IsDescriptorOpen(3) && !platform::IsDescriptorOpen(4)) {
        platform::TellUser(kStartedWithoutHost);
        return kExitStartedWithoutHost;
    }
    return -1;
}

}  // namespace quorlane
