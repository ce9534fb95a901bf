// Parsing typical command texts and building + serializing the reply object, with Json and with
// nlohmann-json as the baseline in the same run. Prints one "ratio" line per text: our time
// divided by nlohmann's (below 1.0 means faster).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "json/Json.h"

using qjson::Json;

namespace {

struct Command {
    const char* name;
    const char* text;
};

const Command kCommands[] = {
    {"OpenMic", "{\"type\":\"OpenMic\"}"},
    {"Login",
     "{\"type\":\"Login\",\"param\":{\"userID\":\"u-100234\",\"userName\":\"Alice "
     "Example\",\"test\":1}}"},
    {"EnterRoom",
     "{\"type\":\"EnterRoom\",\"param\":{\"RoomName\":\"Evening show\",\"RoomID\":"
     "\"room-8812\",\"role\":1}}"},
    {"SendRoomMessage",
     "{\"type\":\"SendRoomMessage\",\"param\":{\"messageContent\":\"Welcome everyone to tonight's "
     "session. We start in five minutes; please check that your camera and microphone work, and "
     "send your questions here. \\\"Thanks!\\\"\\n\",\"priority\":2,\"category\":1,\"type\":1}}"},
    {"RequestView",
     "{\"type\":\"RequestView\",\"param\":[\"stream-a1\",\"stream-b2\","
     "\"stream-c3\",\"stream-d4\"]}"},
    {"SetWaterrect",
     "{ \"type\": \"SetWaterrect\", \"param\": { \"bottom\": 120, \"right\": "
     "640.5, \"top\": 20, \"left\": 16 } }"},
};

void ParseOurs(benchmark::State& state, const char* text) {
    for (auto _ : state) {
        Json value(text);
        benchmark::DoNotOptimize(value.Kind());
    }
}

void ParseNlohmann(benchmark::State& state, const char* text) {
    for (auto _ : state) {
        nlohmann::json value = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(value.type());
    }
}

void ReplyOurs(benchmark::State& state) {
    for (auto _ : state) {
        Json reply("{}");
        reply["type"] = Json(std::string("DaemonStart"));
        reply["code"] = Json(0.0);
        std::string bytes = reply.toString();
        benchmark::DoNotOptimize(bytes.data());
    }
}

void ReplyNlohmann(benchmark::State& state) {
    for (auto _ : state) {
        nlohmann::json reply = nlohmann::json::object();
        reply["type"] = "DaemonStart";
        reply["code"] = 0;
        std::string bytes = reply.dump();
        benchmark::DoNotOptimize(bytes.data());
    }
}

// Console output as usual, plus each benchmark's time per iteration in nanoseconds.
class RecordingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                nanoseconds[run.benchmark_name()] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) *
                    1e9;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, double> nanoseconds;
};

void PrintRatio(const RecordingReporter& reporter, const std::string& what, const std::string& ours,
                const std::string& baseline) {
    auto mine = reporter.nanoseconds.find(ours);
    auto theirs = reporter.nanoseconds.find(baseline);
    if (mine == reporter.nanoseconds.end() || theirs == reporter.nanoseconds.end()) {
        return;  // filtered out
    }
    std::printf("ratio %-32s ours/nlohmann = %.2f  (%.0f ns vs %.0f ns)\n", what.c_str(),
                mine->second / theirs->second, mine->second, theirs->second);
}

}  // namespace

int main(int argc, char** argv) {
    for (const Command& command : kCommands) {
        benchmark::RegisterBenchmark((std::string("parse/ours/") + command.name).c_str(), ParseOurs,
                                     command.text);
        benchmark::RegisterBenchmark((std::string("parse/nlohmann/") + command.name).c_str(),
                                     ParseNlohmann, command.text);
    }
    benchmark::RegisterBenchmark("reply/ours", ReplyOurs);
    benchmark::RegisterBenchmark("reply/nlohmann", ReplyNlohmann);

    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n");
    for (const Command& command : kCommands) {
        std::string name = command.name;
        PrintRatio(reporter,
                   "parse " + name + " (" + std::to_string(std::strlen(command.text)) + " bytes)",
                   "parse/ours/" + name, "parse/nlohmann/" + name);
    }
    PrintRatio(reporter, "reply build+serialize", "reply/ours", "reply/nlohmann");
    auto reply = reporter.nanoseconds.find("reply/ours");
    if (reply != reporter.nanoseconds.end()) {
        std::printf("reply build+serialize: %.0f ns (goal: under 2000 ns)\n", reply->second);
    }
    benchmark::Shutdown();
    return 0;
}
