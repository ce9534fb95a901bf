// Entry point of the bridge process: no window, and no argument but `--version`. It runs until
// it is terminated, its host has gone, or (POSIX) SIGTERM or SIGINT asks it to end in order.
#include "Quorlane.h"

#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "json/Json.h"
#include "logging/Qlog.h"
#include "platform/CrashHandler.h"
#include "platform/Descriptors.h"
#include "platform/HostEnd.h"
#include "platform/Process.h"
#include "src/CrashReport.h"
#include "src/Dispatch.h"
#include "src/HandStart.h"
#include "src/HostChannels.h"
#include "src/Manager.h"
#include "src/OrderlyEnd.h"

using qjson::Json;

namespace quorlane {
namespace {

const char kDaemonStartCommand[] = "{\"type\": \"DaemonStart\"}";

// Starts `procedure` on a new thread that the Manager keeps. False when the thread cannot be
// created.
bool StartWorker(void (*procedure)(Manager*), Manager* manager, Manager::Worker which) {
    try {
        manager->KeepWorker(which, std::thread(procedure, manager));
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

// Parses and dispatches one command text; a malformed command is logged and dropped.
void RunCommand(Manager* manager, const std::string& text) {
    try {
        Json command(text.c_str());
        Dispatch(command, manager);
    } catch (const std::exception& e) {
        QLOG(qlog::LOG_ERROR, "command dropped, e=%s, text=[%s]\r\n", e.what(), text.c_str());
    }
}

}  // namespace

std::int32_t StartUp() {
    if (CurrentManager.load() == nullptr) {
        CurrentManager.store(new Manager());
        qlog::ILogManager* log = qlog::GetLogManager();
        log->Config("config.cfg");
        InstallCrashReports(QUORLANE_VERSION, QUORLANE_SDK_BUILD);
        log->Start();
        QLOG(qlog::LOG_ALARM, "Quorlane version %s, SDK %s\r\n", QUORLANE_VERSION,
             QUORLANE_SDK_BUILD);
    }
    Manager* manager = CurrentManager.load();

    if (!StartWorker(uimsg, manager, Manager::Worker::kUimsg)) {
        QLOG(qlog::LOG_ERROR, "uimsg thread create failed\r\n");
        return -1;
    }
    if (!StartWorker(callbkmsg, manager, Manager::Worker::kCallbkmsg)) {
        QLOG(qlog::LOG_ERROR, "callbkmsg thread create failed\r\n");
        return -1;
    }
    if (!StartWorker(msgloop, manager, Manager::Worker::kMsgloop)) {
        QLOG(qlog::LOG_ERROR, "msgloop thread create failed\r\n");
        return -1;
    }
    return 0;
}

void uimsg(Manager* manager) {
    NameThisThread("uimsg (the command worker)");
    for (;;) {
        AwaitCommands(manager);
        // The queue's lock is held only to take the queued commands, never while they run: the
        // command reader must still see its input end while an SDK call hangs. Once the bridge
        // is ending, commands still queued would only switch on what the leaving then switches
        // off again.
        manager->CommandQueue().DrainReleasingLock([manager](const std::string& text) {
            if (!manager->LeavingRequested())
                RunCommand(manager, text);
        });
        if (manager->LeavingRequested()) {
            manager->Leave();
            platform::IdleForever();
        }
    }
}

void callbkmsg(Manager* manager) {
    NameThisThread("callbkmsg (the event writer)");
    for (;;) {
        manager->EventQueue().Wait();
        DrainEvents(manager);
    }
}

void msgloop(Manager* manager) {
    NameThisThread("msgloop (the command reader)");
    PostCommand(manager, kDaemonStartCommand);
    const std::unique_ptr<char[]> storage(new char[kReadBufferSize]);
    char* const buffer = storage.get();
    for (;;) {
        std::memset(buffer, 0, kReadBufferSize);
        const int count = ReadHost(buffer);
        if (count < 1) {
            // End of input stays for good and a read error is not expected to clear: report
            // it once and stop reading; the rest of the process keeps running. A host that has
            // ended its commands may still read: only once nobody reads replies either has it
            // gone.
            QLOG(qlog::LOG_ERROR, "RecvMessage return err. code: %d\r\n", count);
            AwaitHostGone(manager);
        }
        QLOG(qlog::LOG_DEBUG, "RecvMessage: [%s]\r\n", buffer);
        PostCommand(manager, buffer, static_cast<std::size_t>(count));
    }
}

}  // namespace quorlane

int main(int argc, char** argv) {
    platform::RunDumpWriterIfAsked();
    // `--version`, or no host at all: ends before anything is opened or logged.
    const int endNow = quorlane::ExitCodeBeforeStart(
        argc, argv, "Quorlane version " QUORLANE_VERSION ", SDK " QUORLANE_SDK_BUILD);
    if (endNow >= 0)
        return endNow;
    // A host that closes a pipe must make writes fail, not end the process; and no file opened
    // later may take one of the host's descriptor numbers.
    platform::IgnoreBrokenPipe();
    for (int fd = 3; fd <= 9; ++fd) {
        platform::ReserveDescriptor(fd);
    }
    // Caught before any thread starts, so that a request during start-up waits for the Manager.
    const bool requestsCaught = platform::CatchTerminationRequests();
    quorlane::StartUp();
    if (requestsCaught) {
        quorlane::EndInOrder(quorlane::CurrentManager.load(),
                             quorlane::CauseOf(platform::WaitForTerminationRequest()));
    }
    platform::IdleForever();
}
