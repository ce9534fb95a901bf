// Audio/video types of the live-room SDK: publish channels, audio frames, device states.
#pragma once

namespace AVE {

// One block of audio samples handed to the audio pre-processing callback.
struct AudioFrame {
    int frameType;
    int samples;
    int bytesPerSample;
    int channels;
    int sampleRate;
    double timeStamp;
    int configLen;
    int bufLen;  // bytes of sample data in `buffer`
    unsigned char* buffer;
};

// Settings of the audio pre-processing callback.
struct ExtPrepSet {
    bool bEncode;
    int nSampleRate;
    int nChannel;
    int nSamples;
};

}  // namespace AVE

namespace ZEGO {
namespace AV {

enum PublishChannelIndex : int {
    PUBLISH_CHN_MAIN = 0,
    PUBLISH_CHN_AUX = 1,
};

enum AudioDeviceType : int {
    AudioDevice_Input = 0,
    AudioDevice_Output = 1,
};

enum DeviceState : int {
    Device_Added = 0,
    Device_Deleted = 1,
};

struct DeviceInfo {
    char szDeviceId[512];
    char szDeviceName[512];
};

// Device arrival and removal notifications. The SDK never deletes the object.
class IZegoDeviceStateCallback {
  public:
    virtual void OnAudioDeviceStateChanged(AudioDeviceType deviceType, DeviceInfo* deviceInfo,
                                           DeviceState state) = 0;
    virtual void OnVideoDeviceStateChanged(DeviceInfo* deviceInfo, DeviceState state) = 0;
    virtual void OnDeviceError(const char* deviceName, int errorCode) = 0;

  protected:
    ~IZegoDeviceStateCallback() = default;
};

}  // namespace AV
}  // namespace ZEGO
