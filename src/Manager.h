// The one central object: the SDK adapter, the render channel of every played stream, the two
// queues between the threads with their locks and ready events, and the command operations.
#pragma once

#include <atomic>
#include <cstddef>
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

    // Command operations; each runs on the command worker, one at a time, with no lock held.
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
    //   1. commandQueue_'s, channels_'s or eventQueue_'s lock, each held only inside TextQueue
    //      or ChannelMap to add or take entries (both queues are drained without it, so no lock
    //      is held across an SDK call);
    //   2. the reply writer's lock (ReplyWriteLock, HostChannels.cpp), held for one write to
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
    void KeepWorker(Worker which, std::thread thread);

  private:
    // The camera and microphone switched off with the failure lines of CloseCamera and
    // CloseMic, without their replies.
    bool CameraOff();
    bool MicOff();

    // Each guarded by a lock of its own, inside the object (the lock order above).
    ChannelMap channels_;
    TextQueue eventQueue_{kEventQueueLimit};
    TextQueue commandQueue_;

    // The command reader's only.
    qframer::ObjectFramer commandFramer_;

    // The entry thread's, set once during start-up.
    std::thread uimsgThread_;
    std::thread callbkmsgThread_;
    std::thread msgloopThread_;

    // Any thread: set once by the thread that ends the bridge, read by the command worker,
    // which signals left_ once Leave has finished.
    std::atomic<bool> leaving_{false};
    platform::AutoResetEvent left_;
};

// The Manager of the process; null until start-up, never reset.
extern std::atomic<Manager*> CurrentManager;

}  // namespace quorlane
