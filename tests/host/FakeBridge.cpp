// A stand-in bridge for testing the host tool on its own: answers every command with a reply,
// and on request writes events, frames (large ones too), a torn header, or dies.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "framer/ObjectFramer.h"
#include "platform/Descriptors.h"
#include "platform/Spawn.h"

using qframer::ObjectFramer;

namespace {

void WriteAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    if (platform::WriteAll(fd, p, size) < 0)
        std::exit(3);
}

void WriteText(int fd, const std::string& text) {
    WriteAll(fd, text.data(), text.size());
}

void Put32(std::uint8_t* out, std::int32_t v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

// Frames of one colour: Y, then U and V (channel 0) or V and U (channels 1 to 4).
void WriteFrames(const nlohmann::json& p) {
    int channel = p.value("channel", 0);
    int w = p.value("width", 64), h = p.value("height", 48), count = p.value("count", 1);
    std::size_t y = static_cast<std::size_t>(w) * h;
    std::size_t c = static_cast<std::size_t>((w + 1) / 2) * ((h + 1) / 2);
    std::vector<std::uint8_t> frame(12 + y + 2 * c);
    Put32(&frame[0], w);
    Put32(&frame[4], h);
    Put32(&frame[8], p.value("length", static_cast<int>(y + 2 * c)));
    std::uint8_t first =
        static_cast<std::uint8_t>(channel == 0 ? p.value("u", 128) : p.value("v", 128));
    std::uint8_t second =
        static_cast<std::uint8_t>(channel == 0 ? p.value("v", 128) : p.value("u", 128));
    std::memset(&frame[12], p.value("y", 128), y);
    std::memset(&frame[12 + y], first, c);
    std::memset(&frame[12 + y + c], second, c);
    for (int i = 0; i < count; ++i)
        WriteAll(5 + channel, frame.data(), frame.size());
}

void Handle(const std::string& text, bool scripted) {
    nlohmann::json cmd = nlohmann::json::parse(text, nullptr, false);
    if (cmd.is_discarded() || !cmd.is_object())
        return;
    std::string type = cmd.value("type", "");
    nlohmann::json param = cmd.value("param", nlohmann::json::object());
    if (!param.is_object())
        param = nlohmann::json::object();
    if (scripted)
        WriteText(11,
                  nlohmann::json{{"call", type}, {"args", nlohmann::json::array()}}.dump() + "\n");
    if (type == "Frames") {
        WriteFrames(param);
    } else if (type == "Event") {
        WriteText(4, "{\"type\":\"KickOut\",\"param\":{\"n\":1}}");
    } else if (type == "Die") {
        std::fputs("fake bridge dying\n", stderr);
        std::fflush(stderr);
        std::abort();
    } else if (type != "Silence") {
        WriteText(4, "{ \"code\": " + std::to_string(param.value("code", 1)) + ", \"type\": \"" +
                         type + "\" }");
    }
}

}  // namespace

int main() {
    bool scripted = false;
    if (const char* control = std::getenv("QUORLANE_SIM_CONTROL"))
        scripted = std::strcmp(control, "10,11") == 0;
    WriteText(4, "{ \"code\": 0, \"type\": \"DaemonStart\" }");
    ObjectFramer framer;
    std::string controlText;
    char buffer[4096];
    for (;;) {
        std::vector<platform::PollEntry> fds(2);
        fds[0].fd = 3;
        fds[1].fd = scripted ? 10 : -1;
        if (platform::PollDescriptors(fds, -1) <= 0)
            continue;
        auto ready = [](const platform::PollEntry& e) { return e.readable || e.hangup || e.error; };
        if (ready(fds[0])) {
            int n = platform::ReadSome(3, buffer, sizeof buffer);
            if (n <= 0)
                return 0;
            std::vector<std::string> objects;
            framer.Feed(buffer, static_cast<std::size_t>(n), objects, nullptr);
            for (const std::string& o : objects)
                Handle(o, scripted);
        }
        if (ready(fds[1])) {
            int n = platform::ReadSome(10, buffer, sizeof buffer);
            if (n <= 0)
                return 0;
            controlText.append(buffer, static_cast<std::size_t>(n));
            std::size_t end;
            while ((end = controlText.find('\n')) != std::string::npos) {
                nlohmann::json req =
                    nlohmann::json::parse(controlText.substr(0, end), nullptr, false);
                controlText.erase(0, end + 1);
                if (!req.is_discarded() && req.value("op", "") == "sync")
                    WriteText(
                        11,
                        nlohmann::json{{"op", "synced"}, {"id", req.value("id", 0)}}.dump() + "\n");
            }
        }
    }
}
