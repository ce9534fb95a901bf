// What a host that stops reading costs the bridge. The bridge plays the demo room (three
// streams and the preview) while commands arrive every millisecond; then, for a while, this
// host stops reading one output:
//   stdout   the bridge's standard output (a pipe, as Node's spawn gives it)
//   replies  descriptor 4
//   channel  the frame pipe of channel 1
// It reports the bridge's resident memory, the growth of its log file and the frame rate of
// every channel before and during the stall, so that builds can be compared side by side.
//
//   quorlane-stall [--seconds N] [--bridge PATH] [stdout|replies|channel ...]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/Descriptors.h"
#include "platform/Process.h"
#include "platform/Spawn.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::uintmax_t LogBytes(const fs::path& directory) {
    std::uintmax_t total = 0;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(directory / "log", error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_regular_file(error))
            total += it->file_size(error);
    }
    return total;
}

// Host read ends: 0 standard output, 1 descriptor 4, 2 to 6 frames of channels 0 to 4.
constexpr int kOutputs = 7;

class StalledHost {
  public:
    StalledHost(const std::string& bridge, int stalledOutput)
        : stalled_(stalledOutput),
          directory_(fs::temp_directory_path() /
                     ("quorlane-stall-" + std::to_string(platform::ProcessId()))) {
        fs::create_directories(directory_);
        platform::SpawnOptions spawn;
        spawn.path = bridge;
        spawn.workingDirectory = directory_.string();
        spawn.stderrPath = (directory_ / "stderr.txt").string();
        const int numbers[kOutputs] = {1, 4, 5, 6, 7, 8, 9};
        if (!platform::MakePipe(&commands_))
            std::exit(1);
        spawn.descriptors.emplace_back(3, commands_.read.Get());
        for (int i = 0; i < kOutputs; ++i) {
            if (!platform::MakePipe(&outputs_[i]))
                std::exit(1);
            spawn.descriptors.emplace_back(numbers[i], outputs_[i].write.Get());
        }
        std::string error;
        if (!child_.Spawn(spawn, &error)) {
            std::fprintf(stderr, "cannot start %s: %s\n", bridge.c_str(), error.c_str());
            std::exit(1);
        }
        commands_.read.Reset();
        platform::SetNonBlocking(commands_.write.Get(), true);
        for (platform::Pipe& output : outputs_) {
            output.write.Reset();
            platform::SetNonBlocking(output.read.Get(), true);
        }
    }
    ~StalledHost() {
        child_.KillAndWait();
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }

    // Writes a command unless descriptor 3 is full (a bridge that no longer takes commands).
    void Send(const std::string& text) {
        if (platform::WriteNonBlocking(commands_.write.Get(), text.data(), text.size()) !=
            static_cast<long>(text.size()))
            ++commandsRefused_;
    }
    long TakeCommandsRefused() { return std::exchange(commandsRefused_, 0); }

    // Reads everything that is not stalled for `seconds`, sending a command every millisecond.
    void Pump(double seconds, bool stalled) {
        const Clock::time_point start = Clock::now();
        Clock::time_point nextCommand = start;
        std::vector<char> buffer(1 << 20);
        while (Since(start) < seconds) {
            if (Clock::now() >= nextCommand) {
                Send(R"({"type":"OpenMic"})");
                nextCommand += std::chrono::milliseconds(1);
            }
            std::vector<platform::PollEntry> entries;
            for (int i = 0; i < kOutputs; ++i) {
                platform::PollEntry entry;
                entry.fd = stalled && i == stalled_ ? -1 : outputs_[i].read.Get();
                entries.push_back(entry);
            }
            platform::PollDescriptors(entries, 1);
            for (int i = 0; i < kOutputs; ++i) {
                if (!(entries[i].readable || entries[i].hangup))
                    continue;
                const long n =
                    platform::ReadNonBlocking(entries[i].fd, buffer.data(), buffer.size());
                if (n > 0 && i >= 2)
                    TakeFrameBytes(i - 2, buffer.data(), static_cast<std::size_t>(n));
            }
        }
    }

    // Whole frames counted per channel since the last call.
    std::vector<long> TakeFrameCounts() {
        std::vector<long> counts(frames_, frames_ + 5);
        std::fill(frames_, frames_ + 5, 0);
        return counts;
    }

    std::int64_t ResidentBytes() const { return child_.ResidentBytes(); }
    std::uintmax_t LogBytes() const { return ::LogBytes(directory_); }
    bool Alive() { return !child_.HasExited(); }

  private:
    // Counts frames by walking their headers; the payload bytes are skipped.
    void TakeFrameBytes(int channel, const char* data, std::size_t size) {
        Channel& c = channels_[channel];
        while (size > 0) {
            if (c.skip > 0) {
                const std::size_t n = std::min<std::size_t>(c.skip, size);
                c.skip -= n;
                data += n;
                size -= n;
                if (c.skip == 0)
                    ++frames_[channel];
                continue;
            }
            const std::size_t n = std::min(size, 12 - c.header.size());
            c.header.append(data, n);
            data += n;
            size -= n;
            if (c.header.size() == 12) {
                std::int32_t length;
                std::memcpy(&length, c.header.data() + 8, 4);
                c.skip = static_cast<std::size_t>(length);
                c.header.clear();
            }
        }
    }

    struct Channel {
        std::string header;
        std::size_t skip = 0;
    };

    int stalled_;
    fs::path directory_;
    platform::Pipe commands_;
    platform::Pipe outputs_[kOutputs];
    platform::ChildProcess child_;
    Channel channels_[5];
    long frames_[5] = {};
    long commandsRefused_ = 0;
};

void PrintRates(const char* when, const std::vector<long>& frames, double seconds) {
    std::printf("  %-7s frames/s:", when);
    for (int channel = 0; channel < 4; ++channel)
        std::printf("  channel %d %6.1f", channel, frames[channel] / seconds);
    std::printf("\n");
}

void Run(const std::string& bridge, const std::string& scenario, double seconds) {
    const int stalled = scenario == "stdout" ? 0 : scenario == "replies" ? 1 : 3;
    StalledHost host(bridge, stalled);
    host.Send(R"({"type":"Login","param":{"userID":"stall","userName":"Stall","test":0}})");
    host.Send(R"({"type":"EnterRoom","param":{"RoomName":"Stall","RoomID":"s1","role":1}})");
    host.Pump(1.0, false);
    host.Send(R"({"type":"RequestView","param":["demo-1","demo-2","demo-3"]})");
    host.Send(R"({"type":"OpenCamera"})");
    host.Send(R"({"type":"StartPreview"})");
    host.Pump(2.0, false);
    host.TakeFrameCounts();

    const double before = 3.0;
    host.Pump(before, false);
    const std::vector<long> normal = host.TakeFrameCounts();
    const std::int64_t residentBefore = host.ResidentBytes();
    const std::uintmax_t logBefore = host.LogBytes();

    host.Pump(seconds, true);
    const std::vector<long> during = host.TakeFrameCounts();
    const long refused = host.TakeCommandsRefused();
    const std::int64_t residentAfter = host.ResidentBytes();
    const std::uintmax_t logAfter = host.LogBytes();

    std::printf("%s not read for %.0f s:\n", scenario.c_str(), seconds);
    PrintRates("before", normal, before);
    PrintRates("during", during, seconds);
    std::printf(
        "  resident memory %.1f MiB -> %.1f MiB; log files grew by %.1f KiB; %ld of %.0f "
        "commands found descriptor 3 full%s\n",
        residentBefore / 1048576.0, residentAfter / 1048576.0, (logAfter - logBefore) / 1024.0,
        refused, seconds * 1000, host.Alive() ? "" : "; the bridge ended");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    std::string bridge = QUORLANE_BINARY;
    std::vector<std::string> scenarios;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--bridge") == 0 && i + 1 < argc)
            bridge = argv[++i];
        else
            scenarios.push_back(argv[i]);
    }
    if (scenarios.empty())
        scenarios = {"stdout", "replies", "channel"};
    platform::IgnoreBrokenPipe();
    for (const std::string& scenario : scenarios)
        Run(bridge, scenario, seconds);
    return 0;
}
