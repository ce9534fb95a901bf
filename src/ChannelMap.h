// The render channel of every played stream: written by the command worker, read by the
// SDK's render threads, each under the map's own lock.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Mutex.h"
#include "platform/ThreadAnnotations.h"

namespace quorlane {

class ChannelMap {
  public:
    ChannelMap() = default;
    ChannelMap(const ChannelMap&) = delete;
    ChannelMap& operator=(const ChannelMap&) = delete;

    // The channel recorded for `streamID`; 0 for a null or unknown stream ID.
    int Lookup(const char* streamID) const EXCLUDES(lock_);
    // Records (or replaces) the channel of `streamID`.
    void Replace(const std::string& streamID, int channel) EXCLUDES(lock_);
    // Every recorded stream ID, in order.
    std::vector<std::string> StreamIDs() const EXCLUDES(lock_);

  private:
    mutable platform::Mutex lock_;
    std::map<std::string, int> channels_ GUARDED_BY(lock_);
};

}  // namespace quorlane
