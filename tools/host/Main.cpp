// quorlane-host: a reference host for the bridge. Runs a session script and records the result.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/Console.h"
#include "platform/Descriptors.h"
#include "platform/Process.h"
#include "tools/host/Script.h"
#include "tools/host/ScriptRunner.h"
#include "tools/host/Transcript.h"

namespace {

const char kUsage[] =
    "usage: quorlane-host [options] SCRIPT\n"
    "\n"
    "Starts the bridge with pipes on descriptors 3 to 9, runs the session script SCRIPT and\n"
    "prints a transcript. Each channel is recorded to OUT/channel-N.y4m, its last frame to\n"
    "OUT/channel-N.png, and all channels to OUT/contact-sheet.png.\n"
    "\n"
    "options:\n"
    "  --bridge PATH      the bridge executable (default: the Quorlane of this build)\n"
    "  --out DIR          output folder (default: out)\n"
    "  --timeout DURATION default time limit of waits (default: 10s)\n"
    "  --fps N            frame rate written into the Y4M headers (default: 15)\n"
    "  --sheet-height N   height of each picture in the contact sheet (default: 180)\n"
    "  --no-record        write no Y4M files\n"
    "  --no-pictures      write no PNG files\n"
    "  --calls            show the SDK call records of scripted mode\n"
    "  --color, --no-color  colour in the transcript (default: when output is a terminal)\n"
    "\n"
    "exit codes: 0 done, 1 a wait failed, 2 the bridge ended or did not start,\n"
    "            3 bad options or script, 4 a frame stream was torn\n";

std::string DefaultBridge() {
    std::string dir = platform::ExecutableDirectory();
    for (const char* candidate : {"../Quorlane", "Quorlane"}) {
        std::string path = std::filesystem::path(dir + candidate).lexically_normal().string();
        if (std::ifstream(path).good())
            return path;
    }
    return std::filesystem::path(dir + "../Quorlane").lexically_normal().string();
}

bool ParsePositive(const char* text, int* value) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (*end != '\0' || v < 1 || v > 100000)
        return false;
    *value = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    host::RunOptions options;
    options.bridgePath = DefaultBridge();
    bool color = platform::ConsoleAttached();
    int timeoutMs = 10000;
    std::string scriptPath;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs a value\n%s", arg.c_str(), kUsage);
                std::exit(host::kExitUsage);
            }
            return argv[++i];
        };
        if (arg == "--bridge") {
            options.bridgePath = value();
        } else if (arg == "--out") {
            options.outputDirectory = value();
        } else if (arg == "--timeout") {
            if (!host::ParseDuration(value(), &timeoutMs)) {
                std::fprintf(stderr, "bad duration for --timeout\n");
                return host::kExitUsage;
            }
        } else if (arg == "--fps") {
            if (!ParsePositive(value(), &options.fps)) {
                std::fprintf(stderr, "bad number for --fps\n");
                return host::kExitUsage;
            }
        } else if (arg == "--sheet-height") {
            if (!ParsePositive(value(), &options.sheetTileHeight)) {
                std::fprintf(stderr, "bad number for --sheet-height\n");
                return host::kExitUsage;
            }
        } else if (arg == "--no-record") {
            options.record = false;
        } else if (arg == "--no-pictures") {
            options.pictures = false;
        } else if (arg == "--calls") {
            options.showCalls = true;
        } else if (arg == "--color") {
            color = true;
        } else if (arg == "--no-color") {
            color = false;
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return host::kExitOk;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "unknown option %s\n%s", arg.c_str(), kUsage);
            return host::kExitUsage;
        } else if (scriptPath.empty()) {
            scriptPath = arg;
        } else {
            std::fprintf(stderr, "only one script, please\n%s", kUsage);
            return host::kExitUsage;
        }
    }
    if (scriptPath.empty()) {
        std::fputs(kUsage, stderr);
        return host::kExitUsage;
    }
    std::ifstream in(scriptPath);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", scriptPath.c_str());
        return host::kExitUsage;
    }
    std::stringstream text;
    text << in.rdbuf();
    host::Script script;
    std::string error;
    if (!host::ParseScript(text.str(), &script, &error, timeoutMs)) {
        std::fprintf(stderr, "%s: %s\n", scriptPath.c_str(), error.c_str());
        return host::kExitUsage;
    }
    // A host that stops reading must not be killed by the bridge's end of a pipe.
    platform::IgnoreBrokenPipe();
    host::Transcript transcript(stdout, color);
    host::ScriptRunner runner(std::move(script), options, transcript);
    return runner.Run();
}
