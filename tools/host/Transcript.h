// The readable account of a host session: what was sent, what came back, frame counts.
// Colour only when asked (the tool asks when standard output is a terminal).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/host/BridgeSession.h"

namespace host {

class Transcript {
  public:
    Transcript(std::FILE* out, bool color, std::size_t maxTextBytes = 400)
        : out_(out), color_(color), maxText_(maxTextBytes) {}

    void Sent(double seconds, const std::string& text);
    void ControlSent(double seconds, const std::string& text);
    void Received(double seconds, const BridgeMessage& message);
    void ControlReceived(double seconds, const std::string& line);
    void FrameCounts(double seconds, const std::uint64_t (&counts)[kChannelCount]);
    void Note(double seconds, const std::string& text);
    void Info(const std::string& text);
    void Success(const std::string& text);
    void Failure(const std::string& text);

  private:
    void Line(double seconds, const char* color, const char* marker, const std::string& text);
    std::string Shorten(const std::string& text) const;

    std::FILE* out_;
    bool color_;
    std::size_t maxText_;
};

}  // namespace host
