// Frames per second of a 1920x1080 frame source at fps 0 into a render callback that does
// nothing, against copying the same frame bytes with memcpy, measured in the same run.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "LiveRoom.h"
#include "platform/Descriptors.h"
#include "platform/Spawn.h"
#include "sdk/sim/SimControl.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr auto kDuration = std::chrono::seconds(2);

class CountingRenderer : public ZEGO::LIVEROOM::IZegoVideoRenderCallback {
  public:
    void OnVideoDataCallback(const unsigned char*, int, const char*, int, int, int[4]) override {
        frames.fetch_add(1, std::memory_order_relaxed);
    }
    std::atomic<long> frames{0};
};

void Send(int fd, const std::string& line) {
    std::string text = line + "\n";
    platform::WriteAll(fd, text.data(), text.size());
}

// Reads and discards the control channel's output.
void Drain(int fd) {
    char buffer[4096];
    while (platform::ReadSome(fd, buffer, sizeof buffer) > 0) {
    }
}

double SourceFramesPerSecond(const char* pattern) {
    platform::Pipe requests, output;
    if (!platform::MakePipe(&requests) || !platform::MakePipe(&output))
        return 0;
    std::thread drain(Drain, output.read.Get());
    sim::StartControlChannel(requests.read.Get(), output.write.Get());
    CountingRenderer renderer;
    ZEGO::LIVEROOM::SetExternalRenderCallback(&renderer);
    Send(requests.write.Get(), std::string("{\"op\":\"source\",\"stream\":\"b\",\"width\":") +
                                   std::to_string(kWidth) +
                                   ",\"height\":" + std::to_string(kHeight) +
                                   ",\"fps\":0,\"pattern\":\"" + pattern + "\"}");
    // Wait for the first frame (the pattern is drawn first), then count.
    while (renderer.frames.load() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    long start = renderer.frames.load();
    auto begin = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(kDuration);
    long counted = renderer.frames.load() - start;
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    requests.write.Reset();
    sim::StopControlChannel();
    output.write.Reset();
    drain.join();
    return counted / seconds;
}

double MemcpyFramesPerSecond() {
    std::vector<unsigned char> from(static_cast<std::size_t>(kWidth) * kHeight * 4, 7);
    std::vector<unsigned char> to(from.size());
    long copies = 0;
    auto begin = std::chrono::steady_clock::now();
    auto end = begin + kDuration;
    while (std::chrono::steady_clock::now() < end) {
        std::memcpy(to.data(), from.data(), from.size());
        from[copies % from.size()] ^= to[(copies * 31) % to.size()];  // keep the copy alive
        ++copies;
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return copies / seconds;
}

}  // namespace

int main() {
    double baseline = MemcpyFramesPerSecond();
    std::printf("memcpy of one 1920x1080 frame (baseline): %.0f frames/s\n", baseline);
    for (const char* pattern : {"bars", "moving"}) {
        double fps = SourceFramesPerSecond(pattern);
        std::printf("source %-6s 1920x1080 at fps 0:      %.0f frames/s  ratio %.2f x baseline%s\n",
                    pattern, fps, fps / baseline, fps >= 1000 ? "" : "  (below 1000 frames/s)");
    }
    return 0;
}
