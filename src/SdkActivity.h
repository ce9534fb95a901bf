// What the SDK has switched on at the bridge's request, as far as its results tell: a start
// that succeeded and no stop that succeeded since. An orderly end switches off exactly this.
#pragma once

#include <set>
#include <string>

namespace quorlane {

struct SdkActivity {
    bool setUp = false;  // the SDK set-up ran (Login) and no Logout since
    bool inRoom = false;
    bool publishing = false;
    bool previewing = false;
    bool camera = false;
    bool mic = false;
    std::set<std::string> playing;  // stream IDs, in the byte order StopAllViews uses
};

}  // namespace quorlane
