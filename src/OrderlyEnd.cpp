#include "OrderlyEnd.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <system_error>
#include <thread>

#include "HostChannels.h"
#include "Manager.h"
#include "logging/Qlog.h"
#include "platform/Process.h"
#include "platform/Sync.h"

namespace quorlane {

namespace {

const char* CauseText(EndCause cause) {
    switch (cause) {
        case EndCause::kHostGone:
            return "descriptor 3 ended, no reader on descriptor 4";
        case EndCause::kTerminate:
            return "SIGTERM";
        case EndCause::kInterrupt:
            return "SIGINT";
    }
    return "?";
}

}  // namespace

EndCause CauseOf(platform::TerminationRequest request) {
    return request == platform::TerminationRequest::kInterrupt ? EndCause::kInterrupt
                                                               : EndCause::kTerminate;
}

void EndInOrder(Manager* manager, EndCause cause) {
    static std::atomic<bool> begun{false};
    if (begun.exchange(true)) {
        platform::IdleForever();
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    QLOG(qlog::LOG_ALARM, "host gone (%s): switching everything off and ending\r\n",
         CauseText(cause));
    manager->RequestLeaving();
    const bool left = manager->WaitUntilLeft(kLeaveBoundMilliseconds);
    const int code = left ? 0 : 1;
    if (left) {
        const long long ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        QLOG(qlog::LOG_ALARM, "everything switched off in %lld ms; exit code %d\r\n", ms, code);
    } else {
        QLOG(qlog::LOG_ERROR,
             "switching off not finished after %d ms: an SDK call has not returned; exit code "
             "%d\r\n",
             kLeaveBoundMilliseconds, code);
    }
    WriteOutLogs(kLogFlushBoundMilliseconds);
    platform::ExitNow(code);
}

bool WriteOutLogs(int milliseconds) {
    const auto stopped = std::make_shared<platform::AutoResetEvent>();
    try {
        std::thread([stopped] {
            qlog::GetLogManager()->Stop();
            stopped->Signal();
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return stopped->WaitFor(milliseconds);
}

void AwaitHostGone(Manager* manager) {
    if (platform::WaitUntilUnread(kReplyDescriptor)) {
        EndInOrder(manager, EndCause::kHostGone);
    }
    platform::IdleForever();
}

}  // namespace quorlane
