// The one central object: the SDK adapter, the render channel of every played stream, the two
// queues between the threads with their locks and ready events, and the command operations.
// Lock order: commandLock may be held while channelLock or eventLock is taken, never the reverse.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SdkZegoRoom.h"
#include "framer/ObjectFramer.h"
#include "platform/sync.h"

class Manager : public SdkZegoRoom {
  public:
    Manager() = default;
    Manager(const Manager&) = delete;
    Manager& operator=(const Manager&) = delete;

    // Command operations; each runs on the command worker while it holds commandLock.
    bool Login(const char* userID, const char* userName, int test);
    bool SetUpSdk(const char* userID, const char* userName, int test);
    bool Logout();
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

    std::recursive_mutex channelLock;
    std::map<std::string, int> channelMap;  // stream ID -> render channel 1 to 4
    std::recursive_mutex eventLock;
    std::deque<std::string> EventQueue;
    // Guarded by eventLock: bytes of the texts queued or being written, and texts refused
    // because that reached kEventQueueLimit (not yet reported).
    std::size_t eventBytes = 0;
    std::uint64_t eventsDropped = 0;
    platform::AutoResetEvent commandReady;
    platform::AutoResetEvent eventReady;
    std::uint32_t uimsgThreadId = 0;
    std::uint32_t callbkmsgThreadId = 0;
    std::uint32_t msgloopThreadId = 0;
    std::thread uimsgThread;
    std::thread callbkmsgThread;
    std::thread msgloopThread;
    std::recursive_mutex commandLock;
    std::deque<std::string> CommandQueue;
    // Cuts the bytes read from the host into command objects; guarded by commandLock.
    ObjectFramer commandFramer;
};

// The Manager of the process; null until start-up, never reset.
extern std::atomic<Manager*> CurrentManager;
