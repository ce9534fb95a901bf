#include "sdk/dll/CallbackAdapters.h"

#include <string>

#include "sdk/dll/BindingReport.h"

namespace dll {

namespace {

using namespace ms;

// How an argument of the interface's type T arrives in a Microsoft x64 call.
template <typename T, bool kByCopyAddress = std::is_class<T>::value && sizeof(T) != 1 &&
                                            sizeof(T) != 2 && sizeof(T) != 4 && sizeof(T) != 8>
struct MsArgument {
    using Type = T;
    static T Unpack(T value) { return value; }
};
template <typename T>
struct MsArgument<T, true> {
    using Type = const T*;
    static const T& Unpack(const T* copy) { return *copy; }
};
template <typename T>
struct MsArgument<const T&, false> {
    using Type = const T*;
    static const T& Unpack(const T* address) { return *address; }
};
template <typename T>
struct MsArgument<T&, false> {
    using Type = T*;
    static T& Unpack(T* address) { return *address; }
};

// The slot function for `Method`: takes the arguments as the DLL passes them and calls the
// method on the adapter's target.
template <typename Object, auto Method>
struct Forward;
template <typename Object, typename Interface, typename... Args, void (Interface::*Method)(Args...)>
struct Forward<Object, Method> {
    static void Call(Object* self, typename MsArgument<Args>::Type... args) {
        Interface* target = self->target.load(std::memory_order_acquire);
        if (target != nullptr)
            (target->*Method)(MsArgument<Args>::Unpack(args)...);
    }
};

// The bridge owns its callback objects for the life of the process; an SDK that tries to delete
// one is told no.
template <typename Object, const char* kInterface>
void* Destroy(Object* self, unsigned int) {
    ReportError(std::string("zegoliveroom.dll asked to destroy the ") + kInterface +
                " callback object; the bridge keeps it");
    return self;
}

constexpr char kRoomName[] = "IRoomCallback";
constexpr char kIMName[] = "IIMCallback";
constexpr char kPublisherName[] = "ILivePublisherCallback";
constexpr char kPlayerName[] = "ILivePlayerCallback";

const RoomSlots kRoomSlots = {
    &Forward<RoomObject, &IRoomCallback::OnInitSDK>::Call,
    &Forward<RoomObject, &IRoomCallback::OnLoginRoom>::Call,
    &Forward<RoomObject, &IRoomCallback::OnLogoutRoom>::Call,
    &Forward<RoomObject, &IRoomCallback::OnKickOut>::Call,
    &Forward<RoomObject, &IRoomCallback::OnDisconnect>::Call,
    &Forward<RoomObject, &IRoomCallback::OnReconnect>::Call,
    &Forward<RoomObject, &IRoomCallback::OnTempBroken>::Call,
    &Forward<RoomObject, &IRoomCallback::OnStreamUpdated>::Call,
    &Forward<RoomObject, &IRoomCallback::OnStreamExtraInfoUpdated>::Call,
    &Forward<RoomObject, &IRoomCallback::OnCustomCommand>::Call,
    &Forward<RoomObject, &IRoomCallback::OnRecvCustomCommand>::Call,
    &Destroy<RoomObject, kRoomName>,
};

const IMSlots kIMSlots = {
    &Forward<IMObject, &IIMCallback::OnUpdateOnlineCount>::Call,
    &Forward<IMObject, &IIMCallback::OnSendRoomMessage>::Call,
    &Forward<IMObject, &IIMCallback::OnUserUpdate>::Call,
    &Forward<IMObject, &IIMCallback::OnSendBigRoomMessage>::Call,
    &Forward<IMObject, &IIMCallback::OnRecvBigRoomMessage>::Call,
    &Forward<IMObject, &IIMCallback::OnRecvRoomMessage>::Call,
    &Forward<IMObject, &IIMCallback::OnSendConversationMessage>::Call,
    &Forward<IMObject, &IIMCallback::OnRecvConversationMessage>::Call,
    &Destroy<IMObject, kIMName>,
};

const PublisherSlots kPublisherSlots = {
    &Forward<PublisherObject, &ILivePublisherCallback::OnPublishStateUpdate>::Call,
    &Forward<PublisherObject, &ILivePublisherCallback::OnJoinLiveRequest>::Call,
    &Forward<PublisherObject, &ILivePublisherCallback::OnInviteJoinLiveResponse>::Call,
    &Forward<PublisherObject, &ILivePublisherCallback::OnEndJoinLive>::Call,
    &Forward<PublisherObject, &ILivePublisherCallback::OnPublishQualityLevel>::Call,
    &Forward<PublisherObject, &ILivePublisherCallback::OnPublishQualityUpdate>::Call,
    &Forward<PublisherObject, &ILivePublisherCallback::OnAuxCallback>::Call,
    &Forward<PublisherObject, &ILivePublisherCallback::OnCaptureVideoSizeChanged>::Call,
    &Forward<PublisherObject, &ILivePublisherCallback::OnPreviewSnapshot>::Call,
    &Forward<PublisherObject, &ILivePublisherCallback::OnRelayCDNStateUpdate>::Call,
    &Forward<PublisherObject, &ILivePublisherCallback::OnUpdateMixStreamConfig>::Call,
    &Forward<PublisherObject, &ILivePublisherCallback::OnMixStream>::Call,
    &Destroy<PublisherObject, kPublisherName>,
    &Forward<PublisherObject, &ILivePublisherCallback::OnCaptureVideoFirstFrame>::Call,
};

const PlayerSlots kPlayerSlots = {
    &Forward<PlayerObject, &ILivePlayerCallback::OnPlayStateUpdate>::Call,
    &Forward<PlayerObject, &ILivePlayerCallback::OnPlayQualityUpdate>::Call,
    &Forward<PlayerObject, &ILivePlayerCallback::OnPlayQualityLevel>::Call,
    &Forward<PlayerObject, &ILivePlayerCallback::OnJoinLiveResponse>::Call,
    &Forward<PlayerObject, &ILivePlayerCallback::OnRecvEndJoinLiveCommand>::Call,
    &Forward<PlayerObject, &ILivePlayerCallback::OnInviteJoinLiveRequest>::Call,
    &Forward<PlayerObject, &ILivePlayerCallback::OnVideoSizeChanged>::Call,
    &Forward<PlayerObject, &ILivePlayerCallback::OnRemoteCameraStatusUpdate>::Call,
    &Destroy<PlayerObject, kPlayerName>,
};

const DeviceStateSlots kDeviceStateSlots = {
    &Forward<DeviceStateObject, &IZegoDeviceStateCallback::OnAudioDeviceStateChanged>::Call,
    &Forward<DeviceStateObject, &IZegoDeviceStateCallback::OnVideoDeviceStateChanged>::Call,
    &Forward<DeviceStateObject, &IZegoDeviceStateCallback::OnDeviceError>::Call,
};

const RenderSlots kRenderSlots = {
    &Forward<RenderObject, &IZegoVideoRenderCallback::OnVideoDataCallback>::Call,
};

RoomObject roomObject{&kRoomSlots, {nullptr}};
IMObject imObject{&kIMSlots, {nullptr}};
PublisherObject publisherObject{&kPublisherSlots, {nullptr}};
PlayerObject playerObject{&kPlayerSlots, {nullptr}};
DeviceStateObject deviceStateObject{&kDeviceStateSlots, {nullptr}};
RenderObject renderObject{&kRenderSlots, {nullptr}};

template <typename Object, typename Interface>
void* Attach(Object& object, Interface* callback) {
    if (callback == nullptr)
        return nullptr;
    object.target.store(callback, std::memory_order_release);
    return &object;
}

}  // namespace

void* AdapterFor(IRoomCallback* callback) {
    return Attach(roomObject, callback);
}

void* AdapterFor(IIMCallback* callback) {
    return Attach(imObject, callback);
}

void* AdapterFor(ILivePublisherCallback* callback) {
    return Attach(publisherObject, callback);
}

void* AdapterFor(ILivePlayerCallback* callback) {
    return Attach(playerObject, callback);
}

void* AdapterFor(IZegoDeviceStateCallback* callback) {
    return Attach(deviceStateObject, callback);
}

void* AdapterFor(IZegoVideoRenderCallback* callback) {
    return Attach(renderObject, callback);
}

}  // namespace dll
