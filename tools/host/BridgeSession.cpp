#include "tools/host/BridgeSession.h"

#include <cstring>

#include <nlohmann/json.hpp>

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

namespace {

// Room for every text, and for about four seconds of frames per channel at 15 a second (or a
// burst of large ones) if the tool falls behind, as it does in a sanitizer build.
constexpr int kTextQueueLimit = 1 << 20;
constexpr int kFrameQueueLimit = 64;

}  // namespace

BridgeSession::BridgeSession(BridgeHandlers handlers) : handlers_(std::move(handlers)) {}

BridgeSession::~BridgeSession() {
    quorlane_destroy(bridge_);
}

bool BridgeSession::Start(const BridgeOptions& options, std::string* error) {
    std::vector<std::string> environment;
    for (const auto& [name, value] : options.environment)
        environment.push_back(name + "=" + value);
    std::vector<const char*> entries;
    for (const std::string& e : environment)
        entries.push_back(e.c_str());
    entries.push_back(nullptr);

    quorlane_options o;
    quorlane_options_init(&o);
    o.executable = options.bridgePath.c_str();
    auto orNull = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
    o.working_directory = orNull(options.workingDirectory);
    o.stdout_path = orNull(options.stdoutPath);
    o.stderr_path = orNull(options.stderrPath);
    o.environment = entries.data();
    o.scripted = options.scripted ? 1 : 0;
    o.text_queue_limit = kTextQueueLimit;
    o.frame_queue_limit = kFrameQueueLimit;
    char message[512];
    const int result = quorlane_start(&o, &bridge_, message, sizeof message);
    if (result == QUORLANE_OK) {
        pid_ = quorlane_pid(bridge_);
        return true;
    }
    if (error != nullptr)
        *error = message;
    return false;
}

void BridgeSession::SendCommand(const std::string& text) {
    if (bridge_ != nullptr)
        quorlane_send(bridge_, text.data(), text.size());
}

void BridgeSession::SendControl(const std::string& line) {
    if (bridge_ != nullptr)
        quorlane_send_control(bridge_, line.c_str());
}

void BridgeSession::ReportTornAndSkipped() {
    quorlane_stats stats;
    if (quorlane_get_stats(bridge_, &stats) != QUORLANE_OK)
        return;
    for (int c = 0; c < kChannelCount; ++c) {
        char why[256];
        if (stats.torn[c] && !torn_[c] &&
            quorlane_channel_error(bridge_, c, why, sizeof why) == QUORLANE_OK) {
            torn_[c] = true;
            if (handlers_.torn)
                handlers_.torn(c, why);
        }
    }
    if (stats.skipped_bytes > skippedBytes_ && handlers_.skipped)
        handlers_.skipped(std::to_string(stats.skipped_bytes - skippedBytes_) + " bytes");
    skippedBytes_ = stats.skipped_bytes;
}

bool BridgeSession::Pump(int timeoutMs) {
    if (ended_ || bridge_ == nullptr)
        return false;
    const int waited = quorlane_wait(bridge_, timeoutMs);
    quorlane_text* text;
    while (quorlane_receive_text(bridge_, 0, &text) == QUORLANE_OK) {
        std::string bytes(text->data, text->length);
        const bool control = text->source == QUORLANE_FROM_CONTROL;
        quorlane_text_release(text);
        if (control && handlers_.control)
            handlers_.control(bytes);
        else if (!control && handlers_.message)
            handlers_.message(ClassifyMessage(std::move(bytes)));
    }
    quorlane_frame* received;
    while (quorlane_receive_frame(bridge_, -1, 0, &received) == QUORLANE_OK) {
        Frame frame;
        frame.channel = received->channel;
        FrameGeometry::Compute(received->width, received->height, &frame.geometry);
        frame.planes.resize(frame.geometry.PayloadSize());
        std::uint8_t* out = frame.planes.data();
        std::memcpy(out, received->y, frame.geometry.ySize);
        std::memcpy(out + frame.geometry.ySize, received->u, frame.geometry.chromaSize);
        std::memcpy(out + frame.geometry.ySize + frame.geometry.chromaSize, received->v,
                    frame.geometry.chromaSize);
        quorlane_frame_release(received);
        if (handlers_.frame)
            handlers_.frame(frame);
    }
    ReportTornAndSkipped();
    if (waited == QUORLANE_ENDED) {
        TakeExit();
        return false;
    }
    return true;
}

void BridgeSession::TakeExit() {
    quorlane_exit exit;
    if (quorlane_exit_info(bridge_, &exit) != QUORLANE_OK)
        return;
    status_.exited = exit.exited != 0;
    status_.signaled = exit.signaled != 0;
    status_.code = exit.code;
    status_.signal = exit.signal;
    ended_ = true;
}

void BridgeSession::Stop(int graceMs) {
    if (bridge_ == nullptr || ended_)
        return;
    quorlane_close(bridge_, graceMs);
    TakeExit();
}

}  // namespace host
