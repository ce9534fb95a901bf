#include "hosts/c/src/Bridge.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

#include "framer/ObjectFramer.h"
#include "platform/Descriptors.h"

namespace libquorlane {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFrameHeaderBytes = 12;
constexpr int kMaxSide = 16384;
constexpr int kFramePipeBytes = 1 << 20;
constexpr int kSendPollMs = 100;
const char kGreetingType[] = "\"DaemonStart\"";

// The bridge whose text or frame delivery thread this is, if any.
thread_local const Bridge* deliveringTextsFor = nullptr;
thread_local const Bridge* deliveringFramesFor = nullptr;

std::int32_t LittleEndian32(const std::uint8_t* b) {
    const std::uint32_t v =
        static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
        (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    std::int32_t result;
    std::memcpy(&result, &v, sizeof result);
    return result;
}

// Reads exactly `size` bytes (into `buffer`, or discarded when it is null); false at end of
// input or on an error.
bool ReadFully(int fd, std::uint8_t* buffer, std::size_t size) {
    std::uint8_t scratch[64 * 1024];
    while (size > 0) {
        std::uint8_t* into = buffer != nullptr ? buffer : scratch;
        const std::size_t want = buffer != nullptr ? size : std::min(size, sizeof scratch);
        const int n = platform::ReadSome(fd, into, want);
        if (n <= 0)
            return false;
        size -= static_cast<std::size_t>(n);
        if (buffer != nullptr)
            buffer += n;
    }
    return true;
}

void CopyText(const std::string& text, char* out, std::size_t size) {
    if (out == nullptr || size == 0)
        return;
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

}  // namespace

Bridge::Bridge() = default;

Bridge::~Bridge() {
    Close(kDefaultGraceMs);
}

bool Bridge::InDeliveryThread() const {
    return deliveringTextsFor == this || deliveringFramesFor == this;
}

int Bridge::Start(const quorlane_options& options, std::string* message) {
    options_ = options;
    if (options_.start_timeout_ms <= 0)
        options_.start_timeout_ms = 10000;
    options_.text_queue_limit = std::max(1, options_.text_queue_limit);
    options_.frame_queue_limit = std::max(1, options_.frame_queue_limit);

    platform::Pipe commands, replies, frames[QUORLANE_CHANNELS], controlIn, controlOut;
    bool ok =
        platform::MakePipe(&commands) && platform::MakePipe(&replies) && platform::MakePipe(&wake_);
    for (platform::Pipe& p : frames)
        ok = ok && platform::MakePipe(&p);
    if (options_.scripted)
        ok = ok && platform::MakePipe(&controlIn) && platform::MakePipe(&controlOut);
    if (!ok) {
        *message = std::string("cannot create pipes: ") + platform::LastErrorText();
        return QUORLANE_SYSTEM_ERROR;
    }

    platform::SpawnOptions spawn;
    spawn.path = options_.executable;
    if (options_.working_directory != nullptr)
        spawn.workingDirectory = options_.working_directory;
    if (options_.stdout_path != nullptr)
        spawn.stdoutPath = options_.stdout_path;
    if (options_.stderr_path != nullptr)
        spawn.stderrPath = options_.stderr_path;
    for (const char* const* e = options_.environment; e != nullptr && *e != nullptr; ++e) {
        const char* equals = std::strchr(*e, '=');
        if (equals == nullptr || equals == *e) {
            *message = std::string("environment entry without NAME=: ") + *e;
            return QUORLANE_INVALID_ARGUMENT;
        }
        spawn.environment.emplace_back(std::string(*e, equals), std::string(equals + 1));
    }
    spawn.descriptors = {{3, commands.read.Get()}, {4, replies.write.Get()}};
    for (int c = 0; c < QUORLANE_CHANNELS; ++c) {
        platform::SetPipeBufferSize(frames[c].write.Get(), kFramePipeBytes);
        spawn.descriptors.emplace_back(5 + c, frames[c].write.Get());
    }
    if (options_.scripted) {
        spawn.descriptors.emplace_back(10, controlIn.read.Get());
        spawn.descriptors.emplace_back(11, controlOut.write.Get());
        spawn.environment.emplace_back("QUORLANE_SIM_CONTROL", "10,11");
    }
    platform::IgnoreBrokenPipeIfUnset();
    if (!child_.Spawn(spawn, message))
        return QUORLANE_START_FAILED;
    pid_ = child_.Pid();

    // Keep only the host's ends: end of input then means the bridge has gone.
    commands.read.Reset();
    replies.write.Reset();
    for (platform::Pipe& p : frames)
        p.write.Reset();
    controlIn.read.Reset();
    controlOut.write.Reset();
    {
        platform::MutexLock lock(sendMutex_);
        commands_ = std::move(commands.write);
        controlIn_ = std::move(controlIn.write);
        platform::SetNonBlocking(commands_.Get(), true);
        if (controlIn_.Valid())
            platform::SetNonBlocking(controlIn_.Get(), true);
    }
    replies_ = std::move(replies.read);
    platform::SetNonBlocking(replies_.Get(), true);
    controlOut_ = std::move(controlOut.read);
    for (int c = 0; c < QUORLANE_CHANNELS; ++c)
        frames_[c] = std::move(frames[c].read);

    try {
        readers_.emplace_back([this] { ReadTexts(); });
        for (int c = 0; c < QUORLANE_CHANNELS; ++c)
            readers_.emplace_back([this, c] { ReadFrames(c); });
        if (controlOut_.Valid())
            readers_.emplace_back([this] { ReadControl(); });
        watcher_ = std::thread([this] { Watch(); });
    } catch (const std::system_error& e) {
        // Without the watcher nobody ends the child; end it here so the readers finish.
        child_.KillAndWait();
        {
            platform::MutexLock lock(mutex_);
            closeRequested_ = true;
        }
        const char byte = 0;
        platform::WriteAll(wake_.write.Get(), &byte, 1);
        for (std::thread& t : readers_)
            t.join();
        readers_.clear();
        *message = std::string("cannot start a thread: ") + e.what();
        return QUORLANE_SYSTEM_ERROR;
    }
    try {
        if (options_.on_text != nullptr || options_.on_exit != nullptr)
            textDelivery_ = std::thread([this] { DeliverTexts(); });
        if (options_.on_frame != nullptr)
            frameDelivery_ = std::thread([this] { DeliverFrames(); });
    } catch (const std::system_error& e) {
        Close(0);
        *message = std::string("cannot start a thread: ") + e.what();
        return QUORLANE_SYSTEM_ERROR;
    }

    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(options_.start_timeout_ms);
    platform::MutexLock lock(mutex_);
    while (!greeted_ && !ended_ && Clock::now() < deadline)
        changed_.WaitUntil(deadline);
    if (greeted_)
        return QUORLANE_OK;
    const bool ended = ended_;
    lock.Unlock();
    if (!ended)
        Close(0);
    quorlane_exit exit{};
    ExitInfo(&exit);
    *message = (ended ? std::string("the bridge ended before its greeting (")
                      : "no greeting within " + std::to_string(options_.start_timeout_ms) +
                            " ms; ended it (") +
               exit.description + ")";
    return QUORLANE_NO_GREETING;
}

void Bridge::PushText(std::string bytes, int source) {
    TextPtr item(new TextItem);
    item->bytes = std::move(bytes);
    item->pub.data = item->bytes.c_str();
    item->pub.length = item->bytes.size();
    item->pub.source = source;
    TextPtr dropped;
    platform::MutexLock lock(mutex_);
    if (source == QUORLANE_FROM_BRIDGE && !greeted_ &&
        item->bytes.find(kGreetingType) != std::string::npos)
        greeted_ = true;
    if (texts_.size() >= static_cast<std::size_t>(options_.text_queue_limit)) {
        dropped = std::move(texts_.front());
        texts_.pop_front();
        stats_.queued_bytes -= dropped->bytes.size();
        ++stats_.texts_dropped;
    }
    ++stats_.texts_received;
    stats_.queued_bytes += item->bytes.size();
    texts_.push_back(std::move(item));
    changed_.SignalAll();
}

void Bridge::PushFrame(int channel, FramePtr frame) {
    FramePtr dropped;
    platform::MutexLock lock(mutex_);
    std::deque<FramePtr>& queue = frameQueues_[channel];
    if (queue.size() >= static_cast<std::size_t>(options_.frame_queue_limit)) {
        dropped = std::move(queue.front());
        queue.pop_front();
        stats_.queued_bytes -= dropped->size;
        ++stats_.frames_dropped[channel];
    }
    ++stats_.frames_received[channel];
    stats_.queued_bytes += frame->size;
    frame->arrival = arrivals_++;
    queue.push_back(std::move(frame));
    changed_.SignalAll();
}

void Bridge::ReadTexts() {
    std::vector<char> buffer(64 * 1024);
    qframer::ObjectFramer framer;
    std::vector<std::string> objects;
    qframer::ObjectFramer::Skipped skipped;
    for (;;) {
        std::vector<platform::PollEntry> entries(2);
        entries[0].fd = replies_.Get();
        entries[1].fd = wake_.read.Get();
        platform::PollDescriptors(entries, -1);
        if (entries[1].readable || entries[1].hangup || entries[1].error)
            break;  // closing: stop reading
        const long n = platform::ReadNonBlocking(replies_.Get(), buffer.data(), buffer.size());
        if (n == platform::kIoWouldBlock)
            continue;
        if (n <= 0)
            break;
        try {
            framer.Feed(buffer.data(), static_cast<std::size_t>(n), objects, &skipped);
            for (std::string& o : objects)
                PushText(std::move(o), QUORLANE_FROM_BRIDGE);
        } catch (const std::bad_alloc&) {
            platform::MutexLock lock(mutex_);
            stats_.texts_dropped += objects.size();
        }
        objects.clear();
        if (!skipped.Empty()) {
            std::size_t bytes = skipped.outside.size();
            for (const std::string& d : skipped.dropped)
                bytes += d.size();
            skipped.Clear();
            platform::MutexLock lock(mutex_);
            stats_.skipped_bytes += bytes;
        }
    }
    // Nobody reads replies any more: with the command pipe closed, the bridge takes its host
    // as gone and ends in order.
    replies_.Reset();
    platform::MutexLock lock(mutex_);
    textsDone_ = true;
    changed_.SignalAll();
}

void Bridge::ReadControl() {
    std::string line;
    char buffer[4096];
    int n;
    while ((n = platform::ReadSome(controlOut_.Get(), buffer, sizeof buffer)) > 0) {
        for (int i = 0; i < n; ++i) {
            if (buffer[i] != '\n') {
                line += buffer[i];
            } else if (!line.empty()) {
                PushText(std::move(line), QUORLANE_FROM_CONTROL);
                line.clear();
            }
        }
    }
}

void Bridge::Tear(int channel, std::string why) {
    platform::MutexLock lock(mutex_);
    stats_.torn[channel] = 1;
    tornWhy_[channel] = std::move(why);
}

void Bridge::ReadFrames(int channel) {
    const int fd = frames_[channel].Get();
    std::uint8_t header[kFrameHeaderBytes];
    std::uint64_t number = 0;
    std::string torn;
    const auto pool = std::make_shared<BufferPool>();
    for (;;) {
        const int first = platform::ReadSome(fd, header, sizeof header);
        if (first <= 0)
            break;  // end of input between frames
        if (!ReadFully(fd, header + first, sizeof header - static_cast<std::size_t>(first))) {
            torn = "stream ended inside the header of frame " + std::to_string(number);
            break;
        }
        const std::int32_t width = LittleEndian32(header);
        const std::int32_t height = LittleEndian32(header + 4);
        const std::int32_t length = LittleEndian32(header + 8);
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
            torn = "frame " + std::to_string(number) + ": impossible size " + size;
            break;
        }
        const std::size_t ySize = static_cast<std::size_t>(width) * height;
        const int chromaWidth = (width + 1) / 2;
        const std::size_t chromaSize = static_cast<std::size_t>(chromaWidth) * ((height + 1) / 2);
        const std::size_t expected = ySize + 2 * chromaSize;
        if (length < 0 || static_cast<std::size_t>(length) != expected) {
            torn = "frame " + std::to_string(number) + ": payload length " +
                   std::to_string(length) + " for " + size + " (expected " +
                   std::to_string(expected) + ")";
            break;
        }
        FramePtr frame(new (std::nothrow) FrameItem);
        if (frame != nullptr) {
            frame->planes = pool->Take(expected);
            frame->size = expected;
            frame->pool = pool;
        }
        const bool kept = frame != nullptr && frame->planes != nullptr;
        if (!ReadFully(fd, kept ? frame->planes.get() : nullptr, expected)) {
            torn = "stream ended inside frame " + std::to_string(number);
            break;
        }
        if (!kept) {
            platform::MutexLock lock(mutex_);
            ++stats_.frames_dropped[channel];
            ++number;
            continue;
        }
        std::uint8_t* planes = frame->planes.get();
        quorlane_frame& f = frame->pub;
        f.channel = channel;
        f.width = width;
        f.height = height;
        f.y_stride = width;
        f.chroma_stride = chromaWidth;
        f.y = planes;
        // Channel 0 sends Y, U, V; the others Y, V, U.
        f.u = planes + ySize + (channel == 0 ? 0 : chromaSize);
        f.v = planes + ySize + (channel == 0 ? chromaSize : 0);
        f.number = number++;
        PushFrame(channel, std::move(frame));
    }
    if (!torn.empty())
        Tear(channel, std::move(torn));
    // Keep draining a torn stream, so that the bridge never blocks on this pipe.
    std::uint8_t scratch[64 * 1024];
    while (platform::ReadSome(fd, scratch, sizeof scratch) > 0) {
    }
}

void Bridge::Watch() {
    {
        platform::MutexLock lock(mutex_);
        while (!textsDone_ && !closeRequested_)
            changed_.Wait();
    }
    platform::ExitStatus status;
    for (;;) {
        int graceMs = -1;
        {
            platform::MutexLock lock(mutex_);
            if (closeRequested_)
                graceMs = graceMs_;
        }
        if (graceMs >= 0) {
            status = EndAfterClose(graceMs);
            break;
        }
        // Descriptor 4 has ended: the bridge is ending on its own.
        if (child_.WaitFor(100, &status))
            break;
    }
    gone_ = true;
    // The readers end once the bridge's ends of their pipes are gone.
    for (std::thread& t : readers_)
        t.join();
    platform::MutexLock lock(mutex_);
    exit_.exited = status.exited ? 1 : 0;
    exit_.code = status.code;
    exit_.signaled = status.signaled ? 1 : 0;
    exit_.signal = status.signal;
    exit_.closed = closeRequested_ ? 1 : 0;
    CopyText(status.Describe(), exit_.description, sizeof exit_.description);
    ended_ = true;
    changed_.SignalAll();
}

platform::ExitStatus Bridge::EndAfterClose(int graceMs) {
    // The pipes are closed already; where the system can ask, ask too.
    platform::ExitStatus status;
    child_.AskToEnd();
    if (child_.WaitFor(graceMs, &status))
        return status;
    child_.Kill();
    child_.WaitFor(-1, &status);
    return status;
}

void Bridge::DeliverTexts() {
    deliveringTextsFor = this;
    if (options_.on_text != nullptr) {
        TextPtr text;
        while (ReceiveText(-1, &text) == QUORLANE_OK) {
            options_.on_text(options_.user_data, &text->pub);
            text.reset();
        }
    } else {
        platform::MutexLock lock(mutex_);
        while (!ended_)
            changed_.Wait();
    }
    if (options_.on_exit != nullptr) {
        quorlane_exit exit{};
        ExitInfo(&exit);
        options_.on_exit(options_.user_data, &exit);
    }
}

void Bridge::DeliverFrames() {
    deliveringFramesFor = this;
    FramePtr frame;
    while (ReceiveFrame(-1, -1, &frame) == QUORLANE_OK) {
        options_.on_frame(options_.user_data, &frame->pub);
        frame.reset();
    }
}

int Bridge::Send(const char* data, std::size_t size, bool control) {
    platform::MutexLock lock(sendMutex_);
    platform::UniqueFd& fd = control ? controlIn_ : commands_;
    if (closing_)
        return QUORLANE_CLOSED;
    if (!fd.Valid())
        return control ? QUORLANE_INVALID_ARGUMENT : QUORLANE_ENDED;
    while (size > 0) {
        const long n = platform::WriteNonBlocking(fd.Get(), data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n != platform::kIoWouldBlock)
            return QUORLANE_ENDED;  // nobody reads it any more
        if (closing_)
            return QUORLANE_CLOSED;
        if (gone_)
            return QUORLANE_ENDED;
        std::vector<platform::PollEntry> entries(1);
        entries[0].fd = fd.Get();
        entries[0].wantRead = false;
        entries[0].wantWrite = true;
        platform::PollDescriptors(entries, kSendPollMs);
    }
    return QUORLANE_OK;
}

bool Bridge::WaitForChange(int timeoutMs, Clock::time_point deadline) {
    if (timeoutMs < 0) {
        changed_.Wait();
        return true;
    }
    if (Clock::now() >= deadline)
        return false;
    changed_.WaitUntil(deadline);
    return true;
}

int Bridge::ReceiveText(int timeoutMs, TextPtr* text) {
    if (options_.on_text != nullptr && deliveringTextsFor != this)
        return QUORLANE_CALLBACK_MODE;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    platform::MutexLock lock(mutex_);
    for (;;) {
        if (!texts_.empty()) {
            *text = std::move(texts_.front());
            texts_.pop_front();
            stats_.queued_bytes -= (*text)->bytes.size();
            return QUORLANE_OK;
        }
        if (ended_)
            return QUORLANE_ENDED;
        if (!WaitForChange(timeoutMs, deadline))
            return QUORLANE_TIMEOUT;
    }
}

int Bridge::ReceiveFrame(int channel, int timeoutMs, FramePtr* frame) {
    if (channel < -1 || channel >= QUORLANE_CHANNELS)
        return QUORLANE_INVALID_ARGUMENT;
    if (options_.on_frame != nullptr && deliveringFramesFor != this)
        return QUORLANE_CALLBACK_MODE;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    platform::MutexLock lock(mutex_);
    for (;;) {
        std::deque<FramePtr>* from = nullptr;
        for (int c = channel < 0 ? 0 : channel;
             c <= (channel < 0 ? QUORLANE_CHANNELS - 1 : channel); ++c) {
            std::deque<FramePtr>& q = frameQueues_[c];
            if (!q.empty() && (from == nullptr || q.front()->arrival < from->front()->arrival))
                from = &q;
        }
        if (from != nullptr) {
            *frame = std::move(from->front());
            from->pop_front();
            stats_.queued_bytes -= (*frame)->size;
            return QUORLANE_OK;
        }
        if (ended_)
            return QUORLANE_ENDED;
        if (!WaitForChange(timeoutMs, deadline))
            return QUORLANE_TIMEOUT;
    }
}

int Bridge::WaitAny(int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    platform::MutexLock lock(mutex_);
    for (;;) {
        bool any = options_.on_text == nullptr && !texts_.empty();
        for (const std::deque<FramePtr>& q : frameQueues_)
            any = any || (options_.on_frame == nullptr && !q.empty());
        if (any)
            return QUORLANE_OK;
        if (ended_)
            return QUORLANE_ENDED;
        if (!WaitForChange(timeoutMs, deadline))
            return QUORLANE_TIMEOUT;
    }
}

int Bridge::Close(int graceMs) {
    if (InDeliveryThread())
        return QUORLANE_IN_CALLBACK;
    platform::MutexLock closing(closeMutex_);
    if (pid_ < 0)
        return QUORLANE_OK;  // never started
    closing_ = true;
    {
        platform::MutexLock lock(mutex_);
        if (!closeRequested_) {
            closeRequested_ = true;
            graceMs_ = graceMs < 0 ? kDefaultGraceMs : graceMs;
        }
        changed_.SignalAll();
    }
    {
        platform::MutexLock lock(sendMutex_);
        commands_.Reset();
        controlIn_.Reset();
    }
    const char byte = 0;
    platform::WriteAll(wake_.write.Get(), &byte, 1);
    JoinAll();
    return QUORLANE_OK;
}

void Bridge::JoinAll() {
    for (std::thread* t : {&watcher_, &textDelivery_, &frameDelivery_}) {
        if (t->joinable())
            t->join();
    }
}

int Bridge::ExitInfo(quorlane_exit* exit) {
    platform::MutexLock lock(mutex_);
    if (!ended_)
        return QUORLANE_RUNNING;
    *exit = exit_;
    return QUORLANE_OK;
}

void Bridge::Stats(quorlane_stats* stats) {
    platform::MutexLock lock(mutex_);
    *stats = stats_;
}

std::string Bridge::ChannelError(int channel) {
    platform::MutexLock lock(mutex_);
    return tornWhy_[channel];
}

}  // namespace libquorlane
