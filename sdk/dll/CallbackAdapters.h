// The callback objects that the vendor's DLL receives in place of the bridge's own. The DLL was
// built by Microsoft's compiler and calls through vtables laid out its way: one slot per virtual
// function in declaration order, and one slot, the deleting destructor, for a virtual
// destructor (GCC gives it two). Each adapter carries such a vtable and forwards every call to
// the bridge's object through that object's own vtable.
//
// On x64 Windows a virtual function is called like a free function whose first argument is the
// object, so each slot holds a plain function of that shape. References arrive as pointers, and
// a record passed by value that is not 1, 2, 4 or 8 bytes long arrives as a pointer to a copy
// made by the caller; the slot types below spell that out. (Where the two differ, a record
// returned through a hidden pointer, no slot here is concerned: all return void, the destructor
// a pointer.)
//
//   SetRoomCallback(AdapterFor(roomCallback));   // hand the DLL the adapter, never the object
#pragma once

#include <atomic>
#include <cstddef>
#include <type_traits>

#include "LiveRoom.h"

namespace dll {

// An object as the DLL sees it: the vtable pointer first; then, for the adapter alone, the
// bridge's object that the calls go to.
template <typename Interface, typename Slots>
struct MsCallbackObject {
    const Slots* vtable;
    std::atomic<Interface*> target;
};

template <typename Object, typename... Args>
using MsSlot = void (*)(Object*, Args...);
// The deleting destructor: flags bit 0 asks for the memory to be freed; returns the object.
template <typename Object>
using MsDestructorSlot = void* (*)(Object*, unsigned int);

namespace ms {

using namespace ZEGO::LIVEROOM;
using ZEGO::AV::AudioDeviceType;
using ZEGO::AV::DeviceInfo;
using ZEGO::AV::DeviceState;
using ZEGO::AV::IZegoDeviceStateCallback;

struct RoomSlots;
using RoomObject = MsCallbackObject<IRoomCallback, RoomSlots>;
struct RoomSlots {
    MsSlot<RoomObject, int> OnInitSDK;
    MsSlot<RoomObject, int, const char*, const ZegoStreamInfo*, unsigned int> OnLoginRoom;
    MsSlot<RoomObject, int, const char*> OnLogoutRoom;
    MsSlot<RoomObject, int, const char*> OnKickOut;
    MsSlot<RoomObject, int, const char*> OnDisconnect;
    MsSlot<RoomObject, int, const char*> OnReconnect;
    MsSlot<RoomObject, int, const char*> OnTempBroken;
    MsSlot<RoomObject, ZegoStreamUpdateType, ZegoStreamInfo*, unsigned int, const char*>
        OnStreamUpdated;
    MsSlot<RoomObject, ZegoStreamInfo*, unsigned int, const char*> OnStreamExtraInfoUpdated;
    MsSlot<RoomObject, int, int, const char*> OnCustomCommand;
    MsSlot<RoomObject, const char*, const char*, const char*, const char*> OnRecvCustomCommand;
    MsDestructorSlot<RoomObject> Destructor;
};

struct IMSlots;
using IMObject = MsCallbackObject<IIMCallback, IMSlots>;
struct IMSlots {
    MsSlot<IMObject, int, const char*> OnUpdateOnlineCount;
    MsSlot<IMObject, int, const char*, int, unsigned long long> OnSendRoomMessage;
    MsSlot<IMObject, const ZegoUser*, unsigned int> OnUserUpdate;
    MsSlot<IMObject, int, const char*, int, const char*> OnSendBigRoomMessage;
    MsSlot<IMObject, const char*, const char*> OnRecvBigRoomMessage;
    MsSlot<IMObject, ZegoRoomMessage*, unsigned int, const char*> OnRecvRoomMessage;
    MsSlot<IMObject, int, const char*, const char*, int> OnSendConversationMessage;
    MsSlot<IMObject, const char*, const char*> OnRecvConversationMessage;
    MsDestructorSlot<IMObject> Destructor;
};

struct PublisherSlots;
using PublisherObject = MsCallbackObject<ILivePublisherCallback, PublisherSlots>;
struct PublisherSlots {
    MsSlot<PublisherObject, int, const char*, const ZegoPublishingStreamInfo*> OnPublishStateUpdate;
    MsSlot<PublisherObject, int, const char*, const char*, const char*> OnJoinLiveRequest;
    MsSlot<PublisherObject, int, const char*, const char*, int> OnInviteJoinLiveResponse;
    MsSlot<PublisherObject, int, int, const char*> OnEndJoinLive;
    MsSlot<PublisherObject, const char*, int, double, double> OnPublishQualityLevel;
    MsSlot<PublisherObject, const char*, const ZegoPublishQuality*> OnPublishQualityUpdate;
    MsSlot<PublisherObject, unsigned char*, int*, int*, int*> OnAuxCallback;
    MsSlot<PublisherObject, int, int> OnCaptureVideoSizeChanged;
    MsSlot<PublisherObject, void*> OnPreviewSnapshot;
    MsSlot<PublisherObject, const char*, int> OnRelayCDNStateUpdate;
    MsSlot<PublisherObject, unsigned int, const char*> OnUpdateMixStreamConfig;
    MsSlot<PublisherObject, const ZegoMixStreamResult*, const char*, int> OnMixStream;
    MsDestructorSlot<PublisherObject> Destructor;
    // Declared after the destructor: its slot directly follows the destructor's one slot.
    MsSlot<PublisherObject> OnCaptureVideoFirstFrame;
};

struct PlayerSlots;
using PlayerObject = MsCallbackObject<ILivePlayerCallback, PlayerSlots>;
struct PlayerSlots {
    MsSlot<PlayerObject, int, const char*> OnPlayStateUpdate;
    MsSlot<PlayerObject, const char*, const ZegoPlayQuality*> OnPlayQualityUpdate;
    MsSlot<PlayerObject, const char*, int, double, double> OnPlayQualityLevel;
    MsSlot<PlayerObject, int, const char*, const char*, int> OnJoinLiveResponse;
    MsSlot<PlayerObject, const char*, const char*, const char*> OnRecvEndJoinLiveCommand;
    MsSlot<PlayerObject, int, const char*, const char*, const char*> OnInviteJoinLiveRequest;
    MsSlot<PlayerObject, const char*, int, int> OnVideoSizeChanged;
    MsSlot<PlayerObject, const char*, int> OnRemoteCameraStatusUpdate;
    MsDestructorSlot<PlayerObject> Destructor;
};

struct DeviceStateSlots;
using DeviceStateObject = MsCallbackObject<IZegoDeviceStateCallback, DeviceStateSlots>;
struct DeviceStateSlots {
    MsSlot<DeviceStateObject, AudioDeviceType, DeviceInfo*, DeviceState> OnAudioDeviceStateChanged;
    MsSlot<DeviceStateObject, DeviceInfo*, DeviceState> OnVideoDeviceStateChanged;
    MsSlot<DeviceStateObject, const char*, int> OnDeviceError;
};

struct RenderSlots;
using RenderObject = MsCallbackObject<IZegoVideoRenderCallback, RenderSlots>;
struct RenderSlots {
    MsSlot<RenderObject, const unsigned char*, int, const char*, int, int, int*>
        OnVideoDataCallback;
};

// Slot counts of Microsoft's layout: each notification one, a virtual destructor one.
constexpr std::size_t kSlot = sizeof(void*);
static_assert(sizeof(RoomSlots) == 12 * kSlot, "IRoomCallback: 11 notifications, destructor");
static_assert(offsetof(RoomSlots, Destructor) == 11 * kSlot, "IRoomCallback destructor");
static_assert(sizeof(IMSlots) == 9 * kSlot, "IIMCallback: 8 notifications, destructor");
static_assert(offsetof(IMSlots, Destructor) == 8 * kSlot, "IIMCallback destructor");
static_assert(sizeof(PublisherSlots) == 14 * kSlot, "ILivePublisherCallback: 13 + destructor");
static_assert(offsetof(PublisherSlots, Destructor) == 12 * kSlot, "publisher destructor");
static_assert(offsetof(PublisherSlots, OnCaptureVideoFirstFrame) == 13 * kSlot,
              "the notification after the publisher's destructor");
static_assert(sizeof(PlayerSlots) == 9 * kSlot, "ILivePlayerCallback: 8 notifications, destructor");
static_assert(offsetof(PlayerSlots, Destructor) == 8 * kSlot, "player destructor");
static_assert(sizeof(DeviceStateSlots) == 3 * kSlot, "IZegoDeviceStateCallback: 3, no destructor");
static_assert(sizeof(RenderSlots) == kSlot, "IZegoVideoRenderCallback: 1, no destructor");
static_assert(std::is_standard_layout<PublisherObject>::value &&
                  offsetof(PublisherObject, vtable) == 0,
              "the vtable pointer comes first");

}  // namespace ms

// The adapter that stands for `callback` in the DLL; null for null. There is one adapter per
// interface, alive until the process ends (the DLL may call it at any time); registering another
// object of the same interface points it there.
void* AdapterFor(ZEGO::LIVEROOM::IRoomCallback* callback);
void* AdapterFor(ZEGO::LIVEROOM::IIMCallback* callback);
void* AdapterFor(ZEGO::LIVEROOM::ILivePublisherCallback* callback);
void* AdapterFor(ZEGO::LIVEROOM::ILivePlayerCallback* callback);
void* AdapterFor(ZEGO::AV::IZegoDeviceStateCallback* callback);
void* AdapterFor(ZEGO::LIVEROOM::IZegoVideoRenderCallback* callback);

}  // namespace dll
