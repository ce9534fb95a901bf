#include "sdk/sim/LineWriter.h"

#include "platform/Descriptors.h"

namespace sim {

void LineWriter::WriteLine(const std::string& line) {
    std::string text = line;
    text.push_back('\n');
    platform::MutexLock hold(mutex_);
    if (failed_)
        return;
    if (platform::WriteAll(fd_, text.data(), text.size()) < 0)
        failed_ = true;
}

}  // namespace sim
