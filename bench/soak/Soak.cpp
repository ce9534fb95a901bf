// Soak run: the bridge on the demo room for a fixed time with every channel playing, a command
// every few milliseconds and notifications streaming. Reports frames per channel, command round
// trips (against a bare pipe echo measured in the same run), the bridge's resident memory and
// processor use. Fails when memory grows after the first ten seconds by more than 10% plus what
// the frame buffers may still take (a host that falls behind, or a machine that stalls the
// bridge for a moment, makes each channel fill its bounded set of buffers, which then stay for
// reuse), when a reply goes missing, when a frame arrives torn, or when a playing channel stops.
//
//   quorlane-soak [--seconds N] [--interval-ms N] [--bridge PATH]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/Descriptors.h"
#include "platform/Spawn.h"
#include "tools/host/BridgeSession.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    std::size_t index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[index];
}

// Round trip of a small text through a child that copies its input to its output: the least a
// command round trip over pipes can cost.
std::vector<double> PipeEchoRoundTrips(int count) {
    std::vector<double> trips;
    platform::Pipe in, out;
    if (!platform::MakePipe(&in) || !platform::MakePipe(&out))
        return trips;
    platform::SpawnOptions o;
    o.path = "/bin/cat";
    o.descriptors = {{0, in.read.Get()}, {1, out.write.Get()}};
    platform::ChildProcess cat;
    std::string error;
    if (!cat.Spawn(o, &error)) {
        std::fprintf(stderr, "baseline: %s\n", error.c_str());
        return trips;
    }
    in.read.Reset();
    out.write.Reset();
    const char text[] = "{\"type\":\"OpenMic\"}";
    char buffer[64];
    for (int i = 0; i < count; ++i) {
        auto start = Clock::now();
        if (platform::WriteAll(in.write.Get(), text, sizeof text - 1) < 0)
            break;
        std::size_t got = 0;
        while (got < sizeof text - 1) {
            int n = platform::ReadSome(out.read.Get(), buffer, sizeof buffer);
            if (n <= 0)
                return trips;
            got += static_cast<std::size_t>(n);
        }
        trips.push_back(Since(start) * 1e6);
    }
    return trips;
}

struct Options {
    int seconds = 60;
    int intervalMs = 5;
    std::string bridge = QUORLANE_BRIDGE_PATH;
};

bool ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc)
            return false;
        if (arg == "--seconds")
            o->seconds = std::atoi(argv[++i]);
        else if (arg == "--interval-ms")
            o->intervalMs = std::atoi(argv[++i]);
        else if (arg == "--bridge")
            o->bridge = argv[++i];
        else
            return false;
    }
    return o->seconds >= 15 && o->intervalMs >= 1;
}

// A command and the reply or event type that answers it.
struct Probe {
    const char* text;
    const char* answer;
};

const Probe kProbes[] = {
    {R"({"type":"OpenMic"})", "OpenMic"},
    {R"({"type":"OpenSpeaker"})", "OpenSpeaker"},
    {R"({"type":"SetEncodeRect","param":{"nHeight":360,"nWidth":640}})",
     "SetVideoEncodeResolution"},
    {R"({"type":"CloseMic"})", "CloseMic"},
    {R"({"type":"CloseSpeaker"})", "CloseSpeaker"},
    {R"({"type":"SetWaterrect","param":{"bottom":40,"right":40,"top":0,"left":0}})",
     "SetPublishWaterMarkRect"},
    {R"({"type":"SendRoomMessage","param":{"messageContent":"soak","priority":2,"category":1,"type":1}})",
     "SendRoomMessage"},
};

class Soak {
  public:
    explicit Soak(const Options& options)
        : options_(options),
          session_(host::BridgeHandlers{
              [this](const host::BridgeMessage& m) { OnMessage(m); },
              [this](host::Frame& f) {
                  ++frames_[f.channel];
                  largestPayload_[f.channel] =
                      std::max(largestPayload_[f.channel], f.geometry.PayloadSize());
              },
              nullptr,
              [this](int channel, const std::string& why) {
                  std::fprintf(stderr, "FAIL: channel %d torn: %s\n", channel, why.c_str());
                  torn_ = true;
              },
              [this](const std::string& bytes) {
                  std::fprintf(stderr, "FAIL: stray bytes on descriptor 4: %s\n", bytes.c_str());
                  stray_ = true;
              }}) {}

    int Run();

  private:
    void OnMessage(const host::BridgeMessage& m);
    // Pumps until `done` or `seconds` pass; false on timeout or when the bridge ends.
    template <typename Done>
    bool PumpUntil(double seconds, Done done);
    void Send(const std::string& text, const std::string& answer);

    Options options_;
    host::BridgeSession session_;
    std::uint64_t frames_[host::kChannelCount] = {};
    std::size_t largestPayload_[host::kChannelCount] = {};
    // Send times of the commands still waiting for their answer, per answer type.
    std::map<std::string, std::deque<Clock::time_point>> waiting_;
    std::vector<double> trips_;         // replies, microseconds
    std::vector<double> confirmTrips_;  // room message confirmations (events), microseconds
    std::uint64_t unexpected_ = 0;
    std::vector<std::string> streams_;
    bool sawStreams_ = false;
    bool torn_ = false;
    bool stray_ = false;
};

void Soak::OnMessage(const host::BridgeMessage& m) {
    if (m.kind == host::BridgeMessage::Kind::Event && m.type == "StreamsList" && !sawStreams_) {
        sawStreams_ = true;
        nlohmann::json e = nlohmann::json::parse(m.text, nullptr, false);
        if (!e.is_discarded()) {
            const auto& list = e["param"]["StreamInfo"];
            if (list.is_array() && !list.empty()) {
                for (int i = 0; i < 4; ++i) {
                    auto item = list[0].find("StreamInfo" + std::to_string(i));
                    if (item != list[0].end() && item->is_array() && !item->empty())
                        streams_.push_back((*item)[0].value("StreamId", ""));
                }
            }
        }
    }
    bool answer = m.kind == host::BridgeMessage::Kind::Reply ||
                  (m.kind == host::BridgeMessage::Kind::Event && m.type == "SendRoomMessage");
    if (!answer)
        return;
    auto it = waiting_.find(m.type);
    if (it == waiting_.end() || it->second.empty()) {
        ++unexpected_;
        return;
    }
    double trip = std::chrono::duration<double>(Clock::now() - it->second.front()).count() * 1e6;
    (m.kind == host::BridgeMessage::Kind::Reply ? trips_ : confirmTrips_).push_back(trip);
    it->second.pop_front();
}

template <typename Done>
bool Soak::PumpUntil(double seconds, Done done) {
    auto start = Clock::now();
    while (!done()) {
        if (Since(start) > seconds || !session_.Pump(10))
            return false;
    }
    return true;
}

void Soak::Send(const std::string& text, const std::string& answer) {
    waiting_[answer].push_back(Clock::now());
    session_.SendCommand(text);
}

int Soak::Run() {
    std::vector<double> echo = PipeEchoRoundTrips(2000);
    double echoMedian = Percentile(echo, 0.5);
    std::printf("baseline: pipe echo round trip median %.1f us (%zu trips)\n", echoMedian,
                echo.size());

    char dir[] = "/tmp/quorlane-soak-XXXXXX";
    if (::mkdtemp(dir) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    host::BridgeOptions bridge;
    bridge.bridgePath = options_.bridge;
    bridge.workingDirectory = dir;
    bridge.stdoutPath = std::string(dir) + "/console.log";
    bridge.stderrPath = std::string(dir) + "/stderr.log";
    std::string error;
    if (!session_.Start(bridge, &error)) {
        std::fprintf(stderr, "FAIL: %s\n", error.c_str());
        return 1;
    }
    std::printf("bridge %s, pid %d, working directory %s\n", options_.bridge.c_str(),
                session_.Pid(), dir);

    // Log in, enter the demo room, play what it has, preview and publish.
    Send(R"({"type":"DaemonStart"})", "DaemonStart");
    waiting_["DaemonStart"].push_front(Clock::now());  // the one the bridge sends by itself
    Send(R"({"type":"Login","param":{"userID":"soak","userName":"Soak","test":1}})", "Login");
    Send(R"({"type":"EnterRoom","param":{"RoomName":"Demo Room","RoomID":"demo","role":1}})",
         "EnterRoom");
    if (!PumpUntil(15, [&] { return waiting_["DaemonStart"].size() < 2; })) {
        std::fprintf(stderr, "FAIL: the bridge did not start\n");
        return 1;
    }
    std::int64_t rssStart = session_.ResidentBytes();
    if (!PumpUntil(15, [&] { return sawStreams_; })) {
        std::fprintf(stderr, "FAIL: no stream list from the demo room (%s)\n",
                     session_.Ended() ? session_.Status().Describe().c_str() : "timed out");
        return 1;
    }
    std::string view = R"({"type":"RequestView","param":[)";
    std::string names;
    for (std::size_t i = 0; i < streams_.size() && i < 4; ++i) {
        view += (i ? "," : "") + ("\"" + streams_[i] + "\"");
        names += (i ? ", " : "") + streams_[i];
    }
    view += "]}";
    std::printf("the room has %zu stream(s): %s; playing them on channels 1 to %zu%s\n",
                streams_.size(), names.c_str(), std::min<std::size_t>(streams_.size(), 4),
                streams_.size() < 4 ? " (the other channels stay idle)" : "");
    session_.SendCommand(view);
    Send(R"({"type":"OpenCamera"})", "OpenCamera");
    Send(R"({"type":"StartPreview"})", "StartPreview");
    session_.SendCommand(
        R"({"type":"StartPushRtmp","param":{"Params":"","StreamID":"soak-live","Title":"soak","flag":0}})");
    int playing = 1 + static_cast<int>(std::min<std::size_t>(streams_.size(), 4));
    if (!PumpUntil(15, [&] {
            for (int c = 0; c < playing; ++c) {
                if (frames_[c] == 0)
                    return false;
            }
            return true;
        })) {
        std::fprintf(stderr, "FAIL: not every channel started playing\n");
        return 1;
    }

    // The soak itself; the set-up commands' round trips do not count.
    trips_.clear();
    confirmTrips_.clear();
    auto start = Clock::now();
    auto nextCommand = start;
    std::size_t probe = 0;
    std::uint64_t sent = 0;
    std::int64_t rssAfterWarmUp = -1, rssPeak = 0;
    double cpuAtStart = session_.CpuSeconds();
    std::uint64_t framesAtWindow[host::kChannelCount] = {};
    double nextReport = 10;
    bool stalled = false;
    while (Since(start) < options_.seconds) {
        auto now = Clock::now();
        if (now >= nextCommand) {
            const Probe& p = kProbes[probe++ % (sizeof kProbes / sizeof kProbes[0])];
            Send(p.text, p.answer);
            ++sent;
            nextCommand += std::chrono::milliseconds(options_.intervalMs);
            if (nextCommand < now)
                nextCommand = now;
        }
        if (!session_.Pump(1)) {
            std::fprintf(stderr, "FAIL: the bridge ended (%s)\n",
                         session_.Status().Describe().c_str());
            return 1;
        }
        double t = Since(start);
        if (t >= nextReport) {
            std::int64_t rss = session_.ResidentBytes();
            rssPeak = std::max(rssPeak, rss);
            if (rssAfterWarmUp < 0)
                rssAfterWarmUp = rss;
            std::printf("%5.0fs  rss %.1f MiB  commands %llu  frames", t, rss / 1048576.0,
                        static_cast<unsigned long long>(sent));
            for (int c = 0; c < host::kChannelCount; ++c) {
                std::printf(" ch%d %llu", c, static_cast<unsigned long long>(frames_[c]));
                if (c < playing && frames_[c] == framesAtWindow[c])
                    stalled = true;
                framesAtWindow[c] = frames_[c];
            }
            std::printf("\n");
            std::fflush(stdout);
            nextReport += 10;
        }
    }
    double elapsed = Since(start);
    double cpu = session_.CpuSeconds() - cpuAtStart;
    std::int64_t rssEnd = session_.ResidentBytes();

    // Every command must get its answer; give the last ones a moment.
    auto missing = [&] {
        std::size_t n = 0;
        for (const auto& w : waiting_)
            n += w.second.size();
        return n;
    };
    PumpUntil(5, [&] { return missing() == 0; });
    std::size_t lost = missing();
    session_.Stop();

    std::printf("\nsoak of %.0f s, a command every %d ms\n", elapsed, options_.intervalMs);
    for (int c = 0; c < host::kChannelCount; ++c) {
        std::printf("  channel %d: %llu frames (%.1f per second)%s\n", c,
                    static_cast<unsigned long long>(frames_[c]), frames_[c] / elapsed,
                    c >= playing ? ", idle: no stream for it" : "");
    }
    double median = Percentile(trips_, 0.5);
    std::printf(
        "  commands: %llu sent, %zu replies, %zu room message confirmations, %zu "
        "missing, %llu unexpected\n",
        static_cast<unsigned long long>(sent), trips_.size(), confirmTrips_.size(), lost,
        static_cast<unsigned long long>(unexpected_));
    std::printf("  reply round trip: median %.1f us, p99 %.1f us, max %.1f us\n", median,
                Percentile(trips_, 0.99), Percentile(trips_, 1.0));
    std::printf("  reply round trip / pipe echo (median): %.1fx\n",
                echoMedian > 0 ? median / echoMedian : 0.0);
    std::printf(
        "  room message confirmation (SDK thread, event queue): median %.1f us, max "
        "%.1f us\n",
        Percentile(confirmTrips_, 0.5), Percentile(confirmTrips_, 1.0));
    std::printf(
        "  bridge memory: %.1f MiB at start, %.1f MiB after 10 s, %.1f MiB peak, %.1f MiB "
        "at end (%+.1f%% after 10 s)\n",
        rssStart / 1048576.0, rssAfterWarmUp / 1048576.0, rssPeak / 1048576.0, rssEnd / 1048576.0,
        rssAfterWarmUp > 0 ? 100.0 * (rssEnd - rssAfterWarmUp) / rssAfterWarmUp : 0.0);
    std::printf("  bridge processor: %.1f s in %.0f s (%.0f%% of one core)\n", cpu, elapsed,
                100.0 * cpu / elapsed);

    bool ok = true;
    auto fail = [&](const char* what) {
        std::printf("FAIL: %s\n", what);
        ok = false;
    };
    if (torn_)
        fail("a frame arrived torn");
    if (stray_)
        fail("bytes outside any object on descriptor 4");
    if (lost > 0)
        fail("replies went missing");
    if (unexpected_ > 0)
        fail("answers came that no command asked for");
    if (stalled)
        fail("a playing channel received no frame for ten seconds");
    // The bridge keeps at most this many converted frames per channel: the one being written
    // and its backlog.
    constexpr std::size_t kFrameBuffersPerChannel = 4;
    std::int64_t frameBuffers = 0;
    for (std::size_t payload : largestPayload_)
        frameBuffers += static_cast<std::int64_t>(kFrameBuffersPerChannel * payload);
    std::printf("  frame buffers the bridge may keep: %.1f MiB\n", frameBuffers / 1048576.0);
    if (rssAfterWarmUp > 0 && rssEnd > rssAfterWarmUp + rssAfterWarmUp / 10 + frameBuffers)
        fail("memory grew after the first ten seconds by more than 10% and the frame buffers");
    std::printf(ok ? "soak passed\n" : "soak failed\n");
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: quorlane-soak [--seconds N (at least 15, default 60)] "
                     "[--interval-ms N (default 5)] [--bridge PATH]\n");
        return 2;
    }
    platform::IgnoreBrokenPipe();
    return Soak(options).Run();
}
