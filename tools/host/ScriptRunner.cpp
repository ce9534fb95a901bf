#include "tools/host/ScriptRunner.h"

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/FileSystem.h"
#include "tools/host/ContactSheet.h"
#include "tools/host/Image.h"
#include "tools/host/PngFile.h"

namespace host {

namespace {

constexpr std::size_t kMaxPending = 10000;

std::string Tail(const std::string& path, std::size_t maxBytes) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::string text = s.str();
    return text.size() > maxBytes ? "..." + text.substr(text.size() - maxBytes) : text;
}

}  // namespace

ScriptRunner::ScriptRunner(Script script, RunOptions options, Transcript& transcript)
    : script_(std::move(script)),
      options_(std::move(options)),
      transcript_(transcript),
      session_(BridgeHandlers{
          [this](const BridgeMessage& m) { OnMessage(m); }, [this](Frame& f) { OnFrame(f); },
          [this](const std::string& line) { OnControl(line); },
          [this](int channel, const std::string& why) {
              channels_[channel].torn = true;
              torn_ = true;
              transcript_.Failure("channel " + std::to_string(channel) + " torn: " + why);
          },
          [this](const std::string& bytes) {
              transcript_.Failure("bytes outside any object on descriptor 4: " + bytes);
          }}) {}

double ScriptRunner::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ScriptRunner::OnMessage(const BridgeMessage& m) {
    transcript_.Received(Seconds(), m);
    if (pending_.size() >= kMaxPending)
        pending_.pop_front();
    pending_.push_back(Received{m.kind, m.type, m.code, false, false});
}

void ScriptRunner::OnControl(const std::string& line) {
    nlohmann::json value = nlohmann::json::parse(line, nullptr, false);
    Received r{BridgeMessage::Kind::Other, "", 0, true, false};
    if (!value.is_discarded() && value.is_object()) {
        if (value.contains("call") && value["call"].is_string()) {
            r.call = true;
            r.control = false;
            r.name = value["call"].get<std::string>();
        } else if (value.contains("op") && value["op"].is_string()) {
            r.name = value["op"].get<std::string>();
        }
    }
    if (!r.call || options_.showCalls)
        transcript_.ControlReceived(Seconds(), line);
    if (pending_.size() >= kMaxPending)
        pending_.pop_front();
    pending_.push_back(r);
}

void ScriptRunner::OnFrame(Frame& frame) {
    ChannelState& ch = channels_[frame.channel];
    ++ch.frames;
    if (options_.record) {
        if (!ch.writer.IsOpen() || ch.writer.Width() != frame.geometry.width ||
            ch.writer.Height() != frame.geometry.height) {
            // A new size starts a new file: a Y4M stream has one size.
            ch.writer.Close();
            ++ch.segments;
            std::string path = options_.outputDirectory + "/channel-" +
                               std::to_string(frame.channel) +
                               (ch.segments > 1 ? "-" + std::to_string(ch.segments) : "") + ".y4m";
            if (ch.writer.Open(path, frame.geometry.width, frame.geometry.height, options_.fps))
                ch.files.push_back(path);
            else
                transcript_.Failure("cannot write " + path);
        }
        ch.writer.Write(frame);
    }
    std::swap(ch.last, frame);  // keeps the newest frame for the snapshot without a copy
    ch.hasLast = true;
}

void ScriptRunner::NoteRequestView(const std::string& command) {
    nlohmann::json value = nlohmann::json::parse(command, nullptr, false);
    if (value.is_discarded() || !value.is_object() || value.value("type", "") != "RequestView")
        return;
    auto param = value.find("param");
    if (param == value.end() || !param->is_array() || param->size() > 4)
        return;
    for (int c = 1; c < kChannelCount; ++c)
        channels_[c].stream.clear();
    int channel = 1;
    for (const auto& id : *param) {
        if (id.is_string() && !id.get<std::string>().empty())
            channels_[channel++].stream = id.get<std::string>();
    }
}

int ScriptRunner::FindMatch(const Step& step, std::string* mismatch) {
    if (step.kind == StepKind::WaitFrames)
        return -1;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        const Received& r = pending_[i];
        if (r.name != step.text)
            continue;
        switch (step.kind) {
            case StepKind::WaitReply:
                if (r.control || r.call || r.kind != BridgeMessage::Kind::Reply)
                    continue;
                if (step.hasCode && r.code != step.code) {
                    *mismatch = "reply " + r.name + " came with code " + std::to_string(r.code) +
                                ", expected " + std::to_string(step.code);
                    return static_cast<int>(i);
                }
                return static_cast<int>(i);
            case StepKind::WaitEvent:
                if (!r.control && !r.call && r.kind == BridgeMessage::Kind::Event)
                    return static_cast<int>(i);
                continue;
            case StepKind::WaitControl:
                if (r.control)
                    return static_cast<int>(i);
                continue;
            case StepKind::WaitCall:
                if (r.call)
                    return static_cast<int>(i);
                continue;
            default:
                return -1;
        }
    }
    return -1;
}

void ScriptRunner::PrintFrameCountsIfChanged(bool force) {
    double now = Seconds();
    if (!force && now - lastCountPrint_ < 2.0)
        return;
    std::uint64_t counts[kChannelCount];
    bool changed = false;
    for (int c = 0; c < kChannelCount; ++c) {
        counts[c] = channels_[c].frames;
        changed |= counts[c] != printedCounts_[c];
    }
    if (!changed)
        return;
    transcript_.FrameCounts(now, counts);
    std::copy(counts, counts + kChannelCount, printedCounts_);
    lastCountPrint_ = now;
}

int ScriptRunner::Wait(const Step& step) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(step.timeoutMs);
    for (;;) {
        if (step.kind == StepKind::WaitFrames) {
            ChannelState& ch = channels_[step.channel];
            if (ch.frames >= ch.consumed + static_cast<std::uint64_t>(step.count)) {
                ch.consumed += static_cast<std::uint64_t>(step.count);
                PrintFrameCountsIfChanged(true);
                return kExitOk;
            }
        } else {
            std::string mismatch;
            int index = FindMatch(step, &mismatch);
            if (index >= 0) {
                pending_.erase(pending_.begin() + index);
                if (!mismatch.empty()) {
                    transcript_.Failure("line " + std::to_string(step.line) + ": " + mismatch);
                    return kExitWaitFailed;
                }
                return kExitOk;
            }
        }
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            std::string detail;
            if (step.kind == StepKind::WaitFrames)
                detail = " (channel " + std::to_string(step.channel) + " has " +
                         std::to_string(channels_[step.channel].frames -
                                        channels_[step.channel].consumed) +
                         " new frames)";
            transcript_.Failure("line " + std::to_string(step.line) +
                                ": timed out: " + DescribeStep(step) + detail);
            return kExitWaitFailed;
        }
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count());
        if (!session_.Pump(std::min(left + 1, 100))) {
            transcript_.Failure("line " + std::to_string(step.line) + ": " + BridgeEndText() +
                                " during: " + DescribeStep(step));
            return kExitBridgeEnded;
        }
        PrintFrameCountsIfChanged(false);
    }
}

std::string ScriptRunner::BridgeEndText() const {
    std::string text = "the bridge ended (" + session_.Status().Describe() + ")";
    std::string tail = Tail(stderrPath_, 2000);
    if (!tail.empty())
        text += "; its standard error ends with:\n" + tail;
    return text;
}

int ScriptRunner::Run() {
    start_ = std::chrono::steady_clock::now();
    const std::string& out = options_.outputDirectory;
    std::string bridgeDir = out + "/bridge";
    for (const std::string& dir : {out, bridgeDir}) {
        if (!platform::IsDirectory(dir) && !platform::MakeDirectory(dir)) {
            transcript_.Failure("cannot create the folder " + dir);
            return kExitUsage;
        }
    }
    stderrPath_ = bridgeDir + "/stderr.log";
    BridgeOptions bridge;
    bridge.bridgePath = options_.bridgePath;
    bridge.workingDirectory = bridgeDir;
    bridge.stdoutPath = bridgeDir + "/console.log";
    bridge.stderrPath = stderrPath_;
    bridge.scripted = script_.scripted;
    std::string error;
    transcript_.Info("bridge: " + options_.bridgePath +
                     (script_.scripted ? " (scripted SDK on descriptors 10, 11)" : ""));
    if (!session_.Start(bridge, &error)) {
        transcript_.Failure(error);
        return kExitBridgeEnded;
    }
    transcript_.Info("pid " + std::to_string(session_.Pid()) + "; its console, standard error " +
                     "and logs are in " + bridgeDir + "/");

    for (const Step& step : script_.steps) {
        int code = kExitOk;
        switch (step.kind) {
            case StepKind::Send:
                transcript_.Sent(Seconds(), step.text);
                NoteRequestView(step.text);
                session_.SendCommand(step.text);
                break;
            case StepKind::Control:
                transcript_.ControlSent(Seconds(), step.text);
                session_.SendControl(step.text);
                break;
            case StepKind::Note:
                transcript_.Note(Seconds(), step.text);
                break;
            case StepKind::Pause: {
                auto until =
                    std::chrono::steady_clock::now() + std::chrono::milliseconds(step.timeoutMs);
                while (code == kExitOk && std::chrono::steady_clock::now() < until) {
                    int left =
                        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             until - std::chrono::steady_clock::now())
                                             .count());
                    if (!session_.Pump(std::max(0, std::min(left, 100)))) {
                        transcript_.Failure("line " + std::to_string(step.line) + ": " +
                                            BridgeEndText() + " during a pause");
                        code = kExitBridgeEnded;
                    }
                    PrintFrameCountsIfChanged(false);
                }
                break;
            }
            default:
                code = Wait(step);
                break;
        }
        if (code != kExitOk)
            return Finish(code);
    }
    // Take what is already on its way, then end the bridge as a host does.
    session_.Pump(0);
    return Finish(kExitOk);
}

int ScriptRunner::Finish(int code) {
    bool died = session_.Ended();
    session_.Stop();
    if (!died && session_.Ended())
        transcript_.Info("the bridge was ended in order: " + session_.Status().Describe());
    PrintFrameCountsIfChanged(true);
    for (ChannelState& ch : channels_)
        ch.writer.Close();
    transcript_.Info("");
    transcript_.Info("channel  frames  size       stream      recording");
    for (int c = 0; c < kChannelCount; ++c) {
        const ChannelState& ch = channels_[c];
        char line[512];
        std::string size = ch.hasLast ? std::to_string(ch.last.geometry.width) + "x" +
                                            std::to_string(ch.last.geometry.height)
                                      : "-";
        std::string stream = c == 0 ? "preview" : (ch.stream.empty() ? "-" : ch.stream);
        std::string files;
        for (const std::string& f : ch.files)
            files += (files.empty() ? "" : ", ") + f;
        std::snprintf(line, sizeof line, "%7d  %6llu  %-9s  %-10s  %s%s", c,
                      static_cast<unsigned long long>(ch.frames), size.c_str(), stream.c_str(),
                      files.empty() ? "-" : files.c_str(), ch.torn ? "  TORN" : "");
        transcript_.Info(line);
    }
    if (options_.pictures)
        WritePictures();
    if (code == kExitOk && torn_)
        code = kExitTornFrames;
    if (code == kExitOk && died) {
        transcript_.Failure(BridgeEndText());
        code = kExitBridgeEnded;
    }
    if (code == kExitOk)
        transcript_.Success("session complete; output in " + options_.outputDirectory + "/");
    return code;
}

void ScriptRunner::WritePictures() {
    std::vector<SheetTile> tiles;
    std::string error;
    for (int c = 0; c < kChannelCount; ++c) {
        const ChannelState& ch = channels_[c];
        if (!ch.hasLast)
            continue;
        RgbImage picture = FrameToRgb(ch.last);
        std::string path = options_.outputDirectory + "/channel-" + std::to_string(c) + ".png";
        if (WritePng(path, picture, &error))
            transcript_.Info("snapshot: " + path);
        else
            transcript_.Failure(error);
        SheetTile tile;
        tile.label = "CH" + std::to_string(c) + " " +
                     (c == 0 ? std::string("PREVIEW") : (ch.stream.empty() ? "?" : ch.stream));
        tile.detail = std::to_string(ch.last.geometry.width) + "x" +
                      std::to_string(ch.last.geometry.height) + " " + std::to_string(ch.frames) +
                      " FRAMES";
        tile.picture = std::move(picture);
        tiles.push_back(std::move(tile));
    }
    if (tiles.empty()) {
        transcript_.Info("no frames arrived: no snapshots, no contact sheet");
        return;
    }
    std::string path = options_.outputDirectory + "/contact-sheet.png";
    if (WritePng(path, MakeContactSheet(tiles, options_.sheetTileHeight), &error))
        transcript_.Info("contact sheet: " + path);
    else
        transcript_.Failure(error);
}

}  // namespace host
