// The one central object: the SDK adapter, the render channel of every played stream, the two
// queues between the threads with their locks and ready events, and the command operations.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "ChannelMap.h"
#include "HostChannels.h"
#include "SdkZegoRoom.h"
#include "TextQueue.h"
#include "framer/ObjectFramer.h"
#include "platform/Sync.h"

namespace quorlane {

class Manager : public SdkZegoRoom {
  public:
    Manager() = default;
    Manager(const Manager&) = delete;
    Manager& operator=(const Manager&) = delete;

    // Command operations; each runs on the command worker while it holds the command queue's
    // lock.
    bool Login(const char* userID, const char* userName, int test);
    bool SetUpSdk(const char* userID, const char* userName, int test);
    bool Logout();
    // A room login the SDK refuses at once is answered at once with kEnterRoomRefused, a code no
    // SDK error code uses; otherwise the SDK's login report answers.
    static constexpr int kEnterRoomRefused = -1;
    bool EnterRoom(int role, const char* roomID, const char* roomName);
    bool ExitRoom();
    void StopAllViews();
    bool PlayStream(const char* streamID, bool start);
    void RequestView(const std::vector<std::string>& streamIDs);
    bool PublishStream(bool start, const char* title, const char* streamID, int flag,
                       const char* params);
    int SendRoomMessage(int type, int category, int priority, const char* content);
    bool OpenCamera();
    bool CloseCamera();
    bool OpenMic();
    bool CloseMic();
    bool OpenSpeaker();
    bool CloseSpeaker();
    bool SetEncodeRect(int width, int height);
    bool SetCapRect(int width, int height);

    // The orderly end, once the host has gone or asked the bridge to end. RequestLeaving (any
    // thread) makes the command worker skip the commands still queued and run Leave, which
    // switches off what is on, in this order and each at most once: publishing and the preview,
    // camera, microphone, the played streams, the room, the SDK itself, with the calls the
    // operations above make and their failure lines, and no replies. WaitUntilLeft waits at most
    // `milliseconds` for it; true when it finished.
    void RequestLeaving();
    bool LeavingRequested() const { return leaving_.load(); }
    void Leave();
    bool WaitUntilLeft(int milliseconds) { return left_.WaitFor(milliseconds); }

    // The queue of command texts for the command worker, the queue of event texts and SDK
    // replies for the event writer, and the render channel of every played stream; each keeps
    // its own lock. The order in which a thread may take locks, outer first:
    //   1. commandQueue_'s lock, held by the command worker while it runs the queued commands;
    //   2. channels_'s lock or eventQueue_'s lock, each held only inside ChannelMap or
    //      TextQueue (the event queue is drained without it);
    //   3. the reply writer's lock (ReplyWriteLock, HostChannels.cpp), held for one write to
    //      descriptor 4.
    // The frame relay's locks (FrameRelay.cpp) stand apart: nothing else is taken while one is
    // held. Any thread may log while it holds a lock: the logging service's locks come last.
    TextQueue& CommandQueue() { return commandQueue_; }
    TextQueue& EventQueue() { return eventQueue_; }
    ChannelMap& Channels() { return channels_; }

    // Cuts bytes read from the host into command objects, keeping an incomplete one for the next
    // call. Only the command reader calls it.
    void FrameCommands(const char* data, std::size_t length, std::vector<std::string>& objects,
                       qframer::ObjectFramer::Skipped* skipped) {
        commandFramer_.Feed(data, length, objects, skipped);
    }

    // The three worker threads, kept for the life of the process once started.
    enum class Worker { kUimsg, kCallbkmsg, kMsgloop };
    void KeepWorker(Worker which, std::thread thread, std::uint32_t threadId);

  private:
    // The camera and microphone switched off with the failure lines of CloseCamera and
    // CloseMic, without their replies.
    bool CameraOff();
    bool MicOff();

    ChannelMap channels_;
    TextQueue eventQueue_{kEventQueueLimit};
    std::uint32_t uimsgThreadId_ = 0;
    std::uint32_t callbkmsgThreadId_ = 0;
    std::uint32_t msgloopThreadId_ = 0;
    std::thread uimsgThread_;
    std::thread callbkmsgThread_;
    std::thread msgloopThread_;
    TextQueue commandQueue_;
    qframer::ObjectFramer commandFramer_;
    std::atomic<bool> leaving_{false};
    platform::AutoResetEvent left_;
};

// The Manager of the process; null until start-up, never reset.
extern std::atomic<Manager*> CurrentManager;

}  // namespace quorlane
