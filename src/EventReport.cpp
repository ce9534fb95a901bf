// Posting composed event texts, guarded so that no exception reaches the SDK.
#include <exception>

#include "EventText.h"
#include "HostChannels.h"
#include "Manager.h"
#include "logging/Qlog.h"

namespace quorlane::eventtext {

void Report(const char* notification, const std::function<std::string()>& compose) {
    try {
        // Without a Manager the text would be dropped by PostEvent: skip composing it.
        if (CurrentManager.load() == nullptr)
            return;
        const std::string text = compose();
        PostEvent(text.c_str());
    } catch (const std::exception& e) {
        QLOG(qlog::LOG_ERROR, "%s, e=%s\r\n", notification, e.what());
    }
}

}  // namespace quorlane::eventtext
