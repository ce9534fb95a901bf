#include "sdk/sim/ControlChannel.h"

#include <nlohmann/json.hpp>

#include "platform/Descriptors.h"

namespace sim {

ControlChannel::ControlChannel(int in, std::shared_ptr<LineWriter> out, Handler handler)
    : in_(in), writer_(std::move(out)), handler_(std::move(handler)) {
    thread_ = std::thread([this] { Run(); });
}

ControlChannel::~ControlChannel() {
    if (thread_.joinable()) {
        if (OnChannelThread())
            thread_.detach();
        else
            thread_.join();
    }
}

void ControlChannel::Run() {
    std::string pending;
    bool skipping = false;  // inside an over-long line, until its end
    char buffer[65536];
    for (;;) {
        int n = platform::ReadSome(in_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        std::size_t start = 0;
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
            if (buffer[i] != '\n')
                continue;
            if (!skipping) {
                pending.append(buffer + start, i - start);
                Dispatch(pending);
            }
            pending.clear();
            skipping = false;
            start = i + 1;
        }
        if (!skipping)
            pending.append(buffer + start, static_cast<std::size_t>(n) - start);
        if (!skipping && pending.size() > kMaxLine) {
            nlohmann::json error = {{"op", "error"}, {"message", "request line too long"}};
            writer_->WriteLine(error.dump());
            pending.clear();
            skipping = true;
        }
    }
    if (!skipping && !pending.empty())
        Dispatch(pending);
}

void ControlChannel::Dispatch(const std::string& line) {
    std::string text = line;
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    if (text.find_first_not_of(" \t") == std::string::npos)
        return;
    handler_(text);
}

}  // namespace sim
