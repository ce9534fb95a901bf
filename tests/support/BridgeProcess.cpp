#include "tests/support/BridgeProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Descriptors.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace bridgetest {

namespace fs = std::filesystem;

namespace {

const char kGreeting[] = R"({ "code": 0, "type": "DaemonStart" })";
const char kBarrier[] = R"({"type":"DaemonStart"})";
const int kStartTimeoutMs = 20000;

std::string MakeTemporaryDirectory() {
    static std::atomic<int> counter{0};
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        fs::path candidate = base / ("quorlane-e2e-" + std::to_string(platform::ProcessId()) + "-" +
                                     std::to_string(counter++));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            return candidate.string();
        }
    }
    return std::string();
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string CallText(const nlohmann::json& record) {
    std::string text = record.value("call", std::string("?")) + "(";
    if (record.contains("args")) {
        bool first = true;
        for (const nlohmann::json& argument : record["args"]) {
            if (!first) {
                text += ", ";
            }
            first = false;
            text += argument.dump();
        }
    }
    text += ")";
    if (record.contains("result")) {
        text += " -> " + record["result"].dump();
    }
    return text;
}

BridgeProcess::BridgeProcess() = default;

BridgeProcess::~BridgeProcess() {
    Stop();
}

bool BridgeProcess::Start() {
    return Start(Options());
}

bool BridgeProcess::Start(const Options& options) {
    directory_ = MakeTemporaryDirectory();
    if (directory_.empty()) {
        ADD_FAILURE() << "cannot create a temporary directory";
        return false;
    }
    if (!options.configText.empty()) {
        std::ofstream(fs::path(directory_) / "config.cfg", std::ios::binary) << options.configText;
    }
    if (options.configDirectory) {
        fs::create_directory(fs::path(directory_) / "config.cfg");
    }
    if (options.configFifo && !platform::MakeFifo(directory_ + "/config.cfg")) {
        ADD_FAILURE() << "cannot make a FIFO";
        return false;
    }

    // Child descriptor -> pipe; the child reads 3 and 10 and writes the others.
    platform::Pipe pipes[9];
    const int childNumbers[9] = {3, 4, 5, 6, 7, 8, 9, 10, 11};
    platform::SpawnOptions spawn;
    const std::string binary = options.binary.empty() ? QUORLANE_BINARY : options.binary;
    spawn.path = binary;
    spawn.textModeDescriptors = options.textModeDescriptors;
    spawn.workingDirectory = directory_;
    platform::Pipe stdoutPipe;
    if (options.stdoutPipe) {
        if (!platform::MakePipe(&stdoutPipe)) {
            ADD_FAILURE() << "cannot create a pipe";
            return false;
        }
        spawn.descriptors.emplace_back(1, stdoutPipe.write.Get());
        platform::MutexLock hold(mutex_);
        paused_[7] = true;
    } else {
        spawn.stdoutPath = directory_ + "/stdout.txt";
    }
    spawn.stderrPath = directory_ + "/stderr.txt";
    spawn.environment = options.environment;
    spawn.environment.emplace_back("QUORLANE_SIM_CONTROL", "10,11");
    for (int i = 0; i < 9; ++i) {
        const int number = childNumbers[i];
        const bool frame = number >= 5 && number <= 9;
        const bool omitted =
            std::find(options.omittedDescriptors.begin(), options.omittedDescriptors.end(),
                      number) != options.omittedDescriptors.end();
        if (frame && (!options.frameDescriptors || omitted)) {
            continue;
        }
        if (!platform::MakePipe(&pipes[i])) {
            ADD_FAILURE() << "cannot create a pipe";
            return false;
        }
        const bool childReads = (number == 3 && !options.unreadableCommands) || number == 10;
        spawn.descriptors.emplace_back(number,
                                       childReads ? pipes[i].read.Get() : pipes[i].write.Get());
    }
    if (!platform::MakePipe(&wake_)) {
        ADD_FAILURE() << "cannot create a pipe";
        return false;
    }

    std::string error;
    if (!child_.Spawn(spawn, &error)) {
        ADD_FAILURE() << "cannot start " << binary << ": " << error;
        return false;
    }
    commands_ = std::move(pipes[0].write);
    requests_ = std::move(pipes[7].write);
    outputs_[0] = std::move(pipes[1].read);
    for (int channel = 0; channel < 5; ++channel) {
        outputs_[1 + channel] = std::move(pipes[2 + channel].read);
    }
    outputs_[6] = std::move(pipes[8].read);
    outputs_[7] = std::move(stdoutPipe.read);
    for (platform::UniqueFd& output : outputs_) {
        if (output.Valid()) {
            platform::SetNonBlocking(output.Get(), true);
        }
    }
    platform::SetNonBlocking(wake_.read.Get(), true);
    reader_ = std::thread([this] { ReaderLoop(); });

    if (!WaitForObjects(1, kStartTimeoutMs)) {
        ADD_FAILURE() << "no greeting from the bridge; stderr:\n" << Stderr();
        return false;
    }
    if (!Sync()) {
        ADD_FAILURE() << "the simulated SDK did not answer at start; stderr:\n" << Stderr();
        return false;
    }
    return true;
}

void BridgeProcess::Stop() {
    if (child_.Started()) {
        platform::ExitStatus status;
        if (exitExpected_) {
            child_.KillAndWait();
        } else if (child_.HasExited(&status)) {
            ADD_FAILURE() << "the bridge ended during the test (" << status.Describe()
                          << "); stderr:\n"
                          << Stderr();
        } else {
            child_.KillAndWait();
        }
        const std::string errors = Stderr();
        if (errors.find("Sanitizer") != std::string::npos) {
            ADD_FAILURE() << "sanitizer report from the bridge:\n" << errors;
        }
    }
    if (reader_.joinable()) {
        {
            platform::MutexLock hold(mutex_);
            stopping_ = true;
        }
        const char wake = 's';
        platform::WriteSome(wake_.write.Get(), &wake, 1);
        reader_.join();
    }
    if (!directory_.empty() && platform::GetEnvironment("QUORLANE_KEEP_TEST_DIRS") == nullptr) {
        std::error_code error;
        fs::remove_all(directory_, error);
    }
}

void BridgeProcess::ReaderLoop() {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        std::vector<platform::PollEntry> entries;
        platform::PollEntry wake;
        wake.fd = wake_.read.Get();
        entries.push_back(wake);
        {
            platform::MutexLock hold(mutex_);
            for (int index = 0; index < 8; ++index) {
                platform::PollEntry entry;
                entry.fd = paused_[index] ? -1 : outputs_[index].Get();  // negative: ignored
                entries.push_back(entry);
            }
        }
        platform::PollDescriptors(entries, 1000);

        if (entries[0].readable) {
            char drain[64];
            while (platform::ReadNonBlocking(wake_.read.Get(), drain, sizeof drain) > 0) {
            }
            platform::MutexLock hold(mutex_);
            if (stopping_) {
                return;
            }
            if (closeRepliesRequested_) {
                outputs_[0].Reset();
                closeRepliesRequested_ = false;
                changed_.SignalAll();
            }
            if (closeFramesRequested_) {
                for (int channel = 0; channel < 5; ++channel)
                    outputs_[1 + channel].Reset();
                closeFramesRequested_ = false;
                changed_.SignalAll();
            }
        }
        for (int index = 0; index < 8; ++index) {
            const platform::PollEntry& entry = entries[1 + index];
            if (entry.fd < 0 || !(entry.readable || entry.hangup || entry.error)) {
                continue;
            }
            if (!outputs_[index].Valid() || outputs_[index].Get() != entry.fd) {
                continue;
            }
            const long count = platform::ReadNonBlocking(entry.fd, buffer.data(), buffer.size());
            if (count > 0) {
                TakeOutput(index, buffer.data(), static_cast<std::size_t>(count));
            } else if (count != platform::kIoWouldBlock) {
                platform::MutexLock hold(mutex_);
                outputs_[index].Reset();
                changed_.SignalAll();
            }
        }
    }
}

void BridgeProcess::TakeOutput(int index, const char* data, std::size_t size) {
    platform::MutexLock hold(mutex_);
    if (index == 0) {
        replyBytes_.append(data, size);
        replyFramer_.Feed(data, size, objects_, nullptr);
    } else if (index <= 5) {
        frameBytes_[index - 1].append(data, size);
    } else if (index == 7) {
        stdoutText_.append(data, size);
    } else {
        controlPending_.append(data, size);
        std::size_t end;
        while ((end = controlPending_.find('\n')) != std::string::npos) {
            TakeControlLine(controlPending_.substr(0, end));
            controlPending_.erase(0, end + 1);
        }
    }
    changed_.SignalAll();
}

void BridgeProcess::TakeControlLine(const std::string& line) {
    if (line.empty()) {
        return;
    }
    nlohmann::json value = nlohmann::json::parse(line, nullptr, false);
    if (value.is_discarded()) {
        ADD_FAILURE() << "unreadable control line: " << line;
        return;
    }
    if (value.contains("call")) {
        calls_.push_back(std::move(value));
    } else {
        if (value.value("op", std::string()) == "error") {
            ADD_FAILURE() << "the simulated SDK refused a request: " << line;
        }
        answers_.push_back(std::move(value));
    }
}

bool BridgeProcess::WaitUntil(const std::function<bool()>& ready, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    platform::MutexLock hold(mutex_);
    for (;;) {
        if (ready())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        changed_.WaitUntil(deadline);
    }
}

void BridgeProcess::Send(const std::string& bytes) {
    ASSERT_EQ(platform::WriteAll(commands_.Get(), bytes.data(), bytes.size()),
              static_cast<int>(bytes.size()))
        << "write to descriptor 3 failed";
}

Exchange BridgeProcess::Run(const std::string& bytes, int daemonStartsInBytes) {
    std::size_t objectsBefore;
    std::size_t callsBefore;
    {
        platform::MutexLock hold(mutex_);
        objectsBefore = objects_.size();
        callsBefore = calls_.size();
    }
    if (!bytes.empty()) {
        Send(bytes);
    }
    Send(kBarrier);

    const int wanted = daemonStartsInBytes + 1;
    std::size_t barrierIndex = 0;
    const bool arrived = WaitUntil(
        [&]() REQUIRES(mutex_) {
            int seen = 0;
            for (std::size_t i = objectsBefore; i < objects_.size(); ++i) {
                if (objects_[i] == kGreeting && ++seen == wanted) {
                    barrierIndex = i;
                    return true;
                }
            }
            return false;
        },
        kStartTimeoutMs);
    Exchange exchange;
    if (!arrived) {
        ADD_FAILURE() << "no reply to the barrier command; stderr:\n" << Stderr();
        return exchange;
    }
    EXPECT_TRUE(Sync()) << "the simulated SDK did not answer a sync request";

    platform::MutexLock hold(mutex_);
    exchange.replies.assign(objects_.begin() + objectsBefore, objects_.begin() + barrierIndex);
    for (std::size_t i = callsBefore; i < calls_.size(); ++i) {
        exchange.calls.push_back(CallText(calls_[i]));
    }
    return exchange;
}

void BridgeProcess::Control(const nlohmann::json& request) {
    const std::string line = request.dump() + "\n";
    ASSERT_EQ(platform::WriteAll(requests_.Get(), line.data(), line.size()),
              static_cast<int>(line.size()))
        << "write to the control channel failed";
}

nlohmann::json BridgeProcess::Ask(const nlohmann::json& request, const std::string& answerOp,
                                  int timeoutMs) {
    std::size_t before;
    {
        platform::MutexLock hold(mutex_);
        before = answers_.size();
    }
    Control(request);
    nlohmann::json answer;
    WaitUntil(
        [&]() REQUIRES(mutex_) {
            for (std::size_t i = before; i < answers_.size(); ++i) {
                if (answers_[i].value("op", std::string()) == answerOp) {
                    answer = answers_[i];
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return answer;
}

bool BridgeProcess::WaitForAnswer(const std::string& answerOp, int timeoutMs) {
    return WaitUntil(
        [&]() REQUIRES(mutex_) {
            for (const nlohmann::json& answer : answers_) {
                if (answer.value("op", std::string()) == answerOp) {
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
}

bool BridgeProcess::Sync(int timeoutMs) {
    int id;
    {
        platform::MutexLock hold(mutex_);
        id = nextSyncId_++;
    }
    std::size_t before;
    {
        platform::MutexLock hold(mutex_);
        before = answers_.size();
    }
    Control({{"op", "sync"}, {"id", id}});
    return WaitUntil(
        [&]() REQUIRES(mutex_) {
            for (std::size_t i = before; i < answers_.size(); ++i) {
                if (answers_[i].value("op", std::string()) == "synced" &&
                    answers_[i].value("id", -1) == id) {
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
}

void BridgeProcess::SetResult(const std::string& function, const nlohmann::json& value) {
    Control({{"op", "result"}, {"fn", function}, {"value", value}});
    EXPECT_TRUE(Sync());
}

void BridgeProcess::PauseReading(int output, bool paused) {
    {
        platform::MutexLock hold(mutex_);
        paused_[output] = paused;
    }
    const char wake = 'p';
    platform::WriteSome(wake_.write.Get(), &wake, 1);
}

void BridgeProcess::ReadStdout() {
    PauseReading(7, false);
}

std::string BridgeProcess::StdoutText() {
    platform::MutexLock hold(mutex_);
    return stdoutText_;
}

Lines BridgeProcess::Objects() {
    platform::MutexLock hold(mutex_);
    return objects_;
}

std::string BridgeProcess::ReplyBytes() {
    platform::MutexLock hold(mutex_);
    return replyBytes_;
}

bool BridgeProcess::WaitForObjects(std::size_t count, int timeoutMs) {
    return WaitUntil([&]() REQUIRES(mutex_) { return objects_.size() >= count; }, timeoutMs);
}

bool BridgeProcess::WaitForObjectsWith(const std::string& piece, std::size_t count, int timeoutMs) {
    return WaitUntil(
        [&]() REQUIRES(mutex_) {
            std::size_t found = 0;
            for (const std::string& object : objects_) {
                if (object.find(piece) != std::string::npos) {
                    ++found;
                }
            }
            return found >= count;
        },
        timeoutMs);
}

Lines BridgeProcess::Calls() {
    platform::MutexLock hold(mutex_);
    Lines lines;
    for (const nlohmann::json& record : calls_) {
        lines.push_back(CallText(record));
    }
    return lines;
}

bool BridgeProcess::WaitForCalls(std::size_t count, int timeoutMs) {
    return WaitUntil([&]() REQUIRES(mutex_) { return calls_.size() >= count; }, timeoutMs);
}

bool BridgeProcess::NextFrame(int channel, Frame* frame, int timeoutMs) {
    auto whole = [&]() REQUIRES(mutex_) {
        std::string& bytes = frameBytes_[channel];
        std::size_t& start = frameStart_[channel];
        if (bytes.size() - start < 12) {
            return false;
        }
        std::int32_t header[3];
        for (int i = 0; i < 3; ++i) {
            const unsigned char* p =
                reinterpret_cast<const unsigned char*>(bytes.data()) + start + 4 * i;
            header[i] = static_cast<std::int32_t>(
                static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
        }
        if (header[2] < 0 || bytes.size() - start < 12 + static_cast<std::size_t>(header[2])) {
            return false;
        }
        frame->width = header[0];
        frame->height = header[1];
        frame->length = header[2];
        frame->payload = bytes.substr(start + 12, static_cast<std::size_t>(header[2]));
        start += 12 + static_cast<std::size_t>(header[2]);
        // Frames taken are dropped in one move once they make up half of the buffer, so a long
        // backlog is not shifted once per frame.
        if (start * 2 >= bytes.size()) {
            bytes.erase(0, start);
            start = 0;
        }
        return true;
    };
    return WaitUntil(whole, timeoutMs);
}

std::string BridgeProcess::LogText() {
    std::string text;
    const fs::path logDirectory = fs::path(directory_) / "log";
    std::error_code error;
    if (!fs::is_directory(logDirectory, error)) {
        return text;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(logDirectory, error)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        text += ReadFile(file);
    }
    return text;
}

std::uintmax_t BridgeProcess::LogBytes() {
    std::uintmax_t bytes = 0;
    std::error_code error;
    for (const auto& entry :
         fs::recursive_directory_iterator(fs::path(directory_) / "log", error)) {
        if (entry.is_regular_file(error)) {
            bytes += entry.file_size(error);
        }
    }
    return bytes;
}

bool BridgeProcess::WaitForLog(const std::string& piece, int timeoutMs) {
    return WaitForLogCount(piece, 1, timeoutMs);
}

bool BridgeProcess::WaitForLogCount(const std::string& piece, int count, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (CountInLog(piece) >= count) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        platform::SleepMilliseconds(20);
    }
}

int BridgeProcess::CountInLog(const std::string& piece) {
    const std::string text = LogText();
    int count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + piece.size())) {
        ++count;
    }
    return count;
}

void BridgeProcess::CloseCommands() {
    commands_.Reset();
}

void BridgeProcess::CloseReplies() {
    {
        platform::MutexLock hold(mutex_);
        closeRepliesRequested_ = true;
    }
    const char wake = 'c';
    platform::WriteSome(wake_.write.Get(), &wake, 1);
    WaitUntil([&]() REQUIRES(mutex_) { return !closeRepliesRequested_; }, 5000);
}

void BridgeProcess::CloseFrames() {
    {
        platform::MutexLock hold(mutex_);
        closeFramesRequested_ = true;
    }
    const char wake = 'c';
    platform::WriteSome(wake_.write.Get(), &wake, 1);
    WaitUntil([&]() REQUIRES(mutex_) { return !closeFramesRequested_; }, 5000);
}

bool BridgeProcess::HandHostEndsTo(const std::string& path, const std::vector<std::string>& args,
                                   platform::ChildProcess* holder) {
    platform::SpawnOptions spawn;
    spawn.path = path;
    spawn.args = args;
    spawn.stdoutPath = platform::NullDevicePath();
    spawn.stderrPath = platform::NullDevicePath();
    {
        platform::MutexLock hold(mutex_);
        spawn.descriptors.emplace_back(3, commands_.Get());
        for (int index = 0; index < 6; ++index) {
            if (outputs_[index].Valid()) {
                spawn.descriptors.emplace_back(4 + index, outputs_[index].Get());
            }
        }
    }
    std::string error;
    if (!holder->Spawn(spawn, &error)) {
        ADD_FAILURE() << "cannot start " << path << ": " << error;
        return false;
    }
    CloseCommands();
    CloseReplies();
    CloseFrames();
    return true;
}

bool BridgeProcess::WaitForControlEnd(int timeoutMs) {
    return WaitUntil([&] { return !outputs_[6].Valid(); }, timeoutMs);
}

bool BridgeProcess::WaitForExit(int timeoutMs, platform::ExitStatus* status) {
    exitExpected_ = true;
    return child_.WaitFor(timeoutMs, status);
}

bool BridgeProcess::Alive() {
    return !child_.HasExited();
}

std::string BridgeProcess::Stderr() const {
    if (directory_.empty()) {
        return std::string();
    }
    return ReadFile(fs::path(directory_) / "stderr.txt");
}

}  // namespace bridgetest
