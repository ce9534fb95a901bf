// Device arrival, removal and error notifications are ignored.
#include "SdkCallbacks.h"

namespace quorlane {

void CIZegoDeviceStateCallback::OnAudioDeviceStateChanged(ZEGO::AV::AudioDeviceType,
                                                          ZEGO::AV::DeviceInfo*,
                                                          ZEGO::AV::DeviceState) {}

void CIZegoDeviceStateCallback::OnVideoDeviceStateChanged(ZEGO::AV::DeviceInfo*,
                                                          ZEGO::AV::DeviceState) {}

void CIZegoDeviceStateCallback::OnDeviceError(const char*, int) {}

}  // namespace quorlane
