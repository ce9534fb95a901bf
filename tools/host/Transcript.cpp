#include "tools/host/Transcript.h"

namespace host {

namespace {
const char* const kReset = "\x1b[0m";
const char* const kCyan = "\x1b[36m";
const char* const kGreen = "\x1b[32m";
const char* const kYellow = "\x1b[33m";
const char* const kMagenta = "\x1b[35m";
const char* const kRed = "\x1b[1;31m";
const char* const kDim = "\x1b[2m";
const char* const kBold = "\x1b[1m";
}  // namespace

std::string Transcript::Shorten(const std::string& text) const {
    if (maxText_ == 0 || text.size() <= maxText_)
        return text;
    return text.substr(0, maxText_) + "... (" + std::to_string(text.size()) + " bytes)";
}

void Transcript::Line(double seconds, const char* color, const char* marker,
                      const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%8.3f ", seconds);
    if (color_)
        std::fprintf(out_, "%s%s%s%s%-7s%s %s\n", kDim, stamp, kReset, color, marker, kReset,
                     text.c_str());
    else
        std::fprintf(out_, "%s%-7s %s\n", stamp, marker, text.c_str());
    std::fflush(out_);
}

void Transcript::Sent(double seconds, const std::string& text) {
    Line(seconds, kCyan, "send", text);
}

void Transcript::ControlSent(double seconds, const std::string& text) {
    Line(seconds, kMagenta, "control", text);
}

void Transcript::Received(double seconds, const BridgeMessage& m) {
    switch (m.kind) {
        case BridgeMessage::Kind::Reply:
            Line(seconds, kGreen, "reply",
                 m.type + " code " + std::to_string(m.code) +
                     (m.validJson ? "" : " (not valid JSON)"));
            break;
        case BridgeMessage::Kind::Event:
            Line(seconds, kYellow, "event", m.type + " " + Shorten(m.text));
            break;
        case BridgeMessage::Kind::Other:
            Line(seconds, kRed, "text",
                 Shorten(m.text) + (m.validJson ? "" : "  (not valid JSON)"));
            break;
    }
}

void Transcript::ControlReceived(double seconds, const std::string& line) {
    Line(seconds, kMagenta, "sdk", Shorten(line));
}

void Transcript::FrameCounts(double seconds, const std::uint64_t (&counts)[kChannelCount]) {
    std::string text;
    for (int c = 0; c < kChannelCount; ++c)
        text += "ch" + std::to_string(c) + " " + std::to_string(counts[c]) + (c < 4 ? "  " : "");
    Line(seconds, kDim, "frames", text);
}

void Transcript::Note(double seconds, const std::string& text) {
    Line(seconds, kBold, "note", text);
}

void Transcript::Info(const std::string& text) {
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void Transcript::Success(const std::string& text) {
    if (color_)
        std::fprintf(out_, "%s%s%s\n", kGreen, text.c_str(), kReset);
    else
        std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void Transcript::Failure(const std::string& text) {
    if (color_)
        std::fprintf(out_, "%sFAILED: %s%s\n", kRed, text.c_str(), kReset);
    else
        std::fprintf(out_, "FAILED: %s\n", text.c_str());
    std::fflush(out_);
}

}  // namespace host
