#include "tools/host/Script.h"

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

bool ParseInt(const std::string& text, int* value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < -2147483647L || v > 2147483647L)
        return false;
    *value = static_cast<int>(v);
    return true;
}

}  // namespace

bool ParseDuration(const std::string& text, int* milliseconds) {
    std::string number = text;
    double unit = 1;
    if (text.size() > 2 && text.compare(text.size() - 2, 2, "ms") == 0) {
        number = text.substr(0, text.size() - 2);
    } else if (text.size() > 1 && text.back() == 's') {
        number = text.substr(0, text.size() - 1);
        unit = 1000;
    }
    if (number.empty() || number.find_first_not_of("0123456789.") != std::string::npos)
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
    std::istringstream in(text);
    std::string raw;
    int lineNumber = 0;
    auto fail = [&](const std::string& what) {
        if (error != nullptr)
            *error = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    while (std::getline(in, raw)) {
        ++lineNumber;
        std::string line = Trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        Step step;
        step.line = lineNumber;
        if (line[0] == '{') {
            step.kind = StepKind::Send;
            step.text = line;
            result.steps.push_back(step);
            continue;
        }
        std::string keyword = line.substr(0, line.find_first_of(" \t"));
        std::string rest = Trim(line.substr(keyword.size()));
        if (keyword == "send" || keyword == "control") {
            if (rest.empty() || rest[0] != '{')
                return fail(keyword + " needs a JSON object");
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
                return fail("bad duration '" + rest + "'");
            continue;
        } else if (keyword == "pause") {
            step.kind = StepKind::Pause;
            if (!ParseDuration(rest, &step.timeoutMs))
                return fail("bad duration '" + rest + "'");
        } else if (keyword == "note") {
            step.kind = StepKind::Note;
            step.text = rest;
        } else if (keyword == "wait") {
            std::vector<std::string> w = Words(rest);
            step.timeoutMs = timeout;
            // A trailing "within DURATION" overrides the default limit.
            if (w.size() >= 2 && w[w.size() - 2] == "within") {
                if (!ParseDuration(w.back(), &step.timeoutMs))
                    return fail("bad duration '" + w.back() + "'");
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
