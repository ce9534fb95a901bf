#include "tools/host/Script.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace host {

namespace {

std::string Trim(const std::string& s) {
    std::size_t begin = 0, end = s.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(s[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(s[end - 1])))
        --end;
    return s.substr(begin, end - begin);
}

std::vector<std::string> Words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> words;
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

// A signed 32-bit integer written plainly ("7", "-1").
bool ParseInt(const std::string& text, int* value) {
    std::size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    if (digits == text.size() || text.find_first_not_of("0123456789", digits) != std::string::npos)
        return false;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < -2147483647L || v > 2147483647L)
        return false;
    *value = static_cast<int>(v);
    return true;
}

const char* const kReplyNames[] = {"DaemonStart",
                                   "Login",
                                   "Logout",
                                   "EnterRoom",
                                   "OpenCamera",
                                   "CloseCamera",
                                   "OpenMic",
                                   "CloseMic",
                                   "OpenSpeaker",
                                   "CloseSpeaker",
                                   "StartPreview",
                                   "StopPreview",
                                   "SetWaterMarkImagePath",
                                   "SetPublishWaterMarkRect",
                                   "SetPreviewWaterMarkRect",
                                   "SetVideoEncodeResolution",
                                   "SetVideoCaptureResolution"};

const char* const kEventNames[] = {"StreamsList",
                                   "StreamUpdate",
                                   "ExternStreamUpdate",
                                   "LogoutRoom",
                                   "KickOut",
                                   "Disconnect",
                                   "CustomCommand",
                                   "RecvCustomCommand",
                                   "SendRoomMessage",
                                   "RecvRoomMessage",
                                   "PublishStateUpdate",
                                   "PublishQualityUpdate",
                                   "PlayStateUpdate",
                                   "PlayQualityUpdate",
                                   "VideoSizeChanged",
                                   "CaptureVideoSizeChanged",
                                   "MixStream",
                                   "JoinLiveRequest",
                                   "InviteJoinLiveRequest",
                                   "InviteJoinLiveResponse",
                                   "EndJoinLive",
                                   "RecvEndJoinLiveCommand"};

std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::vector<std::size_t> next(b.size() + 1);
        next[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j)
            next[j] = std::min(
                {row[j] + 1, next[j - 1] + 1, row[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        row = std::move(next);
    }
    return row[b.size()];
}

// Empty when `name` is known, else the known name nearest to it (fewest edits; the first in
// byte order among equals).
template <std::size_t N>
std::string Unknown(const std::string& name, const char* const (&known)[N]) {
    std::vector<std::string> names(known, known + N);
    if (std::find(names.begin(), names.end(), name) != names.end())
        return "";
    std::sort(names.begin(), names.end());
    std::string best;
    std::size_t bestDistance = std::string::npos;
    for (const std::string& candidate : names) {
        std::size_t distance = EditDistance(name, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

bool IsBareNumber(const std::string& text) {
    std::size_t point = text.find('.');
    auto digits = [](const std::string& part) {
        return !part.empty() && part.find_first_not_of("0123456789") == std::string::npos;
    };
    return point == std::string::npos
               ? digits(text)
               : digits(text.substr(0, point)) && digits(text.substr(point + 1));
}

}  // namespace

bool ParseDuration(const std::string& text, int* milliseconds) {
    std::string number;
    double unit = 1;
    if (text.size() > 2 && text.compare(text.size() - 2, 2, "ms") == 0) {
        number = text.substr(0, text.size() - 2);
    } else if (text.size() > 1 && text.back() == 's') {
        number = text.substr(0, text.size() - 1);
        unit = 1000;
    }
    if (!IsBareNumber(number))
        return false;
    char* end = nullptr;
    double v = std::strtod(number.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v) || v < 0 || v * unit > 86400000.0)
        return false;
    *milliseconds = static_cast<int>(std::lround(v * unit));
    return true;
}

bool ParseScript(const std::string& text, Script* script, std::string* error,
                 int defaultTimeoutMs) {
    Script result;
    int timeout = defaultTimeoutMs;
    // A byte-order mark (as some Windows editors write) is no part of the first line.
    std::istringstream in(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text);
    std::string raw;
    int lineNumber = 0;
    auto fail = [&](const std::string& what) {
        if (error != nullptr)
            *error = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    auto badDuration = [&](const std::string& value) {
        return fail(IsBareNumber(value) ? "duration '" + value + "' needs a unit (" + value +
                                              "s or " + value + "ms)"
                                        : "bad duration '" + value + "'");
    };
    // The JSON of a send or control line; empty (after fail) when it is not an object.
    auto jsonObject = [&](const std::string& json) {
        nlohmann::json value = nlohmann::json::parse(json, nullptr, false);
        if (value.is_discarded())
            return fail("not JSON: " + json);
        if (!value.is_object())
            return fail("expected a JSON object");
        return true;
    };
    while (std::getline(in, raw)) {
        ++lineNumber;
        std::string line = Trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        Step step;
        step.line = lineNumber;
        if (line[0] == '{') {
            if (!jsonObject(line))
                return false;
            step.kind = StepKind::Send;
            step.text = line;
            result.steps.push_back(step);
            continue;
        }
        std::string keyword = line.substr(0, line.find_first_of(" \t"));
        std::string rest = Trim(line.substr(keyword.size()));
        if (keyword == "send" || keyword == "control") {
            if (!jsonObject(rest))
                return false;
            if (keyword == "control" && !result.scripted)
                return fail("control needs `scripted` at the top of the script");
            step.kind = keyword == "send" ? StepKind::Send : StepKind::Control;
            step.text = rest;
        } else if (keyword == "scripted") {
            if (!result.steps.empty())
                return fail("`scripted` must come before every step");
            result.scripted = true;
            continue;
        } else if (keyword == "timeout") {
            if (!ParseDuration(rest, &timeout))
                return badDuration(rest);
            continue;
        } else if (keyword == "pause") {
            step.kind = StepKind::Pause;
            if (!ParseDuration(rest, &step.timeoutMs))
                return badDuration(rest);
        } else if (keyword == "note") {
            step.kind = StepKind::Note;
            step.text = rest;
        } else if (keyword == "wait") {
            std::vector<std::string> w = Words(rest);
            step.timeoutMs = timeout;
            // A trailing "within DURATION" overrides the default limit.
            if (w.size() >= 2 && w[w.size() - 2] == "within") {
                if (!ParseDuration(w.back(), &step.timeoutMs))
                    return badDuration(w.back());
                w.resize(w.size() - 2);
            }
            if (w.empty())
                return fail("wait for what? (reply, event, frames, control, call)");
            const std::string& what = w[0];
            if (what == "reply" || what == "event" || what == "control" || what == "call") {
                if (w.size() < 2)
                    return fail("wait " + what + " needs a name");
                step.text = w[1];
                if (what == "reply") {
                    step.kind = StepKind::WaitReply;
                    if (w.size() == 4 && w[2] == "code") {
                        if (!ParseInt(w[3], &step.code))
                            return fail("bad code '" + w[3] + "'");
                        step.hasCode = true;
                    } else if (w.size() != 2) {
                        return fail("expected: wait reply NAME [code N] [within DURATION]");
                    }
                } else {
                    if (w.size() != 2)
                        return fail("expected: wait " + what + " NAME [within DURATION]");
                    step.kind = what == "event"     ? StepKind::WaitEvent
                                : what == "control" ? StepKind::WaitControl
                                                    : StepKind::WaitCall;
                }
                if ((step.kind == StepKind::WaitControl || step.kind == StepKind::WaitCall) &&
                    !result.scripted)
                    return fail("wait " + what + " needs `scripted` at the top of the script");
                std::string nearest =
                    step.kind == StepKind::WaitReply   ? Unknown(step.text, kReplyNames)
                    : step.kind == StepKind::WaitEvent ? Unknown(step.text, kEventNames)
                                                       : std::string();
                if (!nearest.empty())
                    return fail("unknown " + what + " '" + step.text + "' (did you mean " +
                                nearest + "?)");
            } else if (what == "frames") {
                step.kind = StepKind::WaitFrames;
                if (w.size() != 3 || !ParseInt(w[1], &step.channel) || !ParseInt(w[2], &step.count))
                    return fail("expected: wait frames CHANNEL COUNT [within DURATION]");
                if (step.channel < 0 || step.channel > 4)
                    return fail("channel must be 0 to 4");
                if (step.count < 1)
                    return fail("frame count must be at least 1");
            } else {
                return fail("unknown wait '" + what + "' (reply, event, frames, control, call)");
            }
        } else {
            return fail("unknown step '" + keyword + "'");
        }
        result.steps.push_back(step);
    }
    *script = std::move(result);
    return true;
}

std::string DescribeStep(const Step& step) {
    auto limit = [&] { return " within " + std::to_string(step.timeoutMs) + "ms"; };
    switch (step.kind) {
        case StepKind::Send:
            return "send " + step.text;
        case StepKind::Control:
            return "control " + step.text;
        case StepKind::WaitReply:
            return "wait reply " + step.text +
                   (step.hasCode ? " code " + std::to_string(step.code) : std::string()) + limit();
        case StepKind::WaitEvent:
            return "wait event " + step.text + limit();
        case StepKind::WaitFrames:
            return "wait frames " + std::to_string(step.channel) + " " +
                   std::to_string(step.count) + limit();
        case StepKind::WaitControl:
            return "wait control " + step.text + limit();
        case StepKind::WaitCall:
            return "wait call " + step.text + limit();
        case StepKind::Pause:
            return "pause " + std::to_string(step.timeoutMs) + "ms";
        case StepKind::Note:
            return "note " + step.text;
    }
    return "";
}

}  // namespace host
