#include "sdk/sim/DemoRoom.h"

#include <cstdio>
#include <cstring>

#include "sdk/sim/DemoPictures.h"

namespace sim {
namespace {

using namespace ZEGO::LIVEROOM;

const char kHost[] = "demo.quorlane.invalid";

ZegoStreamQuality DemoQuality(std::uint64_t tick) {
    ZegoStreamQuality quality{};
    quality.fps = DemoRoom::kFramesPerSecond;
    quality.kbps = 800.0 + static_cast<double>(tick % 7) * 10.0;
    quality.rtt = 20 + static_cast<int>(tick % 5) * 4;
    quality.pktLostRate = 0;
    quality.quality = 0;
    quality.width = DemoRoom::kWidth;
    quality.height = DemoRoom::kHeight;
    return quality;
}

}  // namespace

std::string DemoRoom::StreamID(int index) {
    return "demo-" + std::to_string(index + 1);
}

std::string DemoRoom::RtmpURL(const std::string& streamID) {
    return std::string("rtmp://") + kHost + "/live/" + streamID;
}

std::string DemoRoom::FlvURL(const std::string& streamID) {
    return std::string("http://") + kHost + "/live/" + streamID + ".flv";
}

std::string DemoRoom::HlsURL(const std::string& streamID) {
    return std::string("http://") + kHost + "/live/" + streamID + "/index.m3u8";
}

DemoRoom::DemoRoom(CallbackRegistry& registry) : state_(std::make_shared<State>()) {
    thread_ = std::thread(&DemoRoom::Run, state_, std::ref(registry));
}

DemoRoom::~DemoRoom() {
    {
        platform::MutexLock hold(state_->mutex);
        state_->stop = true;
    }
    state_->wake.SignalAll();
    if (std::this_thread::get_id() == thread_.get_id())
        thread_.detach();  // the thread keeps its share of the state and ends by itself
    else
        thread_.join();
}

void DemoRoom::Post(State& state, std::chrono::milliseconds delay,
                    std::function<void(CallbackRegistry&)> run) {
    state.tasks.push_back(Task{Clock::now() + delay, std::move(run)});
}

void DemoRoom::SetExternalRender(bool on) {
    platform::MutexLock hold(state_->mutex);
    state_->externalRender = on;
}

void DemoRoom::Login(const std::string& roomID) {
    platform::MutexLock hold(state_->mutex);
    Post(*state_, std::chrono::milliseconds(100), [roomID](CallbackRegistry& registry) {
        ZegoStreamInfo streams[kStreamCount];
        std::memset(streams, 0, sizeof streams);
        for (int i = 0; i < kStreamCount; ++i) {
            std::string n = std::to_string(i + 1);
            std::snprintf(streams[i].szUserId, kStreamTextSize, "demo-user-%s", n.c_str());
            std::snprintf(streams[i].szUserName, kStreamTextSize, "Demo User %s", n.c_str());
            std::snprintf(streams[i].szStreamId, kStreamTextSize, "%s", StreamID(i).c_str());
            std::snprintf(streams[i].szExtraInfo, kStreamTextSize, "{\"title\":\"Demo stream %s\"}",
                          n.c_str());
        }
        registry.Deliver<IRoomCallback>(Slot::Room, [&](IRoomCallback* room) {
            room->OnLoginRoom(0, roomID.c_str(), streams, kStreamCount);
        });
    });
}

void DemoRoom::Logout() {
    platform::MutexLock hold(state_->mutex);
    state_->tasks.clear();
    state_->playing.clear();
    state_->publishing.clear();
}

void DemoRoom::StartPlaying(const std::string& streamID, bool exists) {
    platform::MutexLock hold(state_->mutex);
    int code = exists ? 0 : kStreamNotFound;
    Post(*state_, std::chrono::milliseconds(50), [streamID, code](CallbackRegistry& registry) {
        registry.Deliver<ILivePlayerCallback>(Slot::Player, [&](ILivePlayerCallback* player) {
            player->OnPlayStateUpdate(code, streamID.c_str());
        });
    });
    if (exists)
        state_->playing[streamID] = Video{};
}

void DemoRoom::StopPlaying(const std::string& streamID) {
    platform::MutexLock hold(state_->mutex);
    state_->playing.erase(streamID);
}

void DemoRoom::StartPublishing(const std::string& streamID) {
    platform::MutexLock hold(state_->mutex);
    state_->publishing = streamID;
    Post(*state_, std::chrono::milliseconds(200), [streamID](CallbackRegistry& registry) {
        std::string rtmp = RtmpURL(streamID), flv = FlvURL(streamID), hls = HlsURL(streamID);
        ZegoPublishingStreamInfo info{};
        info.arrRtmpURLs[0] = rtmp.c_str();
        info.uiRtmpURLCount = 1;
        info.arrFlvURLs[0] = flv.c_str();
        info.uiFlvURLCount = 1;
        info.arrHlsURLs[0] = hls.c_str();
        info.uiHlsURLCount = 1;
        registry.Deliver<ILivePublisherCallback>(
            Slot::Publisher, [&](ILivePublisherCallback* publisher) {
                publisher->OnPublishStateUpdate(0, streamID.c_str(), info);
            });
    });
}

void DemoRoom::StopPublishing() {
    platform::MutexLock hold(state_->mutex);
    state_->publishing.clear();
}

void DemoRoom::SetPreview(bool on, int width, int height) {
    platform::MutexLock hold(state_->mutex);
    state_->preview = on;
    state_->previewWidth = width;
    state_->previewHeight = height;
    state_->previewVideo = Video{};
}

void DemoRoom::SetCamera(bool on) {
    platform::MutexLock hold(state_->mutex);
    state_->camera = on;
}

void DemoRoom::ConfirmMessage(const std::string& roomID, int sequence) {
    platform::MutexLock hold(state_->mutex);
    Post(*state_, std::chrono::milliseconds(30), [roomID, sequence](CallbackRegistry& registry) {
        unsigned long long messageID = 1000000000000ull + static_cast<unsigned>(sequence);
        registry.Deliver<IIMCallback>(Slot::IM, [&](IIMCallback* im) {
            im->OnSendRoomMessage(0, roomID.c_str(), sequence, messageID);
        });
    });
}

void DemoRoom::Run(std::shared_ptr<State> state, CallbackRegistry& registry) {
    const auto period = std::chrono::nanoseconds(1000000000 / kFramesPerSecond);
    std::vector<std::uint8_t> buffer;
    std::uint64_t tick = 0;
    Clock::time_point next = Clock::now();
    for (;;) {
        std::vector<Task> due;
        std::vector<FrameJob> frames;
        std::vector<std::string> qualityOf;  // played streams due for a quality report
        std::string publishQuality;
        bool render = false;
        {
            platform::MutexLock hold(state->mutex);
            while (!state->stop && state->wake.WaitUntil(next)) {
            }
            if (state->stop)
                return;
            Clock::time_point now = Clock::now();
            next += period;
            if (next < now)
                next = now + period;
            for (auto it = state->tasks.begin(); it != state->tasks.end();) {
                if (it->due <= now) {
                    due.push_back(std::move(*it));
                    it = state->tasks.erase(it);
                } else {
                    ++it;
                }
            }
            render = state->externalRender;
            if (state->preview && state->camera) {
                Video& v = state->previewVideo;
                frames.push_back(FrameJob{true, std::string(), state->previewWidth,
                                          state->previewHeight, v.frames++, !v.sizeReported});
                v.sizeReported = true;
            }
            for (auto& [id, v] : state->playing) {
                frames.push_back(FrameJob{false, id, kWidth, kHeight, v.frames++, !v.sizeReported});
                v.sizeReported = true;
            }
            if (now >= state->nextQuality) {
                state->nextQuality = now + std::chrono::seconds(kQualitySeconds);
                for (auto& entry : state->playing)
                    qualityOf.push_back(entry.first);
                publishQuality = state->publishing;
            }
        }
        ++tick;
        for (Task& task : due)
            task.run(registry);
        for (const FrameJob& job : frames) {
            int stride = job.width * 4;
            buffer.resize(static_cast<std::size_t>(stride) * job.height);
            if (job.reportSize && job.preview) {
                registry.Deliver<ILivePublisherCallback>(
                    Slot::Publisher, [&](ILivePublisherCallback* publisher) {
                        publisher->OnCaptureVideoSizeChanged(job.width, job.height);
                    });
            } else if (job.reportSize) {
                registry.Deliver<ILivePlayerCallback>(Slot::Player, [&](ILivePlayerCallback* p) {
                    p->OnVideoSizeChanged(job.streamID.c_str(), job.width, job.height);
                });
            }
            if (!render)
                continue;
            if (job.preview)
                DrawCameraPicture(buffer.data(), job.width, job.height, stride, job.index);
            else
                DrawStreamPicture(buffer.data(), job.width, job.height, stride, job.streamID,
                                  job.index);
            int strides[4] = {stride, 0, 0, 0};
            const char* id = job.preview ? nullptr : job.streamID.c_str();
            registry.Deliver<IZegoVideoRenderCallback>(
                Slot::Render, [&](IZegoVideoRenderCallback* callback) {
                    callback->OnVideoDataCallback(buffer.data(), stride * job.height, id, job.width,
                                                  job.height, strides);
                });
        }
        for (const std::string& id : qualityOf) {
            registry.Deliver<ILivePlayerCallback>(Slot::Player, [&](ILivePlayerCallback* p) {
                p->OnPlayQualityUpdate(id.c_str(), DemoQuality(tick));
            });
        }
        if (!publishQuality.empty()) {
            registry.Deliver<ILivePublisherCallback>(
                Slot::Publisher, [&](ILivePublisherCallback* publisher) {
                    publisher->OnPublishQualityUpdate(publishQuality.c_str(), DemoQuality(tick));
                });
        }
    }
}

}  // namespace sim
