// A stand-in of the vendor's zegoliveroom.dll for the tests, built by clang for Microsoft's x64
// ABI without any runtime: it exports the functions of LiveRoom.h under their Microsoft
// decorations and calls the callback objects it is given through their interfaces, always from
// a thread of its own, as the vendor's DLL does.
//
//   InitSDK             keeps the app ID and signature; OnInitSDK
//   LoginRoom           OnLoginRoom with the streams s1 and s2, whose extra information holds
//                       the app ID and signature that InitSDK received
//   StartPlayingStream  OnPlayStateUpdate, OnPlayQualityLevel, OnPlayQualityUpdate (a record
//                       by value), OnVideoSizeChanged; then the stream's frames
//   StartPreview        OnCaptureVideoFirstFrame (the slot after the publisher's destructor),
//                       OnCaptureVideoSizeChanged; then the preview's frames (stream null)
//   StartPublishing     OnPublishStateUpdate with one RTMP, two FLV and one HLS URL,
//                       OnPublishQualityLevel, OnPublishQualityUpdate (a record by value)
//   SendRoomMessage     returns 1, 2, ...; OnSendRoomMessage, then OnRecvRoomMessage echoing it
//   EnableCamera(true)  OnVideoDeviceStateChanged
//   Stop..., LogoutRoom, UnInitSDK stop the frames concerned
//
// Frames are solid colours, 25 a second per source: the preview red 33x17, s1 green 40x22, any
// other stream blue 17x9.
//
// QUORLANE_STANDIN_FAULT, read by InitSDK, makes it misbehave as a vendor's DLL may:
//   thread      its own thread writes through a null pointer when LoginRoom is called
//   call        EnableCamera(true) writes through a null pointer on its caller's thread
//   hang        EnableCamera(true) never returns
//   bad-frames  s1's frames come with a data length of 8 of their 22 rows, s2's with a stride
//               of 1 GiB; the preview's stay sound
//
// SendRoomMessage takes int where LiveRoom.h has enumerations, as a
// vendor's header may, so its decoration is not the one the bridge looks for first. Built with
// QUORLANE_STANDIN_WITHOUT_ENABLE_MIC, the DLL lacks EnableMic.
#include "LiveRoom.h"
#include "tests/dll/standin/Win32Api.h"

#define STANDIN_EXPORT __declspec(dllexport)

// What the compiler may call without a runtime.
extern "C" {
int _fltused = 0;

void* memset(void* destination, int value, size_t size) {
    volatile unsigned char* out = static_cast<unsigned char*>(destination);
    while (size-- > 0)
        *out++ = static_cast<unsigned char>(value);
    return destination;
}

void* memcpy(void* destination, const void* source, size_t size) {
    volatile unsigned char* out = static_cast<unsigned char*>(destination);
    const unsigned char* in = static_cast<const unsigned char*>(source);
    while (size-- > 0)
        *out++ = *in++;
    return destination;
}

int __stdcall DllMain(void*, unsigned long, void*) {
    return 1;
}
}

namespace {

using namespace ZEGO::LIVEROOM;

constexpr int kTextSize = 160;
constexpr int kMaxJobs = 64;
constexpr int kMaxStreams = 4;
constexpr unsigned long kFrameMilliseconds = 40;

// Zero-terminated text helpers, bounded by the buffer size.
void Append(char* out, int size, const char* text) {
    int end = 0;
    while (end < size - 1 && out[end] != '\0')
        ++end;
    for (int i = 0; text != nullptr && text[i] != '\0' && end < size - 1; ++i)
        out[end++] = text[i];
    out[end] = '\0';
}

void Copy(char* out, int size, const char* text) {
    out[0] = '\0';
    Append(out, size, text);
}

void AppendNumber(char* out, int size, unsigned long long value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    char text[24];
    for (int i = 0; i < n; ++i)
        text[i] = digits[n - 1 - i];
    text[n] = '\0';
    Append(out, size, text);
}

bool Equal(const char* a, const char* b) {
    if (a == nullptr || b == nullptr)
        return a == b;
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

enum class JobKind { kInitSDK, kLoginRoom, kPlay, kPreview, kPublish, kMessage, kCamera, kFault };

enum class Fault { kNone, kThread, kCall, kHang, kBadFrames };

// Volatile, so that the compiler can neither see the null nor drop the write.
int* volatile nowhere = nullptr;

void WriteThroughNull() {
    *static_cast<volatile int*>(nowhere) = 0x5a;
}

Fault FaultFromEnvironment() {
    char text[32] = {};
    const unsigned long length =
        win32::GetEnvironmentVariableA("QUORLANE_STANDIN_FAULT", text, sizeof text);
    if (length == 0 || length >= sizeof text)
        return Fault::kNone;
    if (Equal(text, "thread"))
        return Fault::kThread;
    if (Equal(text, "call"))
        return Fault::kCall;
    if (Equal(text, "hang"))
        return Fault::kHang;
    if (Equal(text, "bad-frames"))
        return Fault::kBadFrames;
    return Fault::kNone;
}

struct Job {
    JobKind kind;
    int number;
    int type;
    int category;
    int priority;
    char text[kTextSize];
};

struct Picture {
    int width;
    int height;
    unsigned char blue, green, red;
};

const Picture kPreviewPicture = {33, 17, 0, 0, 255};
const Picture kFirstStreamPicture = {40, 22, 0, 255, 0};
const Picture kOtherStreamPicture = {17, 9, 255, 0, 0};

const Picture& PictureOf(const char* streamID) {
    if (streamID == nullptr)
        return kPreviewPicture;
    return Equal(streamID, "s1") ? kFirstStreamPicture : kOtherStreamPicture;
}

// Everything the bridge's calls and the thread share, under `lock`.
struct Shared {
    win32::SrwLock lock;
    void* wake;
    bool started;
    Job jobs[kMaxJobs];
    int firstJob;
    int jobCount;
    IRoomCallback* room;
    IIMCallback* im;
    ILivePublisherCallback* publisher;
    ILivePlayerCallback* player;
    ZEGO::AV::IZegoDeviceStateCallback* deviceState;
    IZegoVideoRenderCallback* render;
    unsigned int appID;
    unsigned char appSign[32];
    char roomID[kTextSize];
    bool previewing;
    char playing[kMaxStreams][kTextSize];
    int lastSequence;
    Fault fault;
};
Shared shared;

// Queues a notification for the thread; false when the queue is full.
bool Post(const Job& job) {
    win32::Hold hold(shared.lock);
    if (!shared.started || shared.jobCount == kMaxJobs)
        return false;
    shared.jobs[(shared.firstJob + shared.jobCount) % kMaxJobs] = job;
    ++shared.jobCount;
    win32::SetEvent(shared.wake);
    return true;
}

Job MakeJob(JobKind kind, const char* text = nullptr, int number = 0) {
    Job job = {};
    job.kind = kind;
    job.number = number;
    Copy(job.text, kTextSize, text);
    return job;
}

void LogIn(const char* roomID) {
    static ZegoStreamInfo streams[2];
    char extraInfo[kTextSize] = "{\"appID\":";
    unsigned char appSign[32];
    IRoomCallback* room = nullptr;
    {
        win32::Hold hold(shared.lock);
        room = shared.room;
        AppendNumber(extraInfo, kTextSize, shared.appID);
        for (int i = 0; i < 32; ++i)
            appSign[i] = shared.appSign[i];
    }
    Append(extraInfo, kTextSize, ",\"appSign\":\"");
    for (int i = 0; i < 32; ++i) {
        const char hex[3] = {"0123456789abcdef"[appSign[i] >> 4],
                             "0123456789abcdef"[appSign[i] & 15], '\0'};
        Append(extraInfo, kTextSize, hex);
    }
    Append(extraInfo, kTextSize, "\"}");
    for (int i = 0; i < 2; ++i) {
        Copy(streams[i].szUserId, kStreamTextSize, i == 0 ? "standin-1" : "standin-2");
        Copy(streams[i].szUserName, kStreamTextSize, i == 0 ? "Stand-in One" : "Stand-in Two");
        Copy(streams[i].szStreamId, kStreamTextSize, i == 0 ? "s1" : "s2");
        Copy(streams[i].szExtraInfo, kStreamTextSize, extraInfo);
    }
    if (room != nullptr)
        room->OnLoginRoom(0, roomID, streams, 2);
}

void Play(ILivePlayerCallback* player, const char* streamID) {
    const Picture& picture = PictureOf(streamID);
    player->OnPlayStateUpdate(0, streamID);
    player->OnPlayQualityLevel(streamID, 1, 15.0, 600.0);
    ZegoPlayQuality quality = {15.0, 612.5, 20, 1, 0, 64.0, picture.width, picture.height};
    player->OnPlayQualityUpdate(streamID, quality);
    player->OnVideoSizeChanged(streamID, picture.width, picture.height);
}

void Publish(ILivePublisherCallback* publisher, const char* streamID) {
    static char urls[4][kTextSize];
    Copy(urls[0], kTextSize, "rtmp://standin/live/");
    Copy(urls[1], kTextSize, "http://standin/live/");
    Copy(urls[2], kTextSize, "http://standin-2/live/");
    Copy(urls[3], kTextSize, "http://standin/live/");
    for (char* url : urls)
        Append(url, kTextSize, streamID);
    Append(urls[1], kTextSize, ".flv");
    Append(urls[2], kTextSize, ".flv");
    Append(urls[3], kTextSize, ".m3u8");
    ZegoPublishingStreamInfo info = {};
    info.arrRtmpURLs[0] = urls[0];
    info.uiRtmpURLCount = 1;
    info.arrFlvURLs[0] = urls[1];
    info.arrFlvURLs[1] = urls[2];
    info.uiFlvURLCount = 2;
    info.arrHlsURLs[0] = urls[3];
    info.uiHlsURLCount = 1;
    publisher->OnPublishStateUpdate(0, streamID, info);
    publisher->OnPublishQualityLevel(streamID, 1, 29.97, 1234.5);
    ZegoPublishQuality quality = {29.97, 1234.5, 42, 3, 1, 96.0, 33, 17};
    publisher->OnPublishQualityUpdate(streamID, quality);
}

void Message(IIMCallback* im, const Job& job) {
    static ZegoRoomMessage echo;
    char roomID[kTextSize];
    {
        win32::Hold hold(shared.lock);
        Copy(roomID, kTextSize, shared.roomID);
    }
    const unsigned long long sentID = 5000000000ull + static_cast<unsigned int>(job.number);
    im->OnSendRoomMessage(0, roomID, job.number, sentID);
    Copy(echo.szUserId, kStreamTextSize, "standin-peer");
    Copy(echo.szUserName, kStreamTextSize, "Peer");
    Copy(echo.szContent, kMessageContentSize, "echo: ");
    Append(echo.szContent, kMessageContentSize, job.text);
    echo.messageId = sentID + 1000000000ull;
    echo.type = static_cast<ZEGO::ROOM::ZegoMessageType>(job.type);
    echo.priority = static_cast<ZEGO::ROOM::ZegoMessagePriority>(job.priority);
    echo.category = static_cast<ZEGO::ROOM::ZegoMessageCategory>(job.category);
    im->OnRecvRoomMessage(&echo, 1, roomID);
}

void Run(const Job& job) {
    IRoomCallback* room;
    IIMCallback* im;
    ILivePublisherCallback* publisher;
    ILivePlayerCallback* player;
    ZEGO::AV::IZegoDeviceStateCallback* deviceState;
    {
        win32::Hold hold(shared.lock);
        room = shared.room;
        im = shared.im;
        publisher = shared.publisher;
        player = shared.player;
        deviceState = shared.deviceState;
    }
    switch (job.kind) {
        case JobKind::kInitSDK:
            if (room != nullptr)
                room->OnInitSDK(0);
            break;
        case JobKind::kLoginRoom:
            LogIn(job.text);
            break;
        case JobKind::kPlay:
            if (player != nullptr)
                Play(player, job.text);
            break;
        case JobKind::kPreview: {
            if (publisher != nullptr) {
                publisher->OnCaptureVideoFirstFrame();
                publisher->OnCaptureVideoSizeChanged(kPreviewPicture.width, kPreviewPicture.height);
            }
            win32::Hold hold(shared.lock);
            shared.previewing = true;
            break;
        }
        case JobKind::kPublish:
            if (publisher != nullptr)
                Publish(publisher, job.text);
            break;
        case JobKind::kMessage:
            if (im != nullptr)
                Message(im, job);
            break;
        case JobKind::kFault:
            WriteThroughNull();
            break;
        case JobKind::kCamera: {
            static ZEGO::AV::DeviceInfo camera;
            Copy(camera.szDeviceId, 512, "standin-camera");
            Copy(camera.szDeviceName, 512, "Stand-in Camera");
            if (deviceState != nullptr)
                deviceState->OnVideoDeviceStateChanged(&camera, ZEGO::AV::Device_Added);
            break;
        }
    }
}

void SendFrame(IZegoVideoRenderCallback* render, const char* streamID, bool badFrames) {
    static unsigned char pixels[64 * 64 * 4];
    const Picture& picture = PictureOf(streamID);
    const int stride = picture.width * 4;
    for (int i = 0; i < picture.width * picture.height; ++i) {
        pixels[4 * i] = picture.blue;
        pixels[4 * i + 1] = picture.green;
        pixels[4 * i + 2] = picture.red;
        pixels[4 * i + 3] = 255;
    }
    int strides[4] = {stride, 0, 0, 0};
    int length = stride * picture.height;
    if (badFrames && streamID != nullptr) {
        if (Equal(streamID, "s1"))
            length = stride * 8;  // 8 of its rows
        else
            strides[0] = 1 << 30;  // rows 1 GiB apart: far beyond the buffer
    }
    render->OnVideoDataCallback(pixels, length, streamID, picture.width, picture.height, strides);
}

// The stand-in's own thread: notifications in the order they were posted, and frames.
unsigned long __stdcall Worker(void*) {
    for (;;) {
        bool framing;
        {
            win32::Hold hold(shared.lock);
            framing = shared.previewing;
            for (const char* stream : shared.playing)
                framing = framing || stream[0] != '\0';
        }
        win32::WaitForSingleObject(shared.wake, framing ? kFrameMilliseconds : win32::kInfinite);
        for (;;) {
            Job job;
            {
                win32::Hold hold(shared.lock);
                if (shared.jobCount == 0)
                    break;
                job = shared.jobs[shared.firstJob];
                shared.firstJob = (shared.firstJob + 1) % kMaxJobs;
                --shared.jobCount;
            }
            Run(job);
        }
        IZegoVideoRenderCallback* render;
        bool previewing;
        bool badFrames;
        char playing[kMaxStreams][kTextSize];
        {
            win32::Hold hold(shared.lock);
            render = shared.render;
            previewing = shared.previewing;
            badFrames = shared.fault == Fault::kBadFrames;
            for (int i = 0; i < kMaxStreams; ++i)
                Copy(playing[i], kTextSize, shared.playing[i]);
        }
        if (render == nullptr)
            continue;
        if (previewing)
            SendFrame(render, nullptr, badFrames);
        for (const char* stream : playing) {
            if (stream[0] != '\0')
                SendFrame(render, stream, badFrames);
        }
    }
}

void StopFrames() {
    win32::Hold hold(shared.lock);
    shared.previewing = false;
    for (char* stream : shared.playing)
        stream[0] = '\0';
}

}  // namespace

namespace ZEGO {
namespace LIVEROOM {

STANDIN_EXPORT void EnableExternalRender(bool) {}
STANDIN_EXPORT bool SetLogDir(const char*) {
    return true;
}
STANDIN_EXPORT bool SetBusinessType(int) {
    return true;
}
STANDIN_EXPORT void SetUseTestEnv(bool) {}
STANDIN_EXPORT bool SetUser(const char*, const char*) {
    return true;
}
STANDIN_EXPORT void SetAudioPrep2(AudioPrepCallback, const AVE::ExtPrepSet&) {}

STANDIN_EXPORT bool InitSDK(unsigned int appID, const unsigned char* appSignature,
                            int signatureLength) {
    {
        win32::Hold hold(shared.lock);
        shared.fault = FaultFromEnvironment();
        shared.appID = appID;
        for (int i = 0; i < 32; ++i)
            shared.appSign[i] = i < signatureLength ? appSignature[i] : 0;
        if (!shared.started) {
            shared.wake = win32::CreateEventW(nullptr, 0, 0, nullptr);
            shared.started =
                shared.wake != nullptr &&
                win32::CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr) != nullptr;
        }
        if (!shared.started)
            return false;
    }
    return Post(MakeJob(JobKind::kInitSDK));
}

STANDIN_EXPORT bool UnInitSDK() {
    StopFrames();
    return true;
}

STANDIN_EXPORT bool SetLivePublisherCallback(ILivePublisherCallback* callback) {
    win32::Hold hold(shared.lock);
    shared.publisher = callback;
    return true;
}
STANDIN_EXPORT bool SetLivePlayerCallback(ILivePlayerCallback* callback) {
    win32::Hold hold(shared.lock);
    shared.player = callback;
    return true;
}
STANDIN_EXPORT bool SetRoomCallback(IRoomCallback* callback) {
    win32::Hold hold(shared.lock);
    shared.room = callback;
    return true;
}
STANDIN_EXPORT void SetDeviceStateCallback(AV::IZegoDeviceStateCallback* callback) {
    win32::Hold hold(shared.lock);
    shared.deviceState = callback;
}
STANDIN_EXPORT bool SetIMCallback(IIMCallback* callback) {
    win32::Hold hold(shared.lock);
    shared.im = callback;
    return true;
}
STANDIN_EXPORT void SetExternalRenderCallback(IZegoVideoRenderCallback* callback) {
    win32::Hold hold(shared.lock);
    shared.render = callback;
}

STANDIN_EXPORT bool EnableAux(bool) {
    return true;
}
STANDIN_EXPORT bool SetPlayVolume(int, const char*) {
    return true;
}

STANDIN_EXPORT bool LoginRoom(const char* pszRoomID, int, const char*) {
    bool fault;
    {
        win32::Hold hold(shared.lock);
        Copy(shared.roomID, kTextSize, pszRoomID);
        fault = shared.fault == Fault::kThread;
    }
    if (fault)
        return Post(MakeJob(JobKind::kFault));
    return Post(MakeJob(JobKind::kLoginRoom, pszRoomID));
}
STANDIN_EXPORT bool LogoutRoom() {
    StopFrames();
    return true;
}

STANDIN_EXPORT bool StartPlayingStream(const char* pszStreamID, void*, const char*) {
    if (pszStreamID == nullptr || !Post(MakeJob(JobKind::kPlay, pszStreamID)))
        return false;
    win32::Hold hold(shared.lock);
    for (char* stream : shared.playing) {
        if (stream[0] == '\0') {
            Copy(stream, kTextSize, pszStreamID);
            return true;
        }
    }
    return false;
}
STANDIN_EXPORT bool StopPlayingStream(const char* pszStreamID) {
    win32::Hold hold(shared.lock);
    for (char* stream : shared.playing) {
        if (Equal(stream, pszStreamID))
            stream[0] = '\0';
    }
    return true;
}

STANDIN_EXPORT bool StartPublishing(const char*, const char* pszStreamID, int, const char*) {
    return Post(MakeJob(JobKind::kPublish, pszStreamID));
}
STANDIN_EXPORT bool StopPublishing(int, const char*, AV::PublishChannelIndex) {
    return true;
}
STANDIN_EXPORT bool StartPreview(AV::PublishChannelIndex) {
    return Post(MakeJob(JobKind::kPreview));
}
STANDIN_EXPORT bool StopPreview(AV::PublishChannelIndex) {
    win32::Hold hold(shared.lock);
    shared.previewing = false;
    return true;
}

STANDIN_EXPORT bool EnableCamera(bool enable, AV::PublishChannelIndex) {
    Fault fault;
    {
        win32::Hold hold(shared.lock);
        fault = shared.fault;
    }
    if (enable && fault == Fault::kCall)
        WriteThroughNull();
    while (enable && fault == Fault::kHang)
        win32::Sleep(win32::kInfinite);
    return !enable || Post(MakeJob(JobKind::kCamera));
}
#ifndef QUORLANE_STANDIN_WITHOUT_ENABLE_MIC
STANDIN_EXPORT bool EnableMic(bool) {
    return true;
}
#endif
STANDIN_EXPORT bool EnableSpeaker(bool) {
    return true;
}
STANDIN_EXPORT bool SetVideoCaptureResolution(int, int, AV::PublishChannelIndex) {
    return true;
}
STANDIN_EXPORT bool SetVideoEncodeResolution(int, int, AV::PublishChannelIndex) {
    return true;
}
STANDIN_EXPORT void SetWaterMarkImagePath(const char*, AV::PublishChannelIndex) {}
STANDIN_EXPORT void SetPublishWaterMarkRect(int, int, int, int, AV::PublishChannelIndex) {}
STANDIN_EXPORT void SetPreviewWaterMarkRect(int, int, int, int, AV::PublishChannelIndex) {}

// int where LiveRoom.h has the message enumerations.
STANDIN_EXPORT int SendRoomMessage(int type, int category, int priority,
                                   const char* messageContent) {
    Job job = MakeJob(JobKind::kMessage, messageContent);
    job.type = type;
    job.category = category;
    job.priority = priority;
    {
        win32::Hold hold(shared.lock);
        job.number = ++shared.lastSequence;
    }
    return Post(job) ? job.number : 0;
}

}  // namespace LIVEROOM
}  // namespace ZEGO
