#include "ChannelMap.h"

namespace quorlane {

int ChannelMap::Lookup(const char* streamID) const {
    if (streamID == nullptr)
        return 0;
    const std::string key(streamID);
    platform::MutexLock hold(lock_);
    const auto found = channels_.find(key);
    return found != channels_.end() ? found->second : 0;
}

void ChannelMap::Replace(const std::string& streamID, int channel) {
    platform::MutexLock hold(lock_);
    channels_[streamID] = channel;
}

std::vector<std::string> ChannelMap::StreamIDs() const {
    std::vector<std::string> ids;
    platform::MutexLock hold(lock_);
    for (const auto& entry : channels_)
        ids.push_back(entry.first);
    return ids;
}

}  // namespace quorlane
