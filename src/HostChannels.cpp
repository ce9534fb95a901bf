#include "HostChannels.h"

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "Manager.h"
#include "json/Json.h"
#include "logging/Qlog.h"
#include "platform/Descriptors.h"
#include "platform/Mutex.h"
#include "platform/Processor.h"
#include "platform/Sync.h"

using qframer::ObjectFramer;
using qjson::Json;

namespace quorlane {

namespace {

// The processor where the reader watches descriptor 3; -1 while it does not.
std::atomic<int> readerProcessor{-1};

// Replies (any thread) and event texts (the event writer) share descriptor 4. A pipe keeps only
// writes of up to PIPE_BUF bytes whole, and event texts can be longer, so whole texts are written
// one at a time. Taken last: nothing else is locked while it is held. Never destroyed: threads
// outlive main.
platform::Mutex& ReplyWriteLock() {
    static platform::Mutex* const lock = new platform::Mutex;
    return *lock;
}

}  // namespace

int ReadHost(char* buffer) {
    if (!platform::SpinPacer::Quiet()) {
        readerProcessor.store(platform::CurrentProcessor(), std::memory_order_relaxed);
        platform::SpinUntilReadable(kCommandDescriptor, kCommandBurstSpin);
        readerProcessor.store(-1, std::memory_order_relaxed);
    }
    return platform::ReadSome(kCommandDescriptor, buffer, kReadBufferSize - 1);
}

int ReaderProcessor() {
    return readerProcessor.load(std::memory_order_relaxed);
}

void AwaitCommands(Manager* manager) {
    TextQueue& commands = manager->CommandQueue();
    if (!platform::SpinPacer::Quiet()) {
        platform::ProcessorExclusion offReader;
        const int reader = ReaderProcessor();
        if (reader != -1 && reader == platform::CurrentProcessor()) {
            offReader.Avoid(reader);
        }
        if (commands.SpinWait(kCommandBurstSpin)) {
            return;
        }
    }
    commands.Wait();
}

int WriteHost(const char* text, std::size_t length) {
    platform::MutexLock hold(ReplyWriteLock());
    return platform::WriteAll(kReplyDescriptor, text, length);
}

int WriteFrameHeader(int channel, const unsigned char* header12) {
    if (channel < 0 || channel >= kChannelCount) {
        return -1;
    }
    return platform::WriteAll(kFrameDescriptorBase + channel, header12, 12);
}

int WriteFrameData(int channel, const void* data, std::size_t length) {
    if (channel < 0 || channel >= kChannelCount) {
        return -1;
    }
    return platform::WriteAll(kFrameDescriptorBase + channel, data, length);
}

namespace {

void LogSkipped(const ObjectFramer::Skipped& skipped) {
    if (!skipped.outside.empty()) {
        QLOG(qlog::LOG_ERROR, "bytes outside any command skipped: [%s]\r\n",
             skipped.outside.c_str());
    }
    for (const std::string& prefix : skipped.dropped) {
        QLOG(qlog::LOG_ERROR, "command longer than %u bytes dropped, begins [%s]\r\n",
             static_cast<unsigned>(ObjectFramer::kMaxObjectBytes), prefix.c_str());
    }
}

}  // namespace

void PostCommand(Manager* manager, const char* data, std::size_t length) {
    std::vector<std::string> objects;
    ObjectFramer::Skipped skipped;
    manager->FrameCommands(data, length, objects, &skipped);
    // The worker holds the queue's lock only to take the queued commands: a short spin usually
    // finds it free.
    manager->CommandQueue().PushAll(std::move(objects), kCommandBurstSpin);
    LogSkipped(skipped);
}

void PostCommand(Manager* manager, const char* text) {
    PostCommand(manager, text, std::strlen(text));
}

namespace {

void PostEventText(std::string&& text) {
    Manager* manager = CurrentManager.load();
    if (manager == nullptr) {
        return;
    }
    if (manager->EventQueue().Push(std::move(text)) == TextQueue::Pushed::kFirstDropped) {
        QLOG(qlog::LOG_ERROR,
             "event queue full (%u bytes): dropping event texts until the host reads "
             "descriptor 4\r\n",
             static_cast<unsigned>(kEventQueueLimit));
    }
}

std::string ReplyText(int code, const char* name) {
    Json reply("{}");
    reply["type"] = Json(std::string(name != nullptr ? name : ""));
    reply["code"] = Json(static_cast<double>(code));
    return reply.toString();
}

}  // namespace

void PostEvent(const char* text) {
    if (text == nullptr || CurrentManager.load() == nullptr) {
        return;
    }
    PostEventText(std::string(text));
}

void DrainEvents(Manager* manager) {
    const std::uint64_t dropped = manager->EventQueue().DrainReleasingLock(
        [](const std::string& text) { WriteHost(text.data(), text.size()); });
    if (dropped != 0) {
        QLOG(qlog::LOG_ERROR, "%llu event texts dropped: the host did not read descriptor 4\r\n",
             static_cast<unsigned long long>(dropped));
    }
}

void SendResult(int code, const char* name) {
    const std::string text = ReplyText(code, name);
    WriteHost(text.data(), text.size());
}

void PostResult(int code, const char* name) {
    PostEventText(ReplyText(code, name));
}

}  // namespace quorlane
