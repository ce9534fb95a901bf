#include "tools/host/BridgeSession.h"

#include <nlohmann/json.hpp>

using qframer::ObjectFramer;

namespace host {

BridgeMessage ClassifyMessage(std::string text) {
    BridgeMessage m;
    nlohmann::json value = nlohmann::json::parse(text, nullptr, false);
    m.text = std::move(text);
    if (value.is_discarded() || !value.is_object())
        return m;
    m.validJson = true;
    auto type = value.find("type");
    if (type != value.end() && type->is_string())
        m.type = type->get<std::string>();
    auto code = value.find("code");
    if (value.contains("param")) {
        m.kind = BridgeMessage::Kind::Event;
    } else if (code != value.end() && code->is_number() && !m.type.empty()) {
        m.kind = BridgeMessage::Kind::Reply;
        m.code = code->get<int>();
    }
    return m;
}

BridgeSession::BridgeSession(BridgeHandlers handlers)
    : handlers_(std::move(handlers)), buffer_(1 << 20) {
    for (int c = 0; c < kChannelCount; ++c)
        assemblers_.emplace_back(c);
}

BridgeSession::~BridgeSession() {
    if (child_.Started() && !ended_)
        Stop(200);
}

bool BridgeSession::Start(const BridgeOptions& options, std::string* error) {
    auto fail = [&](const std::string& text) {
        if (error != nullptr)
            *error = text;
        return false;
    };
    platform::Pipe commands, replies, frames[kChannelCount], controlIn, controlOut;
    bool ok = platform::MakePipe(&commands) && platform::MakePipe(&replies);
    for (auto& p : frames)
        ok = ok && platform::MakePipe(&p);
    if (options.scripted)
        ok = ok && platform::MakePipe(&controlIn) && platform::MakePipe(&controlOut);
    if (!ok)
        return fail("cannot create pipes");

    platform::SpawnOptions spawn;
    spawn.path = options.bridgePath;
    spawn.workingDirectory = options.workingDirectory;
    spawn.stdoutPath = options.stdoutPath;
    spawn.stderrPath = options.stderrPath;
    spawn.environment = options.environment;
    spawn.killWithParent = true;
    spawn.descriptors = {{3, commands.read.Get()}, {4, replies.write.Get()}};
    for (int c = 0; c < kChannelCount; ++c) {
        platform::SetPipeBufferSize(frames[c].write.Get(), options.pipeBufferBytes);
        spawn.descriptors.emplace_back(5 + c, frames[c].write.Get());
    }
    if (options.scripted) {
        spawn.descriptors.emplace_back(10, controlIn.read.Get());
        spawn.descriptors.emplace_back(11, controlOut.write.Get());
        spawn.environment.emplace_back("QUORLANE_SIM_CONTROL", "10,11");
    }
    if (!child_.Spawn(spawn, error))
        return false;

    // Keep only the host's ends: end of input then means the bridge is gone.
    commands_ = std::move(commands.write);
    replies_ = std::move(replies.read);
    for (int c = 0; c < kChannelCount; ++c)
        frames_[c] = std::move(frames[c].read);
    if (options.scripted) {
        controlIn_ = std::move(controlIn.write);
        controlOut_ = std::move(controlOut.read);
    }
    for (platform::UniqueFd* fd : {&commands_, &replies_, &controlIn_, &controlOut_}) {
        if (fd->Valid())
            platform::SetNonBlocking(fd->Get(), true);
    }
    for (auto& fd : frames_)
        platform::SetNonBlocking(fd.Get(), true);
    return true;
}

void BridgeSession::SendCommand(const std::string& text) {
    outCommands_ += text;
    Flush(commands_, outCommands_);
}

void BridgeSession::SendControl(const std::string& line) {
    if (!controlIn_.Valid())
        return;
    outControl_ += line;
    outControl_ += '\n';
    Flush(controlIn_, outControl_);
}

void BridgeSession::Flush(platform::UniqueFd& fd, std::string& pending) {
    while (!pending.empty() && fd.Valid()) {
        long n = platform::WriteNonBlocking(fd.Get(), pending.data(), pending.size());
        if (n == platform::kIoWouldBlock)
            return;
        if (n <= 0) {  // the bridge closed its end: nothing more can be delivered
            pending.clear();
            fd.Reset();
            return;
        }
        pending.erase(0, static_cast<std::size_t>(n));
    }
}

bool BridgeSession::ReadReplies() {
    std::vector<std::string> objects;
    ObjectFramer::Skipped skipped;
    for (int i = 0; i < 64; ++i) {
        long n = platform::ReadNonBlocking(replies_.Get(), buffer_.data(), buffer_.size());
        if (n == platform::kIoWouldBlock)
            break;
        if (n <= 0) {
            replies_.Reset();
            break;
        }
        framer_.Feed(reinterpret_cast<const char*>(buffer_.data()), static_cast<std::size_t>(n),
                     objects, &skipped);
    }
    if (!skipped.Empty() && handlers_.skipped) {
        std::string text = skipped.outside;
        for (const std::string& d : skipped.dropped)
            text += (text.empty() ? "" : " ") + ("dropped oversized object " + d);
        handlers_.skipped(text);
    }
    for (std::string& o : objects) {
        if (handlers_.message)
            handlers_.message(ClassifyMessage(std::move(o)));
    }
    return replies_.Valid();
}

bool BridgeSession::ReadFrames(int channel) {
    platform::UniqueFd& fd = frames_[channel];
    FrameAssembler& assembler = assemblers_[channel];
    auto deliver = [&](Frame& frame) {
        if (handlers_.frame)
            handlers_.frame(frame);
    };
    // Bounded so one busy channel cannot starve the others within a turn.
    for (int i = 0; i < 16 && fd.Valid(); ++i) {
        long n = platform::ReadNonBlocking(fd.Get(), buffer_.data(), buffer_.size());
        if (n == platform::kIoWouldBlock)
            break;
        if (n <= 0) {
            fd.Reset();
            if (!assembler.Finish() && handlers_.torn)
                handlers_.torn(channel, assembler.Error());
            break;
        }
        bool wasTorn = assembler.Torn();
        if (!assembler.Feed(buffer_.data(), static_cast<std::size_t>(n), deliver) && !wasTorn &&
            handlers_.torn)
            handlers_.torn(channel, assembler.Error());
    }
    return fd.Valid();
}

bool BridgeSession::ReadControl() {
    for (int i = 0; i < 64; ++i) {
        long n = platform::ReadNonBlocking(controlOut_.Get(), buffer_.data(), buffer_.size());
        if (n == platform::kIoWouldBlock)
            break;
        if (n <= 0) {
            controlOut_.Reset();
            break;
        }
        controlLine_.append(reinterpret_cast<const char*>(buffer_.data()),
                            static_cast<std::size_t>(n));
    }
    std::size_t start = 0, end;
    while ((end = controlLine_.find('\n', start)) != std::string::npos) {
        if (handlers_.control && end > start)
            handlers_.control(controlLine_.substr(start, end - start));
        start = end + 1;
    }
    controlLine_.erase(0, start);
    return controlOut_.Valid();
}

void BridgeSession::Drain() {
    // The bridge has ended: take what it wrote before, until every pipe reports its end.
    for (int round = 0; round < 1000; ++round) {
        bool open = false;
        if (replies_.Valid())
            open |= ReadReplies();
        for (int c = 0; c < kChannelCount; ++c) {
            if (frames_[c].Valid())
                open |= ReadFrames(c);
        }
        if (controlOut_.Valid())
            open |= ReadControl();
        if (!open)
            break;
        // A grandchild may still hold a pipe end open; do not wait for it forever.
        std::vector<platform::PollEntry> entries;
        for (int fd : {replies_.Get(), frames_[0].Get(), frames_[1].Get(), frames_[2].Get(),
                       frames_[3].Get(), frames_[4].Get(), controlOut_.Get()}) {
            platform::PollEntry e;
            e.fd = fd;
            entries.push_back(e);
        }
        if (platform::PollDescriptors(entries, 100) <= 0)
            break;
    }
}

bool BridgeSession::Pump(int timeoutMs) {
    if (ended_)
        return false;
    std::vector<platform::PollEntry> entries(kChannelCount + 4);
    entries[0].fd = replies_.Get();
    for (int c = 0; c < kChannelCount; ++c)
        entries[1 + c].fd = frames_[c].Get();
    entries[6].fd = controlOut_.Get();
    entries[7].fd = outCommands_.empty() ? -1 : commands_.Get();
    entries[7].wantRead = false;
    entries[7].wantWrite = true;
    entries[8].fd = outControl_.empty() ? -1 : controlIn_.Get();
    entries[8].wantRead = false;
    entries[8].wantWrite = true;
    platform::PollDescriptors(entries, timeoutMs);

    auto ready = [&](const platform::PollEntry& e) {
        return e.fd >= 0 && (e.readable || e.hangup || e.error);
    };
    // Frames first: they are what fills pipes fastest.
    for (int c = 0; c < kChannelCount; ++c) {
        if (ready(entries[1 + c]))
            ReadFrames(c);
    }
    if (ready(entries[0]))
        ReadReplies();
    if (ready(entries[6]))
        ReadControl();
    Flush(commands_, outCommands_);
    Flush(controlIn_, outControl_);

    bool exited = child_.HasExited(&status_);
    if (!exited && !replies_.Valid()) {
        // Descriptor 4 closed: the bridge is ending (or closed it, which it never should).
        exited = child_.WaitFor(2000, &status_);
    }
    if (exited) {
        Drain();
        ended_ = true;
        return false;
    }
    return true;
}

void BridgeSession::Stop(int graceMs) {
    if (!child_.Started() || ended_)
        return;
    stopped_ = true;
    child_.Terminate();
    if (!child_.WaitFor(graceMs, &status_))
        status_ = child_.KillAndWait();
    ended_ = true;
}

}  // namespace host
