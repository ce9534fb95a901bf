#include "logging/ThreadHelper.h"

#include <cstdio>
#include <system_error>

namespace qlog {

ThreadHelper::~ThreadHelper() {
    JoinThread();
}

bool ThreadHelper::StartThread() {
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { Run(); });
            return true;
        } catch (const std::system_error&) {
        }
    }
    std::printf("qlog: create qlog thread error! \r\n\n");
    std::fflush(stdout);
    return false;
}

void ThreadHelper::JoinThread() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

}  // namespace qlog
