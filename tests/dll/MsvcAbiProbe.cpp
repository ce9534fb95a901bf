// Compiled for x64 Microsoft targets only, by clang, to dump the vtable layouts of the callback
// interfaces and to hold the records to Microsoft's layout. Each interface is used once so that
// its vtable is laid out.
#include "sdk/dll/RecordLayouts.h"

void UseEveryInterface(ZEGO::LIVEROOM::IRoomCallback* room, ZEGO::LIVEROOM::IIMCallback* im,
                       ZEGO::LIVEROOM::ILivePublisherCallback* publisher,
                       ZEGO::LIVEROOM::ILivePlayerCallback* player,
                       ZEGO::AV::IZegoDeviceStateCallback* deviceState,
                       ZEGO::LIVEROOM::IZegoVideoRenderCallback* render) {
    delete room;
    delete im;
    delete publisher;
    delete player;
    deviceState->OnDeviceError(nullptr, 0);
    render->OnVideoDataCallback(nullptr, 0, nullptr, 0, 0, nullptr);
}
